#include "compare/page.hpp"

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "records/number_text.hpp"
#include "text/csv.hpp"
#include "text/markup.hpp"
#include "text/palette.hpp"

namespace metclust::compare {
namespace {

using text::escaped;
using records::fixed_text;
using records::decimal;

constexpr std::string_view kStyle = R"(
body{font-family:system-ui,Segoe UI,Helvetica,Arial,sans-serif;margin:24px;color:#222;font-size:14px}
h1{font-size:22px;margin:0 0 4px}h2{font-size:18px;margin:28px 0 6px}
p.note{color:#555;max-width:900px;margin:4px 0 10px}
table{border-collapse:collapse}
td,th{padding:0}
.heat td.c{width:16px;height:16px;border:1px solid #fff}
.heat th.r{text-align:right;padding-right:6px;font-weight:normal;white-space:nowrap;font-size:12px}
.heat th.v{font-weight:normal;font-size:12px;writing-mode:vertical-rl;transform:rotate(180deg);
 text-align:left;padding-bottom:4px;white-space:nowrap;height:auto;vertical-align:bottom}
.heat th.g{width:4px}
.heat td.g{background:#333;width:4px}
.grid td,.grid th{border:1px solid #ccc;padding:2px 6px;text-align:center;font-size:12px}
.grid th{background:#f2f2f2}
.grid th.r{text-align:left}
.grid td.d{background:#eee;color:#666}
.grid tr.s td{border-top:2px solid #333}
.legend span{display:inline-block;width:28px;height:12px;border:1px solid #ccc;vertical-align:middle}
.cons{display:flex;flex-wrap:wrap;gap:12px;align-items:flex-start}
.cons table{border:1px solid #ccc}
.cons th,.cons td{padding:2px 8px;font-size:13px;text-align:left}
.cons td.n{text-align:right}
.cons td.a::after{content:" ?";color:#c0392b;font-weight:bold}
.cons caption{text-align:left;padding:2px 0;white-space:nowrap}
.cons caption b{display:block}
.full{color:#666}
)";

// Share 0 white to 1 dark blue.
std::string share_colour(double share) {
  const double t = std::clamp(share, 0.0, 1.0);
  const auto mix = [t](int from, int to) {
    return decimal(static_cast<std::int64_t>(std::lround(from + (to - from) * t)));
  };
  return "rgb(" + mix(255, 8) + ',' + mix(255, 48) + ',' + mix(255, 107) + ')';
}

// Agreement -1..1: red below 0, white at 0, green at 1.
std::string agreement_colour(double value) {
  const double t = std::clamp(value, -1.0, 1.0);
  const auto channel = [](double from, double to, double s) {
    return decimal(static_cast<std::int64_t>(std::lround(from + (to - from) * s)));
  };
  if (t >= 0) return "rgb(" + channel(255, 90, t) + ',' + channel(255, 180, t) + ',' + channel(255, 100, t) + ')';
  return "rgb(255," + channel(255, 150, -t) + ',' + channel(255, 150, -t) + ')';
}

std::string percent(double share) {
  return decimal(static_cast<std::int64_t>(std::lround(share * 100.0))) + "%";
}

// A location's name, and its full name after it when that tells more.
std::string named(const Comparison& comparison, std::size_t k) {
  std::string text = escaped(comparison.locations[k]);
  if (k < comparison.full_names.size() && !comparison.full_names[k].empty() &&
      comparison.full_names[k] != comparison.locations[k]) {
    text += " <span class=\"full\">(" + escaped(comparison.full_names[k]) + ")</span>";
  }
  return text;
}

// The same as plain text, for a title attribute (escaped).
std::string named_text(const Comparison& comparison, std::size_t k) {
  std::string text = comparison.locations[k];
  if (k < comparison.full_names.size() && !comparison.full_names[k].empty() &&
      comparison.full_names[k] != comparison.locations[k]) {
    text += " (" + comparison.full_names[k] + ")";
  }
  return escaped(text);
}

double share_of(const PairCount& count) {
  return count.years_both == 0 ? 0.0
                               : static_cast<double>(count.years_together) / count.years_both;
}

}  // namespace

std::string years_page(const Comparison& comparison, const Consensus& consensus,
                       const PageText& text) {
  std::string page;
  page += "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">";
  page += "<title>" + escaped(text.job) + ": locations across years</title><style>";
  page += kStyle;
  page += "</style></head><body>\n";
  page += "<h1>" + escaped(text.job) + ": which locations group together year after year</h1>\n";
  page += "<p class=\"note\">" + escaped(text.title) + " &mdash; " +
          decimal(static_cast<std::int64_t>(comparison.columns.size())) + " years, " +
          decimal(static_cast<std::int64_t>(comparison.locations.size())) +
          " locations; each year cut into " + escaped(text.cut) + ".</p>\n";

  // Members in consensus-tree order, and a border before each new group.
  std::vector<std::size_t> order;  // positions in consensus.members
  for (const std::int32_t number : consensus.tree.order()) order.push_back(static_cast<std::size_t>(number) - 1);
  const auto group_of = [&](std::size_t member) { return consensus.partition.group.at(member); };

  page += "<h2>Co-membership</h2>\n<p class=\"note\">Share of the years holding both locations in "
          "which the two fell into one group. Locations seen in at least " +
          decimal(consensus.minimum_years) +
          " years, in the order of the consensus tree (group-average clustering of 1 &minus; share; a "
          "pair never seen in one year counts as never together); dark lines separate the consensus "
          "groups. Hover over a cell for the counts.</p>\n";
  page += "<p class=\"legend\">0% <span style=\"background:" + share_colour(0) + "\"></span>"
          "<span style=\"background:" + share_colour(0.25) + "\"></span>"
          "<span style=\"background:" + share_colour(0.5) + "\"></span>"
          "<span style=\"background:" + share_colour(0.75) + "\"></span>"
          "<span style=\"background:" + share_colour(1) + "\"></span> 100%"
          " &nbsp; <span style=\"background:#fff;border-style:dashed\"></span> never in one year</p>\n";
  page += "<table class=\"heat\"><tr><th></th>";
  for (std::size_t p = 0; p < order.size(); ++p) {
    if (p > 0 && group_of(order[p]) != group_of(order[p - 1])) page += "<th class=\"g\"></th>";
    const std::size_t member = consensus.members[order[p]];
    page += "<th class=\"v\" title=\"" + named_text(comparison, member) + "\">" +
            escaped(comparison.locations[member]) + "</th>";
  }
  page += "</tr>\n";
  for (std::size_t p = 0; p < order.size(); ++p) {
    if (p > 0 && group_of(order[p]) != group_of(order[p - 1])) {
      page += "<tr><th></th><td colspan=\"" + decimal(static_cast<std::int64_t>(order.size() * 2)) +
              "\" style=\"height:3px;background:#333\"></td></tr>\n";
    }
    const std::size_t a = consensus.members[order[p]];
    page += "<tr><th class=\"r\">" + named(comparison, a) + "</th>";
    for (std::size_t q = 0; q < order.size(); ++q) {
      if (q > 0 && group_of(order[q]) != group_of(order[q - 1])) page += "<td class=\"g\"></td>";
      const std::size_t b = consensus.members[order[q]];
      if (a == b) {
        page += "<td class=\"c\" style=\"background:#888\" title=\"" + named_text(comparison, a) + "\"></td>";
        continue;
      }
      const PairCount& count = comparison.pair(a, b);
      const std::string tip = named_text(comparison, a) + " &amp; " + named_text(comparison, b) +
                              ": together " + decimal(count.years_together) + " of " +
                              decimal(count.years_both) + " years";
      if (count.years_both == 0) {
        page += "<td class=\"c\" style=\"background:#fff;outline:1px dashed #bbb;outline-offset:-3px\" title=\"" + tip + "\"></td>";
      } else {
        page += "<td class=\"c\" style=\"background:" + share_colour(share_of(count)) + "\" title=\"" + tip + "\"></td>";
      }
    }
    page += "</tr>\n";
  }
  page += "</table>\n";
  std::vector<std::string> left_out;  // as HTML
  for (std::size_t k = 0; k < comparison.locations.size(); ++k) {
    if (comparison.years_seen(k) < consensus.minimum_years) left_out.push_back(named(comparison, k));
  }
  if (!left_out.empty()) {
    page += "<p class=\"note\">Seen in fewer than " + decimal(consensus.minimum_years) +
            " years, so left out of the consensus: ";
    for (std::size_t k = 0; k < left_out.size(); ++k) page += (k ? ", " : "") + left_out[k];
    page += ".</p>\n";
  }

  page += "<h2>Consensus groups</h2>\n<p class=\"note\">The consensus tree cut into " +
          escaped(text.consensus_cut) +
          ". Stability: a location's mean share with the other members of its group (100% = always "
          "together with all of them); the group's figure is the mean over its members.</p>\n";
  if (comparison.columns.size() < 3) {
    page += "<p class=\"note\"><b>A consensus over " +
            decimal(static_cast<std::int64_t>(comparison.columns.size())) +
            (comparison.columns.size() == 1 ? " year" : " years") +
            " is weak:</b> a share takes only the values " +
            (comparison.columns.size() == 1 ? std::string("0 and 1") : std::string("0, &frac12; and 1")) +
            ", so many pairs stand at equal shares and the groups are as much the clustering's "
            "choices as the years' evidence.</p>\n";
  }
  std::vector<std::string> doubtful;  // as HTML, in consensus order
  for (const std::size_t m : order) {
    if (consensus.ambiguous.at(m)) doubtful.push_back(named(comparison, consensus.members[m]));
  }
  if (doubtful.empty()) {
    page += "<p class=\"note\">No location's consensus group rests on a choice among equal shares.</p>\n";
  } else {
    page += "<p class=\"note\"><b>Ambiguous (marked ?):</b> another choice among equal shares in the "
            "consensus clustering could have put ";
    page += doubtful.size() == 1 ? "this location" : "these " + decimal(static_cast<std::int64_t>(doubtful.size())) + " locations";
    page += " into another group, with groups exactly as well supported: ";
    for (std::size_t k = 0; k < doubtful.size(); ++k) page += (k ? ", " : "") + doubtful[k];
    page += ".</p>\n";
  }
  page += "<div class=\"cons\">";
  for (std::int32_t g = 1; g <= consensus.partition.count; ++g) {
    std::vector<std::size_t> members;
    for (const std::size_t m : order) {
      if (group_of(m) == g) members.push_back(m);
    }
    double total = 0.0;
    std::int64_t counted = 0;
    for (const std::size_t m : members) {
      if (consensus.stability[m]) {
        total += *consensus.stability[m];
        ++counted;
      }
    }
    page += "<table><caption><b>Group " + decimal(g) + "</b>" +
            decimal(static_cast<std::int64_t>(members.size())) + " location" +
            (members.size() == 1 ? "" : "s") +
            (counted ? " &middot; stability " + percent(total / static_cast<double>(counted)) : std::string()) +
            "</caption>";
    for (const std::size_t m : members) {
      page += std::string(consensus.ambiguous.at(m) ? "<tr><td class=\"a\">" : "<tr><td>") +
              named(comparison, consensus.members[m]) + "</td><td class=\"n\">" +
              (consensus.stability[m] ? percent(*consensus.stability[m]) : std::string("&mdash;")) +
              "</td></tr>";
    }
    page += "</table>";
  }
  page += "</div>\n";

  const std::size_t years = comparison.columns.size();
  page += "<h2>Agreement between years</h2>\n<p class=\"note\">Above the diagonal: adjusted Rand index "
          "of the two years' cuts on the locations both hold (1 = the same groups, 0 = no more alike "
          "than chance). Below: correlation of the two trees' cophenetic levels on those locations. On "
          "the diagonal: the year's locations. &ndash; marks a pair of years sharing fewer than " +
          decimal(kMinimumShared) + " locations or an index that is undefined there.</p>\n";
  std::vector<std::vector<const Agreement*>> cell(years, std::vector<const Agreement*>(years, nullptr));
  for (const Agreement& row : comparison.agreement) {
    cell[row.year_a][row.year_b] = &row;
    cell[row.year_b][row.year_a] = &row;
  }
  page += "<table class=\"grid\"><tr><th></th>";
  for (const std::string& column : comparison.columns) page += "<th>" + escaped(column) + "</th>";
  page += "</tr>\n";
  for (std::size_t a = 0; a < years; ++a) {
    page += "<tr><th class=\"r\">" + escaped(comparison.columns[a]) + "</th>";
    for (std::size_t b = 0; b < years; ++b) {
      if (a == b) {
        std::int64_t held = 0;
        for (const auto& row : comparison.group) held += row[a] != 0;
        page += "<td class=\"d\">" + decimal(held) + "</td>";
        continue;
      }
      const Agreement& row = *cell[a][b];
      const std::optional<double>& value = a < b ? row.adjusted_rand : row.cophenetic_correlation;
      const std::string tip = escaped(comparison.columns[a]) + " / " + escaped(comparison.columns[b]) +
                              ": " + decimal(row.shared) + " shared locations";
      if (value) {
        page += "<td style=\"background:" + agreement_colour(*value) + "\" title=\"" + tip + "\">" +
                fixed_text(*value, 2) + "</td>";
      } else {
        page += "<td title=\"" + tip + "\">&ndash;</td>";
      }
    }
    page += "</tr>\n";
  }
  page += "</table>\n";

  page += "<h2>Regions year by year</h2>\n<p class=\"note\">Each year's groups are numbered as R's "
          "cutree numbers them, in the order of their first location, as metclust-plot and "
          "metclust-export show them; hover over a cell for the group. A region (A, B, &hellip;) "
          "matches groups across years: the first year's groups are regions A, B, &hellip; in their "
          "order, and each later group takes the region most of its locations were in when last seen "
          "(greedy, largest overlap first), or a new one. Rows in consensus order, then the locations "
          "left out of the consensus; blank: not in that year.</p>\n";
  std::vector<std::size_t> rows;
  for (const std::size_t m : order) rows.push_back(consensus.members[m]);
  const std::size_t in_consensus = rows.size();
  for (std::size_t k = 0; k < comparison.locations.size(); ++k) {
    if (comparison.years_seen(k) < consensus.minimum_years) rows.push_back(k);
  }
  page += "<table class=\"grid\"><tr><th class=\"r\">location</th><th>consensus group</th>";
  for (const std::string& column : comparison.columns) page += "<th>" + escaped(column) + "</th>";
  page += "</tr>\n";
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const bool new_block = r > 0 && (r == in_consensus ||
                                     (r < in_consensus && group_of(order[r]) != group_of(order[r - 1])));
    page += new_block ? "<tr class=\"s\">" : "<tr>";
    page += "<th class=\"r\">" + named(comparison, rows[r]) + "</th>";
    page += r < in_consensus ? "<td>" + decimal(group_of(order[r])) + "</td>" : "<td>&ndash;</td>";
    for (std::size_t y = 0; y < comparison.columns.size(); ++y) {
      const std::int32_t region = comparison.region[rows[r]][y];
      if (region == 0) {
        page += "<td></td>";
      } else {
        page += "<td style=\"background:" + std::string(text::region_colour(region)) + "\" title=\"" +
                escaped(comparison.columns[y]) + ": group " + decimal(comparison.group[rows[r]][y]) +
                ", region " + region_letters(region) + "\">" + region_letters(region) + "</td>";
      }
    }
    page += "</tr>\n";
  }
  page += "</table>\n</body></html>\n";
  return page;
}

}  // namespace metclust::compare
