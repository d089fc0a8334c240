// metclust-check on damaged .EMA files: the exact report for each, and, for
// every one of them, metclust's run with each strategy: it must end with the
// status the checker says, so that the checker finds exactly what a run
// finds.
#include <gtest/gtest.h>

#include <array>
#include <map>
#include <string>
#include <vector>

#include "check/ema_check.hpp"
#include "entry_points.hpp"
#include "formats/capacity.hpp"

namespace metclust::check {
namespace {

// Two years: three locations, then two of them.
const std::vector<std::string> kBase = {
    "3 3 0 90 91",
    "Check base",
    "     U     S     C     N",
    "  1990    1990",
    "3",
    "1 1 1",
    "     1 A          0.00000000E+00",
    "     2 B          0.40000000E+01  0.00000000E+00",
    "     3 C          0.10000000E+01  0.20000000E+01  0.00000000E+00",
    "  1991    1991",
    "2",
    "1 0 1",
    "     1 A          0.00000000E+00",
    "     2 C          0.30000000E+01  0.00000000E+00",
};

// The base with some lines (1-based) replaced, the lines after `keep` cut
// off, and `more` appended; every record ends in CR LF.
std::string ema(std::map<int, std::string> replaced = {}, std::size_t keep = kBase.size(),
                const std::string& more = "") {
  std::string bytes;
  for (std::size_t k = 0; k < keep && k < kBase.size(); ++k) {
    const auto it = replaced.find(static_cast<int>(k + 1));
    bytes += it == replaced.end() ? kBase[k] : it->second;
    bytes += "\r\n";
  }
  return bytes + more;
}

struct Case {
  const char* what;
  std::string bytes;
  std::vector<std::string> expected;  // the diagnostics, in order
  std::array<int, 8> status;          // metclust's exit status with strategies 1 to 8
};

constexpr std::array<int, 8> all(int status) { return {status, status, status, status, status, status, status, status}; }

const std::string kEnds = "; metclust ends here with report ";

// The number of locations this build holds, plus `more`, as text.
std::string held(std::int64_t more) { return std::to_string(formats::kLocationsHeld + more); }

std::vector<Case> cases() {
  return {
      {"a good file", ema(), {}, all(0)},
      {"header cut short", ema({}, 0, "3 3 0\r\n"),
       {"JOB.EMA:2: error: the run header: the file ends where another record is needed" + kEnds +
        "24 (end-of-file during read)"},
       all(24)},
      {"a letter in the header", ema({{1, "3 x 0 90 91"}}),
       {"JOB.EMA:1:3: error: the run header: expected a whole number, found \"x\"" + kEnds +
        "59 (list-directed I/O syntax error)"},
       all(59)},
      {"a header value beyond 4 bytes", ema({{1, "3 3 0 90 99999999999"}}),
       {"JOB.EMA:1:10: error: the run header: expected a whole number within the 4-byte range, found "
        "\"99999999999\"" + kEnds + "64 (input conversion error)"},
       all(64)},
      {"MAXL beyond the work space", ema({{1, "3 " + held(1) + " 0 90 91"}}),
       {"JOB.EMA:1: error: run header gives MAXL " + held(1) + ", but this build holds " + held(0) +
        " locations at most; build with cmake -DMETCLUST_MAX_LOCATIONS=" + held(1) +
        " for more: the run is refused after the dimension report and nothing is clustered (run from "
        "the command line, metclust ends with report 93)"},
       all(0)},
      {"MAXL 0", ema({{1, "3 0 0 90 91"}}),
       {"JOB.EMA:1: error: MAXL 0 is below 1; metclust ends after the dimension report with report 90 "
        "(run header gives MAXL below 1)"},
       all(90)},
      // MAXL = -k needs as much of the matrix array as MAXL = k - 1.
      {"the most negative MAXL that fits the work space", ema({{1, "3 -" + held(1) + " 0 90 91"}}),
       {"JOB.EMA:1: error: MAXL -" + held(1) + " is below 1; metclust ends after the dimension report with "
        "report 90 (run header gives MAXL below 1)"},
       all(90)},
      {"one below it", ema({{1, "3 -" + held(2) + " 0 90 91"}}),
       {"JOB.EMA:1: error: MAXL -" + held(2) + " is below 1 and needs more work space than this build has: "
        "the run is refused after the dimension report and nothing is clustered (run from the command line, "
        "metclust ends with report 93)"},
       all(0)},
      {"four-digit years in the header, a six-digit year, a long title and label",
       ema({{1, "3 3 0 1990 1991"}, {2, std::string(50, 'T') + "  cut"}, {4, "123456    1990 first"}}),
       {"JOB.EMA:1: warning: IYS 1990 shows as *** on the sequence line of .SCL and the console (three "
        "columns), with report 63; years of four digits are written as year - 1900 there, 95 for 1995",
        "JOB.EMA:1: warning: IYF 1991 shows as *** on the sequence line of .SCL and the console (three "
        "columns), with report 63; years of four digits are written as year - 1900 there, 95 for 1995",
        "JOB.EMA:2:53: warning: the title is cut at 50 characters: text from column 51 on is not read",
        "JOB.EMA:4:1: warning: year 123456 shows as ***** in .PCL (five columns), with report 63",
        "JOB.EMA:4:19: warning: text after the year label (columns 11-18) is not read"},
       all(0)},
      // A negative number takes a column for its sign: -99 fits three
      // columns, -100 does not; -9999 fits five, -10000 does not.
      {"negative years at the edge of their fields",
       ema({{1, "3 3 0 -100 -99"}, {4, "-10000    1990"}, {10, " -9999    1991"}}),
       {"JOB.EMA:1: warning: IYS -100 shows as *** on the sequence line of .SCL and the console (three "
        "columns), with report 63; years of four digits are written as year - 1900 there, 95 for 1995",
        "JOB.EMA:4:1: warning: year -10000 shows as ***** in .PCL (five columns), with report 63"},
       all(0)},
      {"a letter in the year field", ema({{10, "  19x1    1991"}}),
       {"JOB.EMA:10:1: error: the year record: expected a whole number in columns 1-6, found \"  19x1\"" +
        kEnds + "64 (input conversion error)"},
       all(64)},
      // Bytes of the file that a terminal would act on are shown escaped.
      {"a terminal's title sequence in the header", ema({{1, "3 \x1B]0;x\x07 0 90 91"}}),
       {"JOB.EMA:1:3: error: the run header: expected a whole number, found \"\\x1B]0;x\\x07\"" + kEnds +
        "59 (list-directed I/O syntax error)"},
       all(59)},
      {"a NUL in a value field",
       ema({{9, "     3 C          0.10000000E+01  0.2000" + std::string(1, '\0') + "000E+01  0.00000000E+00"}}),
       {"JOB.EMA:9:33: error: year 1990: matrix row 3: expected a number in columns 33-48, found "
        "\"  0.2000\\x00000E+01\"" + kEnds + "64 (input conversion error)"},
       all(64)},
      {"a screen clear as a name, twice",
       ema({{7, "     1 \x1B[2J     0.00000000E+00"}, {8, "     2 \x1B[2J     0.40000000E+01  0.00000000E+00"}}),
       {"JOB.EMA:8:8: warning: year 1990: the name \"\\x1B[2J    \" stands twice among the year's locations"},
       all(0)},
      {"NL beyond MAXL", ema({{11, "4"}}),
       {"JOB.EMA:11: error: year 1991: NL 4 lies outside 1 to MAXL (3); metclust ends here with report "
        "91 (year 1991 gives NL outside 1 to MAXL)"},
       all(91)},
      {"NL not a number", ema({{5, "three"}}),
       {"JOB.EMA:5:1: error: year 1990: the number of locations (NL): expected a whole number, found "
        "\"three\"" + kEnds + "59 (list-directed I/O syntax error)"},
       all(59)},
      {"the file ends in the elimination vector", ema({{12, "1 0"}}, 12),
       {"JOB.EMA:13: error: year 1991: the elimination vector: the file ends where another record is "
        "needed" + kEnds + "24 (end-of-file during read)"},
       all(24)},
      {"a letter in a value field", ema({{9, "     3 C          0.10000000E+01  0.2000000OE+01  0.00000000E+00"}}),
       {"JOB.EMA:9:33: error: year 1990: matrix row 3: expected a number in columns 33-48, found "
        "\"  0.2000000OE+01\"" + kEnds + "64 (input conversion error)"},
       all(64)},
      {"pairs above the ceiling for all but nearest neighbour",
       ema({{9, "     3 C          0.10000000E+21  0.30000000E+21  0.00000000E+00"}}),
       {"JOB.EMA:9:33: warning: year 1990, row 3: proximity 3e+20 lies above the search ceiling (1E20): "
        "a fusion never picks this pair",
        "JOB.EMA:9: error: year 1990: with strategies 2, 3, 4, 5, 6, 7 and 8 a fusion finds no pair at "
        "or below the search ceiling (1E20); metclust ends after this year's matrix with report 92 (year "
        "1990 has no pair at or below the search ceiling)"},
       {0, 92, 92, 92, 92, 92, 92, 92}},
      {"an empty line at the end", ema({}, kBase.size(), "\r\n"),
       {"JOB.EMA:15: error: an empty line at the end: metclust reads it as the year record of year 0 "
        "and then ends with report 24 (end-of-file during read) after clustering every year; remove "
        "the empty line"},
       all(24)},
      {"blanks after the last year are read as year 0 too", ema({}, kBase.size(), "   \r\n \t\r\n"),
       {"JOB.EMA:15: error: an empty line at the end: metclust reads it as the year record of year 0 "
        "and then ends with report 24 (end-of-file during read) after clustering every year; remove "
        "the empty line"},
       all(24)},
      {"a value without a decimal point, a negative one",
       ema({{8, "     2 B       " + std::string(16, ' ') + "5  0.00000000E+00"}, {14, "     2 C         -0.30000000E+01  0"}}),
       {"JOB.EMA:8:32: warning: year 1990, row 2: the value \"5\" has no decimal point, so its last 8 "
        "digits are decimals: metclust reads 5e-08; write \"5.0\" for 5",
        "JOB.EMA:14:17: warning: year 1991, row 2: negative proximity -3, clustered as it stands"},
       all(0)},
      {"names cut at 8 bytes, inside a UTF-8 character, twice in a year",
       ema({{7, "     1 Abcdefgh9  0.00000000E+00"}, {8, "     2 Abcdefg\xC3\xBC 0.40000000E+01  0.00000000E+00"},
            {9, "     3 Abcdefgh   0.10000000E+01  0.20000000E+01  0.00000000E+00"}}),
       {"JOB.EMA:7:16: warning: year 1990, row 1: the name is cut at 8 characters: \"9\" in column 16 is not read",
        "JOB.EMA:8:16: warning: year 1990, row 2: the name is cut at 8 characters: \"\\xBC\" in column 16 is not read",
        "JOB.EMA:8:15: warning: year 1990, row 2: the name ends inside a UTF-8 character",
        "JOB.EMA:9:8: warning: year 1990: the name \"Abcdefgh\" stands twice among the year's locations"},
       all(0)},
      {"an elimination vector that does not match NL", ema({{12, "1 1 1 7"}}),
       {"JOB.EMA:12: warning: year 1991: the elimination vector has 1 in 3 places, but NL is 2"},
       all(0)},
      {"values of a row all on one line", ema({{8, "     2 B          0.40000000E+01  0.00000000E+00  0.7"}}),
       {"JOB.EMA:8:51: warning: year 1990, row 2: text from column 51 on is not read: row 2 ends in column 48"},
       all(0)},
      {"no year group", ema({}, 3),
       {"JOB.EMA: warning: the file holds no year group: metclust clusters nothing"}, all(0)},
  };
}

TEST(EmaCheck, ReportsWhatARunMeets) {
  for (const Case& c : cases()) {
    Diagnostics diagnostics;
    const EmaSummary summary = check_ema(c.bytes, "JOB.EMA", diagnostics);
    std::vector<std::string> lines;
    for (const Diagnostic& d : diagnostics.all()) lines.push_back(format(d));
    EXPECT_EQ(lines, c.expected) << c.what;
    EXPECT_EQ(summary.status, c.status) << c.what;
  }
}

// Each job run by metclust's own run loop in this process (as the fuzz
// targets run it), with each strategy.
TEST(EmaCheck, MetclustEndsAsTheCheckerSays) {
  const fuzz::Workspace space;
  for (const Case& c : cases()) {
    Diagnostics diagnostics;
    const EmaSummary summary = check_ema(c.bytes, "JOB.EMA", diagnostics);
    for (int strategy = 1; strategy <= 8; ++strategy) {
      const fuzz::JobOutcome run = fuzz::run_job_in(space, c.bytes, std::to_string(strategy));
      EXPECT_EQ(run.status, summary.status[static_cast<std::size_t>(strategy - 1)])
          << c.what << ", strategy " << strategy << "\n" << run.reports;
      if (summary.refused) {
        EXPECT_NE(run.console.find("INCREASE DIMENSION OF"), std::string::npos) << c.what;
      }
    }
  }
}

}  // namespace
}  // namespace metclust::check
