// metclust-plot on whole jobs: jobs run through the real metclust program,
// then drawn by the real metclust-plot program or by its command line in
// process; the pictures are read back and compared with the job's records.
#include "plot/cli.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "plot/plot_support.hpp"
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
using testing::read_bytes;
using testing::YearInput;

// Locations scattered over a plane, named LOC001, LOC002, ...; the proximity
// is their distance. Different seeds give different scatters.
YearInput scattered(int year, std::size_t count, std::uint32_t seed) {
  std::vector<std::pair<double, double>> at;
  std::uint32_t state = seed;
  const auto next = [&] {
    state = state * 1664525u + 1013904223u;
    return static_cast<double>(state >> 8) / static_cast<double>(1u << 24);
  };
  YearInput input;
  input.year = year;
  for (std::size_t k = 0; k < count; ++k) {
    at.emplace_back(next() * 10, next() * 10);
    input.names.push_back("LOC" + testing::right(testing::decimal(k + 1), 3));
    std::replace(input.names.back().begin(), input.names.back().end(), ' ', '0');
  }
  input.proximity = [at](std::size_t i, std::size_t j) {
    return std::hypot(at[i].first - at[j].first, at[i].second - at[j].second);
  };
  return input;
}

std::vector<std::string> lines(const std::string& bytes) {
  std::vector<std::string> out;
  for (const std::string_view record : metclust::testing::records_of(bytes)) {
    out.emplace_back(record);
  }
  return out;
}

std::string trimmed(std::string text) {
  text.erase(text.find_last_not_of(' ') + 1);
  text.erase(0, text.find_first_not_of(' '));
  return text;
}

// The location names of each year in dendrogram order, cut straight from the
// node listing columns 33-40 of the .PCL records that follow each header.
std::vector<std::vector<std::string>> listed_names(const std::string& pcl) {
  const std::vector<std::string> records = lines(pcl);
  std::vector<std::vector<std::string>> years;
  std::size_t header = 0;
  while (header < records.size()) {
    const int nl = static_cast<int>(testing::number(trimmed(records[header].substr(5, 5))));
    std::vector<std::string> names;
    for (int k = 1; k <= nl; ++k) names.push_back(trimmed(records[header + k].substr(32, 8)));
    years.push_back(names);
    header += 1 + 6 * static_cast<std::size_t>(std::max(0, nl - 1));
  }
  return years;
}

// The fusion levels of each year, cut from columns 21-36 of the .CLS fusion
// records (the records with "+" in column 9).
std::vector<std::vector<double>> listed_levels(const std::string& cls) {
  std::vector<std::vector<double>> years;
  bool in_fusions = false;
  for (const std::string& record : lines(cls)) {
    const bool fusion = record.size() >= 36 && record[8] == '+';
    if (fusion && !in_fusions) years.emplace_back();
    if (fusion) years.back().push_back(testing::number(trimmed(record.substr(20, 16))));
    in_fusions = fusion;
  }
  return years;
}

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

  // The job's files are as they were; only the pictures and the page are new.
  std::map<std::string, std::string> after = folder_files(folder.path());
  for (const char* made : {"JOB-1992.svg", "JOB-1993.svg", "JOB.html"})
    EXPECT_EQ(after.erase(made), 1u);
  EXPECT_EQ(after, job);
}

// The largest year the work space allows, drawn in fusion order into a
// folder of its own.
TEST(PlotProgram, FourHundredElevenLocationsIntoAnOutputFolder) {
  ScratchFolder folder;
  const std::vector<YearInput> years = {scattered(2001, 411, 3)};
  ASSERT_EQ(testing::run_job(folder.path(), "Large trial", years, 3).status, 0);
  const auto order = listed_names(read_bytes(folder.path() / "JOB.PCL"));
  std::ostringstream out;
  std::ostringstream err;
  const std::vector<std::string> arguments = {"-o", folder.file("pictures"), folder.file("JOB")};
  EXPECT_EQ(run_plot(arguments, out, err), kExitOk) << err.str();
  EXPECT_EQ(out.str(), (folder.path() / "pictures" / "JOB.html").string() + "\n");
  expect_year_picture(folder.path() / "pictures" / "JOB-2001.svg", years[0], order.at(0), nullptr);
  EXPECT_FALSE(folder.exists("JOB-2001.svg"));
  EXPECT_FALSE(folder.exists("JOB.html"));
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
      {{"JOB", "-o"}, "option '-o' needs a folder"},
      {{"--output=", "JOB"}, "empty output folder"},
  };
  for (const auto& [arguments, what] : wrong) {
    const PlotRun run = plot(arguments);
    EXPECT_EQ(run.status, kExitUsage) << what;
    EXPECT_EQ(run.err, "metclust-plot: " + what + " (see metclust-plot --help)\n");
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
    EXPECT_EQ(run.status, kExitFileFault) << c.what;
    EXPECT_EQ(run.err.rfind("metclust-plot: " + c.error, 0), 0u) << c.what << ": " << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << c.what;
    EXPECT_FALSE(folder.exists("JOB-1992.svg")) << c.what;
    EXPECT_FALSE(folder.exists("JOB.html")) << c.what;
  }

  // The program itself: the same line and a non-zero exit status.
  testing::write_bytes(job + ".PCL", cut_pcl);
  testing::write_bytes(job + ".CLS", cls);
  const auto run = testing::run_program(testing::plot_program(), {"JOB"}, folder.path());
  EXPECT_EQ(run.status, kExitFileFault);
  EXPECT_EQ(run.err,
            "metclust-plot: JOB.PCL:24: the file ends where another record is needed\n");
  EXPECT_EQ(run.out, "");
  EXPECT_FALSE(folder.exists("JOB-1992.svg"));
  const auto usage = testing::run_program(testing::plot_program(), {"--bad"}, folder.path());
  EXPECT_EQ(usage.status, kExitUsage);
}

// A year that comes again gets its own file; a job named by its .PCL file
// is the job; a .PCL without year groups gives a page that says so.
TEST(PlotCommandLine, RepeatedYearsAndEmptyPlotData) {
  ScratchFolder folder;
  const std::string year = testing::joined_records(testing::three_site_plot_records());
  folder.put("TWICE.PCL", year + year);
  PlotRun run = plot({folder.file("TWICE.PCL")});
  EXPECT_EQ(run.status, kExitOk) << run.err;
  EXPECT_TRUE(folder.exists("TWICE-1992.svg"));
  EXPECT_TRUE(folder.exists("TWICE-1992-2.svg"));
  EXPECT_NE(folder.take("TWICE.html").find("href=\"TWICE-1992-2.svg\""), std::string::npos);

  folder.put("NONE.PCL", "");
  run = plot({folder.file("NONE")});
  EXPECT_EQ(run.status, kExitOk) << run.err;
  EXPECT_NE(folder.take("NONE.html").find("holds no year group"), std::string::npos);
}

}  // namespace
}  // namespace metclust::plot
