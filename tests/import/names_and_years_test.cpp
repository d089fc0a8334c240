// The 8-character names of a job's locations and the years of its run
// header.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "import/job_names.hpp"
#include "import/sequence_years.hpp"

namespace metclust::import {
namespace {

std::vector<std::string> names_of(const std::vector<std::string>& full) {
  std::vector<std::string> out;
  for (const records::Name& name : job_names(full)) out.emplace_back(records::view(name));
  return out;
}

TEST(JobNames, ShortenedUniqueAndStable) {
  struct Case {
    const char* what;
    std::vector<std::string> full;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"short ASCII names are kept, blank-filled", {"AMES", "Io 2", "12345678"},
       {"AMES    ", "Io 2    ", "12345678"}},
      {"long names are cut; a short last word is kept whole",
       {"Wageningen", "Wageningen-2", "Station A10", "Moree North"},
       {"Wagening", "Wagenin2", "StatiA10", "MoreeNor"}},
      {"a clash gets ~1, ~2", {"Wageningen North", "Wageningen Noord", "Wageningen/Noordoost"},
       {"Wagening", "Wageni~1", "Wageni~2"}},
      {"a short name keeps its place even when a long name comes first",
       {"Wageningen", "Wagening"}, {"Wageni~1", "Wagening"}},
      {"accented letters lose their accents",
       {"Zürich", "Évora", "Ñuñoa", "Ærøskøbing"}, {"Zurich  ", "Evora   ", "Nunoa   ", "Aroskobi"}},
      {"other characters become _", {"北京", "Köln\tWest", "a\xff" "b"}, {"__      ", "Koln_Wes", "a_b     "}},
      {"names equal once blank-filled", {"AB", "AB "}, {"AB      ", "AB~1    "}},
      {"blanks go before anything is cut", {"Abcdef G", "Abcdef Gh", "Abcdef Gi"},
       {"Abcdef G", "AbcdefGh", "AbcdefGi"}},
      {"no blank stands before a suffix", {"Abcde Gh", "Abc de G h"}, {"Abcde Gh", "AbcdeGh "}},
      {"a suffix on a cut ending in a blank", {"Abcde Gh", "AbcdeGh", "Abc de Gh"},
       {"Abcde Gh", "AbcdeGh ", "AbcdeG~1"}},
  };
  for (const Case& c : cases) EXPECT_EQ(names_of(c.full), c.expected) << c.what;
}

TEST(JobNames, EveryNameUniqueAmongManyClashes) {
  std::vector<std::string> full;
  for (int k = 0; k < 411; ++k) full.push_back("Location number " + std::to_string(k));
  const std::vector<records::Name> names = job_names(full);
  for (std::size_t a = 0; a < names.size(); ++a) {
    for (std::size_t b = a + 1; b < names.size(); ++b) ASSERT_NE(names[a], names[b]) << a << " " << b;
  }
  EXPECT_EQ(std::string(records::view(names[410])), "Locat410");
}

TEST(SequenceYears, ThreeColumnsOrMinus1900) {
  struct Case {
    std::vector<std::int64_t> years;
    bool fits;
    std::int32_t IYS, IYF;
    std::size_t culprit;
  };
  const Case cases[] = {
      {{88, 92, 90}, true, 88, 92, 0},
      {{-99, 999}, true, -99, 999, 0},
      {{1995, 1988, 2004}, true, 88, 104, 0},
      {{1801, 2899}, true, -99, 999, 0},
      {{1995, 95}, false, 0, 0, 1},
      {{1995, 1800}, false, 0, 0, 1},
      {{2900}, false, 0, 0, 0},
      {{1000}, false, 0, 0, 0},
      {{-100}, false, 0, 0, 0},
  };
  for (const Case& c : cases) {
    std::size_t culprit = 99;
    const auto years = sequence_years(c.years, culprit);
    ASSERT_EQ(years.has_value(), c.fits) << ::testing::PrintToString(c.years);
    if (years) {
      EXPECT_EQ(years->IYS, c.IYS);
      EXPECT_EQ(years->IYF, c.IYF);
    } else {
      EXPECT_EQ(culprit, c.culprit) << ::testing::PrintToString(c.years);
    }
  }
}

}  // namespace
}  // namespace metclust::import
