// CSV as people write it: RFC 4180 quoting, a byte-order mark, CR LF or LF,
// empty lines; and CSV as the companion programs write it.
#include <gtest/gtest.h>

#include <charconv>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <string>
#include <vector>

#include "records/located_error.hpp"
#include "support/scratch_folder.hpp"
#include "text/csv.hpp"

namespace metclust::text {
namespace {

// A field as "text@line:column".
std::vector<std::vector<std::string>> fields_of(const std::vector<CsvRow>& rows) {
  std::vector<std::vector<std::string>> out;
  for (const CsvRow& row : rows) {
    out.emplace_back();
    for (const CsvField& field : row.fields) {
      out.back().push_back(field.text + "@" + std::to_string(field.line) + ":" +
                           std::to_string(field.column));
    }
  }
  return out;
}

TEST(ReadCsv, Fields) {
  struct Case {
    const char* what;
    std::string bytes;
    std::vector<std::vector<std::string>> expected;
  };
  const Case cases[] = {
      {"LF", "a,b\n1,2\n", {{"a@1:1", "b@1:3"}, {"1@2:1", "2@2:3"}}},
      {"CR LF, no line end at the end", "a,b\r\n1,2", {{"a@1:1", "b@1:3"}, {"1@2:1", "2@2:3"}}},
      {"byte-order mark: columns count from the first character after it",
       "\xEF\xBB\xBFyear,x\r\n", {{"year@1:1", "x@1:6"}}},
      {"empty lines are left out, but count", "a\n\n\r\nb\n", {{"a@1:1"}, {"b@4:1"}}},
      {"empty fields, and a comma at the end", ",x,\n", {{"@1:1", "x@1:2", "@1:4"}}},
      {"quoted comma, doubled quote", "\"A, B\",\"say \"\"hi\"\"\"\n",
       {{"A, B@1:1", "say \"hi\"@1:8"}}},
      {"a line end inside quotes moves the next fields' line",
       "\"two\r\nlines\",x\ny\n", {{"two\r\nlines@1:1", "x@2:8"}, {"y@3:1"}}},
      {"an empty quoted field is a row", "\"\"\n", {{"@1:1"}}},
      {"a CR that ends no line is data", "a\rb,c\n", {{"a\rb@1:1", "c@1:5"}}},
      {"blanks are kept", " a , b \n", {{" a @1:1", " b @1:5"}}},
      {"nothing at all", "", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(fields_of(read_csv(c.bytes, "f.csv")), c.expected) << c.what;
}

TEST(ReadCsv, Faults) {
  struct Case {
    std::string bytes;
    std::string message;
  };
  const Case cases[] = {
      {"a,b\n1,\"2\n", "f.csv:2:3: quoted field is never closed"},
      {"a,\"b\"x\n", "f.csv:1:6: expected a comma or the end of the line after a closing quote"},
      {"\"multi\nline\" z\n", "f.csv:2:6: expected a comma or the end of the line after a closing quote"},
      // One byte over the longest field, unquoted and quoted across lines.
      {"a,b\nx," + std::string(kLongestCsvField + 1, 'z') + "\n",
       "f.csv:2:3: a field longer than 65536 bytes (64 KiB), the longest read: no name or number is that long"},
      {"a\n\"" + std::string(kLongestCsvField / 2, 'z') + "\n" + std::string(kLongestCsvField / 2, 'z') + "\"\n",
       "f.csv:2:1: a field longer than 65536 bytes (64 KiB), the longest read: no name or number is that long"},
      // UTF-16 text, with its byte-order mark or without.
      {"\xFF\xFEy\0e\0a\0r\0", "f.csv:1:1: the file is UTF-16 text (it starts with a UTF-16 byte-order mark); save it as CSV in UTF-8"},
      {"\xFE\xFF\0y\0e", "f.csv:1:1: the file is UTF-16 text (it starts with a UTF-16 byte-order mark); save it as CSV in UTF-8"},
      {std::string("year\nx\0y", 8),
       "f.csv:2:2: a NUL byte, which no CSV text holds (UTF-16 text has one in every other byte); save the file as CSV in UTF-8"},
  };
  for (const Case& c : cases) {
    try {
      read_csv(c.bytes, "f.csv");
      ADD_FAILURE() << "no fault for " << c.bytes;
    } catch (const records::LocatedError& error) {
      EXPECT_EQ(error.message(), c.message);
    }
  }
}

TEST(ReadCsv, AFieldOfTheLongestLengthIsRead) {
  const std::string longest(kLongestCsvField, 'z');
  const std::vector<CsvRow> rows = read_csv("a," + longest + "\n\"" + longest + "\"\n", "f.csv");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].fields[1].text, longest);
  EXPECT_EQ(rows[1].fields[0].text, longest);
}

// Text fields that a spreadsheet would take for a formula, as written, and
// the rule that gives the name back from what a reader returns: drop the
// first apostrophe of a field that starts with apostrophes and then one of
// = + - @ tab CR.
struct Guarded {
  std::string name;
  std::string written;  // the CSV field
  std::string read;     // what a CSV reader returns
};

const std::vector<Guarded>& guarded_cases() {
  static const std::vector<Guarded> cases = {
      {"=1+1", "'=1+1", "'=1+1"},
      {"=HYPERLINK(\"http://x.invalid\",\"click\")", "\"'=HYPERLINK(\"\"http://x.invalid\"\",\"\"click\"\")\"",
       "'=HYPERLINK(\"http://x.invalid\",\"click\")"},
      {"+1+1", "'+1+1", "'+1+1"},
      {"-1+1", "'-1+1", "'-1+1"},
      {"@SUM(A1)", "'@SUM(A1)", "'@SUM(A1)"},
      {"\t=1+1", "'\t=1+1", "'\t=1+1"},
      {"\r=1+1", "\"'\r=1+1\"", "'\r=1+1"},
      {"=1,2", "\"'=1,2\"", "'=1,2"},
      {"-", "'-", "'-"},
      {"-e5", "'-e5", "'-e5"},
      {"-5-2", "'-5-2", "'-5-2"},  // a year held twice, as metclust-compare names it
      // Apostrophes before a formula get one more, so that the rule is exact.
      {"'=1+1", "''=1+1", "''=1+1"},
      // Left as they are: plain numbers, and text that starts no formula.
      {"-3", "-3", "-3"},
      {"+1.5E-2", "+1.5E-2", "+1.5E-2"},
      {"-.5", "-.5", "-.5"},
      {"'s-Hertogenbosch", "'s-Hertogenbosch", "'s-Hertogenbosch"},
      {"A=1", "A=1", "A=1"},
      {" =1", " =1", " =1"},
      {"'", "'", "'"},
  };
  return cases;
}

std::string name_back(std::string field) {
  const std::size_t first = field.find_first_not_of('\'');
  if (first > 0 && first != std::string::npos && std::string_view("=+-@\t\r").find(field[first]) != std::string_view::npos) {
    field.erase(0, 1);
  }
  return field;
}

TEST(CsvWriter, AFieldThatWouldStartAFormulaGetsAnApostrophe) {
  for (const Guarded& c : guarded_cases()) {
    CsvWriter csv;
    csv.text(c.name).integer(-3).number(-0.5).end_row();
    EXPECT_EQ(csv.bytes(), c.written + ",-3,-0.5\r\n") << c.name;
    const std::vector<CsvRow> rows = read_csv(csv.bytes(), "f.csv");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].fields[0].text, c.read) << c.name;
    EXPECT_EQ(name_back(rows[0].fields[0].text), c.name);
    EXPECT_EQ(unguarded(rows[0].fields[0].text), c.name);
  }
}

bool works(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

// What R's read.csv and Python's csv module give back for the guarded
// names: the field with its apostrophe, never a number or a formula's value.
TEST(CsvWriter, GuardedFieldsReadByRAndPython) {
  metclust::testing::ScratchFolder folder;
  CsvWriter csv;
  csv.text("name").text("value").end_row();
  for (const Guarded& c : guarded_cases()) {
    if (c.name.find_first_of("\t\r") != std::string::npos) continue;  // R trims or splits those
    csv.text(c.name).integer(-3).end_row();
  }
  folder.put("g.csv", csv.bytes());
  // Each field back as hexadecimal bytes, one row to a line.
  const std::string python =
      "import csv,sys\n"
      "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
      "    for row in list(csv.reader(f))[1:]: print(row[0].encode().hex(), row[1])\n";
  const std::string r =
      "d <- read.csv(commandArgs(TRUE)[1], colClasses = c('character', 'numeric'), "
      "strip.white = FALSE, encoding = 'UTF-8')\n"
      "for (k in seq_len(nrow(d))) cat(paste(as.character(charToRaw(d$name[k])), collapse = ''), d$value[k], '\\n')\n";
  folder.put("read.py", python);
  folder.put("read.R", r);
  std::string expected;
  for (const Guarded& c : guarded_cases()) {
    if (c.name.find_first_of("\t\r") != std::string::npos) continue;
    for (const unsigned char byte : c.read) {
      constexpr char kDigits[] = "0123456789abcdef";
      expected += kDigits[byte >> 4];
      expected += kDigits[byte & 15];
    }
    expected += " -3\n";
  }
  struct Client {
    std::string name, probe, command;
  };
  const Client clients[] = {
      {"python3", "python3 -c 'import csv'", "python3 " + folder.file("read.py") + " " + folder.file("g.csv")},
      {"R", "Rscript -e 'invisible(read.csv)'", "Rscript " + folder.file("read.R") + " " + folder.file("g.csv")},
  };
  for (const Client& client : clients) {
    if (!works(client.probe)) {
      std::cout << "[  SKIPPED ] " << client.name << " is not installed (Debian: python3, r-base-core)\n";
      continue;
    }
    const int status = std::system((client.command + " > " + folder.file(client.name + ".out") + " 2>&1").c_str());
    std::string got = folder.take(client.name + ".out");
    // R's cat puts a blank before the line end.
    for (std::size_t at; (at = got.find(" \n")) != std::string::npos;) got.erase(at, 1);
    EXPECT_EQ(status, 0) << client.name << ": " << got;
    EXPECT_EQ(got, expected) << client.name;
  }
}

TEST(CsvWriter, QuotesOnlyWhatMustBeAndReadsBack) {
  CsvWriter csv;
  csv.text("plain").text("a,b").text("say \"hi\"").text("two\nlines").end_row();
  csv.number(0.1).number(1e20).number(-0.0).number(3.0).number(-2.5e-300).integer(-42).empty().end_row();
  csv.text("").end_row();
  csv.empty().end_row();
  csv.empty().empty().end_row();
  EXPECT_EQ(csv.bytes(),
            "plain,\"a,b\",\"say \"\"hi\"\"\",\"two\nlines\"\r\n"
            "0.1,1e+20,0,3,-2.5e-300,-42,\r\n"
            "\"\"\r\n\"\"\r\n,\r\n");
  const std::vector<CsvRow> rows = read_csv(csv.bytes(), "f.csv");
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[2].fields.size(), 1u);
  EXPECT_EQ(rows[4].fields.size(), 2u);
  ASSERT_EQ(rows[0].fields.size(), 4u);
  EXPECT_EQ(rows[0].fields[1].text, "a,b");
  EXPECT_EQ(rows[0].fields[2].text, "say \"hi\"");
  EXPECT_EQ(rows[0].fields[3].text, "two\nlines");
  EXPECT_EQ(rows[1].line, 3);
  EXPECT_EQ(rows[1].fields.size(), 7u);
}

// Semicolons or tabs in place of commas: the other two are then data, and
// a field holding the separator is quoted as a comma is.
TEST(ReadCsv, OtherSeparators) {
  struct Case {
    char separator;
    std::string bytes;
    std::vector<std::vector<std::string>> expected;
  };
  const Case cases[] = {
      {';', "year;yield\r\n1931;27,5\r\n", {{"year@1:1", "yield@1:6"}, {"1931@2:1", "27,5@2:6"}}},
      {';', "\"Moree; North\";a,b\n;\n", {{"Moree; North@1:1", "a,b@1:16"}, {"@2:1", "@2:2"}}},
      {'\t', "a\tb,c;d\n\"x\ty\"\t\n", {{"a@1:1", "b,c;d@1:3"}, {"x\ty@2:1", "@2:7"}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(fields_of(read_csv(c.bytes, "f.csv", c.separator)), c.expected) << c.bytes;
  }
  for (const auto& [separator, message] :
       {std::pair{';', "f.csv:1:4: expected a semicolon or the end of the line after a closing quote"},
        std::pair{'\t', "f.csv:1:4: expected a tab or the end of the line after a closing quote"}}) {
    try {
      read_csv("\"a\",b\n", "f.csv", separator);
      ADD_FAILURE() << "no fault for " << separator;
    } catch (const records::LocatedError& error) {
      EXPECT_EQ(error.message(), message);
    }
  }
}

TEST(CsvWriter, AFirstFieldThatStartsWithAByteOrderMarkIsQuoted) {
  CsvWriter csv;
  csv.text("\xEF\xBB\xBFname").text("\xEF\xBB\xBFsecond").end_row();
  EXPECT_EQ(csv.bytes(), "\"\xEF\xBB\xBFname\",\xEF\xBB\xBFsecond\r\n");
  EXPECT_EQ(read_csv(csv.bytes(), "f.csv")[0].fields[0].text, "\xEF\xBB\xBFname");
}

}  // namespace
}  // namespace metclust::text
