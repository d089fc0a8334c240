// metclust-export on whole jobs run through the real metclust program: the
// files it writes read back with the CSV reader and compared with the job's
// own records, its faults, and its rule of writing everything or nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "support/job_files.hpp"
#include "support/pictures.hpp"
#include "support/scratch_folder.hpp"
#include "text/csv.hpp"

namespace metclust::exporting {
namespace {

namespace fs = std::filesystem;
using metclust::testing::ScratchFolder;
namespace support = metclust::testing;

// The rows of a CSV file as texts, header first.
std::vector<std::vector<std::string>> csv_rows(const fs::path& file) {
  const std::string bytes = support::read_bytes(file);
  std::vector<std::vector<std::string>> rows;
  for (const text::CsvRow& row : text::read_csv(bytes, file.string())) {
    std::vector<std::string> fields;
    for (const text::CsvField& field : row.fields) fields.push_back(field.text);
    rows.push_back(fields);
  }
  return rows;
}

std::set<std::string> files_in(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename());
  return names;
}

// A year whose names need quotes in Newick, or care in CSV.
support::YearInput awkward_names(int year) {
  support::YearInput input = support::scattered(year, 8, 41);
  input.names = {"NEW YORK", "A_B", "O'NEILL", "X,Y", "(P)", "\"Q\"", "PLAIN", "Z\xC3\xBC"};
  return input;
}

std::string integer(std::int64_t value) { return std::to_string(value); }

// Every year's files against the .CLS fusion records and the .PCL node
// listing, and the groups table against the fusions it must follow.
TEST(ExportProgram, FilesOfAJob) {
  ScratchFolder folder;
  const std::vector<support::YearInput> years = {support::scattered(1992, 14, 5),
                                                 awkward_names(1993)};
  ASSERT_EQ(support::run_job(folder.path(), "Trial", years, 4).status, 0);
  const std::set<std::string> job_files = files_in(folder.path());
  const auto fusions = support::listed_fusions(folder.take("JOB.CLS"));
  const auto order = support::listed_names(folder.take("JOB.PCL"));
  ASSERT_EQ(fusions.size(), 2u);

  const auto run =
      support::run_program(support::export_program(), {"--groups", "3", "JOB"}, folder.path());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  std::set<std::string> written;
  for (const std::string& line : support::lines(run.out)) written.insert(line);
  std::set<std::string> expected = {"JOB-groups.csv"};
  for (const char* year : {"JOB-1992", "JOB-1993"}) {
    for (const char* suffix : {".nwk", "-merges.csv", "-linkage.csv", "-locations.csv"}) {
      expected.insert(std::string(year) + suffix);
    }
  }
  EXPECT_EQ(written, expected);
  std::set<std::string> all = job_files;
  all.insert(expected.begin(), expected.end());
  EXPECT_EQ(files_in(folder.path()), all);

  const auto groups = csv_rows(folder.path() / "JOB-groups.csv");
  ASSERT_FALSE(groups.empty());
  EXPECT_EQ(groups[0],
            (std::vector<std::string>{"year", "location", "name", "full_name", "group"}));
  std::size_t group_row = 1;

  for (std::size_t y = 0; y < years.size(); ++y) {
    const std::string stem = "JOB-" + integer(years[y].year);
    SCOPED_TRACE(stem);
    const std::size_t n = years[y].names.size();
    // A merge entry names a location (-k) or an earlier row (r), which made
    // the node n + r of the fusion records.
    const auto node = [n](const std::string& entry) {
      const long value = std::stol(entry);
      return value < 0 ? -value : static_cast<long>(n) + value;
    };
    const auto merges = csv_rows(folder.path() / (stem + "-merges.csv"));
    ASSERT_EQ(merges.size(), n);
    EXPECT_EQ(merges[0], (std::vector<std::string>{"merge1", "merge2", "height", "tie"}));
    const auto linkage = csv_rows(folder.path() / (stem + "-linkage.csv"));
    ASSERT_EQ(linkage.size(), n);
    EXPECT_EQ(linkage[0], (std::vector<std::string>{"cluster1", "cluster2", "height", "size"}));
    std::vector<long> sizes(2 * n, 1);
    for (std::size_t s = 0; s + 1 < n; ++s) {
      const support::ListedFusion& fusion = fusions[y][s];
      const std::set<long> joined = {fusion.first, fusion.second};
      EXPECT_EQ((std::set<long>{node(merges[s + 1][0]), node(merges[s + 1][1])}), joined);
      // The engine's level, which the .CLS file gives to 8 digits.
      EXPECT_NEAR(std::stod(merges[s + 1][2]), fusion.level, 6e-8 * std::fabs(fusion.level));
      EXPECT_TRUE(merges[s + 1][3] == "0" || merges[s + 1][3] == "1");
      EXPECT_EQ(
          (std::set<long>{std::stol(linkage[s + 1][0]) + 1, std::stol(linkage[s + 1][1]) + 1}),
          joined);
      EXPECT_EQ(linkage[s + 1][2], merges[s + 1][2]);
      sizes[n + s] = sizes[static_cast<std::size_t>(fusion.first) - 1] +
                     sizes[static_cast<std::size_t>(fusion.second) - 1];
      EXPECT_EQ(std::stol(linkage[s + 1][3]), sizes[n + s]);
    }

    const auto locations = csv_rows(folder.path() / (stem + "-locations.csv"));
    ASSERT_EQ(locations.size(), n + 1);
    EXPECT_EQ(locations[0], (std::vector<std::string>{"number", "name", "full_name", "order"}));
    std::vector<std::string> by_order(n);
    for (std::size_t k = 1; k <= n; ++k) {
      EXPECT_EQ(locations[k][0], integer(static_cast<long>(k)));
      EXPECT_EQ(locations[k][1], years[y].names[k - 1]);
      EXPECT_EQ(locations[k][2], "");  // the job has no JOB-names.csv
      by_order.at(std::stoul(locations[k][3]) - 1) = locations[k][1];
    }
    EXPECT_EQ(by_order, order[y]);

    // Three groups: locations share one exactly when the first n - 3
    // fusions join them; numbered by their first location.
    std::vector<long> top(2 * n);
    for (std::size_t k = 1; k < 2 * n; ++k) top[k] = static_cast<long>(k);
    const auto find = [&](long k) {
      while (top[static_cast<std::size_t>(k)] != k) k = top[static_cast<std::size_t>(k)];
      return k;
    };
    for (std::size_t s = 0; s + 3 < n; ++s) {
      top[static_cast<std::size_t>(find(fusions[y][s].first))] = static_cast<long>(n + s + 1);
      top[static_cast<std::size_t>(find(fusions[y][s].second))] = static_cast<long>(n + s + 1);
    }
    long highest = 0;
    std::map<long, std::string> group_of_top;
    for (std::size_t k = 1; k <= n; ++k, ++group_row) {
      ASSERT_LT(group_row, groups.size());
      const auto& row = groups[group_row];
      EXPECT_EQ(row[0], integer(years[y].year));
      EXPECT_EQ(row[1], integer(static_cast<long>(k)));
      EXPECT_EQ(row[2], years[y].names[k - 1]);
      EXPECT_EQ(row[3], "");
      const long group = std::stol(row[4]);
      EXPECT_LE(group, highest + 1) << "numbered by first location";
      highest = std::max(highest, group);
      const auto [at, fresh] = group_of_top.emplace(find(static_cast<long>(k)), row[4]);
      EXPECT_EQ(at->second, row[4]) << "location " << k;
      if (fresh) {
        for (const auto& [other_top, other_group] : group_of_top) {
          if (other_top != at->first) {
            EXPECT_NE(other_group, row[4]);
          }
        }
      }
    }
    EXPECT_EQ(highest, 3);
  }
  EXPECT_EQ(group_row, groups.size());

  // Quoted as Newick asks: blanks, underscores, commas, brackets; a quote
  // as the typographic apostrophe.
  const std::string tree = folder.take("JOB-1993.nwk");
  for (const char* label : {"'NEW YORK':", "'A_B':", "O\xE2\x80\x99NEILL:", "'X,Y':", "'(P)':", "\"Q\":",
                            "PLAIN:", "Z\xC3\xBC:"}) {
    EXPECT_NE(tree.find(label), std::string::npos) << label << " in " << tree;
  }
}

// A year that comes again, a year of fewer locations than groups, a year of
// one location (whose plot data names no location, so that it is known by
// its number), and a cut at a level; into a folder of its own.
TEST(ExportProgram, RepeatedYearsSmallYearsAndACutAtALevel) {
  ScratchFolder folder;
  const std::vector<support::YearInput> years = {support::scattered(1994, 6, 3),
                                                 support::scattered(1994, 3, 4),
                                                 support::scattered(1995, 1, 2)};
  ASSERT_EQ(support::run_job(folder.path(), "Trial", years, 1).status, 0);

  auto run = support::run_program(support::export_program(), {"-g", "4", "-o", "out", "JOB"},
                                  folder.path());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err,
            "metclust-export: note: JOB-1994-2: 3 locations, fewer than the 4 groups asked for; "
            "each location is a group of its own\n"
            "metclust-export: note: JOB-1995: 1 location, fewer than the 4 groups asked for; "
            "each location is a group of its own\n");
  const fs::path out = folder.path() / "out";
  for (const char* file : {"JOB-1994.nwk", "JOB-1994-2.nwk", "JOB-1995.nwk", "JOB-groups.csv"}) {
    EXPECT_TRUE(fs::exists(out / file)) << file;
  }
  EXPECT_FALSE(folder.exists("JOB-groups.csv"));
  EXPECT_EQ(support::read_bytes(out / "JOB-1995.nwk"), "('(location 1)':0);\n");
  EXPECT_EQ(support::read_bytes(out / "JOB-1995-merges.csv"), "merge1,merge2,height,tie\r\n");
  const auto groups = csv_rows(out / "JOB-groups.csv");
  ASSERT_EQ(groups.size(), 1u + 6 + 3 + 1);
  for (std::size_t k = 7; k <= 9; ++k) {
    EXPECT_EQ(groups[k][0], "1994-2");
    EXPECT_EQ(groups[k][4], integer(static_cast<long>(k) - 6));
  }
  // Its plot data names no location: "(location 1)" as in the Newick file.
  EXPECT_EQ(groups[10], (std::vector<std::string>{"1995", "1", "(location 1)", "", "1"}));

  // At a level between two fusion levels of the first year: groups split
  // by the fusions above it.
  const auto fusions = support::listed_fusions(folder.take("JOB.CLS"));
  std::vector<double> levels;
  for (const auto& fusion : fusions[0]) levels.push_back(fusion.level);
  std::sort(levels.begin(), levels.end());
  const double between = levels[2] / 2 + levels[3] / 2;
  run = support::run_program(support::export_program(),
                             {"--height=" + support::fixed(between, 6), "--output", "cut", "JOB"},
                             folder.path());
  ASSERT_EQ(run.status, 0) << run.err;
  const auto cut = csv_rows(folder.path() / "cut" / "JOB-groups.csv");
  std::set<std::string> first_year;
  for (std::size_t k = 1; k <= 6; ++k) first_year.insert(cut[k][4]);
  EXPECT_EQ(first_year.size(), 3u);  // three fusions above: three groups
}

// Levels at the engine's full precision while JOB.EMA gives the .CLS
// file's fusions, the 8 digits of JOB.CLS with a note otherwise; in export,
// plot and compare alike.
TEST(ExportProgram, LevelsAtFullPrecisionWhereTheEmaAllows) {
  ScratchFolder folder;
  const support::YearInput year{1992, {"A", "B"}, [](std::size_t, std::size_t) { return 1.23456789; }};
  ASSERT_EQ(support::run_job(folder.path(), "Precision", {year}, 1, 8).status, 0);
  const fs::path compare_program = fs::path(METCLUST_BINARY).parent_path() / "metclust-compare";
  const auto exported = [&](const std::string& note) {
    SCOPED_TRACE(note);
    const auto run = support::run_program(support::export_program(), {"JOB"}, folder.path());
    EXPECT_EQ(run.status, 0);
    if (note.empty()) {
      EXPECT_EQ(run.err, "");
    } else {
      EXPECT_NE(run.err.find("metclust-export: note: " + note), std::string::npos) << run.err;
      EXPECT_NE(run.err.find("metclust-export: note: the tie column is left empty where the "
                             "levels are those of JOB.CLS"),
                std::string::npos)
          << run.err;
    }
    // One line from each of the others, the same note.
    const auto plot = support::run_program(support::plot_program(), {"JOB"}, folder.path());
    const auto compare = support::run_program(compare_program, {"-g", "1", "JOB"}, folder.path());
    for (const auto& [program, err] : {std::pair{"metclust-plot", plot.err},
                                       std::pair{"metclust-compare", compare.err}}) {
      if (note.empty()) {
        EXPECT_EQ(err, "") << program;
      } else {
        EXPECT_EQ(err.rfind(std::string(program) + ": note: " + note, 0), 0u) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
      }
    }
    return folder.take("JOB-1992-merges.csv") + folder.take("JOB-1992.nwk") +
           folder.take("JOB-1992-linkage.csv");
  };
  EXPECT_EQ(exported(""),
            "merge1,merge2,height,tie\r\n-1,-2,1.23456789,0\r\n(B:1.23456789,A:1.23456789);\n"
            "cluster1,cluster2,height,size\r\n0,1,1.23456789,2\r\n");
  // The picture's hover texts give the level from its data.
  EXPECT_EQ(support::hover_entries(folder.take("JOB-1992.svg"), "levels"),
            std::vector<std::string>{"1.23456789"});

  const std::string eight_digits =
      "merge1,merge2,height,tie\r\n-1,-2,1.2345679,\r\n(B:1.2345679,A:1.2345679);\n"
      "cluster1,cluster2,height,size\r\n0,1,1.2345679,2\r\n";
  // An .EMA that no longer gives the .CLS file's fusions.
  const std::string ema = folder.take("JOB.EMA");
  std::string edited = ema;
  edited.replace(edited.find("1.23456789"), 10, "1.50000000");
  folder.put("JOB.EMA", edited);
  EXPECT_EQ(exported("JOB.EMA: year 1992 (line 4): clustered again, fusion 1 lies at 1.5, the .CLS "
                     "file says 1.2345679; its levels are those of JOB.CLS, to 8 significant digits"),
            eight_digits);
  // A damaged one: its fault, and the program goes on.
  folder.put("JOB.EMA", ema.substr(0, ema.find("YR1992")) + "YR1992\nnot a count\n");
  EXPECT_EQ(exported("JOB.EMA:5:"), eight_digits);
  fs::remove(folder.path() / "JOB.EMA");
  EXPECT_EQ(exported("JOB.EMA: no such file; the fusion levels are those of JOB.CLS, to 8 "
                     "significant digits"),
            eight_digits);

  // The runs of metclust --strategy all share the .EMA of their job.
  folder.put("JOB.EMA", ema);
  ASSERT_EQ(support::run_program(support::metclust_program(), {"--quiet", "--strategy", "all", "JOB"},
                                 folder.path())
                .status,
            0);
  const auto run = support::run_program(support::export_program(), {"JOB-s2"}, folder.path());
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(folder.take("JOB-s2-1992-merges.csv"), "merge1,merge2,height,tie\r\n-1,-2,1.23456789,0\r\n");

  // Outputs in a folder of their own: --ema names the .EMA, and the names
  // file beside it is found too.
  folder.put("JOB-names.csv", "number,location,name\r\n1,Ames,A\r\n");
  ASSERT_EQ(support::run_program(support::metclust_program(),
                                 {"--quiet", "--strategy", "1", "-o", "out", "JOB"}, folder.path())
                .status,
            0);
  const auto elsewhere = support::run_program(
      support::export_program(), {"--ema", "JOB.EMA", "-o", "x", "out/JOB"}, folder.path());
  EXPECT_EQ(elsewhere.status, 0);
  EXPECT_EQ(elsewhere.err, "");
  EXPECT_EQ(folder.take("x/JOB-1992-merges.csv"), "merge1,merge2,height,tie\r\n-1,-2,1.23456789,0\r\n");
  EXPECT_EQ(support::lines(folder.take("x/JOB-1992-locations.csv"))[1], "1,A,Ames,2");
  const auto missing = support::run_program(support::export_program(),
                                            {"--ema", "NONE.EMA", "out/JOB"}, folder.path());
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "metclust-export: NONE.EMA: no such file\n");
}

// One rule of names in export, plot and compare: blanks at either end do
// not count, a location that its name cannot tell apart from the others of
// its year is called by its number too (which no real name can be, even
// "(1)"), and full names come from JOB-names.csv.
TEST(ExportProgram, NamesFollowOneRuleInEveryProgram) {
  ScratchFolder folder;
  support::YearInput year = support::scattered(1993, 8, 17);
  year.names = {"A", " A", "", "(1)", "O'NEILL", "B", "B", "Crooksto"};
  ASSERT_EQ(support::run_job(folder.path(), "Trial", {year}, 3).status, 0);
  folder.put("JOB-names.csv",
             "number,location,name\r\n1,Crookston,Crooksto\r\n2,O'Neill Farm,O'NEILL\r\n"
             "3,Ames,A\r\n");

  const auto run = support::run_program(support::export_program(), {"-g", "2", "JOB"}, folder.path());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err,
            "metclust-export: note: JOB-1993: locations 1 and 2 are both named 'A'; location 2 is "
            "called 'A (location 2)'\n"
            "metclust-export: note: JOB-1993: location 3 has no name; it is called (location 3)\n"
            "metclust-export: note: JOB-1993: locations 6 and 7 are both named 'B'; location 7 is "
            "called 'B (location 7)'\n");
  const std::vector<std::vector<std::string>> expected = {
      {"number", "name", "full_name"},  {"1", "A", "Ames"},
      {"2", "A (location 2)", "Ames"},  {"3", "(location 3)", ""},
      {"4", "(1)", ""},                 {"5", "O'NEILL", "O'Neill Farm"},
      {"6", "B", ""},                   {"7", "B (location 7)", ""},
      {"8", "Crooksto", "Crookston"}};
  const auto locations = csv_rows(folder.path() / "JOB-1993-locations.csv");
  ASSERT_EQ(locations.size(), expected.size());
  for (std::size_t k = 0; k < expected.size(); ++k) {
    EXPECT_EQ(std::vector<std::string>(locations[k].begin(), locations[k].begin() + 3), expected[k]);
  }
  const auto groups = csv_rows(folder.path() / "JOB-groups.csv");
  ASSERT_EQ(groups.size(), expected.size());
  for (std::size_t k = 1; k < expected.size(); ++k) {
    EXPECT_EQ(groups[k][2], expected[k][1]);
    EXPECT_EQ(groups[k][3], expected[k][2]);
  }
  // Every leaf once; with --full-names the full names where known.
  const auto leaves = [](const std::string& tree) {
    static const std::regex kLeaf(R"re([(,]('[^']*'|[^:,()']+):)re");
    std::multiset<std::string> out;
    for (auto it = std::sregex_iterator(tree.begin(), tree.end(), kLeaf);
         it != std::sregex_iterator(); ++it) {
      out.insert((*it)[1]);
    }
    return out;
  };
  EXPECT_EQ(leaves(folder.take("JOB-1993.nwk")),
            (std::multiset<std::string>{"A", "'A (location 2)'", "'(location 3)'", "'(1)'",
                                        "O\xE2\x80\x99NEILL", "B", "'B (location 7)'",
                                        "Crooksto"}));
  const auto full = support::run_program(support::export_program(),
                                         {"--full-names", "-o", "full", "JOB"}, folder.path());
  ASSERT_EQ(full.status, 0) << full.err;
  EXPECT_EQ(leaves(folder.take("full/JOB-1993.nwk")),
            (std::multiset<std::string>{"Ames", "'Ames (location 2)'", "'(location 3)'", "'(1)'",
                                        "'O\xE2\x80\x99Neill Farm'", "B", "'B (location 7)'",
                                        "Crookston"}));

  // The picture names them alike, the full name at the end of its row.
  const auto plot = support::run_program(support::plot_program(), {"JOB"}, folder.path());
  ASSERT_EQ(plot.status, 0) << plot.err;
  EXPECT_EQ(support::count(plot.err, "metclust-plot: note: JOB-1993: "), 3u) << plot.err;
  const std::string svg = folder.take("JOB-1993.svg");
  std::multiset<std::string> shown;
  for (const support::Leaf& leaf : support::leaves(svg)) shown.insert(leaf.name);
  EXPECT_EQ(shown, (std::multiset<std::string>{"A", "A (location 2)", "(location 3)", "(1)",
                                               "O&#39;NEILL", "B", "B (location 7)", "Crooksto"}));
  EXPECT_NE(svg.find(">Crookston</text>"), std::string::npos);
  // Location 8's hover text, from the picture's data: "location 8: Crooksto
  // (Crookston), ...".
  const std::vector<std::string> hover_names = support::hover_entries(svg, "names");
  const std::vector<std::string> hover_full = support::hover_entries(svg, "full");
  ASSERT_EQ(hover_names.size(), 8u);
  ASSERT_EQ(hover_full.size(), 8u);
  EXPECT_EQ(hover_names[7], "Crooksto");
  EXPECT_EQ(hover_full[7], "Crookston");

  // " A" beside "A": export notes one name twice, and metclust-compare,
  // which knows a location across years by its name alone, refuses it.
  const fs::path twice = folder.path() / "twice";
  fs::create_directories(twice);
  year.names = {"A", " A", "C", "D", "E", "F", "G", "H"};
  ASSERT_EQ(support::run_job(twice, "Trial", {year}, 3).status, 0);
  const auto exported = support::run_program(support::export_program(), {"JOB"}, twice);
  EXPECT_EQ(exported.status, 0);
  EXPECT_EQ(exported.err,
            "metclust-export: note: JOB-1993: locations 1 and 2 are both named 'A'; location 2 is "
            "called 'A (location 2)'\n");
  const auto compare = support::run_program(
      fs::path(METCLUST_BINARY).parent_path() / "metclust-compare", {"-g", "2", "JOB"}, twice);
  EXPECT_EQ(compare.status, 1);
  EXPECT_NE(compare.err.find("location name 'A' stands twice in year 1993"), std::string::npos)
      << compare.err;
}

struct Broken {
  const char* what;
  std::vector<std::string> arguments;
  std::function<void(const ScratchFolder&)> damage;
  int status;
  std::string error;  // the start of the first line on standard error
};

// Faults: one line naming the file and the line, or the usage; nothing
// written in any case.
TEST(ExportProgram, FaultsWriteNothing) {
  ScratchFolder folder;
  ASSERT_EQ(support::run_job(folder.path(), "Trial", {support::scattered(1992, 5, 1)}, 3).status,
            0);
  const std::string pcl = folder.take("JOB.PCL");
  const std::string cls = folder.take("JOB.CLS");
  // The node listing with its first two locations swapped: still a list of
  // every location once, but not the order the fusions give.
  const std::vector<std::string> original = support::lines(pcl);
  std::vector<std::string> records = original;
  records[1].replace(28, 12, original[2].substr(28, 12));
  records[2].replace(28, 12, original[1].substr(28, 12));
  const std::string swapped = support::joined_records(records);
  // The first fusion record with its two groups swapped.
  const std::string other_cls = [&] {
    std::vector<std::string> lines = support::lines(cls);
    for (std::string& line : lines) {
      if (line.size() >= 36 && line[8] == '+') {
        const std::string first = line.substr(3, 4);
        line.replace(3, 4, line.substr(9, 4));
        line.replace(9, 4, first);
        break;
      }
    }
    return support::joined_records(lines);
  }();

  const std::vector<Broken> cases = {
      {"no .CLS",
       {"JOB"},
       [](const ScratchFolder& f) { fs::remove(f.path() / "JOB.CLS"); },
       1,
       "metclust-export: JOB.CLS: no such file; metclust-export takes the fusion levels from it\n"},
      {"no .PCL",
       {"JOB"},
       [](const ScratchFolder& f) { fs::remove(f.path() / "JOB.PCL"); },
       1,
       "metclust-export: JOB.PCL: no such file\n"},
      {".CLS of other fusions",
       {"JOB"},
       [&](const ScratchFolder& f) { f.put("JOB.CLS", other_cls); },
       1,
       "metclust-export: JOB.CLS:"},
      {"listing out of order",
       {"JOB"},
       [&](const ScratchFolder& f) { f.put("JOB.PCL", swapped); },
       1,
       "metclust-export: JOB.PCL:2:29: node listing entry 1 is location"},
      {"no job", {}, nullptr, 2, "metclust-export: no job given\nUsage: metclust-export"},
      {"two cuts",
       {"-g", "2", "--height", "1", "JOB"},
       nullptr,
       2,
       "metclust-export: --groups and --height are two ways to cut; give one\n"},
      {"no groups",
       {"--groups=0", "JOB"},
       nullptr,
       2,
       "metclust-export: --groups takes a whole number of at least 1, not '0'\n"},
      {"height not a number",
       {"--height", "nan", "JOB"},
       nullptr,
       2,
       "metclust-export: --height takes a number, not 'nan'\n"},
      {"unknown option",
       {"--colour", "JOB"},
       nullptr,
       2,
       "metclust-export: unknown option '--colour'\n"},
      {"two jobs",
       {"JOB", "JOB2"},
       nullptr,
       2,
       "metclust-export: more than one job given: 'JOB2'\n"},
  };
  const std::set<std::string> before = {"JOB.CLS", "JOB.EMA", "JOB.NAQ", "JOB.PCL", "JOB.SCL"};
  for (const Broken& c : cases) {
    folder.put("JOB.PCL", pcl);
    folder.put("JOB.CLS", cls);
    if (c.damage) c.damage(folder);
    const auto run = support::run_program(support::export_program(), c.arguments, folder.path());
    EXPECT_EQ(run.status, c.status) << c.what;
    EXPECT_EQ(run.err.rfind(c.error, 0), 0u) << c.what << ": " << run.err;
    if (c.status == 1) {
      EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << c.what;
    }
    EXPECT_EQ(run.out, "") << c.what;
    std::set<std::string> now = files_in(folder.path());
    for (const std::string& name : before) now.erase(name);
    EXPECT_TRUE(now.empty()) << c.what << ": " << *now.begin();
  }

  // An output that cannot be put in place (a folder holds its name): none
  // of the others is written either.
  folder.put("JOB.PCL", pcl);
  folder.put("JOB.CLS", cls);
  fs::create_directories(folder.path() / "JOB-1992-locations.csv" / "in-the-way");
  const auto run =
      support::run_program(support::export_program(), {"-g", "2", "JOB"}, folder.path());
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err.rfind("metclust-export: JOB-1992-locations.csv: cannot be put in place", 0), 0u)
      << run.err;
  std::set<std::string> now = files_in(folder.path());
  for (const std::string& name : before) now.erase(name);
  EXPECT_EQ(now, std::set<std::string>{"JOB-1992-locations.csv"});
}

TEST(ExportProgram, HelpAndVersion) {
  ScratchFolder folder;
  const auto help = support::run_program(support::export_program(), {"--help"}, folder.path());
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind(
                "Usage: metclust-export [--groups K | --height H] [--full-names] [--ema FILE] [-o DIR] JOB\n", 0),
            0u);
  const auto version = support::run_program(support::export_program(), {"-V"}, folder.path());
  EXPECT_EQ(version.out, "metclust-export 1.0.0\n");
}

}  // namespace
}  // namespace metclust::exporting
