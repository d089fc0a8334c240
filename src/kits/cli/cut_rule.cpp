#include "cli/cut_rule.hpp"

#include "records/number_text.hpp"

namespace metclust::cli {

bool take_cut_option(const std::string& option, Arguments& walker, CutRule& rule) {
  if (option == "-g" || option == "--groups") {
    const std::string text = walker.value();
    rule.groups = records::parse_integer(text);
    if (!rule.groups || *rule.groups < 1) {
      throw UsageError("--groups takes a whole number of at least 1, not '" + text + "'");
    }
    return true;
  }
  if (option == "--height") {
    const std::string text = walker.value();
    rule.height = records::parse_real(text);
    if (!rule.height) throw UsageError("--height takes a number, not '" + text + "'");
    return true;
  }
  return false;
}

bool take_ema_option(const std::string& option, Arguments& walker, std::optional<std::string>& file) {
  if (option != "--ema") return false;
  std::string text = walker.value();
  if (text.empty()) throw UsageError("--ema takes the name of the job's .EMA file");
  file = std::move(text);
  return true;
}

void check_cut_rule(const CutRule& rule, bool required) {
  if (rule.groups && rule.height) {
    throw UsageError("--groups and --height are two ways to cut; give one");
  }
  if (required && !rule.groups && !rule.height) {
    throw UsageError("say how to cut the years: --groups K or --height H");
  }
}

}  // namespace metclust::cli
