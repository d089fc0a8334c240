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
.heat{display:inline-grid;font-size:12px}
.heat .cols{display:flex;align-items:flex-end;padding-bottom:4px}
.heat .cols span{width:16px;line-height:16px;writing-mode:vertical-rl;transform:rotate(180deg);white-space:nowrap}
.heat .rows div{height:16px;line-height:16px;text-align:right;padding-right:6px;white-space:nowrap}
.heat .rows div.s{box-shadow:inset 0 4px #333}
.heat canvas{image-rendering:pixelated;image-rendering:crisp-edges}
.tip{position:fixed;display:none;background:#ffe;border:1px solid #999;padding:2px 6px;font-size:12px;pointer-events:none}
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

// Draws the co-membership heat map into its canvas, 4 canvas pixels a cell
// (shown 16 px wide), and shows a pair's counts under the pointer.
constexpr std::string_view kHeatScript = R"(<script>
(function(){
var h=document.getElementById('heat'),c=h.querySelector('canvas'),tip=document.getElementById('tip');
var d=JSON.parse(h.querySelector('script').textContent),n=d.n,w=d.digits,s=d.counts;
var A='ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/';
var names=[].map.call(h.querySelectorAll('.rows div'),function(e){return e.textContent;});
function num(k){var v=0;for(var i=0;i<w;i++)v=v*64+A.indexOf(s.charAt(k+i));return v;}
function pair(p,q){if(p>q){var t=p;p=q;q=t;}var k=(p*n-p*(p+1)/2+q-p-1)*2*w;return [num(k),num(k+w)];}
if(!n)return;
var g=c.getContext('2d'),img=g.createImageData(n*4,n*4),px=img.data;
function cell(p,q,r,gr,b,dot){for(var y=0;y<4;y++)for(var x=0;x<4;x++){
 var m=dot&&x>0&&x<3&&y>0&&y<3,i=((q*4+y)*n*4+p*4+x)*4;
 px[i]=m?187:r;px[i+1]=m?187:gr;px[i+2]=m?187:b;px[i+3]=255;}}
for(var p=0;p<n;p++)for(var q=0;q<n;q++){
 if(p==q){cell(p,q,136,136,136,false);continue;}
 var v=pair(p,q);if(!v[0]){cell(p,q,255,255,255,true);continue;}
 var t=v[1]/v[0];cell(p,q,Math.round(255-247*t),Math.round(255-207*t),Math.round(255-148*t),false);}
d.breaks.forEach(function(b){for(var k=0;k<n*4;k++){
 [((b*4-1)*n*4+k)*4,(k*n*4+b*4-1)*4].forEach(function(i){px[i]=51;px[i+1]=51;px[i+2]=51;});}});
g.putImageData(img,0,0);
c.addEventListener('mousemove',function(e){
 var r=c.getBoundingClientRect(),q=Math.floor((e.clientY-r.top)/16),p=Math.floor((e.clientX-r.left)/16);
 if(p<0||q<0||p>=n||q>=n){tip.style.display='none';return;}
 var text=names[q];
 if(p!=q){var v=pair(p,q);text=names[q]+' & '+names[p]+': together '+v[1]+' of '+v[0]+' years';}
 tip.textContent=text;tip.style.left=(e.clientX+14)+'px';tip.style.top=(e.clientY+14)+'px';tip.style.display='block';});
c.addEventListener('mouseleave',function(){tip.style.display='none';});
})();
</script>
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
          " &nbsp; <span style=\"background:linear-gradient(#bbb,#bbb) center/50% 50% no-repeat #fff\"></span> never in one year</p>\n";
  // The heat map is drawn by the script below from every pair's counts,
  // each count a fixed number of base-64 digits, the pairs row by row above
  // the diagonal in consensus order; the names stand beside it as text.
  const std::size_t shown = order.size();
  std::int32_t most_years = 1;
  for (std::size_t p = 0; p < shown; ++p) {
    for (std::size_t q = p + 1; q < shown; ++q) {
      const PairCount& count = comparison.pair(consensus.members[order[p]], consensus.members[order[q]]);
      most_years = std::max(most_years, count.years_both);
    }
  }
  std::size_t digits = 1;
  for (std::int64_t room = 64; room <= most_years; room *= 64) ++digits;
  std::string counts;
  counts.reserve(shown * (shown > 0 ? shown - 1 : 0) * digits);
  const auto put = [&](std::int32_t value) {
    static constexpr std::string_view kDigits =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (std::size_t d = digits; d-- > 0;) {
      counts += kDigits[static_cast<std::size_t>(value >> (6 * d)) & 63];
    }
  };
  std::string breaks;  // places where a consensus group begins
  for (std::size_t p = 0; p < shown; ++p) {
    if (p > 0 && group_of(order[p]) != group_of(order[p - 1])) {
      breaks += (breaks.empty() ? "" : ",") + decimal(static_cast<std::int64_t>(p));
    }
    for (std::size_t q = p + 1; q < shown; ++q) {
      const PairCount& count = comparison.pair(consensus.members[order[p]], consensus.members[order[q]]);
      put(count.years_both);
      put(count.years_together);
    }
  }
  const std::string side = decimal(static_cast<std::int64_t>(shown) * 16);
  page += "<div class=\"heat\" id=\"heat\" style=\"grid-template-columns:auto " + side +
          "px\"><div></div><div class=\"cols\">";
  for (std::size_t p = 0; p < shown; ++p) {
    const std::size_t member = consensus.members[order[p]];
    const std::string plain = escaped(comparison.locations[member]);
    const std::string full = named_text(comparison, member);
    page += (full == plain ? "<span>" : "<span title=\"" + full + "\">") + plain + "</span>";
  }
  page += "</div>\n<div class=\"rows\">";
  for (std::size_t p = 0; p < shown; ++p) {
    const bool starts = p > 0 && group_of(order[p]) != group_of(order[p - 1]);
    page += (starts ? "<div class=\"s\">" : "<div>") + named(comparison, consensus.members[order[p]]) +
            "</div>";
  }
  page += "</div>\n<canvas width=\"" + decimal(static_cast<std::int64_t>(shown) * 4) + "\" height=\"" +
          decimal(static_cast<std::int64_t>(shown) * 4) + "\" style=\"width:" + side + "px;height:" + side +
          "px\"></canvas>\n<script type=\"application/json\">{\"n\":" +
          decimal(static_cast<std::int64_t>(shown)) + ",\"digits\":" +
          decimal(static_cast<std::int64_t>(digits)) + ",\"breaks\":[" + breaks + "],\"counts\":\"" + counts +
          "\"}</script></div>\n<div class=\"tip\" id=\"tip\"></div>\n" + std::string(kHeatScript);
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
