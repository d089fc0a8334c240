#include "plot/svg.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <limits>
#include <span>
#include <vector>

#include "formats/strategies.hpp"
#include "jobs/year_tree.hpp"
#include "records/number_text.hpp"
#include "text/csv.hpp"
#include "text/markup.hpp"
#include "trees/tree.hpp"

namespace metclust::plot {

using records::cat;
using text::escaped;
using records::fixed_text;
using records::decimal;
using records::shortest_text;
using text::url_segment;
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

// A tall year repeats its value axis every 40 rows, so that one stays in
// view wherever the picture is scrolled.
constexpr double kAxisRepeat = 40 * kRowPitch;

// Maps values of [lo, hi] onto the tree's width, linearly or by the square
// root of their distance from lo. Halves are taken before the difference so
// that no finite pair of values overflows.
class LevelScale {
 public:
  LevelScale(double lo, double hi, bool root) : lo_(lo), hi_(hi), root_(root) {
    if (!(hi_ > lo_)) lo_ = hi_ - std::max(1.0, std::abs(hi_) * 1e-3);
  }
  double lo() const { return lo_; }
  double hi() const { return hi_; }
  bool root() const { return root_; }
  double at(double value) const {
    double share = (value / 2 - lo_ / 2) / (hi_ / 2 - lo_ / 2);
    if (root_) share = std::sqrt(std::max(share, 0.0));
    return kTreeLeft + share * kTreeWidth;
  }

 private:
  double lo_;
  double hi_;
  bool root_;
};

struct Tick {
  double value;
  std::string text;
};

// The value nearest to v (> 0) of 1, 2, 5 or 10 times a power of ten.
double rounded_to_one_two_five(double v) {
  const double unit = std::pow(10.0, std::floor(std::log10(v)));
  double best = unit;
  for (const double multiple : {2.0, 5.0, 10.0}) {
    if (std::abs(std::log(multiple * unit / v)) < std::abs(std::log(best / v))) best = multiple * unit;
  }
  return best;
}

// About six ticks at 1, 2 or 5 times a power of ten: evenly spaced in value
// on a linear scale; on a square-root scale, near eight places evenly spaced
// on the picture, those that stay apart.
std::vector<Tick> ticks(const LevelScale& scale) {
  const double lo = scale.lo();
  const double hi = scale.hi();
  std::vector<Tick> out;
  if (scale.root()) {
    out.push_back({lo, shortest_text(lo)});
    for (int k = 1; k <= 8; ++k) {
      const double share = static_cast<double>(k) / 8;
      const double step = (hi / 2 - lo / 2) * 2 * share * share;
      if (!(step > 0) || !std::isfinite(step)) break;
      const double value = lo + rounded_to_one_two_five(step);
      if (value > hi + (hi / 2 - lo / 2) * 2e-9 || value <= out.back().value) continue;
      out.push_back({value, shortest_text(value)});
    }
    return out;
  }
  const double raw = (hi / 2 - lo / 2) / 3;
  const double exponent = std::floor(std::log10(raw));
  const double unit = std::pow(10.0, exponent);
  const double fraction = raw / unit;
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

// The name of a group node as the plot data gives it.
std::string node_name(const YearPlot& year, std::int32_t node) {
  if (node > year.locations && static_cast<std::size_t>(node) <= year.listing.size()) {
    return year.listing[static_cast<std::size_t>(node - 1)].name;
  }
  return {};
}

// The name of a node: a location's by the naming rule, a group's as the
// plot data gives it.
std::string shown_name(const YearPlot& year, const jobs::YearNames& names, std::int32_t node) {
  if (node >= 1 && static_cast<std::size_t>(node) <= names.labels.size()) {
    return names.labels[static_cast<std::size_t>(node) - 1];
  }
  return node_name(year, node);
}

// The full name of location `node` when it tells more than its name.
std::string full_name(const jobs::YearNames& names, std::int32_t node) {
  if (node < 1 || static_cast<std::size_t>(node) > names.full_names.size()) return {};
  const std::string& full = names.full_names[static_cast<std::size_t>(node) - 1];
  return full == names.labels[static_cast<std::size_t>(node) - 1] ? std::string() : full;
}

// Characters of a UTF-8 text, for the room it takes.
std::size_t characters(std::string_view text) {
  return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

std::string heading(const YearPlot& year) {
  std::string text = cat({"Year ", decimal(year.year)});
  if (!year.label.empty() && year.label != decimal(year.year))
    text += cat({" (", year.label, ")"});
  if (!year.title.empty()) text += cat({": ", year.title});
  return text;
}

std::string subheading(const YearPlot& year, const PictureOptions& options, bool heights, bool root) {
  if (year.locations < 2) {
    return decimal(year.locations) + (year.locations == 1 ? " location" : " locations") +
           ": nothing to cluster, and the plot data of such a year names no location";
  }
  std::string text = decimal(year.locations) + " locations";
  if (options.strategy != 0) text += cat({" \xC2\xB7 ", formats::strategy_name(options.strategy)});
  text += heights ? " \xC2\xB7 fusions at their fusion levels D(ij)"
                  : " \xC2\xB7 fusions in the order they were made";
  if (root) text += " on a square-root scale";
  if (options.groups > 0)
    text += cat({" \xC2\xB7 cut into ", decimal(options.groups), " groups"});
  if (options.span) text += " \xC2\xB7 one scale for all years";
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
    ".tick{font-size:11px;fill:#555}"
    ".axis-labels.repeated .tick{paint-order:stroke;stroke:#fff;stroke-width:3px}"
    ".axis-labels.repeated .axis{stroke-opacity:0.4}"
    ".bracket.above{stroke:#999999}"
    ".cut{stroke:#333;stroke-width:1.5;stroke-dasharray:2 3}"
    ".cut-label{font-size:11px;fill:#333}"
    ".bracket.dashed{stroke-dasharray:6 2}"
    ".swatch{stroke:none}"
    ".full-name{font-size:12px;fill:#444}";

// Eight colours of Okabe and Ito's palette, in an order that puts the most
// distinct ones first; yellow, the faintest on white, comes late.
constexpr const char* kPalette[] = {"#0072B2", "#E69F00", "#009E73", "#D55E00",
                                    "#56B4E9", "#CC79A7", "#000000", "#F0E442"};

// Where the node of each fusion and each location falls in a cut into K
// groups: group[node - 1] is the group a node lies in, 0 for a fusion above
// the cut.
struct CutView {
  trees::Partition partition;
  std::vector<std::int64_t> node_group;
  std::size_t kept = 0;  // the first `kept` fusions lie inside groups
};

CutView cut_view(const YearPlot& year, std::int64_t groups) {
  const trees::Tree tree = jobs::year_tree(year);
  CutView view;
  view.partition = trees::cut_into_groups(tree, groups);
  const auto n = static_cast<std::size_t>(tree.locations());
  view.kept = groups >= static_cast<std::int64_t>(n) ? 0 : n - static_cast<std::size_t>(groups);
  view.node_group.assign(n + tree.fusions().size(), 0);
  for (std::size_t k = 0; k < n; ++k) view.node_group[k] = view.partition.group[k];
  for (std::size_t s = 0; s < view.kept; ++s) {
    view.node_group[n + s] = view.node_group[static_cast<std::size_t>(tree.left(s)) - 1];
  }
  return view;
}

std::string group_class(std::int64_t group) {
  if (group <= 0) return " above";
  const GroupStyle style = group_style(group);
  return cat({" g", decimal((group - 1) % 8 + 1), style.dashed ? " dashed" : ""});
}

}  // namespace

LevelScaleKind suited_scale(std::span<const double> levels) {
  if (levels.empty()) return LevelScaleKind::Linear;
  std::vector<double> sorted(levels.begin(), levels.end());
  std::sort(sorted.begin(), sorted.end());
  const double top = sorted.back();
  // More than half of them: the middle one, or the upper of the middle two.
  const double middle = sorted[sorted.size() / 2];
  const bool crowded = sorted.front() >= 0 && top > 0 && std::isfinite(top) && middle < top / 20;
  return crowded ? LevelScaleKind::SquareRoot : LevelScaleKind::Linear;
}

GroupStyle group_style(std::int64_t group) {
  const std::int64_t k = group > 0 ? group - 1 : 0;
  return {kPalette[k % 8], (k / 8) % 2 == 1};
}

std::optional<ValueSpan> year_span(const YearPlot& year, bool heights) {
  if (year.fusions.empty()) return std::nullopt;
  heights = heights && year.levels.size() == year.fusions.size();
  ValueSpan span;
  if (heights) {
    // The locations stand at 0 on the value axis, or a little below the
    // lowest fusion level when that is negative.
    const auto [min, max] = std::minmax_element(year.levels.begin(), year.levels.end());
    if (*min < 0) span.base = *min - (*max / 2 - *min / 2) * 0.1;
    if (!std::isfinite(span.base)) span.base = *min;
    span.lo = std::min(span.base, *min);
    span.hi = std::max(span.base, *max);
    return span;
  }
  span.lo = std::numeric_limits<double>::infinity();
  span.hi = -span.lo;
  for (const PlotFusion& fusion : year.fusions) {
    for (const PlotPoint& point : fusion.points) {
      span.lo = std::min(span.lo, static_cast<double>(point.y));
      span.hi = std::max(span.hi, static_cast<double>(point.y));
    }
  }
  span.base = span.lo;
  return span;
}

ValueSpan merged(const ValueSpan& a, const ValueSpan& b) {
  return {std::min(a.base, b.base), std::min(a.lo, b.lo), std::max(a.hi, b.hi)};
}

std::string year_svg_element(const YearPlot& year, const PictureOptions& options,
                             const jobs::YearNames* given_names) {
  const jobs::YearNames names =
      given_names != nullptr ? *given_names : jobs::year_names(year, year.locations, nullptr, "");
  const bool heights =
      options.heights && !year.fusions.empty() && year.levels.size() == year.fusions.size();
  const auto nl = static_cast<std::size_t>(std::max(0, year.locations));
  const std::size_t nodes = year.fusions.empty() ? 0 : 2 * nl;

  const ValueSpan own = year_span(year, heights).value_or(ValueSpan{});
  const ValueSpan span = options.span ? *options.span : own;
  const double base = span.base;
  const auto group_level = [&](std::int32_t node) {
    return year.levels.at(static_cast<std::size_t>(node) - nl - 1);
  };
  const auto level_of = [&](const PlotFusion& fusion, std::size_t p) -> double {
    if (!heights) return fusion.points[p].y;
    const std::int32_t node = fusion.points[p].node;
    if (p == 0 || p == 4) return static_cast<std::size_t>(node) <= nl ? base : group_level(node);
    return group_level(fusion.points[2].node);
  };

  // The span of abscissae over all points, and for each node the point at
  // which a later fusion joins it: a location's name stands there.
  double top_x = std::numeric_limits<double>::infinity();
  double bottom_x = -top_x;
  std::vector<double> joined_x(nodes, 0.0);
  std::vector<double> joined_level(nodes, 0.0);
  for (const PlotFusion& fusion : year.fusions) {
    for (std::size_t p = 0; p < 5; ++p) {
      top_x = std::min(top_x, static_cast<double>(fusion.points[p].x));
      bottom_x = std::max(bottom_x, static_cast<double>(fusion.points[p].x));
    }
    for (std::size_t p : {std::size_t{0}, std::size_t{4}}) {
      const auto node = static_cast<std::size_t>(fusion.points[p].node);
      joined_x.at(node) = fusion.points[p].x;
      joined_level.at(node) = level_of(fusion, p);
    }
  }
  if (year.fusions.empty()) top_x = bottom_x = 0.0;
  const LevelScaleKind kind = options.scale == LevelScaleKind::Suited
                                  ? suited_scale(heights ? std::span<const double>(year.levels)
                                                         : std::span<const double>())
                                  : options.scale;
  const bool root = heights && kind == LevelScaleKind::SquareRoot && span.lo >= 0;
  const LevelScale scale(span.lo, span.hi, root);
  const bool axis_shown = heights || options.span.has_value();
  const double rows_top = axis_shown ? kHeadingBottom + 38.0 : kHeadingBottom + 12.0;
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

  // The cut into groups, and the value it is drawn at: halfway between the
  // highest fusion inside the groups (or the locations) and the lowest
  // fusion above the cut. An inversion can leave no such value.
  const bool cut = options.groups > 0 && !year.fusions.empty();
  CutView view;
  std::optional<double> cut_at;
  if (cut) {
    view = cut_view(year, options.groups);
    if (view.kept < year.fusions.size()) {
      const auto value = [&](std::size_t s) { return level_of(year.fusions[s], 2); };
      double inside = heights ? base : year.fusions.front().points[0].y;
      for (std::size_t s = 0; s < view.kept; ++s) inside = std::max(inside, value(s));
      double above = std::numeric_limits<double>::infinity();
      for (std::size_t s = view.kept; s < year.fusions.size(); ++s)
        above = std::min(above, value(s));
      if (inside < above) cut_at = inside / 2 + above / 2;
    }
  }
  const std::size_t legend_rows =
      cut ? (static_cast<std::size_t>(view.partition.count) + 3) / 4 + 1 : 0;

  double height = rows_bottom + 24.0;
  if (axis_shown) height = rows_bottom + 44.0;
  if (any_inversion) height += 20.0;
  const double legend_top = height;
  height += 20.0 * static_cast<double>(legend_rows);
  if (year.fusions.empty()) height = kHeadingBottom + 8.0;

  // Full names stand right of the tree, in a column as wide as the longest.
  std::size_t longest_full_name = 0;
  if (!year.fusions.empty()) {
    for (std::int32_t k = 1; k <= year.locations; ++k) {
      longest_full_name = std::max(longest_full_name, characters(full_name(names, k)));
    }
  }
  const double full_names_left = kTreeLeft + kTreeWidth + 24.0;
  const double width =
      longest_full_name == 0
          ? kWidth
          : std::max(kWidth, full_names_left + 7.5 * static_cast<double>(longest_full_name) + kLeft);

  std::string svg;
  svg.reserve(512 + 400 * (nl + year.fusions.size()));
  const std::string width_text = px(width);
  const std::string height_text = px(height);
  svg += cat({"<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"", width_text, "\" height=\"",
              height_text, "\" viewBox=\"0 0 ", width_text, " ", height_text,
              "\" font-family=\"sans-serif\" font-size=\"12\">\n"});
  svg += cat({"<title>", escaped(heading(year)), "</title>\n"});
  svg += "<style>";
  svg += kStyle;
  for (std::size_t k = 0; k < 8; ++k) {
    const std::string name = decimal(static_cast<std::int64_t>(k) + 1);
    svg += cat({".bracket.g", name, "{stroke:", kPalette[k], "}.swatch.g", name,
                "{fill:", kPalette[k], "}"});
  }
  svg += "</style>\n";
  svg +=
      cat({"<rect width=\"", width_text, "\" height=\"", height_text, "\" fill=\"#ffffff\"/>\n"});
  svg += cat({"<text class=\"heading\" x=\"", px(kLeft), "\" y=\"24\">", escaped(heading(year)),
              "</text>\n"});
  svg += cat({"<text class=\"subheading\" x=\"", px(kLeft), "\" y=\"42\">",
              escaped(subheading(year, options, heights, root)), "</text>\n"});

  if (axis_shown && !year.fusions.empty()) {
    const auto axis = [&](double y, double text_y, bool repeated = false) {
      svg += repeated ? "<g class=\"axis-labels repeated\">" : "<g class=\"axis-labels\">";
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
                px(kHeadingBottom + 8), "\" text-anchor=\"end\">",
                heights ? (root ? "fusion level D(ij), square-root scale" : "fusion level D(ij)")
                        : "fusion number + 1",
                "</text>\n"});
    axis(rows_top - 10, rows_top - 16);
    // Between two rows, every 40 rows down a tall year, but not close above
    // the axis below the rows.
    for (double y = rows_top + kAxisRepeat - kRowPitch / 2; y < rows_bottom - kAxisRepeat / 2;
         y += kAxisRepeat) {
      axis(y, y + 4, true);
    }
    axis(rows_bottom + 10, rows_bottom + 24);
  }

  // Location names, in dendrogram order, each beside the end of its branch;
  // with a cut, a square of its group's colour before it.
  svg += "<g class=\"leaves\">\n";
  if (!year.fusions.empty()) {
    for (std::size_t slot = 0; slot < nl; ++slot) {
      const std::int32_t node = year.listing.at(slot).number;
      const auto at = static_cast<std::size_t>(node);
      const std::string name = shown_name(year, names, node);
      const std::string full = full_name(names, node);
      std::string about = cat({"location ", decimal(node), ": ", name});
      if (!full.empty()) about += cat({" (", full, ")"});
      about += cat({", ", decimal(static_cast<std::int64_t>(slot) + 1), " of ",
                    decimal(year.locations), " in dendrogram order"});
      std::string swatch;
      if (cut) {
        const std::int64_t group = view.node_group.at(at - 1);
        about += cat({", group ", decimal(group)});
        swatch = cat({"<rect class=\"swatch", group_class(group), "\" x=\"4\" y=\"",
                      px(row(joined_x[at]) - 4), "\" width=\"8\" height=\"8\"/>"});
      }
      if (!full.empty()) {
        swatch += cat({"<text class=\"full-name\" x=\"", px(full_names_left), "\" y=\"",
                       px(row(joined_x[at]) + 4), "\">", escaped(full), "</text>"});
      }
      svg += cat({"<g class=\"leaf\"><title>", escaped(about), "</title><text x=\"",
                  px(scale.at(joined_level[at]) - 6), "\" y=\"", px(row(joined_x[at]) + 4),
                  "\" text-anchor=\"end\">", escaped(name), "</text>", swatch, "</g>\n"});
    }
  }
  svg += "</g>\n";

  // One bracket per fusion, through its five points as the plot data gives them.
  svg += "<g class=\"fusions\">\n";
  for (std::size_t s = 0; s < year.fusions.size(); ++s) {
    const PlotFusion& fusion = year.fusions[s];
    const std::int32_t node = fusion.points[2].node;
    std::string about =
        cat({node_name(year, node), " (node ", decimal(node), "), fusion ",
             decimal(static_cast<std::int64_t>(s) + 1), " of ",
             decimal(static_cast<std::int64_t>(year.fusions.size())), ": joins ",
             shown_name(year, names, fusion.first()), " (", decimal(fusion.first()), ") and ",
             shown_name(year, names, fusion.second()), " (", decimal(fusion.second()), ")"});
    if (year.levels.size() == year.fusions.size()) {
      about += cat({" at D(ij) = ", shortest_text(year.levels[s])});
    }
    if (inverted[s]) about += ", below a group it joins (inversion)";
    std::string classes = inverted[s] ? " inversion" : "";
    if (cut) {
      const std::int64_t group = view.node_group.at(static_cast<std::size_t>(node) - 1);
      about += group > 0 ? cat({", inside group ", decimal(group)}) : ", above the cut";
      classes += group_class(group);
    }
    svg += cat({"<g class=\"fusion\"><title>", escaped(about), "</title><polyline class=\"bracket",
                classes, "\" points=\""});
    for (std::size_t p = 0; p < 5; ++p) {
      if (p > 0) svg += ' ';
      svg += px(scale.at(level_of(fusion, p))) + "," + px(row(fusion.points[p].x));
    }
    svg += cat({"\"/><circle class=\"node\" cx=\"", px(scale.at(level_of(fusion, 2))), "\" cy=\"",
                px(row(fusion.points[2].x)), "\" r=\"3\"/></g>\n"});
  }
  svg += "</g>\n";

  if (cut_at) {
    const std::string x = px(scale.at(*cut_at));
    svg += cat({"<g class=\"cut-line\"><title>",
                escaped(cat({"cut into ", decimal(view.partition.count), " groups"})),
                "</title><line class=\"cut\" x1=\"", x, "\" y1=\"", px(rows_top - 6), "\" x2=\"", x,
                "\" y2=\"", px(rows_bottom + 6), "\"/></g>\n"});
  }

  if (any_inversion) {
    const double y = legend_top - 4;
    svg += cat({"<g class=\"legend\"><line class=\"bracket inversion\" x1=\"", px(kTreeLeft),
                "\" y1=\"", px(y - 4), "\" x2=\"", px(kTreeLeft + 28), "\" y2=\"", px(y - 4),
                "\"/><text x=\"", px(kTreeLeft + 36), "\" y=\"", px(y),
                "\">fusion below the level of a group it joins (inversion)</text></g>\n"});
  }

  if (cut) {
    // The legend: what the cut is, then the groups four to a row, each with
    // its colour and its number of locations.
    std::vector<std::int64_t> sizes(static_cast<std::size_t>(view.partition.count) + 1, 0);
    for (const std::int32_t group : view.partition.group)
      ++sizes.at(static_cast<std::size_t>(group));
    std::string about = cat({"cut into ", decimal(view.partition.count), " groups"});
    if (view.partition.count < options.groups) {
      about += cat({" (asked for ", decimal(options.groups), "; the year has only ",
                    decimal(year.locations), " locations)"});
    }
    if (view.kept < year.fusions.size() && !cut_at) {
      about +=
          ": an inversion puts fusions inside groups above one outside, so no single level divides "
          "them";
    }
    svg += "<g class=\"group-legend\">";
    svg += cat({"<text x=\"", px(kLeft), "\" y=\"", px(legend_top + 14), "\">", escaped(about),
                "</text>"});
    for (std::int64_t g = 1; g <= view.partition.count; ++g) {
      const double y = legend_top + 20.0 * static_cast<double>((g - 1) / 4 + 1);
      const double x = kLeft + 190.0 * static_cast<double>((g - 1) % 4);
      const std::string count = decimal(sizes[static_cast<std::size_t>(g)]);
      svg += cat({"<g class=\"legend-group\"><line class=\"bracket",
                  group_class(g),
                  "\" x1=\"",
                  px(x),
                  "\" y1=\"",
                  px(y + 10),
                  "\" x2=\"",
                  px(x + 24),
                  "\" y2=\"",
                  px(y + 10),
                  "\"/><text x=\"",
                  px(x + 30),
                  "\" y=\"",
                  px(y + 14),
                  "\">group ",
                  decimal(g),
                  " (",
                  count,
                  count == "1" ? " location" : " locations",
                  ")</text></g>"});
    }
    svg += "</g>\n";
  }
  svg += "</svg>\n";
  return svg;
}

std::string year_svg_document(const YearPlot& year, const PictureOptions& options,
                              const jobs::YearNames* names) {
  return cat({"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n",
              year_svg_element(year, options, names)});
}

}  // namespace metclust::plot
