#include "plot/page.hpp"

#include "formats/strategies.hpp"
#include "records/number_text.hpp"
#include "text/csv.hpp"
#include "text/markup.hpp"

namespace metclust::plot {

using records::cat;
using text::escaped;
using records::fixed_text;
using records::decimal;
using records::shortest_text;
using text::url_segment;
namespace {

constexpr std::string_view kStyle =
    "body{font-family:sans-serif;margin:24px;color:#222;background:#fafafa}"
    "h1{font-size:22px;margin-bottom:4px}"
    "h2{font-size:17px;margin:28px 0 4px}"
    "p{margin:4px 0}"
    "nav a{margin-right:10px}"
    ".plot{display:inline-block;max-width:100%;max-height:90vh;overflow:auto;"
    "border:1px solid #ccc;background:#fff}"
    ".plot svg{display:block}"
    // A browser lays out only the years in view, so that a long series
    // opens at once; find and the year links still reach every year.
    "section{content-visibility:auto;contain-intrinsic-size:auto 900px}";

}  // namespace

std::string job_page(std::string_view job, std::string_view title,
                     std::span<const PagePicture> pictures, const PictureOptions& options) {
  const std::string heading = title.empty() ? std::string(job) : std::string(title);
  std::string page;
  page += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
  page += cat({"<title>", escaped(heading), "</title>\n<style>"});
  page += kStyle;
  page += "</style>\n</head>\n<body>\n";
  page += cat({"<h1>", escaped(heading), "</h1>\n"});
  std::string about =
      cat({"Job ", std::string(job), ": ", decimal(static_cast<std::int64_t>(pictures.size())),
           (pictures.size() == 1 ? " year group" : " year groups")});
  if (options.strategy != 0) about += cat({", ", formats::strategy_name(options.strategy)});
  about += options.heights ? ", fusions at their fusion levels D(ij)"
                           : ", fusions in the order they were made";
  if (options.groups > 0)
    about += cat({", each year cut into ", decimal(options.groups), " groups"});
  if (options.span) about += ", every year on one scale";
  about += ".";
  page += cat({"<p>", escaped(about), "</p>\n"});
  if (pictures.empty()) page += "<p>The plot data of this job holds no year group.</p>\n";
  if (pictures.size() > 1) {
    page += "<nav>";
    for (std::size_t k = 0; k < pictures.size(); ++k) {
      page += cat({"<a href=\"#year-", decimal(static_cast<std::int64_t>(k) + 1), "\">",
                   escaped(pictures[k].year->column), "</a>"});
    }
    page += "</nav>\n";
  }
  for (std::size_t k = 0; k < pictures.size(); ++k) {
    const Year& year = *pictures[k].year;
    std::string name = cat({"Year ", year.column});
    if (!year.label.empty() && year.label != decimal(year.year))
      name += cat({" (", year.label, ")"});
    page += cat({"<section id=\"year-", decimal(static_cast<std::int64_t>(k) + 1), "\">\n"});
    page += cat({"<h2>", escaped(name), "</h2>\n"});
    page += cat({"<p><a href=\"", escaped(url_segment(pictures[k].file_name)), "\">",
                 escaped(pictures[k].file_name), "</a></p>\n"});
    page +=
        cat({"<div class=\"plot\">\n", year_svg_element(year, options), "</div>\n</section>\n"});
  }
  if (!pictures.empty()) page += cat({"<script>", std::string(hover_script()), "</script>\n"});
  page += "</body>\n</html>\n";
  return page;
}

}  // namespace metclust::plot
