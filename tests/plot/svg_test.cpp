// The picture of one year, read back through its structure: leaf labels,
// brackets and their coordinates, inversions and escaped names.
#include "plot/svg.hpp"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/job_files.hpp"
#include "support/pictures.hpp"
#include "records/number_text.hpp"
#include "support/scratch_folder.hpp"
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

using testing::Bracket;
using testing::brackets;
using testing::joined_records;
using testing::Leaf;
using testing::leaves;
using testing::three_site_plot_records;

Year year_of(const std::vector<std::string>& records) {
  return jobs::job_years(formats::read_plot_records(joined_records(records), "J.PCL"), nullptr,
                         "J.PCL", "J.CLS")
      .at(0);
}

Year three_sites() { return year_of(three_site_plot_records()); }

// The three sites with fusions 1 + 2 = 4 and 4 + 3 = 5 at these levels.
Year three_sites_at(double first, double second) {
  Year year = three_sites();
  year.tree = trees::Tree(3, {{1, 2, first}, {4, 3, second}});
  year.at_levels = true;
  return year;
}

PictureOptions heights_options(std::int32_t strategy = 0) {
  PictureOptions options;
  options.heights = true;
  options.strategy = strategy;
  return options;
}

// Checks the picture with xmllint when the machine has it.
void expect_well_formed(const std::string& svg) {
  if (!testing::xmllint_available()) return;
  metclust::testing::ScratchFolder folder;
  folder.put("year.svg", svg);
  EXPECT_TRUE(testing::well_formed(folder.file("year.svg"))) << svg;
}

// The row of a leaf label's baseline is 4 px below the row of its branch.
constexpr double kBaseline = 4.0;

TEST(YearPicture, LeavesInDendrogramOrderAndOneBracketPerFusion) {
  const std::string svg = year_svg_document(three_sites(), PictureOptions{});
  expect_well_formed(svg);
  EXPECT_NE(svg.find(">Year 1992: THREE SITES</text>"), std::string::npos);

  const std::vector<Leaf> names = leaves(svg);
  ASSERT_EQ(names.size(), 3u);
  EXPECT_EQ(names[0].name, "B");
  EXPECT_EQ(names[1].name, "A");
  EXPECT_EQ(names[2].name, "C");
  EXPECT_LT(names[0].y + 16, names[1].y + 0.01);
  EXPECT_LT(names[1].y + 16, names[2].y + 0.01);

  const std::vector<Bracket> drawn = brackets(svg);
  ASSERT_EQ(drawn.size(), 2u);
  for (const Bracket& bracket : drawn) ASSERT_EQ(bracket.size(), 5u);
  // Fusion 1 joins A (its point 1) and B (its point 5) at their rows.
  EXPECT_DOUBLE_EQ(drawn[0][0].second + kBaseline, names[1].y);
  EXPECT_DOUBLE_EQ(drawn[0][4].second + kBaseline, names[0].y);
  // Brackets: up, across, down; the two arms at one level.
  EXPECT_DOUBLE_EQ(drawn[0][1].first, drawn[0][3].first);
  EXPECT_DOUBLE_EQ(drawn[0][0].first, drawn[0][4].first);
  // In fusion order the second fusion stands beyond the first, and starts
  // from the first one's node.
  EXPECT_GT(drawn[1][2].first, drawn[0][2].first);
  EXPECT_EQ(drawn[1][0], drawn[0][2]);
  EXPECT_DOUBLE_EQ(drawn[1][4].second + kBaseline, names[2].y);
  // Every node carries a hover text, made from the picture's data: the
  // locations in dendrogram order, their names, and what each fusion joins.
  EXPECT_EQ(testing::hover_entries(svg, "order"), (std::vector<std::string>{"2", "1", "3"}));
  EXPECT_EQ(testing::hover_entries(svg, "names"), (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_EQ(testing::hover_entries(svg, "joins").size(), 4u);
  EXPECT_EQ(testing::hover_entries(svg, "groups").size(), 2u);
}

// Fusion 2 at 0.5 stands below fusion 1 at 1.0, the group it joins: drawn at
// its level, marked, and still joined to that group's node.
TEST(YearPicture, HeightsFollowTheLevelsAndShowInversions) {
  const std::string svg = year_svg_document(three_sites_at(1.0, 0.5), heights_options(4));
  expect_well_formed(svg);
  const std::vector<Bracket> drawn = brackets(svg);
  ASSERT_EQ(drawn.size(), 2u);
  EXPECT_LT(drawn[1][2].first, drawn[0][2].first);
  EXPECT_EQ(drawn[1][0], drawn[0][2]);
  EXPECT_EQ(testing::count(svg, "class=\"bracket inversion\""), 2u);  // bracket and legend
  EXPECT_EQ(testing::hover_entries(svg, "levels"), (std::vector<std::string>{"1", "0.5"}));
  EXPECT_EQ(testing::hover_entries(svg, "inverted"), std::vector<std::string>{"1"});
  EXPECT_NE(svg.find("Median"), std::string::npos);
  // The leaves stand at 0 on the value axis, the fusions at their levels.
  const double zero = drawn[0][0].first;
  EXPECT_DOUBLE_EQ(drawn[0][4].first, zero);
  EXPECT_DOUBLE_EQ(drawn[1][4].first, zero);
  EXPECT_NEAR((drawn[0][2].first - zero) / (drawn[1][2].first - zero), 2.0, 1e-3);
  for (const char* tick : {">0.0</text>", ">1.0</text>"}) {
    EXPECT_EQ(testing::count(svg, tick), 2u) << tick;  // axis above and below
  }
}

// Fusion 2 joins the group of fusion 1: it is an inversion only when its
// level lies below that group's. An equal level, as tied proximities give
// under nearest neighbour, is an ordinary fusion.
TEST(YearPicture, OnlyAFusionBelowAGroupItJoinsIsMarked) {
  struct Case {
    double first;
    double second;
    bool inversion;
  };
  const Case cases[] = {
      {1.0, 0.5, true}, {1.0, 1.0, false}, {0.0, 0.0, false}, {-2.0, -2.0, false}, {1.0, 1.5, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::fixed(c.first, 1) + " then " + testing::fixed(c.second, 1));
    PictureOptions options;
    options.heights = true;
    options.strategy = 1;
    const std::string svg = year_svg_document(three_sites_at(c.first, c.second), options);
    EXPECT_EQ(testing::count(svg, "class=\"bracket inversion\""), c.inversion ? 2u : 0u);
    // The legend's words (the document's hover script holds them too).
    EXPECT_EQ(testing::count(year_svg_element(three_sites_at(c.first, c.second), options), "(inversion)"),
              c.inversion ? 1u : 0u);
    EXPECT_EQ(testing::hover_entries(svg, "inverted").size(), c.inversion ? 1u : 0u);
  }
}

// The value the picture's style sheet gives `property` of an element of
// these classes:
// of the rules whose selector is classes only, all among them, the one of
// most classes, the last of those.
std::string property_of(const std::string& svg, const std::string& classes,
                        const std::string& property) {
  std::set<std::string> have;
  std::istringstream words(classes);
  for (std::string word; words >> word;) have.insert(word);
  const std::size_t open = svg.find("<style>");
  const std::size_t close = svg.find("</style>");
  if (open == std::string::npos || close == std::string::npos) return {};
  const std::string sheet = svg.substr(open + 7, close - open - 7);
  static const std::regex kRule(R"re(([^{}]+)\{([^}]*)\})re");
  const std::regex wanted("(?:^|;)" + property + ":([^;]+)");
  std::string value;
  std::size_t best = 0;
  for (auto it = std::sregex_iterator(sheet.begin(), sheet.end(), kRule); it != std::sregex_iterator(); ++it) {
    const std::string selector = (*it)[1].str();
    const std::string body = (*it)[2].str();
    if (selector.empty() || selector[0] != '.' || selector.find_first_of(" :,>") != std::string::npos) continue;
    std::size_t count = 0;
    bool all = true;
    std::istringstream parts(selector.substr(1));
    for (std::string part; std::getline(parts, part, '.');) {
      all = all && have.count(part) == 1;
      ++count;
    }
    std::smatch found;
    if (all && count >= best && std::regex_search(body, found, wanted)) {
      best = count;
      value = found[1].str();
    }
  }
  return value;
}

// An inversion inside a group, and one above the cut, are drawn in the
// colour and dashes of the legend's sample.
TEST(YearPicture, InversionsAreDrawnAsTheLegendShowsThem) {
  for (const std::int64_t groups : {1, 2, 3}) {
    SCOPED_TRACE(groups);
    PictureOptions options = heights_options(4);
    options.groups = groups;
    const std::string svg = year_svg_document(three_sites_at(1.0, 0.5), options);
    static const std::regex kInverted(R"re(<path class="([^"]*\binversion\b[^"]*)")re");
    static const std::regex kSample(R"re(<g class="legend"><line class="([^"]*)")re");
    std::smatch inverted;
    std::smatch sample;
    ASSERT_TRUE(std::regex_search(svg, inverted, kInverted));
    ASSERT_TRUE(std::regex_search(svg, sample, kSample));
    for (const char* property : {"stroke", "stroke-dasharray"}) {
      const std::string legend = property_of(svg, sample[1].str(), property);
      EXPECT_FALSE(legend.empty()) << property;
      EXPECT_EQ(property_of(svg, inverted[1].str(), property), legend) << property << " of " << inverted[1].str();
    }
  }
}

TEST(YearPicture, NegativeLevelsKeepTheLeavesBelowEveryFusion) {
  const std::string svg = year_svg_document(three_sites_at(-1.0, 2.0), heights_options());
  const std::vector<Bracket> drawn = brackets(svg);
  ASSERT_EQ(drawn.size(), 2u);
  EXPECT_LT(drawn[0][0].first, drawn[0][2].first);
  EXPECT_LT(drawn[0][2].first, drawn[1][2].first);
  EXPECT_EQ(testing::count(svg, "inversion\""), 0u);
}

// A square root only where more than half of the levels lie in the lowest
// twentieth and none below 0.
TEST(LevelScale, SuitedToWhereTheLevelsLie) {
  struct Case {
    std::vector<double> levels;
    LevelScaleKind scale;
  };
  const Case cases[] = {
      {{1.0, 2.0}, LevelScaleKind::Linear},
      {{0.1, 0.2, 0.3, 10.0}, LevelScaleKind::SquareRoot},
      {{0.1, 0.2, 0.6, 10.0}, LevelScaleKind::Linear},  // half of them is not more than half
      {{0.0, 0.0, 0.0, 1.0}, LevelScaleKind::SquareRoot},
      {{-0.1, 0.1, 0.2, 10.0}, LevelScaleKind::Linear},
      {{0.0, 0.0}, LevelScaleKind::Linear},
      {{}, LevelScaleKind::Linear},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(suited_scale(c.levels), c.scale) << ::testing::PrintToString(c.levels);
  }
}

TEST(YearPicture, NamesAreEscaped) {
  std::vector<std::string> records = three_site_plot_records();
  records[2] = "  2.000  2.000                1 A&<\xFF\x01   ";
  Year year = year_of(records);
  year.title = "\"Q\" & 'R'";
  const std::string svg = year_svg_document(year, PictureOptions{});
  expect_well_formed(svg);
  const std::vector<Leaf> names = leaves(svg);
  ASSERT_EQ(names.size(), 3u);
  EXPECT_EQ(names[1].name, "A&amp;&lt;\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_NE(svg.find("&quot;Q&quot; &amp; &#39;R&#39;"), std::string::npos);
}

TEST(YearPicture, OneLocationHasNothingToDraw) {
  Year year;
  year.year = 1995;
  year.column = "1995";
  year.tree = trees::Tree(1, {});
  year.names = {"(1)"};
  const std::string svg = year_svg_document(year, heights_options());
  expect_well_formed(svg);
  EXPECT_TRUE(leaves(svg).empty());
  EXPECT_TRUE(brackets(svg).empty());
  EXPECT_NE(svg.find("1 location: nothing to cluster"), std::string::npos);
}

TEST(Escaped, MarkupAndBadBytes) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"plain", "plain"},
      {"a<b>&\"'", "a&lt;b&gt;&amp;&quot;&#39;"},
      {"Z\xC3\xBCrich", "Z\xC3\xBCrich"},                        // UTF-8 kept
      {"Z\xFCrich", "Z\xEF\xBF\xBDrich"},                        // a Latin-1 byte replaced
      {"\xE2\x82", "\xEF\xBF\xBD\xEF\xBF\xBD"},                  // cut sequence
      {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // surrogate
      {"tab\there", "tab\xEF\xBF\xBDhere"},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(escaped(text), expected) << text;
}

}  // namespace
}  // namespace metclust::plot
