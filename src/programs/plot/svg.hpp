// The picture of one year: its dendrogram drawn where the plot data places
// its nodes, with the location names in dendrogram order down the page and
// the fusions across it, as a self-contained SVG document.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "jobs/years.hpp"

namespace metclust::plot {

using jobs::Year;

// The values a picture spans across the page: the locations stand at
// `base`, the fusions between `lo` and `hi` (base included).
struct ValueSpan {
  double base = 0.0;
  double lo = 0.0;
  double hi = 0.0;
};

// The span of a year drawn at its fusion levels (`heights`) or in fusion
// order; nullopt for a year without fusions.
std::optional<ValueSpan> year_span(const Year& year, bool heights);
// The span that holds both.
ValueSpan merged(const ValueSpan& a, const ValueSpan& b);

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
};

// The <svg> element alone, for a page that holds it inline.
std::string year_svg_element(const Year& year, const PictureOptions& options);

// A whole SVG file: the XML declaration and the <svg> element.
std::string year_svg_document(const Year& year, const PictureOptions& options);

// The colour of group g (1-based) and whether it is drawn dashed: eight
// colours that readers with any common colour-vision deficiency tell apart
// (Okabe and Ito), dashed from the ninth group on, then again solid.
struct GroupStyle {
  const char* colour;
  bool dashed;
};
GroupStyle group_style(std::int64_t group);

}  // namespace metclust::plot
