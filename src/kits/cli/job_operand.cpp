#include "cli/job_operand.hpp"

#include <algorithm>
#include <array>

#include "cli/command_line.hpp"
#include "records/file_names.hpp"

namespace metclust::cli {
namespace {

// Whether `name` ends in `suffix`, letters compared without their case.
bool ends_in(std::string_view name, std::string_view suffix) {
  if (name.size() < suffix.size()) return false;
  const std::string_view tail = name.substr(name.size() - suffix.size());
  return std::equal(tail.begin(), tail.end(), suffix.begin(), [](char a, char b) {
    const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    return upper(a) == upper(b);
  });
}

}  // namespace

std::string job_name(std::string_view operand) {
  static constexpr std::array<std::string_view, 5> kExtensions = {".EMA", ".NAQ", ".SCL", ".CLS",
                                                                   ".PCL"};
  std::string job(operand);
  for (const std::string_view extension : kExtensions) {
    if (ends_in(job, extension)) {
      job.resize(job.size() - extension.size());
      break;
    }
  }
  if (records::path_of_name(job).filename().empty()) {
    throw UsageError("'" + std::string(operand) + "' names no job");
  }
  return job;
}

std::string single_job(std::span<const std::string> operands) {
  if (operands.empty()) throw UsageError("no job given");
  if (operands.size() > 1) throw UsageError("more than one job given: '" + operands[1] + "'");
  return job_name(operands[0]);
}

}  // namespace metclust::cli
