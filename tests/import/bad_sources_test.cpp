// Every bad source file gets one line naming the file, line and column and
// what was expected there, exit status 1, and nothing is written.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "formats/capacity.hpp"
#include "import/import_cli.hpp"
#include "support/scratch_folder.hpp"

namespace metclust::import {
namespace {

struct Case {
  const char* what;
  std::vector<std::string> source;  // the source options, with FILE for the file's path
  std::string csv;
  std::string message;  // after "metclust-import: FILE"
};

const std::vector<std::string> kMatrix = {"--matrix", "1995=FILE"};
const std::vector<std::string> kLong = {"--long", "FILE"};
const std::vector<std::string> kTrials = {"--trials", "FILE", "--measure", "euclidean"};
const std::vector<std::string> kCorrelation = {"--trials", "FILE", "--measure", "correlation"};
const std::string kPairs = "year,location_a,location_b,proximity\n";
const std::string kCells = "year,location,genotype,value\n";

const Case kCases[] = {
    // Square matrices.
    {"an empty file", kMatrix, "", ": year 1995 has no location: the file holds no row"},
    {"a header row without names", kMatrix, "site\n",
     ":1:1: year 1995 has no location: expected the location names from the second field of the header row on"},
    {"the header row left out", kMatrix, "A,0,1\nB,1,0\n",
     ":1:1: expected a header row naming the locations, found a row of numbers"},
    {"a location named twice", kMatrix, ",A,B,A\nA,0,1,2\nB,1,0,3\nA,2,3,0\n",
     ":1:6: location \"A\" is named twice in the header row (first in column 2)"},
    {"an empty name", kMatrix, ",A,\nA,0,1\n,1,0\n", ":1:4: expected a location name, found an empty field"},
    {"asymmetric", kMatrix, ",A,B\nA,0,1.5\nB,1.25,0\n",
     ":3:3: expected \"1.5\" as on line 2, column 5 (the matrix must be symmetric), found \"1.25\""},
    {"a pair missing on both sides", kMatrix, ",A,B\nA,0,\nB,NA,0\n",
     ":3:3: expected a proximity of \"A\" and \"B\", found none on either side of the diagonal"},
    {"a negative proximity", kMatrix, ",A,B\nA,0,-1\nB,,0\n", ":2:5: expected a proximity of at least 0, found \"-1\""},
    {"text for a proximity", kMatrix, ",A,B\nA,0,abc\nB,,0\n", ":2:5: expected a proximity, found \"abc\""},
    {"infinity", kMatrix, ",A,B\nA,0,inf\nB,,0\n", ":2:5: expected a proximity, found \"inf\", which is not finite"},
    {"beyond 8-byte reals", kMatrix, ",A,B\nA,0,1e400\nB,,0\n",
     ":2:5: expected a proximity, found \"1e400\", which lies beyond the range of 8-byte reals"},
    {"a decimal comma", kMatrix, ",A,B\nA,0,\"1,5\"\nB,,0\n",
     ":2:5: expected a proximity written with a decimal point, found \"1,5\""},
    {"above the search ceiling", kMatrix, ",A,B\nA,0,2e20\nB,,0\n",
     ":2:5: expected a proximity of at most 1E20 (the largest metclust joins), found \"2e20\""},
    {"a diagonal that is not 0", kMatrix, ",A,B\nA,2,1\nB,1,0\n", ":2:3: expected 0 on the diagonal, found \"2\""},
    {"rows in another order", kMatrix, ",A,B\nB,0,1\nA,1,0\n",
     ":2:1: expected the row of location \"A\" (rows in the order of the header row), found \"B\""},
    {"a row missing", kMatrix, ",A,B\r\nA,0,1\r\n",
     ":3:1: expected the row of location \"B\", found the end of the file (the header row names 2 locations)"},
    {"a row too many", kMatrix, ",A,B\nA,0,1\nB,1,0\nC,1,1\n",
     ":4:1: expected the end of the file after the rows of the 2 locations of the header row"},
    {"an unquoted comma in a row", kMatrix, ",A,B\nA,0,1,5\nB,1,0\n",
     ":2:1: expected 3 fields as in the header row, found 4 (a field that holds a comma must be quoted)"},
    {"a quote never closed", kMatrix, ",A,B\nA,0,\"1\nB,1,0\n", ":2:5: quoted field is never closed"},
    // Pairs.
    {"no header row", kLong, "1995,A,B,1.5\n",
     ":1:1: expected the header row year,location_a,location_b,proximity (the header row is missing)"},
    {"a column missing", kLong, "year,location_a,location_b,value\n1995,A,B,1\n",
     ":1:1: expected the header row year,location_a,location_b,proximity: no column proximity"},
    {"a column twice", kLong, "year,location_a,location_b,proximity,Year\n",
     ":1:38: column year is named twice in the header row"},
    {"no rows", kLong, kPairs, ":2:1: expected the rows of the pairs after the header row, found none"},
    {"nothing at all", kLong, "", ": expected the header row year,location_a,location_b,proximity, found no row"},
    {"a pair missing", kLong, kPairs + "1995,A,B,1\n1995,A,C,2\n",
     ":3:8: year 1995 gives no proximity for the pair \"B\", \"C\" (location \"C\" is first named here)"},
    {"a pair twice, the other way round", kLong, kPairs + "1995,A,B,1\n1995,B,A,1\n",
     ":3:6: the pair \"B\", \"A\" of year 1995 is given again (first on line 2)"},
    {"a location paired with itself", kLong, kPairs + "1995,A,A,0\n",
     ":2:8: expected a location other than location_a, found \"A\" again"},
    {"a year with letters", kLong, kPairs + "95a,A,B,1\n", ":2:1: expected a year (a whole number), found \"95a\""},
    {"an empty location", kLong, kPairs + "1995,A, ,1\n", ":2:8: expected a location name, found an empty field"},
    {"an empty proximity", kLong, kPairs + "1995,A,B,\n", ":2:10: expected a proximity, found an empty field"},
    {"a short row", kLong, kPairs + "1995,A,B\n", ":2:1: expected 4 fields as in the header row, found 3"},
    {"a year beyond what the sequence line shows", kLong, kPairs + "1995,A,B,1\n3000,A,B,1\n",
     ":3:1: year 3000 cannot be shown without asterisks: the sequence line shows the first and last year "
     "in three columns, so a job's years must all lie within -99 to 999, or all within 1801 to 2899 (shown "
     "as year - 1900)"},
    {"two-digit and four-digit years together", kLong, kPairs + "1995,A,B,1\n95,A,B,1\n",
     ":3:1: year 95 cannot be shown without asterisks: the sequence line shows the first and last year in "
     "three columns, so a job's years must all lie within -99 to 999, or all within 1801 to 2899 (shown as "
     "year - 1900)"},
    // How fields are separated and numbers written.
    {"a header row that cannot tell the separator", kMatrix, ";Moree, North;Wagga, South\n",
     ":1:1: cannot tell how the fields are separated: the header row holds 2 commas and 2 semicolons "
     "outside quotes; say which with --separator comma, semicolon or tab"},
    {"two decimal marks in one file", kTrials, "year;location;genotype;value\n1995;A;G1;5,5\n1995;B;G1;6.5\n",
     ":3:11: expected a number, an empty field or NA written with a decimal comma as on line 2, column 11 (a "
     "file writes its numbers with one decimal mark), found \"6.5\""},
    {"a grouping of thousands", kLong, "year;location_a;location_b;proximity\n1995;A;B;1.234,5\n",
     ":2:10: expected a proximity without a grouping of thousands, found \"1.234,5\""},
    {"a decimal comma between tabs", kTrials, "year\tlocation\tgenotype\tvalue\n1995\tA\tG1\t5,5\n",
     ":2:11: expected a number, an empty field or NA written with a decimal point, found \"5,5\" (a decimal "
     "comma is read where semicolons separate the fields)"},
    {"an unquoted semicolon", kLong, "year;location_a;location_b;proximity\n1995;A;B;C;1\n",
     ":2:1: expected 4 fields as in the header row, found 5 (a field that holds a semicolon must be quoted)"},
    {"text after a closing quote", kLong, "year;location_a;location_b;proximity\n1995;\"A\" x;B;1\n",
     ":2:9: expected a semicolon or the end of the line after a closing quote"},
    {"a separator given that the file does not use", {"--separator", "tab", "--long", "FILE"},
     "year,location_a,location_b,proximity\n1995,A,B,1\n",
     ":1:1: expected the header row year,location_a,location_b,proximity: no column year (or season), no column "
     "location_a, no column location_b, no column proximity; give the name this file uses with --year-column NAME"},
    // Columns.
    {"two columns missing, named in one message", kTrials, "year,place,variety,amount\n1995,A,G1,5\n",
     ":1:1: expected the header row year,location,genotype,value: no column location (or site, environment, env, "
     "loc, trial), no column value (or yield, response, resp); give the name this file uses with "
     "--location-column NAME, --value-column NAME"},
    {"a header row in another language", kTrials, "Jahr;Ort;Sorte;Ertrag\n1995;A;G1;5\n",
     ":1:1: expected the header row year,location,genotype,value: no column year (or season), no column location "
     "(or site, environment, env, loc, trial), no column genotype (or variety, gen, geno, entry, cultivar, hybrid, "
     "line), no column value (or yield, response, resp); give the name this file uses with --year-column NAME, "
     "--location-column NAME, --genotype-column NAME, --value-column NAME"},
    {"a column given that the header row lacks", {"--location-column", "Ort", "--trials", "FILE", "--measure", "euclidean"},
     kCells + "1995,A,G1,5\n",
     ":1:1: expected the header row year,location,genotype,value: no column \"Ort\" (given with --location-column)"},
    {"two columns that could each be the location", kTrials, "year,site,trial,variety,yield\n",
     ":1:11: columns \"site\" and \"trial\" could each be the location; say which with --location-column NAME"},
    {"a column taken twice", {"--genotype-column", "site", "--trials", "FILE", "--measure", "euclidean"},
     "year,site,variety,yield\n", ":1:6: column \"site\" is taken for both the location and the genotype"},
    {"a column named twice under another name", kTrials, "year,Site,genotype,value,site\n",
     ":1:26: column \"site\" is named twice in the header row"},
    // Hostile bytes are shown escaped, and a long name cut where a character starts.
    {"terminal control bytes in a name", kLong, kPairs + "1995,\"\x1B]0;x\x07\x9B" "A\",\"\x1B]0;x\x07\x9B" "A\",1\n",
     ":2:17: expected a location other than location_a, found \"\\x1B]0;x\\x07\\x9BA\" again"},
    {"a long name cut", kLong, kPairs + "1995," + std::string(39, 'x') + "\xC3\xA9z," + std::string(39, 'x') + "\xC3\xA9z,1\n",
     ":2:49: expected a location other than location_a, found \"" + std::string(39, 'x') + "...\" again"},
    {"UTF-16 text", kLong, std::string("\xFF\xFEy\0e\0a\0r\0", 10),
     ":1:1: the file is UTF-16 text (it starts with a UTF-16 byte-order mark); save it as CSV in UTF-8"},
    {"UTF-16 text without its mark", kLong, std::string("y\0e\0a\0r\0", 8),
     ":1:2: a NUL byte, which no CSV text holds (UTF-16 text has one in every other byte); save the file as "
     "CSV in UTF-8"},
    // Bounds.
    {"a field of 70 KiB", kLong, kPairs + "1995,A,\"" + std::string(70 * 1024, 'B') + "\",1\n",
     ":2:8: a field longer than 65536 bytes (64 KiB), the longest read: no name or number is that long"},
    {"a line of 10 MB", kLong, kPairs + "1995,A," + std::string(10'000'000, 'B') + ",1\n",
     ":2: the line is longer than 1 MiB, the longest line read: is this the file meant?"},
    // Trial results.
    {"a value that is no number", kTrials, kCells + "1995,A,G1,5.2\n1995,B,G1,x\n",
     ":3:11: expected a number, an empty field or NA, found \"x\""},
    {"a cell twice", kTrials, kCells + "1995,A,G1,5\n1995,B,G1,6\n1995,A,G1,NA\n",
     ":4:8: year 1995 gives location \"A\" and genotype \"G1\" again (first on line 2)"},
    {"a location without any value", kTrials, kCells + "1995,A,G1,5\n1995,B,G1,NA\n1995,B,G2,\n",
     ":3:6: location \"B\" has no value in year 1995 (every cell of it is empty or NA)"},
    {"nothing in common", kTrials, kCells + "1995,A,G1,5\n1995,A,G2,6\n1995,B,G3,5\n",
     ":4:6: year 1995 gives no proximity of \"A\" and \"B\": no genotype has a value at both"},
    {"an empty genotype", kTrials, kCells + "1995,A,,5\n", ":2:8: expected a genotype name, found an empty field"},
    {"values too large for a proximity", kTrials, kCells + "1995,A,G1,1e200\n1995,B,G1,-1e200\n",
     ":3:6: year 1995 gives the proximity of \"A\" and \"B\" as no finite number: the values are too large"},
    {"no correlation over one genotype", kCorrelation, kCells + "1995,A,G1,5\n1995,A,G2,6\n1995,B,G1,5\n",
     ":4:6: year 1995 gives no correlation of \"A\" and \"B\": only one genotype has a value at both, and a "
     "correlation needs two"},
    {"no correlation with a constant location", kCorrelation,
     kCells + "1995,A,G1,5\n1995,A,G2,6\n1995,B,G1,5\n1995,B,G2,5\n",
     ":4:6: year 1995 gives no correlation of \"A\" and \"B\": \"B\" has the same value for every genotype "
     "the two share"},
};

TEST(BadSources, OneLocatedLineAndNothingWritten) {
  testing::ScratchFolder folder;
  const std::string file = folder.file("source.csv");
  for (const Case& c : kCases) {
    folder.put("source.csv", c.csv);
    std::vector<std::string> arguments;
    for (const std::string& a : c.source) {
      arguments.push_back(a == "FILE" ? file : a == "1995=FILE" ? "1995=" + file : a);
    }
    arguments.push_back(folder.file("JOB"));
    std::ostringstream out, err;
    EXPECT_EQ(run_import(arguments, out, err), 1) << c.what;
    EXPECT_EQ(err.str(), "metclust-import: " + file + c.message + "\n") << c.what;
    EXPECT_EQ(out.str(), "") << c.what;
    for (const char* name : {"JOB.EMA", "JOB.NAQ", "JOB-names.csv"}) {
      EXPECT_FALSE(folder.exists(name)) << c.what << ": " << name;
    }
  }
}

// The search ceiling, 1E20, is the largest proximity taken: a pair at it is
// joined by a run; the next real above it never is.
TEST(BadSources, TheSearchCeilingIsTheLargestProximityTaken) {
  testing::ScratchFolder folder;
  const struct {
    const char* text;
    bool taken;
  } cases[] = {{"1E20", true}, {"100000000000000000000", true}, {"1.0000000000000002E20", false}};
  for (const auto& c : cases) {
    folder.put("source.csv", std::string(",A,B\nA,0,") + c.text + "\nB,,0\n");
    std::ostringstream out, err;
    const std::vector<std::string> arguments = {"--force", "--matrix", "1995=" + folder.file("source.csv"),
                                                folder.file("JOB")};
    const int status = run_import(arguments, out, err);
    if (c.taken) {
      EXPECT_EQ(status, 0) << c.text << ": " << err.str();
      EXPECT_NE(folder.take("JOB.EMA").find("  0.10000000E+21  0.00000000E+00"), std::string::npos) << c.text;
    } else {
      EXPECT_EQ(status, 1) << c.text;
      EXPECT_EQ(err.str(), "metclust-import: " + folder.file("source.csv") +
                               ":2:5: expected a proximity of at most 1E20 (the largest metclust joins), found \"" +
                               c.text + "\"\n");
    }
  }
}

// Three years of 300 locations, 700 locations in all, in a build that holds
// fewer: every year fits, the job does not, as MAXL is its number of
// locations. Refused where the first location too many is named, with the
// job's number and the build that would take it.
TEST(BadSources, AJobIsJudgedByItsWholeNumberOfLocations) {
  const std::int64_t held = formats::kLocationsHeld;
  if (held >= 700) GTEST_SKIP() << "a build for " << held << " locations";
  testing::ScratchFolder folder;
  std::string csv = "year,location,genotype,value\n";
  std::int64_t line = 1;
  std::int64_t beyond_line = 0;  // where location held + 1 is first named
  for (int year = 0; year < 3; ++year) {
    for (int k = 1; k <= 300; ++k) {
      const int location = 200 * year + k;
      csv += std::to_string(2001 + year) + ",L" + std::to_string(location) + ",G1," + std::to_string(k) + "\n";
      ++line;
      if (location == held + 1 && beyond_line == 0) beyond_line = line;
    }
  }
  folder.put("t.csv", csv);
  std::ostringstream out, err;
  const std::vector<std::string> arguments = {"--trials", folder.file("t.csv"), "--measure", "euclidean",
                                              folder.file("JOB")};
  EXPECT_EQ(run_import(arguments, out, err), 1);
  EXPECT_EQ(err.str(), "metclust-import: " + folder.file("t.csv") + ":" + std::to_string(beyond_line) +
                           ":6: the job has 700 locations over its years (location " + std::to_string(held + 1) +
                           " is first named here), but this build of metclust holds at most " +
                           std::to_string(held) +
                           ": MAXL, the length of every year's elimination vector, is the job's number of "
                           "locations, not that of its largest year; build metclust for 700 with cmake "
                           "-DMETCLUST_MAX_LOCATIONS=700 (make install MAX_LOCATIONS=700)\n");
  EXPECT_FALSE(folder.exists("JOB.EMA"));
}

// A year of 501 locations numbers dendrogram nodes beyond the three columns
// of the plot records: refused in every build, from every source, where
// location 501 is first named.
TEST(BadSources, AYearOfMoreLocationsThanItsPlotRecordsNumber) {
  testing::ScratchFolder folder;
  std::string trials = "year,location,genotype,value\n";
  std::string pairs = "year,location_a,location_b,proximity\n";
  std::string matrix;
  for (int k = 1; k <= 501; ++k) {
    trials += "1995,L" + std::to_string(k) + ",G1,1\n";
    if (k > 1) pairs += "1995,L" + std::to_string(k - 1) + ",L" + std::to_string(k) + ",1\n";
    matrix += ",L" + std::to_string(k);
  }
  const std::string why =
      "year 1995 has 501 locations (location 501 is first named here), but a year may have at most 500: the "
      "plot records (.PCL) number a year's 2NL - 1 dendrogram nodes in three columns, so metclust refuses a "
      "larger year in every build\n";
  struct Case {
    std::vector<std::string> source;
    std::string csv;
    std::string place;
  };
  const Case cases[] = {
      {{"--trials", "FILE", "--measure", "euclidean"}, trials, ":502:6: "},
      {{"--long", "FILE"}, pairs, ":501:11: "},
      {{"--matrix", "1995=FILE"}, matrix + "\n", ":1:" + std::to_string(matrix.size() - 3) + ": "},
  };
  for (const Case& c : cases) {
    folder.put("s.csv", c.csv);
    std::vector<std::string> arguments;
    for (const std::string& a : c.source) {
      arguments.push_back(a == "FILE" ? folder.file("s.csv") : a == "1995=FILE" ? "1995=" + folder.file("s.csv") : a);
    }
    arguments.push_back(folder.file("JOB"));
    std::ostringstream out, err;
    EXPECT_EQ(run_import(arguments, out, err), 1) << c.source[0];
    EXPECT_EQ(err.str(), "metclust-import: " + folder.file("s.csv") + c.place + why) << c.source[0];
  }
}

}  // namespace
}  // namespace metclust::import
