// metclust-plot on whole jobs: jobs run through the real metclust program,
// then drawn by the real metclust-plot program or by its command line in
// process; the pictures are read back and compared with the job's records.
#include "plot/cli.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/job_files.hpp"
#include "support/pictures.hpp"
#include "plot/svg.hpp"
#include "support/records_of.hpp"
#include "support/scratch_folder.hpp"

namespace metclust::plot {
namespace {

namespace fs = std::filesystem;
using metclust::testing::ScratchFolder;
using testing::Bracket;
using testing::brackets;
using testing::Leaf;
using testing::leaves;
using testing::lines;
using testing::listed_levels;
using testing::listed_names;
using testing::read_bytes;
using testing::scattered;
using testing::YearInput;

std::map<std::string, std::string> folder_files(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.is_regular_file()) files[entry.path().filename().string()] = read_bytes(entry.path());
  }
  return files;
}

// Checks a year's picture against the names and levels of the job's files.
void expect_year_picture(const fs::path& file, const YearInput& input,
                         const std::vector<std::string>& dendrogram_order,
                         const std::vector<double>* levels) {
  SCOPED_TRACE(file.string());
  ASSERT_TRUE(fs::exists(file));
  const std::string svg = read_bytes(file);
  if (testing::xmllint_available()) {
    EXPECT_TRUE(testing::well_formed(file));
  }

  const std::vector<Leaf> names = leaves(svg);
  ASSERT_EQ(names.size(), input.names.size());
  std::vector<std::string> shown;
  for (const Leaf& leaf : names) shown.push_back(leaf.name);
  EXPECT_EQ(std::multiset<std::string>(shown.begin(), shown.end()),
            std::multiset<std::string>(input.names.begin(), input.names.end()));
  EXPECT_EQ(shown, dendrogram_order);
  for (std::size_t k = 1; k < names.size(); ++k) {
    EXPECT_GE(names[k].y - names[k - 1].y, 16.0 - 1e-6) << "rows of " << names[k].name;
  }

  const std::vector<Bracket> drawn = brackets(svg);
  ASSERT_EQ(drawn.size(), input.names.size() - 1);
  for (std::size_t s = 0; s < drawn.size(); ++s) {
    ASSERT_EQ(drawn[s].size(), 5u);
    if (levels == nullptr && s > 0) {
      EXPECT_GT(drawn[s][2].first, drawn[s - 1][2].first);
    }
  }
  if (levels != nullptr) {
    ASSERT_EQ(levels->size(), drawn.size());
    for (std::size_t s = 0; s < drawn.size(); ++s) {
      for (std::size_t t = 0; t < drawn.size(); ++t) {
        const double a = (*levels)[s];
        const double b = (*levels)[t];
        const double xa = drawn[s][2].first;
        const double xb = drawn[t][2].first;
        if (a < b) {
          EXPECT_LT(xa, xb) << "fusions " << s + 1 << " and " << t + 1;
        } else if (a == b) {
          EXPECT_DOUBLE_EQ(xa, xb) << "fusions " << s + 1 << " and " << t + 1;
        }
      }
    }
  }
}

// Two years, the first of 30 locations, clustered by the median strategy,
// which lets a fusion fall below an earlier one.
TEST(PlotProgram, PicturesOfAJobWithHeights) {
  ScratchFolder folder;
  const std::vector<YearInput> years = {scattered(1992, 30, 7), scattered(1993, 12, 11)};
  ASSERT_EQ(testing::run_job(folder.path(), "Median trial", years, 4).status, 0);
  const std::map<std::string, std::string> job = folder_files(folder.path());
  const auto order = listed_names(job.at("JOB.PCL"));
  const auto levels = listed_levels(job.at("JOB.CLS"));
  ASSERT_EQ(order.size(), 2u);
  ASSERT_EQ(levels.size(), 2u);
  bool inversion = false;
  for (const auto& year : levels) {
    inversion = inversion || !std::is_sorted(year.begin(), year.end());
  }
  ASSERT_TRUE(inversion) << "the job should hold an inversion";

  const auto run =
      testing::run_program(testing::plot_program(), {"--heights", "JOB"}, folder.path());
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "JOB.html\n");
  EXPECT_EQ(run.err, "");
  expect_year_picture(folder.path() / "JOB-1992.svg", years[0], order[0], &levels[0]);
  expect_year_picture(folder.path() / "JOB-1993.svg", years[1], order[1], &levels[1]);

  const std::string page = read_bytes(folder.path() / "JOB.html");
  EXPECT_NE(page.find("<h1>Median trial</h1>"), std::string::npos);
  EXPECT_EQ(testing::count(page, "<svg "), 2u);
  const auto first = page.find("href=\"JOB-1992.svg\"");
  const auto second = page.find("href=\"JOB-1993.svg\"");
  ASSERT_NE(first, std::string::npos);
  ASSERT_NE(second, std::string::npos);
  EXPECT_LT(first, second);

  // With a .CLS file the levels are the default scale.
  const std::map<std::string, std::string> with_heights = folder_files(folder.path());
  ASSERT_EQ(testing::run_program(testing::plot_program(), {"JOB"}, folder.path()).status, 0);
  EXPECT_EQ(folder_files(folder.path()), with_heights);

  // The job's files are as they were; only the pictures and the page are new.
  std::map<std::string, std::string> after = folder_files(folder.path());
  for (const char* made : {"JOB-1992.svg", "JOB-1993.svg", "JOB.html"})
    EXPECT_EQ(after.erase(made), 1u);
  EXPECT_EQ(after, job);
}

// The largest year the work space allows, drawn in fusion order (although
// the job has its .CLS) into a folder of its own.
TEST(PlotProgram, FourHundredElevenLocationsIntoAnOutputFolder) {
  ScratchFolder folder;
  const std::vector<YearInput> years = {scattered(2001, 411, 3)};
  ASSERT_EQ(testing::run_job(folder.path(), "Large trial", years, 3).status, 0);
  const auto order = listed_names(read_bytes(folder.path() / "JOB.PCL"));
  std::ostringstream out;
  std::ostringstream err;
  const std::vector<std::string> arguments = {"--order", "-o", folder.file("pictures"),
                                              folder.file("JOB")};
  EXPECT_EQ(run_plot(arguments, out, err), kExitOk) << err.str();
  EXPECT_EQ(out.str(), (folder.path() / "pictures" / "JOB.html").string() + "\n");
  expect_year_picture(folder.path() / "pictures" / "JOB-2001.svg", years[0], order.at(0), nullptr);
  EXPECT_FALSE(folder.exists("JOB-2001.svg"));
  EXPECT_FALSE(folder.exists("JOB.html"));
}

// What the picture of a cut year says about each location and fusion.
struct CutPicture {
  std::map<int, int> group_of_location;    // from the hover text
  std::map<int, std::string> swatch;       // class of the square before each name
  std::vector<std::string> bracket_class;  // per fusion
  std::vector<double> node_x;              // per fusion
  std::vector<double> cut_x;               // the drawn cut line, if any
  std::map<int, int> legend;               // group -> number of locations
};

CutPicture read_cut_picture(const std::string& svg) {
  CutPicture picture;
  // Each location's group from the hover data, and the colour of the square
  // before its name from the path of squares it lies on (8 px above the
  // name's baseline).
  const std::vector<std::string> order = testing::hover_entries(svg, "order");
  const std::vector<std::string> cut = testing::hover_entries(svg, "cut");
  const std::vector<Leaf> names = leaves(svg);
  std::map<double, int> location_at;  // by the baseline of its name
  for (std::size_t slot = 0; slot < order.size() && slot < names.size(); ++slot) {
    const int location = std::stoi(order[slot]);
    location_at[names[slot].y] = location;
    picture.group_of_location[location] = std::stoi(cut.at(static_cast<std::size_t>(location) - 1));
  }
  static const std::regex kSwatches(R"re(<path class="swatch ([^"]*)" d="([^"]*)")re");
  static const std::regex kSquare(R"re(M4 ([-0-9.]+)h8v8h-8z)re");
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), kSwatches);
       it != std::sregex_iterator(); ++it) {
    const std::string d = (*it)[2];
    for (auto square = std::sregex_iterator(d.begin(), d.end(), kSquare);
         square != std::sregex_iterator(); ++square) {
      picture.swatch[location_at.at(testing::number((*square)[1]) + 8)] = (*it)[1];
    }
  }
  static const std::regex kBracket(
      R"re(<path class="bracket([^"]*)" d=)re");
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), kBracket);
       it != std::sregex_iterator(); ++it) {
    picture.bracket_class.push_back((*it)[1]);
  }
  for (const Bracket& bracket : brackets(svg)) {
    if (bracket.size() == 5) picture.node_x.push_back(bracket[2].first);
  }
  static const std::regex kCut(R"re(<line class="cut" x1="([^"]*)")re");
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), kCut); it != std::sregex_iterator();
       ++it) {
    picture.cut_x.push_back(testing::number((*it)[1]));
  }
  static const std::regex kLegend(R"re(>group (\d+) \((\d+) locations?\)<)re");
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), kLegend);
       it != std::sregex_iterator(); ++it) {
    picture.legend[std::stoi((*it)[1])] = std::stoi((*it)[2]);
  }
  return picture;
}

// --groups 4: every location and every fusion inside a group carries its
// group's colour, the groups are those metclust-export writes (R's cutree
// numbering), the fusions above the cut are grey and lie beyond the cut line.
TEST(PlotProgram, GroupsAreColouredAndTheCutIsDrawn) {
  ScratchFolder folder;
  const std::vector<YearInput> years = {scattered(1992, 20, 9), scattered(1993, 3, 2)};
  ASSERT_EQ(testing::run_job(folder.path(), "Average trial", years, 3).status, 0);
  auto run = testing::run_program(testing::plot_program(), {"--groups", "4", "JOB"}, folder.path());
  ASSERT_EQ(run.status, 0) << run.err;
  run = testing::run_program(testing::export_program(), {"--groups", "4", "-o", "x", "JOB"},
                             folder.path());
  ASSERT_EQ(run.status, 0) << run.err;
  std::map<std::string, std::map<int, int>> exported;
  for (const std::string& line : lines(folder.take("x/JOB-groups.csv"))) {
    std::vector<std::string> fields;
    std::stringstream row(line);
    for (std::string field; std::getline(row, field, ',');) fields.push_back(field);
    if (fields[0] != "year") exported[fields[0]][std::stoi(fields[1])] = std::stoi(fields[4]);
  }

  for (const YearInput& year : years) {
    std::string file = "JOB-";
    file += std::to_string(year.year);
    file += ".svg";
    SCOPED_TRACE(file);
    const std::string svg = folder.take(file);
    if (testing::xmllint_available()) {
      EXPECT_TRUE(testing::well_formed(folder.path() / file));
    }
    const CutPicture picture = read_cut_picture(svg);
    const int n = static_cast<int>(year.names.size());
    const int groups = std::min(4, n);
    EXPECT_EQ(picture.group_of_location, exported.at(std::to_string(year.year)));
    std::map<int, int> sizes;
    for (const auto& [location, group] : picture.group_of_location) {
      ++sizes[group];
      const GroupStyle style = group_style(group);
      std::string swatch = "g";
      swatch += std::to_string(group);
      if (style.dashed) swatch += " dashed";
      EXPECT_EQ(picture.swatch.at(location), swatch);
    }
    EXPECT_EQ(picture.legend, sizes);
    EXPECT_EQ(static_cast<int>(sizes.size()), groups);

    // The first n - K fusions lie inside groups, the others above the cut.
    ASSERT_EQ(picture.bracket_class.size(), static_cast<std::size_t>(n - 1));
    std::set<std::string> inside;
    for (int s = 0; s < n - 1; ++s) {
      const std::string& classes = picture.bracket_class[static_cast<std::size_t>(s)];
      if (s < n - groups) {
        EXPECT_NE(classes.find(" g"), std::string::npos) << s;
        inside.insert(classes);
      } else {
        EXPECT_EQ(classes, " above") << s;
      }
    }
    // Also where every location is a group of its own: below all fusions.
    ASSERT_EQ(picture.cut_x.size(), 1u);
    for (int s = 0; s < n - 1; ++s) {
      const double x = picture.node_x[static_cast<std::size_t>(s)];
      if (s < n - groups) {
        EXPECT_LT(x, picture.cut_x[0]) << s;
      } else {
        EXPECT_GT(x, picture.cut_x[0]) << s;
      }
    }
  }
  const std::string small = folder.take("JOB-1993.svg");
  EXPECT_NE(small.find("cut into 3 groups (asked for 4; the year has only 3 locations)"),
            std::string::npos);
  EXPECT_NE(folder.take("JOB.html").find("each year cut into 4 groups"), std::string::npos);
}

// The tick marks of the value axis, as "x:text".
std::vector<std::string> ticks(const std::string& svg) {
  static const std::regex kTick(R"re(<text class="tick" x="([^"]*)"[^>]*>([^<]*)</text>)re");
  std::vector<std::string> out;
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), kTick); it != std::sregex_iterator();
       ++it) {
    out.push_back((*it)[1].str() + ":" + (*it)[2].str());
  }
  return out;
}

// --same-scale: years of different spans share one value axis, with the
// levels or with the fusion order.
TEST(PlotProgram, SameScaleForEveryYear) {
  ScratchFolder folder;
  YearInput wide = scattered(1992, 15, 4);
  YearInput narrow = scattered(1993, 6, 8);
  narrow.proximity = [](std::size_t i, std::size_t j) { return 0.1 * static_cast<double>(i + j); };
  ASSERT_EQ(testing::run_job(folder.path(), "Trial", {wide, narrow}, 2).status, 0);
  for (const std::vector<std::string>& options :
       {std::vector<std::string>{}, std::vector<std::string>{"--order"}}) {
    std::vector<std::string> arguments = options;
    arguments.push_back("JOB");
    // Each year on its own scale: the last fusion at the right end of both.
    const auto last_node = [&](const char* file) {
      return brackets(folder.take(file)).back()[2].first;
    };
    ASSERT_EQ(testing::run_program(testing::plot_program(), arguments, folder.path()).status, 0);
    EXPECT_EQ(last_node("JOB-1992.svg"), last_node("JOB-1993.svg"));
    arguments.insert(arguments.begin(), "--same-scale");
    ASSERT_EQ(testing::run_program(testing::plot_program(), arguments, folder.path()).status, 0);
    const std::vector<std::string> first = ticks(folder.take("JOB-1992.svg"));
    EXPECT_FALSE(first.empty());
    EXPECT_EQ(first, ticks(folder.take("JOB-1993.svg")));
    EXPECT_GT(last_node("JOB-1992.svg"), last_node("JOB-1993.svg"));
    // The leaves stand at one place on both.
    EXPECT_EQ(leaves(folder.take("JOB-1992.svg")).front().x,
              leaves(folder.take("JOB-1993.svg")).front().x);
  }
}

// A large year clustered by incremental sums of squares (Ward) has most of
// its fusions low and a few far above: drawn on a square-root scale, which
// spreads the low ones, with its value axis repeated every 40 rows so that
// one stays in view; --linear draws the levels as they stand.
TEST(PlotProgram, LargeYearsStayReadable) {
  ScratchFolder folder;
  const std::vector<YearInput> years = {scattered(1992, 120, 5)};
  ASSERT_EQ(testing::run_job(folder.path(), "Ward trial", years, 8).status, 0);
  const std::vector<double> levels = listed_levels(read_bytes(folder.path() / "JOB.CLS")).at(0);
  ASSERT_EQ(suited_scale(levels), LevelScaleKind::SquareRoot) << "most fusions should lie low";
  const double top = *std::max_element(levels.begin(), levels.end());

  for (const bool linear : {false, true}) {
    SCOPED_TRACE(linear ? "--linear" : "suited");
    std::vector<std::string> arguments = {"JOB"};
    if (linear) arguments.insert(arguments.begin(), "--linear");
    const auto run = testing::run_program(testing::plot_program(), arguments, folder.path());
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string svg = folder.take("JOB-1992.svg");
    EXPECT_EQ(svg.find("square-root scale") != std::string::npos, !linear);
    // Each fusion where its level falls on the scale: the leaves at 100 px,
    // the highest fusion 640 px beyond them.
    const std::vector<Bracket> drawn = brackets(svg);
    ASSERT_EQ(drawn.size(), levels.size());
    for (std::size_t s = 0; s < drawn.size(); ++s) {
      const double share = linear ? levels[s] / top : std::sqrt(levels[s] / top);
      EXPECT_NEAR(drawn[s][2].first, 100.0 + 640.0 * share, 0.05) << "fusion " << s + 1;
    }
    // 119 rows below the first: the axis above, twice between (one axis
    // drawn once and used at both places), and below.
    std::vector<std::string> marks = ticks(svg);
    ASSERT_FALSE(marks.empty());
    EXPECT_NE(marks.front().find(":fusion level D(ij)"), std::string::npos);
    marks.erase(marks.begin());  // the axis's name
    EXPECT_EQ(testing::count(svg, "<g class=\"axis-labels repeated\" id=\"axis-1992\">"), 1u);
    EXPECT_EQ(testing::count(svg, "<use href=\"#axis-1992\""), 2u);
    ASSERT_EQ(marks.size() % 3, 0u);
    const std::size_t per_axis = marks.size() / 3;
    EXPECT_GE(per_axis, 5u);
    for (std::size_t k = per_axis; k < marks.size(); ++k) EXPECT_EQ(marks[k], marks[k % per_axis]);
    if (!linear) {
      // Ticks evenly spread over the picture at 1, 2 and 5 times powers of ten.
      EXPECT_EQ(marks.front(), "100:0");
      for (std::size_t k = 1; k < per_axis; ++k) {
        const std::string text = marks[k].substr(marks[k].find(':') + 1);
        EXPECT_NE(std::string("125").find(text.front()), std::string::npos) << text;
      }
    }
  }
}

struct PlotRun {
  int status;
  std::string out;
  std::string err;
};

PlotRun plot(const std::vector<std::string>& arguments) {
  std::ostringstream out;
  std::ostringstream err;
  const int status = run_plot(arguments, out, err);
  return {status, out.str(), err.str()};
}

// Every mark of a picture lies within its width and height; where a value
// axis is drawn, every bracket lies within the axis.
void expect_inside(const std::string& svg) {
  static const std::regex kSize(R"re(<svg [^>]*width="([^"]*)" height="([^"]*)")re");
  std::smatch size;
  ASSERT_TRUE(std::regex_search(svg, size, kSize));
  const double width = testing::number(size[1]);
  const double height = testing::number(size[2]);
  static const std::regex kCoordinate(R"re( (x|x1|x2|cx|y|y1|y2|cy)="([^"]*)")re");
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), kCoordinate);
       it != std::sregex_iterator(); ++it) {
    const double value = testing::number((*it)[2]);
    const double limit = (*it)[1].str().find('x') != std::string::npos ? width : height;
    EXPECT_TRUE(value >= 0 && value <= limit) << (*it)[0] << " outside " << width << " x " << height;
  }
  static const std::regex kAxis(R"re(<line class="axis" x1="([^"]*)" y1="[^"]*" x2="([^"]*)")re");
  std::smatch axis;
  const bool axis_drawn = std::regex_search(svg, axis, kAxis);
  for (const Bracket& bracket : brackets(svg)) {
    for (const auto& [x, y] : bracket) {
      EXPECT_TRUE(x >= 0 && x <= width && y >= 0 && y <= height) << "point " << x << "," << y;
      if (axis_drawn) {
        EXPECT_TRUE(x >= testing::number(axis[1]) && x <= testing::number(axis[2]))
            << "point " << x << "," << y << " beyond the axis " << axis[1] << " to " << axis[2];
      }
    }
  }
}

// Whatever the cut and the scale, nothing is drawn outside the picture: the
// legend of 5, 6 or 7 groups takes two rows, and a scale that the years share
// reaches down to the lowest level of every year, a year of negative levels
// beside one without.
TEST(PlotProgram, EverythingDrawnLiesInsideThePicture) {
  ScratchFolder folder;
  YearInput negative = scattered(1992, 9, 5);
  negative.proximity = [](std::size_t i, std::size_t j) { return -10.0 + 0.5 * static_cast<double>(i + 2 * j); };
  ASSERT_EQ(testing::run_job(folder.path(), "Trial", {negative, scattered(1993, 9, 6)}, 3).status, 0);
  for (const std::vector<std::string>& scale :
       {std::vector<std::string>{}, {"--order"}, {"--same-scale"}, {"--same-scale", "--order"}}) {
    for (int groups = 0; groups <= 9; ++groups) {
      std::vector<std::string> arguments = scale;
      if (groups > 0) arguments.insert(arguments.end(), {"--groups", std::to_string(groups)});
      arguments.push_back(folder.file("JOB"));
      const PlotRun run = plot(arguments);
      ASSERT_EQ(run.status, kExitOk) << run.err;
      for (const char* year : {"JOB-1992.svg", "JOB-1993.svg"}) {
        SCOPED_TRACE(::testing::Message() << year << " with " << groups << " groups"
                                          << (scale.empty() ? "" : ", " + scale.front())
                                          << (scale.size() > 1 ? " " + scale.back() : ""));
        expect_inside(folder.take(year));
      }
    }
  }
}

TEST(PlotCommandLine, HelpVersionAndWrongUse) {
  const PlotRun help = plot({"--help"});
  EXPECT_EQ(help.status, kExitOk);
  EXPECT_EQ(help.out.rfind("Usage: metclust-plot [OPTION]... JOB\n", 0), 0u);
  EXPECT_NE(help.out.find("--heights"), std::string::npos);
  EXPECT_EQ(plot({"-h"}).out, help.out);
  EXPECT_EQ(plot({"--version"}).out, "metclust-plot 1.0.0\n");
  EXPECT_EQ(plot({"-V"}).status, kExitOk);

  const std::vector<std::pair<std::vector<std::string>, std::string>> wrong = {
      {{}, "no job given"},
      {{"--colour", "JOB"}, "unknown option '--colour'"},
      {{"JOB", "OTHER"}, "more than one job given: 'OTHER'"},
      {{"JOB", "-o"}, "more than one job given: '-o'"},
      {{"-o"}, "option '-o' needs a value"},
      {{"--order", "--heights", "JOB"}, "--heights and --order ask for two different scales"},
      {{"--groups", "0", "JOB"}, "--groups takes a whole number of at least 1, not '0'"},
      {{"--same-scale=yes", "JOB"}, "option '--same-scale' takes no value"},
      {{"--linear=yes", "JOB"}, "option '--linear' takes no value"},
      {{"--output=", "JOB"}, "empty output folder"},
  };
  for (const auto& [arguments, what] : wrong) {
    const PlotRun run = plot(arguments);
    EXPECT_EQ(run.status, kExitUsage) << what;
    EXPECT_EQ(run.err, "metclust-plot: " + what +
                           "\nUsage: metclust-plot [OPTION]... JOB\n"
                           "Try 'metclust-plot --help' for more information.\n");
    EXPECT_EQ(run.out, "");
  }
}

// Faults in the job's files: one line naming the file (and the line), and no
// picture and no page.
TEST(PlotCommandLine, FaultyFilesGiveOneLineAndNoPicture) {
  ScratchFolder folder;
  ASSERT_EQ(testing::run_job(folder.path(), "Small trial", {scattered(1992, 5, 1)}, 1).status, 0);
  const std::string job = folder.file("JOB");
  const std::string pcl = read_bytes(job + ".PCL");
  const std::string cls = read_bytes(job + ".CLS");
  std::vector<std::string> records = lines(pcl);
  records.resize(records.size() - 2);
  const std::string cut_pcl = testing::joined_records(records);
  std::string bad_cls = cls;
  bad_cls.replace(bad_cls.rfind("E+0"), 3, "X+0");

  struct Case {
    const char* what;
    std::string pcl;
    std::string cls;  // "-" for no .CLS file
    std::vector<std::string> options;
    std::string error;
  };
  const std::vector<Case> cases = {
      {"no .PCL file", "-", "-", {}, job + ".PCL: no such file"},
      {"cut .PCL file",
       cut_pcl,
       cls,
       {},
       job + ".PCL:24: the file ends where another record is needed"},
      {"no .CLS file for heights",
       pcl,
       "-",
       {"--heights"},
       job + ".CLS: no such file; --heights takes the fusion levels from it"},
      {"bad level in .CLS", pcl, bad_cls, {}, job + ".CLS:"},
  };
  for (const Case& c : cases) {
    fs::remove(job + ".PCL");
    fs::remove(job + ".CLS");
    if (c.pcl != "-") testing::write_bytes(job + ".PCL", c.pcl);
    if (c.cls != "-") testing::write_bytes(job + ".CLS", c.cls);
    std::vector<std::string> arguments = c.options;
    arguments.push_back(job);
    const PlotRun run = plot(arguments);
    EXPECT_EQ(run.status, kExitBadData) << c.what;
    EXPECT_EQ(run.err.rfind("metclust-plot: " + c.error, 0), 0u) << c.what << ": " << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << c.what;
    EXPECT_FALSE(folder.exists("JOB-1992.svg")) << c.what;
    EXPECT_FALSE(folder.exists("JOB.html")) << c.what;
  }

  // The program itself: the same line and a non-zero exit status.
  testing::write_bytes(job + ".PCL", cut_pcl);
  testing::write_bytes(job + ".CLS", cls);
  const auto run = testing::run_program(testing::plot_program(), {"JOB"}, folder.path());
  EXPECT_EQ(run.status, kExitBadData);
  EXPECT_EQ(run.err, "metclust-plot: JOB.PCL:24: the file ends where another record is needed\n");
  EXPECT_EQ(run.out, "");
  EXPECT_FALSE(folder.exists("JOB-1992.svg"));
  const auto usage = testing::run_program(testing::plot_program(), {"--bad"}, folder.path());
  EXPECT_EQ(usage.status, kExitUsage);
}

// A year that comes again gets its own file, and its heading and link name
// it as the file does (1992-2); a job named by its .PCL file is the job; a
// .PCL without year groups gives a page that says so.
TEST(PlotCommandLine, RepeatedYearsAndEmptyPlotData) {
  ScratchFolder folder;
  const std::string year = testing::joined_records(testing::three_site_plot_records());
  folder.put("TWICE.PCL", year + year);
  PlotRun run = plot({folder.file("TWICE.PCL")});
  EXPECT_EQ(run.status, kExitOk) << run.err;
  EXPECT_NE(folder.take("TWICE-1992.svg").find(">Year 1992: THREE SITES</text>"), std::string::npos);
  EXPECT_NE(folder.take("TWICE-1992-2.svg").find(">Year 1992-2: THREE SITES</text>"),
            std::string::npos);
  const std::string page = folder.take("TWICE.html");
  EXPECT_NE(page.find("href=\"TWICE-1992-2.svg\""), std::string::npos);
  EXPECT_NE(page.find("<a href=\"#year-1\">1992</a><a href=\"#year-2\">1992-2</a>"),
            std::string::npos);
  EXPECT_NE(page.find("<h2>Year 1992-2</h2>"), std::string::npos);

  folder.put("NONE.PCL", "");
  run = plot({folder.file("NONE")});
  EXPECT_EQ(run.status, kExitOk) << run.err;
  EXPECT_NE(folder.take("NONE.html").find("holds no year group"), std::string::npos);
}

}  // namespace
}  // namespace metclust::plot
