#include "cli/cut_rule.hpp"

#include "cli/job_operand.hpp"
#include "cli/output_files.hpp"
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

CutJobSettings parse_cut_job(std::span<const std::string> arguments, bool cut_required,
                             const MoreOptions& more) {
  CutJobSettings settings;
  Arguments walker(arguments);
  while (const std::optional<std::string> option = walker.next_option()) {
    if (!take_output_option(*option, walker, settings.output) &&
        !take_cut_option(*option, walker, settings.rule) && !(more && more(*option, walker))) {
      throw UsageError("unknown option '" + *option + "'");
    }
  }
  check_cut_rule(settings.rule, cut_required);
  settings.job = single_job(walker.operands());
  return settings;
}

}  // namespace metclust::cli
