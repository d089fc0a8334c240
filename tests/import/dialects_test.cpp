// Source files as breeders write them: comma, semicolon or tab separated,
// with decimal commas where semicolons separate the fields, and columns
// under the names breeders give them. Every spelling of the same data makes
// the same job, byte for byte, and the program says how it read a file that
// it did not read the plain way.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "import/import_cli.hpp"
#include "support/job_runner.hpp"
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

// Trial results of two years, with a missing value and a name that holds a
// comma, as rows of year, location, genotype and value (with a point).
struct Cell {
  const char* year;
  const char* location;
  const char* genotype;
  const char* value;
};
const Cell kCells[] = {
    {"1931", "Crookston", "Manchuria", "27.5"},   {"1931", "Crookston", "Glabron", "33.25"},
    {"1931", "Moree, North", "Manchuria", "48.875"}, {"1931", "Moree, North", "Glabron", "29"},
    {"1931", "Waseca", "Manchuria", "41.1"},      {"1931", "Waseca", "Glabron", "NA"},
    {"1931", "Waseca", "Trebi", "38.4"},          {"1931", "Crookston", "Trebi", "1e-3"},
    {"1932", "Waseca", "Manchuria", "31.75"},     {"1932", "Crookston", "Manchuria", "22.5"},
    {"1932", "Waseca", "Glabron", "30.125"},      {"1932", "Crookston", "Glabron", "19"},
};

// The cells under `header`, each field as `field` writes it, separated by
// `separator`; `extra`, when given, is a fifth field of every row.
template <class Field>
std::string cells_file(const std::string& header, char separator, Field field, const std::string& extra = "") {
  std::string out = header + "\n";
  for (const Cell& cell : kCells) {
    out += field(cell.year, false) + separator + field(cell.location, true) + separator +
           field(cell.genotype, true) + separator + field(cell.value, false);
    if (!extra.empty()) out += separator + extra;
    out += "\n";
  }
  return out;
}

std::string plain(const std::string& text, bool) { return text; }
std::string quoted_when_it_holds_a_comma(const std::string& text, bool) {
  return text.find(',') == std::string::npos ? text : "\"" + text + "\"";
}
// As R's write.csv2 writes a data frame: names quoted, numbers with a decimal
// comma, and before them a quoted row name, which the header row calls "".
std::string as_write_csv2(const std::string& text, bool name) {
  if (name) return "\"" + text + "\"";
  std::string out = text;
  for (char& c : out) {
    if (c == '.') c = ',';
  }
  return out;
}

struct Variant {
  const char* what;
  std::string csv;
  std::vector<std::string> options;  // before --trials FILE
  std::string note;                  // on standard error, after "metclust-import: FILE: "
};

TEST(Dialects, EverySpellingOfTheTrialsMakesTheSameJob) {
  testing::ScratchFolder folder;
  folder.put("plain.csv", cells_file("year,location,genotype,value", ',', quoted_when_it_holds_a_comma));
  const Outcome reference =
      import({"--trials", folder.file("plain.csv"), "--measure", "centred", folder.file("T")});
  ASSERT_EQ(reference.status, 0) << reference.err;
  EXPECT_EQ(reference.err, "");
  const std::string ema = folder.take("T.EMA");

  std::string csv2 = "\"\";\"year\";\"location\";\"genotype\";\"value\"\n";
  int row = 0;
  for (const Cell& cell : kCells) {
    csv2 += "\"" + std::to_string(++row) + "\";" + as_write_csv2(cell.year, false) + ";" +
            as_write_csv2(cell.location, true) + ";" + as_write_csv2(cell.genotype, true) + ";" +
            as_write_csv2(cell.value, false) + "\n";
  }
  const std::string shown = "fields separated by semicolons (as the header row shows)";
  const Variant variants[] = {
      {"as R's write.csv2 writes it", csv2, {}, shown + "; numbers with a decimal comma"},
      {"semicolons and decimal points, as pandas writes them with sep=';'",
       cells_file("year;location;genotype;value", ';', plain), {}, shown + "; numbers with a decimal point"},
      {"tabs", cells_file("year\tlocation\tgenotype\tvalue", '\t', plain), {},
       "fields separated by tabs (as the header row shows)"},
      {"the separator given", csv2, {"--separator", "semicolon"},
       "fields separated by semicolons; numbers with a decimal comma"},
      {"commas given", cells_file("year,location,genotype,value", ',', quoted_when_it_holds_a_comma),
       {"--separator", "comma"}, ""},
      {"the names breeders use, in any case",
       cells_file("Season,SITE,variety,Yield,plot", ',', quoted_when_it_holds_a_comma, "1"), {},
       "year from column \"Season\"; location from column \"SITE\"; genotype from column \"variety\"; "
       "value from column \"Yield\""},
      {"other short names, semicolons", cells_file("year;env;gen;resp", ';', as_write_csv2), {},
       shown + "; numbers with a decimal comma; location from column \"env\"; genotype from column "
               "\"gen\"; value from column \"resp\""},
      {"names given on the command line", cells_file("Jahr;Ort;Sorte;Ertrag", ';', as_write_csv2),
       {"--year-column", "jahr", "--location-column", "Ort", "--genotype-column", "Sorte",
        "--value-column", "Ertrag"},
       shown + "; numbers with a decimal comma; year from column \"Jahr\"; location from column "
               "\"Ort\"; genotype from column \"Sorte\"; value from column \"Ertrag\""},
      {"a name given over a name breeders use",
       cells_file("year,site,variety,yield,trial", ',', quoted_when_it_holds_a_comma, "T1"),
       {"--location-column", "site"},
       "location from column \"site\"; genotype from column \"variety\"; value from column \"yield\""},
  };
  for (const Variant& v : variants) {
    SCOPED_TRACE(v.what);
    folder.put("t.csv", v.csv);
    std::vector<std::string> arguments = v.options;
    arguments.insert(arguments.end(),
                     {"--trials", folder.file("t.csv"), "--measure", "centred", "--force", folder.file("T")});
    const Outcome r = import(arguments);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, v.note.empty() ? "" : "metclust-import: " + folder.file("t.csv") + ": " + v.note + "\n");
    EXPECT_EQ(folder.take("T.EMA"), ema);
  }
}

TEST(Dialects, PairsAndMatricesWithSemicolons) {
  testing::ScratchFolder folder;
  struct Job {
    std::vector<std::string> plain, other;  // source options, FILE for the file
    std::string plain_csv, other_csv;
    std::string note;
  };
  const Job jobs[] = {
      {{"--long", "FILE"}, {"--long", "FILE"},
       "year,location_a,location_b,proximity\n95,A,B,1.5\n95,\"Moree, North\",A,2\n95,B,\"Moree, North\",0.25\n",
       "season;location_a;location_b;proximity\r\n95;A;B;1,5\r\n95;Moree, North;A;2\r\n95;B;Moree, North;0,25\r\n",
       "fields separated by semicolons (as the header row shows); numbers with a decimal comma; year from "
       "column \"season\""},
      // Two commas and two semicolons in the header row: said on the command line.
      {{"--matrix", "95=FILE"}, {"--separator", "semicolon", "--matrix", "95=FILE"},
       ",\"Moree, North\",\"Wagga, South\"\n\"Moree, North\",0,1.5\n\"Wagga, South\",1.5,0\n",
       ";Moree, North;Wagga, South\nMoree, North;0;1,5\nWagga, South;1,5;0\n",
       "fields separated by semicolons; numbers with a decimal comma"},
  };
  for (const Job& job : jobs) {
    SCOPED_TRACE(job.other_csv);
    std::string ema;
    for (const bool other : {false, true}) {
      folder.put("s.csv", other ? job.other_csv : job.plain_csv);
      std::vector<std::string> arguments;
      for (const std::string& a : other ? job.other : job.plain) {
        arguments.push_back(a == "FILE" ? folder.file("s.csv") : a == "95=FILE" ? "95=" + folder.file("s.csv") : a);
      }
      arguments.push_back("--force");
      arguments.push_back(folder.file("P"));
      const Outcome r = import(arguments);
      ASSERT_EQ(r.status, 0) << r.err;
      EXPECT_EQ(r.err, other ? "metclust-import: " + folder.file("s.csv") + ": " + job.note + "\n" : "");
      if (other) {
        EXPECT_EQ(folder.take("P.EMA"), ema);
      } else {
        ema = folder.take("P.EMA");
      }
    }
  }
}

bool works(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

// R writes the same data frame with write.csv and write.csv2: the two files
// make the same job. The barley trials of the lattice package when R has
// it, else a small frame made in R with decimals and a name with a comma.
TEST(Dialects, RWriteCsvAndWriteCsv2MakeTheSameJob) {
  if (!works("command -v Rscript")) GTEST_SKIP() << "R (Rscript) is not installed";
  testing::ScratchFolder folder;
  folder.put("write.R",
             "d <- if (requireNamespace('lattice', quietly = TRUE)) lattice::barley else {\n"
             "  set.seed(1)\n"
             "  g <- expand.grid(variety = c('Manchuria', 'Glabron', 'Trebi'),\n"
             "                   site = c('Crookston', 'Moree, North', 'Waseca'), year = c(1931, 1932))\n"
             "  g$yield <- round(runif(nrow(g), 15, 60), 4)\n"
             "  g\n"
             "}\n"
             "write.csv(d, 'comma.csv')\n"
             "write.csv2(d, 'semicolon.csv')\n");
  const testing::RunOutcome r = testing::run_program("/bin/sh", {"-c", "Rscript write.R"}, folder.path());
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string columns =
      "location from column \"site\"; genotype from column \"variety\"; value from column \"yield\"";
  std::string ema;
  for (const std::string name : {"comma", "semicolon"}) {
    const std::string file = folder.file(name + ".csv");
    const Outcome run =
        import({"--title", "Barley", "--trials", file, "--measure", "euclidean", folder.file(name)});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "metclust-import: " + file + ": " +
                           (name == "comma" ? ""
                                            : "fields separated by semicolons (as the header row shows); "
                                              "numbers with a decimal comma; ") +
                           columns + "\n");
    if (name == "comma") ema = folder.take("comma.EMA");
  }
  EXPECT_EQ(folder.take("semicolon.EMA"), ema);
  EXPECT_NE(ema.find("       2"), std::string::npos);  // two years
}

}  // namespace
}  // namespace metclust::import
