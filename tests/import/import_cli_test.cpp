// metclust-import as a command: the files it writes for a small job, byte
// for byte; files that exist already; wrong command lines.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "import/import_cli.hpp"
#include "support/scratch_folder.hpp"

namespace metclust::import {
namespace {

struct Outcome {
  int status;
  std::string out, err;
};

Outcome import(const std::vector<std::string>& arguments) {
  std::ostringstream out, err;
  const int status = run_import(arguments, out, err);
  return {status, out.str(), err.str()};
}

// Two years given latest first, a location in the later year only, long and
// accented names, four-digit years.
const std::string kPairs =
    "year,location_a,location_b,proximity\r\n"
    "2004,Wageningen,Zürich,1.5\r\n"
    "2004,Wageningen,Ames,2\r\n"
    "2004,Ames,Zürich,0.25\r\n"
    "1995,Ames,Wageningen-Noord,3\r\n"
    "1995,Wageningen,Ames,4\r\n"
    "1995,Wageningen-Noord,Wageningen,12.5\r\n";

TEST(ImportCli, WritesTheJobFiles) {
  testing::ScratchFolder folder;
  folder.put("pairs.csv", kPairs);
  const Outcome r = import({"--title", "Golden", "--long", folder.file("pairs.csv"), folder.file("out/G")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, folder.file("out/G.EMA") + "\n" + folder.file("out/G.NAQ") + "\n" +
                       folder.file("out/G-names.csv") + "\n");
  EXPECT_EQ(folder.take("out/G.EMA"),
            "       2       4       0      95     104\r\n"
            "Golden                                            \r\n"
            "                        \r\n"
            "  1995    1995    \r\n"
            "       3\r\n"
            "  1  1  1  0\r\n"
            "     1 Ames       0.00000000E+00\r\n"
            "     2 Wagening   0.30000000E+01  0.00000000E+00\r\n"
            "     3 Wageni~1   0.40000000E+01  0.12500000E+02  0.00000000E+00\r\n"
            "  2004    2004    \r\n"
            "       3\r\n"
            "  1  0  1  1\r\n"
            "     1 Ames       0.00000000E+00\r\n"
            "     2 Wageni~1   0.20000000E+01  0.00000000E+00\r\n"
            "     3 Zurich     0.25000000E+00  0.15000000E+01  0.00000000E+00\r\n");
  EXPECT_EQ(folder.take("out/G.NAQ"), "Ames    \r\nWagening\r\nWageni~1\r\nZurich  \r\n");
  EXPECT_EQ(folder.take("out/G-names.csv"),
            "number,location,name\r\n1,Ames,Ames\r\n2,Wageningen-Noord,Wagening\r\n"
            "3,Wageningen,Wageni~1\r\n4,Zürich,Zurich\r\n");
}

TEST(ImportCli, TrialResultsHeaderAndOptions) {
  testing::ScratchFolder folder;
  folder.put("t.csv", "Value,Genotype,Location,Year,Plot\n5,G1,A,88,1\n6,G2,A,88,2\n4,G1,B,88,3\nNA,G2,B,88,4\n"
                      "7,G3,B,88,5\n");
  ASSERT_EQ(import({"--trials", folder.file("t.csv"), "--measure", "correlation", folder.file("T")}).status, 1);
  ASSERT_EQ(import({"--trials", folder.file("t.csv"), "--measure", "centred", folder.file("T")}).status, 0);
  const std::string ema = folder.take("T.EMA");
  // MAXG counts the genotypes; the title is the job's name; the options
  // name a centred SED measure.
  EXPECT_EQ(ema.substr(0, ema.find("  1  1")),
            "       1       2       3      88      88\r\n"
            "T                                                 \r\n"
            "     U     S     C      \r\n"
            "    88    88      \r\n"
            "       2\r\n");
}

TEST(ImportCli, ExistingFilesAreKeptUnlessForced) {
  testing::ScratchFolder folder;
  folder.put("pairs.csv", kPairs);
  folder.put("G.NAQ", "old");
  const std::vector<std::string> arguments = {"--long", folder.file("pairs.csv"), folder.file("G")};
  const Outcome refused = import(arguments);
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err, "metclust-import: " + folder.file("G.NAQ") + ": exists already; give --force to replace it\n");
  EXPECT_EQ(folder.take("G.NAQ"), "old");
  EXPECT_FALSE(folder.exists("G.EMA"));
  std::vector<std::string> forced = arguments;
  forced.insert(forced.begin(), "--force");
  EXPECT_EQ(import(forced).status, 0);
  EXPECT_EQ(folder.take("G.NAQ"), "Ames    \r\nWagening\r\nWageni~1\r\nZurich  \r\n");
}

// Café typed composed, decomposed (e and a combining accent) and with a
// no-break space after it is one location; a name that would start a
// spreadsheet formula is written with an apostrophe in JOB-names.csv.
TEST(ImportCli, OneNameTypedTwoWaysIsOneLocation) {
  testing::ScratchFolder folder;
  const std::string composed = "Caf\xC3\xA9", decomposed = "Cafe\xCC\x81", spaced = "Caf\xC3\xA9\xC2\xA0";
  folder.put("pairs.csv", "year,location_a,location_b,proximity\n"
                          "1995," + composed + ",=1+1,1\n"
                          "1995," + decomposed + ",-3,2\n"
                          "1995,=1+1,-3,3\n"
                          "1996,\xE2\x80\x83=1+1," + spaced + ",4\n");
  // The matrix's rows name their locations as its header row does, typed
  // another way.
  folder.put("m.csv", "," + composed + ",B\n" + decomposed + ",0,1\n B\xC2\xA0,1,0\n");
  const Outcome pairs = import({"--long", folder.file("pairs.csv"), folder.file("P")});
  EXPECT_EQ(pairs.status, 0) << pairs.err;
  EXPECT_EQ(folder.take("P-names.csv"),
            "number,location,name\r\n1," + composed + ",Cafe\r\n2,'=1+1,'=1+1\r\n3,-3,-3\r\n");
  const Outcome matrix = import({"--matrix", "1995=" + folder.file("m.csv"), folder.file("M")});
  EXPECT_EQ(matrix.status, 0) << matrix.err;
  EXPECT_EQ(folder.take("M-names.csv"), "number,location,name\r\n1," + composed + ",Cafe\r\n2,B,B\r\n");
}

// The job may be given as its .EMA file, in any case: J.EMA is the job J,
// not J.EMA.EMA.
TEST(ImportCli, AJobGivenAsItsEmaFileIsThatJob) {
  testing::ScratchFolder folder;
  folder.put("pairs.csv", kPairs);
  const Outcome r = import({"--long", folder.file("pairs.csv"), folder.file("J.ema")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, folder.file("J.EMA") + "\n" + folder.file("J.NAQ") + "\n" +
                       folder.file("J-names.csv") + "\n");
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
    names.insert(entry.path().filename());
  }
  EXPECT_EQ(names, (std::set<std::string>{"J-names.csv", "J.EMA", "J.NAQ", "pairs.csv"}));
}

TEST(ImportCli, WrongCommandLines) {
  const std::string usage =
      "Usage: metclust-import [OPTION]... SOURCE JOB\n"
      "  SOURCE: --matrix YEAR=FILE [--matrix YEAR=FILE]...\n"
      "        | --long FILE\n"
      "        | --trials FILE --measure euclidean|centred|correlation\n"
      "Try 'metclust-import --help' for more information.\n";
  struct Case {
    std::vector<std::string> arguments;
    std::string message;
  };
  const Case cases[] = {
      {{"JOB"}, "no source given: --matrix, --long or --trials"},
      {{"--long", "a.csv", "--trials", "b.csv", "--measure", "euclidean", "JOB"},
       "give one kind of source: --matrix, --long or --trials"},
      {{"--long", "a.csv", "--measure", "euclidean", "JOB"}, "--measure goes with --trials only"},
      {{"--trials", "a.csv", "JOB"}, "--trials needs --measure euclidean, centred or correlation"},
      {{"--trials", "a.csv", "--measure", "manhattan", "JOB"},
       "unknown measure 'manhattan': euclidean, centred or correlation"},
      {{"--matrix", "a.csv", "JOB"}, "--matrix takes YEAR=FILE, found 'a.csv'"},
      {{"--matrix", "95a=a.csv", "JOB"}, "--matrix: expected a whole year before '=', found '95a=a.csv'"},
      {{"--matrix", "1995=a.csv", "--matrix", "1995=b.csv", "JOB"}, "--matrix: year 1995 is given twice"},
      {{"--long", "a.csv"}, "no job given"},
      {{"--long", "a.csv", "JOB", "MORE"}, "more than one job given: 'MORE'"},
      {{"--long", "a.csv", "out/"}, "'out/' names no job"},
      {{"--title", std::string(51, 'x'), "--long", "a.csv", "JOB"}, "the title is longer than 50 bytes"},
      {{"--title", "two\nlines", "--long", "a.csv", "JOB"},
       "the title must be one line of text, without control characters"},
      {{"--force=yes", "--long", "a.csv", "JOB"}, "option '--force' takes no value"},
      {{"--merge", "JOB"}, "unknown option '--merge'"},
      {{"--separator", "semicolons", "--long", "a.csv", "JOB"},
       "--separator takes comma, semicolon or tab, not 'semicolons'"},
      {{"--location-column", "site", "--long", "a.csv", "JOB"}, "--location-column goes with --trials only"},
      {{"--year-column", "Jahr", "--matrix", "1995=a.csv", "JOB"},
       "--year-column goes with --long or --trials; --matrix gives each year as YEAR=FILE"},
      {{"--value-column", " ", "--trials", "a.csv", "--measure", "euclidean", "JOB"},
       "--value-column takes the name of a column"},
  };
  for (const Case& c : cases) {
    const Outcome r = import(c.arguments);
    EXPECT_EQ(r.status, 2) << c.message;
    EXPECT_EQ(r.err, "metclust-import: " + c.message + "\n" + usage);
  }
  EXPECT_EQ(import({"--version"}).out, "metclust-import 1.0.0\n");
  const Outcome missing = import({"--long", "/nonexistent/a.csv", "JOB"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "metclust-import: /nonexistent/a.csv: no such file\n");
}

}  // namespace
}  // namespace metclust::import
