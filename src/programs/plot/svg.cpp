#include "plot/svg.hpp"

#include <algorithm>
#include <charconv>
#include <cctype>
#include <cmath>
#include <cstddef>
#include <limits>
#include <map>
#include <span>
#include <vector>

#include "formats/strategies.hpp"
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

// Page coordinates to a tenth of a pixel, which is finer than a screen or a
// print draws: "12", "12.5".
std::string px(double value) {
  std::string text = fixed_text(value, 1);
  if (text.size() > 2 && text.compare(text.size() - 2, 2, ".0") == 0) text.resize(text.size() - 2);
  if (text == "-0") text = "0";
  return text;
}

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

// The name of a node: a location's as every program shows it, a group's as
// the node listing gives it.
const std::string& node_name(const Year& year, std::int32_t node) {
  const std::size_t n = year.names.size();
  const auto k = static_cast<std::size_t>(node) - 1;
  return k < n ? year.names.at(k) : year.group_names.at(k - n);
}

// The full name of location `node` when it tells more than its name.
std::string full_name(const Year& year, std::int32_t node) {
  const auto k = static_cast<std::size_t>(node) - 1;
  if (node < 1 || k >= year.full_names.size() || k >= year.names.size()) return {};
  return year.full_names[k] == year.names[k] ? std::string() : year.full_names[k];
}

// Characters of a UTF-8 text, for the room it takes.
std::size_t characters(std::string_view text) {
  return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

std::string heading(const Year& year) {
  std::string text = cat({"Year ", year.column});
  if (!year.label.empty() && year.label != decimal(year.year))
    text += cat({" (", year.label, ")"});
  if (!year.title.empty()) text += cat({": ", year.title});
  return text;
}

std::string subheading(const Year& year, const PictureOptions& options, bool heights, bool root) {
  const std::int32_t locations = year.tree.locations();
  if (locations < 2) {
    return decimal(locations) + (locations == 1 ? " location" : " locations") +
           ": nothing to cluster, and the plot data of such a year names no location";
  }
  std::string text = decimal(locations) + " locations";
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
    ".leaves text{font-family:monospace;font-size:12px;text-anchor:end}"
    ".bracket{fill:none;stroke:#1f4e79;stroke-width:1.5}"
    ".node{fill:none;stroke:#1f4e79;stroke-width:6;stroke-linecap:round}"
    ".fusions .bracket:hover{stroke-width:3}"
    ".axis{stroke:#777;stroke-width:1}"
    ".grid{stroke:#e4e4e4;stroke-width:1}"
    ".tick{font-size:11px;fill:#555}"
    ".axis-labels .tick{text-anchor:middle}"
    ".axis-labels.repeated .tick{paint-order:stroke;stroke:#fff;stroke-width:3px}"
    ".axis-labels.repeated .axis{stroke-opacity:0.4}"
    ".bracket.above{stroke:#999999}"
    ".cut{stroke:#333;stroke-width:1.5;stroke-dasharray:2 3}"
    ".cut-label{font-size:11px;fill:#333}"
    ".bracket.dashed{stroke-dasharray:6 2}"
    ".swatch{stroke:none}"
    ".full-names text{font-size:12px;fill:#444}";

// An inversion: red and dashed, in the picture as in its legend.
constexpr std::string_view kInversionStyle = ".bracket.inversion{stroke:#c0392b;stroke-dasharray:5 3}";

// Where the node of each fusion and each location falls in a cut into K
// groups: group[node - 1] is the group a node lies in, 0 for a fusion above
// the cut.
struct CutView {
  trees::Partition partition;
  std::vector<std::int64_t> node_group;
  std::size_t kept = 0;  // the first `kept` fusions lie inside groups
};

CutView cut_view(const trees::Tree& tree, std::int64_t groups) {
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

// `text` as a JSON string; the caller escapes the JSON for markup.
std::string json_string(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      static constexpr char kHex[] = "0123456789abcdef";
      out += "\\u00";
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    } else {
      out += c;
    }
  }
  return out + "\"";
}

// `text` as character data: escaped, but with its quotes as they are, which
// character data may hold (the hover data holds many).
std::string character_data(std::string_view text) {
  const std::string marked = escaped(text);
  std::string out;
  out.reserve(marked.size());
  for (std::size_t k = 0; k < marked.size(); ++k) {
    if (marked.compare(k, 6, "&quot;") == 0) {
      out += '"';
      k += 5;
    } else if (marked.compare(k, 5, "&#39;") == 0) {
      out += '\'';
      k += 4;
    } else {
      out += marked[k];
    }
  }
  return out;
}

std::string group_class(std::int64_t group) {
  if (group <= 0) return " above";
  const GroupStyle style = group_style(group);
  return cat({" g", decimal((group - 1) % static_cast<std::int64_t>(text::kGroupColours) + 1), style.dashed ? " dashed" : ""});
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

std::vector<double> fusion_levels(const Year& year) {
  std::vector<double> levels;
  if (!year.at_levels) return levels;
  for (const trees::Fusion& fusion : year.tree.fusions()) levels.push_back(fusion.level);
  return levels;
}

std::optional<ValueSpan> year_span(const Year& year, bool heights) {
  const trees::Tree& tree = year.tree;
  if (tree.fusions().empty()) return std::nullopt;
  heights = heights && year.at_levels;
  ValueSpan span;
  if (heights) {
    // The locations stand at 0 on the value axis, or a little below the
    // lowest fusion level when that is negative.
    const std::vector<double> levels = fusion_levels(year);
    const auto [min, max] = std::minmax_element(levels.begin(), levels.end());
    if (*min < 0) span.base = *min - (*max / 2 - *min / 2) * 0.1;
    if (!std::isfinite(span.base)) span.base = *min;
    span.lo = std::min(span.base, *min);
    span.hi = std::max(span.base, *max);
    return span;
  }
  span.lo = std::numeric_limits<double>::infinity();
  span.hi = -span.lo;
  for (const jobs::Place& place : year.places) {
    span.lo = std::min(span.lo, static_cast<double>(place.y));
    span.hi = std::max(span.hi, static_cast<double>(place.y));
  }
  span.base = span.lo;
  return span;
}

ValueSpan merged(const ValueSpan& a, const ValueSpan& b) {
  return {std::min(a.base, b.base), std::min(a.lo, b.lo), std::max(a.hi, b.hi)};
}

std::string year_svg_element(const Year& year, const PictureOptions& options) {
  const trees::Tree& tree = year.tree;
  const std::span<const trees::Fusion> fusions = tree.fusions();
  const bool heights = options.heights && !fusions.empty() && year.at_levels;
  const auto nl = static_cast<std::size_t>(tree.locations());

  const ValueSpan own = year_span(year, heights).value_or(ValueSpan{});
  const ValueSpan span = options.span ? *options.span : own;
  const double base = span.base;
  const auto place = [&](std::int32_t node) -> const jobs::Place& {
    return year.places.at(static_cast<std::size_t>(node) - 1);
  };
  const auto group_level = [&](std::int32_t node) {
    return tree.level(static_cast<std::size_t>(node) - nl - 1);
  };
  // Where a node stands across the page: its fusion level (the locations at
  // the base) with heights, otherwise its ordinate in the plot data.
  const auto level_at = [&](std::int32_t node) -> double {
    if (!heights) return place(node).y;
    return static_cast<std::size_t>(node) <= nl ? base : group_level(node);
  };
  // Point p (0..4) of the bracket of fusion s: up from the first node it
  // joins, across at the new group, down to the second.
  const auto made = [&](std::size_t s) { return static_cast<std::int32_t>(nl + s + 1); };
  const auto point_node = [&](std::size_t s, std::size_t p) {
    return p < 2 ? fusions[s].first : p == 2 ? made(s) : fusions[s].second;
  };
  const auto point_level = [&](std::size_t s, std::size_t p) {
    return level_at(p == 0 ? fusions[s].first : p == 4 ? fusions[s].second : made(s));
  };

  // The span of abscissae over all nodes.
  double top_x = std::numeric_limits<double>::infinity();
  double bottom_x = -top_x;
  for (const jobs::Place& at : year.places) {
    top_x = std::min(top_x, static_cast<double>(at.x));
    bottom_x = std::max(bottom_x, static_cast<double>(at.x));
  }
  if (fusions.empty()) top_x = bottom_x = 0.0;
  const std::vector<double> levels = heights ? fusion_levels(year) : std::vector<double>();
  const LevelScaleKind kind =
      options.scale == LevelScaleKind::Suited ? suited_scale(levels) : options.scale;
  const bool root = heights && kind == LevelScaleKind::SquareRoot && span.lo >= 0;
  const LevelScale scale(span.lo, span.hi, root);
  const bool axis_shown = heights || options.span.has_value();
  const double rows_top = axis_shown ? kHeadingBottom + 38.0 : kHeadingBottom + 12.0;
  const auto row = [&](double x) { return rows_top + (x - top_x) * kRowPitch; };
  const double rows_bottom = row(bottom_x);

  // Inversions: a fusion below the level of a group it joins.
  std::vector<bool> inverted(fusions.size(), false);
  bool any_inversion = false;
  if (heights) {
    for (std::size_t s = 0; s < fusions.size(); ++s) {
      const double level = tree.level(s);
      for (std::int32_t child : {fusions[s].first, fusions[s].second}) {
        if (static_cast<std::size_t>(child) > nl && level < group_level(child)) inverted[s] = true;
      }
      any_inversion = any_inversion || inverted[s];
    }
  }

  // The cut into groups, and the value it is drawn at: halfway between the
  // highest fusion inside the groups (or the locations) and the lowest
  // fusion above the cut. An inversion can leave no such value.
  const bool cut = options.groups > 0 && !fusions.empty();
  CutView view;
  std::optional<double> cut_at;
  if (cut) {
    view = cut_view(tree, options.groups);
    if (view.kept < fusions.size()) {
      const auto value = [&](std::size_t s) { return point_level(s, 2); };
      double inside = heights ? base : point_level(0, 0);
      for (std::size_t s = 0; s < view.kept; ++s) inside = std::max(inside, value(s));
      double above = std::numeric_limits<double>::infinity();
      for (std::size_t s = view.kept; s < fusions.size(); ++s)
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
  if (fusions.empty()) height = kHeadingBottom + 8.0;

  // Full names stand right of the tree, in a column as wide as the longest.
  std::size_t longest_full_name = 0;
  if (!fusions.empty()) {
    for (std::int32_t k = 1; k <= tree.locations(); ++k) {
      longest_full_name = std::max(longest_full_name, characters(full_name(year, k)));
    }
  }
  const double full_names_left = kTreeLeft + kTreeWidth + 24.0;
  const double width =
      longest_full_name == 0
          ? kWidth
          : std::max(kWidth, full_names_left + 7.5 * static_cast<double>(longest_full_name) + kLeft);

  std::string svg;
  svg.reserve(512 + 200 * (nl + fusions.size()));
  const std::string width_text = px(width);
  const std::string height_text = px(height);
  svg += cat({"<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"", width_text, "\" height=\"",
              height_text, "\" viewBox=\"0 0 ", width_text, " ", height_text,
              "\" font-family=\"sans-serif\" font-size=\"12\">\n"});
  svg += cat({"<title>", escaped(heading(year)), "</title>\n"});
  svg += "<style>";
  svg += kStyle;
  for (std::size_t k = 0; k < text::kGroupColours; ++k) {
    const std::string name = decimal(static_cast<std::int64_t>(k) + 1);
    svg += cat({".bracket.g", name, "{stroke:", text::group_colour(k), "}.swatch.g", name,
                "{fill:", text::group_colour(k), "}"});
  }
  // After the groups' colours, so that an inversion is drawn as its legend
  // shows it whatever group it lies in.
  svg += kInversionStyle;
  svg += "</style>\n";
  svg +=
      cat({"<rect width=\"", width_text, "\" height=\"", height_text, "\" fill=\"#ffffff\"/>\n"});
  svg += cat({"<text class=\"heading\" x=\"", px(kLeft), "\" y=\"24\">", escaped(heading(year)),
              "</text>\n"});
  svg += cat({"<text class=\"subheading\" x=\"", px(kLeft), "\" y=\"42\">",
              escaped(subheading(year, options, heights, root)), "</text>\n"});

  if (axis_shown && !fusions.empty()) {
    const auto axis = [&](double y, double text_y, std::string_view repeated_id = {}) {
      svg += repeated_id.empty() ? std::string("<g class=\"axis-labels\">")
                                 : cat({"<g class=\"axis-labels repeated\" id=\"", repeated_id, "\">"});
      svg += cat({"<line class=\"axis\" x1=\"", px(scale.at(scale.lo())), "\" y1=\"", px(y),
                  "\" x2=\"", px(scale.at(scale.hi())), "\" y2=\"", px(y), "\"/>"});
      for (const Tick& tick : ticks(scale)) {
        const std::string x = px(scale.at(tick.value));
        svg += cat({"<line class=\"axis\" x1=\"", x, "\" y1=\"", px(y - 3), "\" x2=\"", x,
                    "\" y2=\"", px(y + 3), "\"/><text class=\"tick\" x=\"", x, "\" y=\"",
                    px(text_y), "\">", escaped(tick.text), "</text>"});
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
    // the axis below the rows: drawn once, then used at each place. Its id
    // is the year's column, which no other year of a page has.
    std::string repeated_id = "axis-";
    for (const char c : year.column) {
      repeated_id += std::isalnum(static_cast<unsigned char>(c)) || c == '-' ? c : '_';
    }
    bool repeated_drawn = false;
    for (double y = rows_top + kAxisRepeat - kRowPitch / 2; y < rows_bottom - kAxisRepeat / 2;
         y += kAxisRepeat) {
      if (!repeated_drawn) {
        svg += "<defs>";
        axis(0, 4, repeated_id);
        svg += "</defs>\n";
        repeated_drawn = true;
      }
      svg += cat({"<use href=\"#", repeated_id, "\" y=\"", px(y), "\"/>\n"});
    }
    axis(rows_bottom + 10, rows_bottom + 24);
  }

  // Location names, in dendrogram order, each beside the end of its branch;
  // with a cut, a square of its group's colour before it (one path for each
  // group's squares); full names right of the tree. The hover texts of the
  // names and the brackets are made by the page's script from the year's
  // data at the end of the picture (hover_script), which holds each name
  // once.
  std::map<std::string, std::string> swatches;  // group classes -> path
  std::string full_names;
  svg += "<g class=\"leaves\">\n";
  if (!fusions.empty()) {
    for (std::size_t slot = 0; slot < nl; ++slot) {
      const std::int32_t node = tree.order()[slot];
      const double row_at = row(place(node).x);
      const std::string full = full_name(year, node);
      if (cut) {
        const std::int64_t group = view.node_group.at(static_cast<std::size_t>(node) - 1);
        swatches[group_class(group)] += cat({"M4 ", px(row_at - 4), "h8v8h-8z"});
      }
      if (!full.empty()) {
        full_names += cat({"<text x=\"", px(full_names_left), "\" y=\"", px(row_at + 4), "\">",
                           escaped(full), "</text>\n"});
      }
      svg += cat({"<text x=\"", px(scale.at(level_at(node)) - 6), "\" y=\"", px(row_at + 4), "\">",
                  escaped(node_name(year, node)), "</text>\n"});
    }
  }
  svg += "</g>\n";
  for (const auto& [classes, d] : swatches) {
    svg += cat({"<path class=\"swatch", classes, "\" d=\"", d, "\"/>\n"});
  }
  if (!full_names.empty()) svg += cat({"<g class=\"full-names\">\n", full_names, "</g>\n"});

  // One bracket per fusion, through its five points: from the first node it
  // joins across to the new group's level, along it through the new group's
  // node to the second node's row, and back to the second node. The nodes'
  // dots follow, all in one path.
  std::string dots;
  svg += "<g class=\"fusions\">\n";
  for (std::size_t s = 0; s < fusions.size(); ++s) {
    const std::int32_t node = made(s);
    std::string classes = inverted[s] ? " inversion" : "";
    if (cut) classes += group_class(view.node_group.at(static_cast<std::size_t>(node) - 1));
    svg += cat({"<path class=\"bracket", classes, "\" d=\"M",
                px(scale.at(point_level(s, 0))), " ", px(row(place(point_node(s, 0)).x)), "H",
                px(scale.at(point_level(s, 1))), "V", px(row(place(point_node(s, 2)).x)), "V",
                px(row(place(point_node(s, 3)).x)), "H", px(scale.at(point_level(s, 4))),
                "\"/>\n"});
    dots += cat({"M", px(scale.at(point_level(s, 2))), " ", px(row(place(node).x)), "h0"});
  }
  if (!dots.empty()) svg += cat({"<path class=\"node\" d=\"", dots, "\"/>\n"});
  svg += "</g>\n";

  // What the hover texts say, by location and by fusion.
  if (!fusions.empty()) {
    std::string data = "{\"order\":[";
    for (std::size_t slot = 0; slot < nl; ++slot) {
      data += cat({slot ? "," : "", decimal(tree.order()[slot])});
    }
    data += "],\"names\":[";
    for (std::size_t k = 0; k < nl; ++k) data += cat({k ? "," : "", json_string(year.names.at(k))});
    data += "]";
    if (longest_full_name > 0) {
      data += ",\"full\":[";
      for (std::size_t k = 0; k < nl; ++k) {
        data += cat({k ? "," : "", json_string(full_name(year, static_cast<std::int32_t>(k + 1)))});
      }
      data += "]";
    }
    data += ",\"groups\":[";
    for (std::size_t s = 0; s < fusions.size(); ++s) {
      data += cat({s ? "," : "", json_string(year.group_names.at(s))});
    }
    data += "],\"joins\":[";
    for (std::size_t s = 0; s < fusions.size(); ++s) {
      data += cat({s ? "," : "", decimal(fusions[s].first), ",", decimal(fusions[s].second)});
    }
    data += "]";
    if (year.at_levels) {
      data += ",\"levels\":[";
      for (std::size_t s = 0; s < fusions.size(); ++s) {
        data += cat({s ? "," : "", json_string(shortest_text(tree.level(s)))});
      }
      data += "]";
    }
    data += ",\"inverted\":[";
    bool first_inversion = true;
    for (std::size_t s = 0; s < fusions.size(); ++s) {
      if (!inverted[s]) continue;
      data += cat({first_inversion ? "" : ",", decimal(static_cast<std::int64_t>(s))});
      first_inversion = false;
    }
    data += "]";
    if (cut) {
      data += ",\"cut\":[";
      for (std::size_t k = 0; k < view.node_group.size(); ++k) {
        data += cat({k ? "," : "", decimal(view.node_group[k])});
      }
      data += "]";
    }
    data += "}";
    svg += cat({"<script type=\"application/json\" class=\"hover-data\">", character_data(data),
                "</script>\n"});
  }

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
                    decimal(tree.locations()), " locations)"});
    }
    if (view.kept < fusions.size() && !cut_at) {
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

std::string year_svg_document(const Year& year, const PictureOptions& options) {
  std::string svg = year_svg_element(year, options);
  // The hover texts' script, in a picture of its own.
  const std::size_t end = svg.rfind("</svg>");
  svg.insert(end, cat({"<script><![CDATA[", hover_script(), "]]></script>\n"}));
  return cat({"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n", svg});
}

std::string_view hover_script() {
  // On the first hover over a name or a bracket, the text its <title> would
  // hold is made from the picture's data and put in one, which the browser
  // shows as it shows any title.
  return R"(
(function(){
function about(d,kind,i){
 var n=d.names.length,name=function(k){return k<=n?d.names[k-1]:d.groups[k-n-1];},t;
 if(kind=='leaves'){var k=d.order[i];t='location '+k+': '+name(k);
  if(d.full&&d.full[k-1])t+=' ('+d.full[k-1]+')';
  t+=', '+(i+1)+' of '+n+' in dendrogram order';
  if(d.cut)t+=', group '+d.cut[k-1];return t;}
 var a=d.joins[2*i],b=d.joins[2*i+1],m=n+i+1;
 t=name(m)+' (node '+m+'), fusion '+(i+1)+' of '+d.groups.length+': joins '+name(a)+' ('+a+') and '+name(b)+' ('+b+')';
 if(d.levels)t+=' at D(ij) = '+d.levels[i];
 if(d.inverted.indexOf(i)>=0)t+=', below a group it joins (inversion)';
 if(d.cut)t+=d.cut[m-1]>0?', inside group '+d.cut[m-1]:', above the cut';
 return t;}
document.addEventListener('mouseover',function(e){
 var el=e.target,box=el.parentNode,svg=el.ownerSVGElement;
 if(!svg||!box||!box.getAttribute)return;
 var kind=box.getAttribute('class');
 if(kind!='leaves'&&!(kind=='fusions'&&/\bbracket\b/.test(el.getAttribute('class'))))return;
 if(el.firstElementChild&&el.firstElementChild.localName=='title')return;
 if(!svg.hoverData){var s=svg.querySelector('script.hover-data');if(!s)return;svg.hoverData=JSON.parse(s.textContent);}
 var i=0;for(var p=el.previousElementSibling;p;p=p.previousElementSibling)i++;
 var t=document.createElementNS('http://www.w3.org/2000/svg','title');
 t.textContent=about(svg.hoverData,kind,i);el.insertBefore(t,el.firstChild);});
})();
)";
}

}  // namespace metclust::plot
