#include "tools/cut_rule.hpp"

namespace metclust::tools {

bool take_cut_option(const std::string& option, Arguments& walker, CutRule& rule) {
  if (option == "-g" || option == "--groups") {
    const std::string text = walker.value();
    rule.groups = parse_integer(text);
    if (!rule.groups || *rule.groups < 1) {
      throw UsageError("--groups takes a whole number of at least 1, not '" + text + "'");
    }
    return true;
  }
  if (option == "--height") {
    const std::string text = walker.value();
    rule.height = parse_real(text);
    if (!rule.height) throw UsageError("--height takes a number, not '" + text + "'");
    return true;
  }
  return false;
}

void check_cut_rule(const CutRule& rule, bool required) {
  if (rule.groups && rule.height) {
    throw UsageError("--groups and --height are two ways to cut; give one");
  }
  if (required && !rule.groups && !rule.height) {
    throw UsageError("say how to cut the years: --groups K or --height H");
  }
}

}  // namespace metclust::tools
