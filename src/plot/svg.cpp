#include "plot/svg.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <limits>
#include <span>
#include <vector>

#include "formats/strategies.hpp"
#include "plot/markup.hpp"

namespace metclust::plot {
namespace {

// The plot data's abscissa (dendrogram order) runs down the page, one row
// per location; its ordinate (fusion order, or the fusion level with
// heights) runs across. Rows of 16 px keep 12 px names apart at any number
// of locations; a tall year scrolls.
constexpr double kWidth = 800.0;
constexpr double kLeft = 16.0;
constexpr double kTreeLeft = kLeft + 84.0;  // the names stand in the 84 px before it
constexpr double kTreeWidth = 640.0;
constexpr double kRowPitch = 16.0;
constexpr double kHeadingBottom = 52.0;

std::string px(double value) { return fixed_text(value, 2); }

// Maps values of [lo, hi] onto the tree's width. Halves are taken before the
// difference so that no finite pair of values overflows.
class LevelScale {
 public:
  LevelScale(double lo, double hi) : lo_(lo), hi_(hi) {
    if (!(hi_ > lo_)) lo_ = hi_ - std::max(1.0, std::abs(hi_) * 1e-3);
  }
  double lo() const { return lo_; }
  double hi() const { return hi_; }
  double at(double value) const {
    return kTreeLeft + (value / 2 - lo_ / 2) / (hi_ / 2 - lo_ / 2) * kTreeWidth;
  }

 private:
  double lo_;
  double hi_;
};

struct Tick {
  double value;
  std::string text;
};

// About six ticks at 1, 2 or 5 times a power of ten.
std::vector<Tick> ticks(const LevelScale& scale) {
  const double lo = scale.lo();
  const double hi = scale.hi();
  const double raw = (hi / 2 - lo / 2) / 3;
  const double exponent = std::floor(std::log10(raw));
  const double unit = std::pow(10.0, exponent);
  const double fraction = raw / unit;
  std::vector<Tick> out;
  const auto add = [&](double value, bool scientific, int precision) {
    if (scientific) {
      char digits[64];
      const auto end =
          std::to_chars(digits, digits + sizeof digits, value, std::chars_format::scientific, 2)
              .ptr;
      out.push_back({value, std::string(digits, end)});
    } else {
      out.push_back({value, fixed_text(value, precision)});
    }
  };
  if (!(unit > 0) || !std::isfinite(fraction) || !std::isfinite(unit)) {
    add(lo, true, 0);
    add(hi, true, 0);
    return out;
  }
  const double multiple = fraction < 1.5 ? 1 : fraction < 3.5 ? 2 : fraction < 7.5 ? 5 : 10;
  const double step = multiple * unit;
  const bool scientific = exponent > 6 || exponent < -6;
  const int precision = exponent < 0 ? static_cast<int>(-exponent) : 0;
  double k = std::ceil(lo / step);
  for (int count = 0; count < 32 && k * step <= hi + step * 1e-9; ++count) {
    add(k * step, scientific, precision);
    const double next = k + 1;
    if (next == k) break;
    k = next;
  }
  return out;
}

std::string node_name(const YearPlot& year, std::int32_t node) {
  const auto& listing = year.listing;
  if (node > year.locations) return listing.at(static_cast<std::size_t>(node - 1)).name;
  for (const ListedNode& entry :
       std::span(listing).first(static_cast<std::size_t>(year.locations))) {
    if (entry.number == node) return entry.name;
  }
  return {};
}

std::string shown_name(const YearPlot& year, std::int32_t node) {
  std::string name = node_name(year, node);
  if (name.find_first_not_of(' ') == std::string::npos) return cat({"(", integer_text(node), ")"});
  return name;
}

std::string heading(const YearPlot& year) {
  std::string text = cat({"Year ", integer_text(year.year)});
  if (!year.label.empty() && year.label != integer_text(year.year))
    text += cat({" (", year.label, ")"});
  if (!year.title.empty()) text += cat({": ", year.title});
  return text;
}

std::string subheading(const YearPlot& year, const PictureOptions& options) {
  if (year.locations < 2) {
    return integer_text(year.locations) + (year.locations == 1 ? " location" : " locations") +
           ": nothing to cluster, and the plot data of such a year names no location";
  }
  std::string text = integer_text(year.locations) + " locations";
  if (options.strategy != 0) text += cat({" \xC2\xB7 ", formats::strategy_name(options.strategy)});
  text += options.heights ? " \xC2\xB7 fusions at their fusion levels D(ij)"
                          : " \xC2\xB7 fusions in the order they were made";
  return text;
}

constexpr std::string_view kStyle =
    ".heading{font-size:15px;font-weight:bold}"
    ".subheading{fill:#555}"
    ".leaf text{font-family:monospace;font-size:12px}"
    ".bracket{fill:none;stroke:#1f4e79;stroke-width:1.5}"
    ".bracket.inversion{stroke:#c0392b;stroke-dasharray:5 3}"
    ".node{fill:#1f4e79}"
    ".fusion:hover .bracket{stroke-width:3}"
    ".axis{stroke:#777;stroke-width:1}"
    ".grid{stroke:#e4e4e4;stroke-width:1}"
    ".tick{font-size:11px;fill:#555}";

}  // namespace

std::string year_svg_element(const YearPlot& year, const PictureOptions& options) {
  const bool heights =
      options.heights && !year.fusions.empty() && year.levels.size() == year.fusions.size();
  const auto nl = static_cast<std::size_t>(std::max(0, year.locations));
  const std::size_t nodes = year.fusions.empty() ? 0 : 2 * nl;

  // With heights the locations stand at 0 on the value axis, or a little
  // below the lowest fusion level when that is negative.
  double base = 0.0;
  if (heights) {
    const auto [min, max] = std::minmax_element(year.levels.begin(), year.levels.end());
    if (*min < 0) base = *min - (*max / 2 - *min / 2) * 0.1;
    if (!std::isfinite(base)) base = *min;
  }
  const auto group_level = [&](std::int32_t node) {
    return year.levels.at(static_cast<std::size_t>(node) - nl - 1);
  };
  const auto level_of = [&](const PlotFusion& fusion, std::size_t p) -> double {
    if (!heights) return fusion.points[p].y;
    const std::int32_t node = fusion.points[p].node;
    if (p == 0 || p == 4) return static_cast<std::size_t>(node) <= nl ? base : group_level(node);
    return group_level(fusion.points[2].node);
  };

  // The span of levels and abscissae over all points, and for each node the
  // point at which a later fusion joins it: a location's name stands there.
  double lo = std::numeric_limits<double>::infinity();
  double hi = -lo;
  double top_x = std::numeric_limits<double>::infinity();
  double bottom_x = -top_x;
  std::vector<double> joined_x(nodes, 0.0);
  std::vector<double> joined_level(nodes, 0.0);
  for (const PlotFusion& fusion : year.fusions) {
    for (std::size_t p = 0; p < 5; ++p) {
      const double level = level_of(fusion, p);
      lo = std::min(lo, level);
      hi = std::max(hi, level);
      top_x = std::min(top_x, static_cast<double>(fusion.points[p].x));
      bottom_x = std::max(bottom_x, static_cast<double>(fusion.points[p].x));
    }
    for (std::size_t p : {std::size_t{0}, std::size_t{4}}) {
      const auto node = static_cast<std::size_t>(fusion.points[p].node);
      joined_x.at(node) = fusion.points[p].x;
      joined_level.at(node) = level_of(fusion, p);
    }
  }
  if (year.fusions.empty()) lo = hi = top_x = bottom_x = 0.0;
  const LevelScale scale(lo, hi);
  const double rows_top = heights ? kHeadingBottom + 38.0 : kHeadingBottom + 12.0;
  const auto row = [&](double x) { return rows_top + (x - top_x) * kRowPitch; };
  const double rows_bottom = row(bottom_x);

  // Inversions: a fusion below the level of a group it joins.
  std::vector<bool> inverted(year.fusions.size(), false);
  bool any_inversion = false;
  if (heights) {
    for (std::size_t s = 0; s < year.fusions.size(); ++s) {
      const double level = year.levels[s];
      for (std::int32_t child : {year.fusions[s].first(), year.fusions[s].second()}) {
        if (static_cast<std::size_t>(child) > nl && level < group_level(child)) inverted[s] = true;
      }
      any_inversion = any_inversion || inverted[s];
    }
  }

  double height = rows_bottom + 24.0;
  if (heights) height = rows_bottom + (any_inversion ? 64.0 : 44.0);
  if (year.fusions.empty()) height = kHeadingBottom + 8.0;

  std::string svg;
  svg.reserve(512 + 400 * (nl + year.fusions.size()));
  const std::string width_text = px(kWidth);
  const std::string height_text = px(height);
  svg += cat({"<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"", width_text, "\" height=\"",
              height_text, "\" viewBox=\"0 0 ", width_text, " ", height_text,
              "\" font-family=\"sans-serif\" font-size=\"12\">\n"});
  svg += cat({"<title>", escaped(heading(year)), "</title>\n"});
  svg += "<style>";
  svg += kStyle;
  svg += "</style>\n";
  svg +=
      cat({"<rect width=\"", width_text, "\" height=\"", height_text, "\" fill=\"#ffffff\"/>\n"});
  svg += cat({"<text class=\"heading\" x=\"", px(kLeft), "\" y=\"24\">", escaped(heading(year)),
              "</text>\n"});
  svg += cat({"<text class=\"subheading\" x=\"", px(kLeft), "\" y=\"42\">",
              escaped(subheading(year, options)), "</text>\n"});

  if (heights) {
    const auto axis = [&](double y, double text_y) {
      svg += "<g class=\"axis-labels\">";
      svg += cat({"<line class=\"axis\" x1=\"", px(scale.at(scale.lo())), "\" y1=\"", px(y),
                  "\" x2=\"", px(scale.at(scale.hi())), "\" y2=\"", px(y), "\"/>"});
      for (const Tick& tick : ticks(scale)) {
        const std::string x = px(scale.at(tick.value));
        svg += cat({"<line class=\"axis\" x1=\"", x, "\" y1=\"", px(y - 3), "\" x2=\"", x,
                    "\" y2=\"", px(y + 3), "\"/><text class=\"tick\" x=\"", x, "\" y=\"",
                    px(text_y), "\" text-anchor=\"middle\">", escaped(tick.text), "</text>"});
      }
      svg += "</g>\n";
    };
    svg += "<g class=\"grid-lines\">";
    for (const Tick& tick : ticks(scale)) {
      const std::string x = px(scale.at(tick.value));
      svg += cat({"<line class=\"grid\" x1=\"", x, "\" y1=\"", px(rows_top - 8), "\" x2=\"", x,
                  "\" y2=\"", px(rows_bottom + 8), "\"/>"});
    }
    svg += "</g>\n";
    svg += cat({"<text class=\"tick\" x=\"", px(kTreeLeft + kTreeWidth), "\" y=\"",
                px(kHeadingBottom + 8), "\" text-anchor=\"end\">fusion level D(ij)</text>\n"});
    axis(rows_top - 10, rows_top - 16);
    axis(rows_bottom + 10, rows_bottom + 24);
  }

  // Location names, in dendrogram order, each beside the end of its branch.
  svg += "<g class=\"leaves\">\n";
  if (!year.fusions.empty()) {
    for (std::size_t slot = 0; slot < nl; ++slot) {
      const std::int32_t node = year.listing.at(slot).number;
      const auto at = static_cast<std::size_t>(node);
      svg += cat({"<g class=\"leaf\"><title>",
                  escaped(cat({"location ", integer_text(node), ": ", shown_name(year, node), ", ",
                               integer_text(static_cast<std::int64_t>(slot) + 1), " of ",
                               integer_text(year.locations), " in dendrogram order"})),
                  "</title><text x=\"", px(scale.at(joined_level[at]) - 6), "\" y=\"",
                  px(row(joined_x[at]) + 4), "\" text-anchor=\"end\">",
                  escaped(shown_name(year, node)), "</text></g>\n"});
    }
  }
  svg += "</g>\n";

  // One bracket per fusion, through its five points as the plot data gives them.
  svg += "<g class=\"fusions\">\n";
  for (std::size_t s = 0; s < year.fusions.size(); ++s) {
    const PlotFusion& fusion = year.fusions[s];
    const std::int32_t node = fusion.points[2].node;
    std::string about =
        cat({node_name(year, node), " (node ", integer_text(node), "), fusion ",
             integer_text(static_cast<std::int64_t>(s) + 1), " of ",
             integer_text(static_cast<std::int64_t>(year.fusions.size())), ": joins ",
             shown_name(year, fusion.first()), " (", integer_text(fusion.first()), ") and ",
             shown_name(year, fusion.second()), " (", integer_text(fusion.second()), ")"});
    if (year.levels.size() == year.fusions.size()) {
      about += cat({" at D(ij) = ", shortest_text(year.levels[s])});
    }
    if (inverted[s]) about += ", below a group it joins (inversion)";
    svg += cat({"<g class=\"fusion\"><title>", escaped(about), "</title><polyline class=\"bracket",
                (inverted[s] ? " inversion" : ""), "\" points=\""});
    for (std::size_t p = 0; p < 5; ++p) {
      if (p > 0) svg += ' ';
      svg += px(scale.at(level_of(fusion, p))) + "," + px(row(fusion.points[p].x));
    }
    svg += cat({"\"/><circle class=\"node\" cx=\"", px(scale.at(level_of(fusion, 2))), "\" cy=\"",
                px(row(fusion.points[2].x)), "\" r=\"3\"/></g>\n"});
  }
  svg += "</g>\n";

  if (any_inversion) {
    const double y = rows_bottom + 48;
    svg += cat({"<g class=\"legend\"><line class=\"bracket inversion\" x1=\"", px(kTreeLeft),
                "\" y1=\"", px(y - 4), "\" x2=\"", px(kTreeLeft + 28), "\" y2=\"", px(y - 4),
                "\"/><text x=\"", px(kTreeLeft + 36), "\" y=\"", px(y),
                "\">fusion below the level of a group it joins (inversion)</text></g>\n"});
  }
  svg += "</svg>\n";
  return svg;
}

std::string year_svg_document(const YearPlot& year, const PictureOptions& options) {
  return cat({"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n", year_svg_element(year, options)});
}

}  // namespace metclust::plot
