// The page of a job: its title and every year's picture, in file order.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "plot/svg.hpp"

namespace metclust::plot {

struct PagePicture {
  const Year* year = nullptr;
  std::string file_name;  // the year's SVG file, relative to the page
};

// A self-contained HTML page: the pictures stand inline, each in a box that
// scrolls when the year is too tall for the window, with a link to its file.
std::string job_page(std::string_view job, std::string_view title,
                     std::span<const PagePicture> pictures, const PictureOptions& options);

}  // namespace metclust::plot
