#include "metclust/dialogue.hpp"

#include <gtest/gtest.h>

#include <string>

namespace metclust::control {
namespace {

FileName fifty(const std::string& text) {
  FileName name;
  name.fill(' ');
  std::copy_n(text.begin(), std::min(text.size(), name.size()), name.begin());
  return name;
}

std::string text(const FileName& name) { return std::string(name.data(), name.size()); }

TEST(DefaultNames, JobNameThenExtensionCutToFiftyColumns) {
  struct Case {
    std::string job;
    std::string ema;  // the first name; the others differ only in their extension
    std::string pcl;
  };
  const std::string j47(47, 'j'), j48(48, 'j'), j49(49, 'j'), j50(50, 'j');
  const Case cases[] = {
      {"trial", "trial.EMA", "trial.PCL"},
      {"trial   ", "trial.EMA", "trial.PCL"},
      {"  trial", "  trial.EMA", "  trial.PCL"},
      {"my trial", "my trial.EMA", "my trial.PCL"},
      {"", ".EMA", ".PCL"},
      {j47, j47 + ".EM", j47 + ".PC"},
      {j48, j48 + ".E", j48 + ".P"},
      {j49, j49 + ".", j49 + "."},
      {j50, j50, j50},
  };
  for (const Case& c : cases) {
    const FileSet set = default_names(fifty(c.job));
    EXPECT_EQ(text(set.names[0]), text(fifty(c.ema))) << '"' << c.job << '"';
    EXPECT_EQ(text(set.names[4]), text(fifty(c.pcl))) << '"' << c.job << '"';
  }
  const FileSet trial = default_names(fifty("trial"));
  const char* expected[] = {"trial.EMA", "trial.NAQ", "trial.SCL", "trial.CLS", "trial.PCL"};
  for (std::size_t k = 0; k < 5; ++k) EXPECT_EQ(text(trial.names[k]), text(fifty(expected[k])));
}

}  // namespace
}  // namespace metclust::control
