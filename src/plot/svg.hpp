// The picture of one year: its dendrogram drawn from the plot points, with
// the location names in dendrogram order down the page and the fusions
// across it, as a self-contained SVG document.
#pragma once

#include <cstdint>
#include <string>

#include "formats/job_results.hpp"

namespace metclust::plot {

using formats::ClusterValues;
using formats::ListedNode;
using formats::PlotFusion;
using formats::PlotPoint;
using formats::YearPlot;

struct PictureOptions {
  // Fusions at their fusion levels D(ij), with a value axis, in place of
  // their fusion order. Needs the year's levels.
  bool heights = false;
  // Strategy number of the job, 0 when the job has no .CLS file.
  std::int32_t strategy = 0;
};

// The <svg> element alone, for a page that holds it inline.
std::string year_svg_element(const YearPlot& year, const PictureOptions& options);

// A whole SVG file: the XML declaration and the <svg> element.
std::string year_svg_document(const YearPlot& year, const PictureOptions& options);

}  // namespace metclust::plot
