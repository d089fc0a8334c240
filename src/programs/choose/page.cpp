#include "choose/page.hpp"

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>

#include "choose/tables.hpp"
#include "formats/strategies.hpp"
#include "records/number_text.hpp"
#include "text/markup.hpp"

namespace metclust::choose {
namespace {

using records::decimal;
using records::fixed_text;
using text::escaped;

constexpr std::string_view kStyle = R"(
body{font-family:system-ui,Segoe UI,Helvetica,Arial,sans-serif;margin:24px;color:#222;font-size:14px;max-width:1100px}
h1{font-size:22px;margin:0 0 4px}h2{font-size:18px;margin:28px 0 6px}
p.note{color:#555;max-width:900px;margin:4px 0 10px}
.suggest{border:2px solid #2a6f97;background:#f1f7fb;padding:10px 16px;max-width:900px}
.suggest p{margin:6px 0}
.suggest .main{font-size:17px}
table{border-collapse:collapse}
.grid td,.grid th{border:1px solid #ccc;padding:2px 8px;text-align:right;font-size:12px}
.grid th{background:#f2f2f2;text-align:center}
.grid th.r{text-align:left;white-space:nowrap}
.grid td.m{font-weight:bold}
.grid tr.pick th,.grid tr.pick td{border-top:2px solid #2a6f97;border-bottom:2px solid #2a6f97}
.grid small{color:#666}
.legend{margin:4px 0 0;padding:0;list-style:none;display:flex;flex-wrap:wrap;gap:4px 16px;font-size:12px}
.legend span{display:inline-block;width:22px;height:4px;vertical-align:middle;margin-right:4px}
svg text{font-size:11px;font-family:system-ui,Segoe UI,Helvetica,Arial,sans-serif}
details{margin:6px 0 0;font-size:12px}
dl{max-width:900px}dt{font-weight:bold;margin-top:8px}dd{margin:2px 0 0 16px;color:#333}
)";

// A colour for each strategy, told apart also by people who do not see
// red and green apart (Okabe and Ito's palette and two more).
std::string strategy_colour(std::int32_t strategy) {
  static constexpr std::string_view kColours[] = {"#e69f00", "#56b4e9", "#009e73", "#d55e00",
                                                  "#0072b2", "#cc79a7", "#555555", "#a6761d"};
  if (strategy < 1 || strategy > 8) return "#999999";
  return std::string(kColours[static_cast<std::size_t>(strategy - 1)]);
}

std::string strategy_label(const RunFigures& run) {
  return "strategy " + decimal(run.strategy) + ", " + formats::strategy_name(run.strategy);
}

std::string shown(const std::optional<double>& value, int digits = 3) {
  return value ? fixed_text(*value, digits) : std::string("&ndash;");
}

// A value from 0 (white) to 1 (green); below 0 light red.
std::string cell_colour(double value) {
  const auto channel = [](double from, double to, double s) {
    return decimal(static_cast<std::int64_t>(std::lround(from + (to - from) * s)));
  };
  const double t = std::clamp(value, -1.0, 1.0);
  if (t >= 0) return "rgb(" + channel(255, 120, t) + ',' + channel(255, 200, t) + ',' + channel(255, 130, t) + ')';
  return "rgb(255," + channel(255, 170, -t) + ',' + channel(255, 170, -t) + ')';
}

struct Series {
  const RunFigures* run = nullptr;
  std::vector<std::optional<double>> values;  // at [K - 2]
  bool picked = false;
};

// A line chart of one figure against K = 2 ... max_groups, a line for each
// strategy, with its axes and a legend; every point carries its value as
// a tooltip. Lines break where a value is missing.
std::string chart(const std::vector<Series>& series, std::int64_t max_groups, std::string_view y_label,
                  std::string_view title) {
  constexpr double kWidth = 660;
  constexpr double kHeight = 300;
  constexpr double kLeft = 58;
  constexpr double kRight = 18;
  constexpr double kTop = 14;
  constexpr double kBottom = 46;
  const double plot_w = kWidth - kLeft - kRight;
  const double plot_h = kHeight - kTop - kBottom;

  std::optional<double> low;
  std::optional<double> high;
  for (const Series& s : series) {
    for (const auto& v : s.values) {
      if (!v) continue;
      low = low ? std::min(*low, *v) : *v;
      high = high ? std::max(*high, *v) : *v;
    }
  }
  std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + decimal(static_cast<std::int64_t>(kWidth)) +
                    "\" height=\"" + decimal(static_cast<std::int64_t>(kHeight)) + "\" viewBox=\"0 0 " +
                    decimal(static_cast<std::int64_t>(kWidth)) + ' ' + decimal(static_cast<std::int64_t>(kHeight)) +
                    "\" role=\"img\"><title>" + escaped(title) + "</title>\n";
  if (!low) {
    svg += "<rect x=\"0.5\" y=\"0.5\" width=\"" + fixed_text(kWidth - 1, 0) + "\" height=\"" +
           fixed_text(kHeight - 1, 0) + "\" fill=\"#fafafa\" stroke=\"#ccc\"/>"
           "<text x=\"" + fixed_text(kWidth / 2, 0) + "\" y=\"" + fixed_text(kHeight / 2, 0) +
           "\" text-anchor=\"middle\">no figure for any number of groups</text></svg>\n";
    return svg;
  }
  // Tenths that hold every value, and 0.
  const double y_low = std::min(0.0, std::floor(*low * 10.0) / 10.0);
  const double y_high = std::max(y_low + 0.1, std::ceil(*high * 10.0) / 10.0);
  const double step = y_high - y_low > 1.0 + 1e-9 ? 0.2 : 0.1;
  const auto x_of = [&](std::int64_t k) {
    return max_groups == 2 ? kLeft + plot_w / 2
                           : kLeft + plot_w * static_cast<double>(k - 2) / static_cast<double>(max_groups - 2);
  };
  const auto y_of = [&](double v) { return kTop + plot_h * (y_high - v) / (y_high - y_low); };
  const auto at = [](double v) { return fixed_text(v, 1); };

  // Grid, ticks and axis labels.
  const auto ticks = static_cast<std::int64_t>(std::lround((y_high - y_low) / step));
  for (std::int64_t i = 0; i <= ticks; ++i) {
    const double v = y_low + step * static_cast<double>(i);
    const double y = y_of(v);
    svg += "<line x1=\"" + at(kLeft) + "\" x2=\"" + at(kLeft + plot_w) + "\" y1=\"" + at(y) + "\" y2=\"" + at(y) +
           "\" stroke=\"" + (std::fabs(v) < 1e-9 ? "#888" : "#e4e4e4") + "\"/>";
    svg += "<text x=\"" + at(kLeft - 6) + "\" y=\"" + at(y + 4) + "\" text-anchor=\"end\">" + fixed_text(v, 1) +
           "</text>\n";
  }
  const std::int64_t every = std::max<std::int64_t>(1, (max_groups - 2) / 20 + 1);
  for (std::int64_t k = 2; k <= max_groups; ++k) {
    if ((k - 2) % every != 0 && k != max_groups) continue;
    const double x = x_of(k);
    svg += "<line x1=\"" + at(x) + "\" x2=\"" + at(x) + "\" y1=\"" + at(kTop + plot_h) + "\" y2=\"" +
           at(kTop + plot_h + 4) + "\" stroke=\"#888\"/><text x=\"" + at(x) + "\" y=\"" + at(kTop + plot_h + 16) +
           "\" text-anchor=\"middle\">" + decimal(k) + "</text>";
  }
  svg += "\n<rect x=\"" + at(kLeft) + "\" y=\"" + at(kTop) + "\" width=\"" + at(plot_w) + "\" height=\"" +
         at(plot_h) + "\" fill=\"none\" stroke=\"#888\"/>";
  svg += "<text x=\"" + at(kLeft + plot_w / 2) + "\" y=\"" + at(kHeight - 8) +
         "\" text-anchor=\"middle\">number of groups K</text>";
  svg += "<text transform=\"translate(14 " + at(kTop + plot_h / 2) + ") rotate(-90)\" text-anchor=\"middle\">" +
         escaped(y_label) + "</text>\n";

  // The picked strategy last, so that it lies on top.
  std::vector<const Series*> drawn;
  for (const Series& s : series) {
    if (!s.picked) drawn.push_back(&s);
  }
  for (const Series& s : series) {
    if (s.picked) drawn.push_back(&s);
  }
  for (const Series* s : drawn) {
    const std::string colour = strategy_colour(s->run->strategy);
    const std::string width = s->picked ? "3.5" : "1.6";
    svg += "<g class=\"strategy\" data-strategy=\"" + decimal(s->run->strategy) + "\"><title>" +
           escaped(strategy_label(*s->run)) + "</title>";
    std::string points;
    const auto flush = [&] {
      if (points.empty()) return;
      svg += "<polyline fill=\"none\" stroke=\"" + colour + "\" stroke-width=\"" + width + "\" points=\"" + points +
             "\"/>";
      points.clear();
    };
    for (std::size_t i = 0; i < s->values.size(); ++i) {
      if (!s->values[i]) {
        flush();
        continue;
      }
      const std::int64_t k = static_cast<std::int64_t>(i) + 2;
      if (!points.empty()) points += ' ';
      points += at(x_of(k)) + ',' + at(y_of(*s->values[i]));
    }
    flush();
    for (std::size_t i = 0; i < s->values.size(); ++i) {
      if (!s->values[i]) continue;
      const std::int64_t k = static_cast<std::int64_t>(i) + 2;
      svg += "<circle cx=\"" + at(x_of(k)) + "\" cy=\"" + at(y_of(*s->values[i])) + "\" r=\"" +
             (s->picked ? "4" : "2.5") + "\" fill=\"" + colour + "\"><title>" + escaped(strategy_label(*s->run)) +
             ", " + decimal(k) + " groups: " + fixed_text(*s->values[i], 3) + "</title></circle>";
    }
    svg += "</g>\n";
  }
  svg += "</svg>\n";
  return svg;
}

std::string legend(const std::vector<RunFigures>& runs, const std::optional<std::size_t>& picked) {
  std::string html = "<ul class=\"legend\">";
  for (std::size_t r = 0; r < runs.size(); ++r) {
    const bool mine = picked && *picked == r;
    html += "<li><span style=\"background:" + strategy_colour(runs[r].strategy) +
            (mine ? ";height:7px" : "") + "\"></span>" + escaped(strategy_label(runs[r])) +
            (mine ? " (suggested)" : "") + "</li>";
  }
  return html + "</ul>\n";
}

// A table of the series: strategies by K.
std::string series_table(const std::vector<Series>& series, std::int64_t max_groups,
                         const std::function<std::string(const Series&, std::size_t)>& cell) {
  std::string html = "<details><summary>The figures of the curves</summary><table class=\"grid\"><tr><th class=\"r\">strategy</th>";
  for (std::int64_t k = 2; k <= max_groups; ++k) html += "<th>" + decimal(k) + "</th>";
  html += "</tr>\n";
  for (const Series& s : series) {
    html += std::string(s.picked ? "<tr class=\"pick\">" : "<tr>") + "<th class=\"r\">" +
            escaped(strategy_label(*s.run)) + "</th>";
    for (std::size_t i = 0; i < s.values.size(); ++i) html += "<td>" + cell(s, i) + "</td>";
    html += "</tr>\n";
  }
  return html + "</table></details>\n";
}

// Strategies by years of one figure, with the mean over the years.
std::string fit_table(const std::vector<RunFigures>& runs, const std::vector<std::string>& columns,
                      std::optional<double> YearFigures::*figure, const std::optional<std::size_t>& picked) {
  std::string html = "<table class=\"grid\"><tr><th class=\"r\">strategy</th>";
  for (const std::string& column : columns) html += "<th>" + escaped(column) + "</th>";
  html += "<th>mean</th></tr>\n";
  for (std::size_t r = 0; r < runs.size(); ++r) {
    const RunFigures& run = runs[r];
    html += std::string(picked && *picked == r ? "<tr class=\"pick\">" : "<tr>") + "<th class=\"r\">" +
            escaped(strategy_label(run)) + "</th>";
    for (const std::string& column : columns) {
      const auto year = std::find_if(run.years.begin(), run.years.end(),
                                     [&](const YearFigures& y) { return y.column == column; });
      if (year == run.years.end()) {
        html += "<td></td>";
        continue;
      }
      const std::optional<double>& value = (*year).*figure;
      html += value ? "<td style=\"background:" + cell_colour(*value) + "\">" + fixed_text(*value, 3) + "</td>"
                    : std::string("<td>&ndash;</td>");
    }
    html += "<td class=\"m\">" + shown(mean_over_years(run, figure)) + "</td></tr>\n";
  }
  return html + "</table>\n";
}

std::string groups_word(std::int64_t k) { return decimal(k) + (k == 1 ? " group" : " groups"); }

std::string years_word(std::int64_t n) { return decimal(n) + (n == 1 ? " year" : " years"); }

std::string suggestion_box(const std::vector<RunFigures>& runs, const Suggestion& s, const PageText& text) {
  std::string html = "<div class=\"suggest\">";
  if (!s.run) {
    html += "<p class=\"main\">No strategy can be suggested.</p><p>The strategies are told apart by how "
            "well their trees keep each year's proximities (the cophenetic correlation), and no year has "
            "its proximities here: the job's .EMA file is missing, or none of its years gives the "
            "fusions of the runs again. The figures that need no proximities follow.</p></div>\n";
    return html;
  }
  const RunFigures& run = runs[*s.run];
  html += "<p class=\"main\">Suggested: <b>" + escaped(strategy_label(run)) + "</b>";
  if (s.groups) html += ", cut into <b>" + groups_word(*s.groups) + "</b>";
  html += ".</p>\n";

  if (runs.size() == 1) {
    html += "<p>The job holds one run, so the strategy is that run's";
    if (s.mean_correlation) {
      html += "; its trees keep the proximities with a mean cophenetic correlation of " +
              fixed_text(*s.mean_correlation, 3) + " over " + years_word(s.correlation_years);
    }
    html += ". Run <code>metclust --strategy all</code> on the job to compare the eight strategies.</p>\n";
  } else {
    html += "<p><b>Why this strategy:</b> its trees keep the years' proximities best, with a mean "
            "cophenetic correlation of " + fixed_text(*s.mean_correlation, 3) + " over " +
            years_word(s.correlation_years);
    if (s.runner_up) {
      html += " (next: " + escaped(strategy_label(runs[*s.runner_up])) + ", " +
              fixed_text(*s.runner_up_correlation, 3) + ")";
    }
    html += ".</p>\n";
  }

  if (!s.groups) {
    html += "<p>No number of groups can be suggested: no year of this strategy has three locations or "
            "more.</p>";
  } else {
    const std::int64_t k = *s.groups;
    html += "<p><b>Why " + groups_word(k) + ":</b> ";
    if (s.by_silhouette) {
      html += "in " + decimal(s.votes) + " of " + years_word(s.voting_years) +
              " the mean silhouette width is largest at " + groups_word(k);
      if (s.mean_width) html += "; over the years it averages " + fixed_text(*s.mean_width, 3) + " there";
    } else {
      html += "no year has its proximities for the silhouette; in " + decimal(s.votes) + " of " +
              years_word(s.voting_years) + " Mojena's rule stops at " + groups_word(k);
    }
    html += ".";
    if (s.stability.mean_adjusted_rand) {
      html += " Cut into " + groups_word(k) + ", the years agree with a mean adjusted Rand index of " +
              fixed_text(*s.stability.mean_adjusted_rand, 3) + " over " + decimal(s.stability.year_pairs) +
              (s.stability.year_pairs == 1 ? " pair" : " pairs") + " of years (1: the same groups, 0: no more "
              "alike than chance).";
    } else if (k >= 2) {
      html += " How far cuts into " + groups_word(k) +
              " recur cannot be told: no two years share enough named locations with more than " +
              groups_word(k) + ".";
    }
    // The cut that recurs most with this strategy, when it is another.
    std::optional<std::int64_t> steadiest;
    for (std::size_t i = 0; i < run.stability.size(); ++i) {
      const auto& value = run.stability[i].mean_adjusted_rand;
      if (value && (!steadiest || *value > *run.stability[static_cast<std::size_t>(*steadiest - 2)].mean_adjusted_rand)) {
        steadiest = static_cast<std::int64_t>(i) + 2;
      }
    }
    if (steadiest && *steadiest != k) {
      html += " The cut of this strategy that recurs most is into " + groups_word(*steadiest) + " (" +
              fixed_text(*run.stability[static_cast<std::size_t>(*steadiest - 2)].mean_adjusted_rand, 3) + ").";
    }
    html += "</p>\n<p><b>Years that disagree:</b> ";
    if (s.disagreeing.empty()) {
      html += "none; every year with a figure picks " + groups_word(k) + ".";
    } else {
      for (std::size_t i = 0; i < s.disagreeing.size(); ++i) {
        html += (i ? ", " : "") + escaped(s.disagreeing[i].first) + " (" + groups_word(s.disagreeing[i].second) + ")";
      }
      html += s.by_silhouette ? ", by the largest silhouette width." : ", by Mojena's rule.";
    }
    html += "</p>\n";
  }
  html += "<p class=\"note\">A suggestion drawn from the figures below, not a verdict: a grouping is worth "
          "keeping when it makes sense for the crops and the locations, and when it recurs.";
  if (!text.proximities) html += " Without the job's .EMA file the figures that need proximities are missing.";
  html += "</p></div>\n";
  return html;
}

}  // namespace

std::string choose_page(const std::vector<RunFigures>& runs, const Suggestion& suggestion,
                        const PageText& text) {
  const std::vector<std::string> columns = year_columns(runs);
  std::string page;
  page += "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">";
  page += "<title>" + escaped(text.job) + ": choosing a strategy and a number of groups</title><style>";
  page += kStyle;
  page += "</style></head><body>\n";
  page += "<h1>" + escaped(text.job) + ": choosing a strategy and a number of groups</h1>\n";
  page += "<p class=\"note\">" + (text.title.empty() ? std::string() : escaped(text.title) + " &mdash; ") +
          decimal(static_cast<std::int64_t>(runs.size())) + (runs.size() == 1 ? " strategy, " : " strategies, ") +
          years_word(static_cast<std::int64_t>(columns.size())) + "; cuts into 2 to " +
          groups_word(text.max_groups) + ".</p>\n";

  page += "<h2>Suggestion</h2>\n" + suggestion_box(runs, suggestion, text);

  page += "<h2>How well each tree keeps its proximities</h2>\n<p class=\"note\">Cophenetic correlation: "
          "Pearson's correlation, over all pairs of a year's locations, between their proximity and the "
          "level of the fusion that first puts them into one group. 1 would be a tree that keeps every "
          "proximity's rank and spacing; higher is better. &ndash;: undefined, or no proximities.</p>\n";
  page += fit_table(runs, columns, &YearFigures::cophenetic_correlation, suggestion.run);
  page += "<p class=\"note\">Agglomerative coefficient: the mean over the locations of 1 &minus; (level at "
          "which the location first joins a group) / (level of the last fusion). Near 1: the locations "
          "join early and the groups stand far apart at the top. It grows with the number of locations, "
          "so compare it between strategies within a year rather than between years.</p>\n";
  page += fit_table(runs, columns, &YearFigures::agglomerative_coefficient, suggestion.run);

  std::vector<Series> widths;
  std::vector<Series> recurrence;
  for (std::size_t r = 0; r < runs.size(); ++r) {
    const bool picked = suggestion.run && *suggestion.run == r;
    Series w{&runs[r], {}, picked};
    Series a{&runs[r], {}, picked};
    for (std::int64_t k = 2; k <= text.max_groups; ++k) {
      w.values.push_back(mean_width_at(runs[r], k));
      a.values.push_back(runs[r].stability.at(static_cast<std::size_t>(k - 2)).mean_adjusted_rand);
    }
    widths.push_back(std::move(w));
    recurrence.push_back(std::move(a));
  }

  page += "<h2>Silhouette by number of groups</h2>\n<p class=\"note\">For each K, the mean silhouette width "
          "of the cut into K groups, averaged over the years that have it. A location's width compares its "
          "mean proximity to its own group (a) with that to the nearest other group (b): (b &minus; a) / "
          "max(a, b), from &minus;1 (better placed in the other group) to 1 (well inside its own); a location "
          "alone in its group counts 0. The peak of a curve is the cut whose groups stand apart best.</p>\n";
  page += chart(widths, text.max_groups, "mean silhouette width", "Mean silhouette width by number of groups");
  page += legend(runs, suggestion.run);
  page += series_table(widths, text.max_groups,
                       [](const Series& s, std::size_t i) { return shown(s.values[i]); });

  page += "<h3>The number of groups each year suggests</h3>\n<p class=\"note\">Each cell: the K with the "
          "largest mean silhouette width and that width, then (M) the number of groups by Mojena's rule: the "
          "groups left before the first fusion whose level exceeds the mean of the year's fusion levels by "
          "1.25 standard deviations. &ndash;: fewer than 3 locations, no proximities, or a negative "
          "proximity.</p>\n";
  page += "<table class=\"grid\"><tr><th class=\"r\">strategy</th>";
  for (const std::string& column : columns) page += "<th>" + escaped(column) + "</th>";
  page += "</tr>\n";
  for (std::size_t r = 0; r < runs.size(); ++r) {
    page += std::string(suggestion.run && *suggestion.run == r ? "<tr class=\"pick\">" : "<tr>") +
            "<th class=\"r\">" + escaped(strategy_label(runs[r])) + "</th>";
    for (const std::string& column : columns) {
      const auto year = std::find_if(runs[r].years.begin(), runs[r].years.end(),
                                     [&](const YearFigures& y) { return y.column == column; });
      if (year == runs[r].years.end()) {
        page += "<td></td>";
        continue;
      }
      std::string cell = year->silhouette_groups
                             ? "<b>" + decimal(*year->silhouette_groups) + "</b> <small>" +
                                   fixed_text(*year->silhouette_width, 2) + "</small>"
                             : std::string("&ndash;");
      cell += " <small>M " + (year->mojena_groups ? decimal(*year->mojena_groups) : std::string("&ndash;")) +
              "</small>";
      const bool off = suggestion.groups && suggestion.run && *suggestion.run == r && year->silhouette_groups &&
                       *year->silhouette_groups != *suggestion.groups;
      page += std::string(off ? "<td style=\"background:#fde2c8\">" : "<td>") + cell + "</td>";
    }
    page += "</tr>\n";
  }
  page += "</table>\n";

  page += "<h2>Do the groups recur?</h2>\n<p class=\"note\">For each K, the mean adjusted Rand index between "
          "the cuts into K groups of every pair of years, on the locations both years hold (found by name). "
          "1: the same groups; 0: no more alike than chance. Pairs sharing fewer than " +
          decimal(kMinimumShared) +
          " locations, and years of K locations or fewer, are left out.</p>\n";
  page += chart(recurrence, text.max_groups, "mean adjusted Rand index",
                "Mean adjusted Rand index between years by number of groups");
  page += legend(runs, suggestion.run);
  page += series_table(recurrence, text.max_groups, [&](const Series& s, std::size_t i) {
    const Stability& entry = s.run->stability.at(i);
    return shown(entry.mean_adjusted_rand) + " <small>(" + decimal(entry.year_pairs) + ")</small>";
  });

  page += "<h2>How to read this page</h2>\n<dl>"
          "<dt>Strategy</dt><dd>A tree that keeps the proximities well (high cophenetic correlation) "
          "distorts the year's data least. Compare the strategies year by year in the first table.</dd>"
          "<dt>Number of groups</dt><dd>The silhouette tells, year by year, which cut gives groups that "
          "stand apart; Mojena's rule tells where the fusion levels jump. Where both agree across the "
          "years, the number is well founded.</dd>"
          "<dt>Recurrence</dt><dd>The real test of a grouping of locations is whether it comes back year "
          "after year. Fewer groups recur more easily; look for a K where the recurrence stays high while "
          "the silhouette peaks.</dd></dl>\n";
  if (!text.notes.empty()) {
    page += "<h2>Notes</h2>\n<ul>";
    for (const std::string& note : text.notes) page += "<li>" + escaped(note) + "</li>";
    page += "</ul>\n";
  }
  page += "</body></html>\n";
  return page;
}

}  // namespace metclust::choose
