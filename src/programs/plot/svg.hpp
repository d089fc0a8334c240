// The picture of one year: its dendrogram drawn where the plot data places
// its nodes, with the location names in dendrogram order down the page and
// the fusions across it, as a self-contained SVG document.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "jobs/years.hpp"
#include "text/palette.hpp"

namespace metclust::plot {

using jobs::Year;

// The values a picture spans across the page: the locations stand at
// `base`, the fusions between `lo` and `hi` (base included).
struct ValueSpan {
  double base = 0.0;
  double lo = 0.0;
  double hi = 0.0;
};

// The fusion levels D(ij) of a year in fusion order; none when the job has
// no .CLS file.
std::vector<double> fusion_levels(const Year& year);

// The span of a year drawn at its fusion levels (`heights`) or in fusion
// order; nullopt for a year without fusions.
std::optional<ValueSpan> year_span(const Year& year, bool heights);
// The span that holds both.
ValueSpan merged(const ValueSpan& a, const ValueSpan& b);

// How fusion levels are laid across the picture: as each picture's levels
// suit (suited_scale), or on a scale given for all.
enum class LevelScaleKind { Suited, Linear, SquareRoot };

// The scale that suits a year's fusion levels: the square root when every
// level is 0 or more and more than half of them lie in the lowest twentieth
// of the highest, where a linear scale would press them into a comb against
// the names (as Ward's levels of a large year often are); linear otherwise.
LevelScaleKind suited_scale(std::span<const double> levels);

struct PictureOptions {
  // Fusions at their fusion levels D(ij), with a value axis, in place of
  // their fusion order. Needs the year's levels (Year::at_levels).
  bool heights = false;
  // Strategy number of the job, 0 when the job has no .CLS file.
  std::int32_t strategy = 0;
  // Cut each year into this many groups (by fusion order, as R's cutree
  // with k does), colour them and draw the cut; 0 for no cut.
  std::int64_t groups = 0;
  // One span for every year, so that years can be compared by eye; nullopt
  // for each year its own.
  std::optional<ValueSpan> span;
  // The scale of the fusion levels (with `heights` only; the fusion order is
  // always drawn evenly). A square root is drawn only where no level of the
  // span lies below 0.
  LevelScaleKind scale = LevelScaleKind::Suited;
};

// The <svg> element alone, for a page that holds it inline (with
// hover_script once). A location whose full name (Year::full_names) differs
// from its name has it at the end of its row, right of the tree, and in its
// hover text.
std::string year_svg_element(const Year& year, const PictureOptions& options);

// A whole SVG file: the XML declaration and the <svg> element, with the
// hover script.
std::string year_svg_document(const Year& year, const PictureOptions& options);

// The script that gives the names and brackets of every picture in a
// document their hover texts, from each picture's data (a page holds it
// once, after its pictures).
std::string_view hover_script();

// The colour of group g and whether it is drawn dashed: the palette every
// page that shows a year's groups uses (text/palette.hpp).
using text::GroupStyle;
using text::group_style;

}  // namespace metclust::plot
