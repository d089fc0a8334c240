// CSV as people write it: RFC 4180 quoting, a byte-order mark, CR LF or LF,
// empty lines; and CSV as the companion programs write it.
#include <gtest/gtest.h>

#include <charconv>
#include <limits>
#include <string>
#include <vector>

#include "records/located_error.hpp"
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

TEST(CsvWriter, AFirstFieldThatStartsWithAByteOrderMarkIsQuoted) {
  CsvWriter csv;
  csv.text("\xEF\xBB\xBFname").text("\xEF\xBB\xBFsecond").end_row();
  EXPECT_EQ(csv.bytes(), "\"\xEF\xBB\xBFname\",\xEF\xBB\xBFsecond\r\n");
  EXPECT_EQ(read_csv(csv.bytes(), "f.csv")[0].fields[0].text, "\xEF\xBB\xBFname");
}

}  // namespace
}  // namespace metclust::text
