// How a program is asked to cut each year's tree: into K groups (-g,
// --groups K, as R's cutree with k) or at a level (--height H, as cutree
// with h).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "cli/command_line.hpp"

namespace metclust::cli {

struct CutRule {
  std::optional<std::int64_t> groups;  // K groups
  std::optional<double> height;        // at level H
};

// Takes the value of `option` into `rule` when it is one of the cut options;
// false for any other option. A value that is no count of groups or no
// number is a UsageError.
bool take_cut_option(const std::string& option, Arguments& walker, CutRule& rule);

// Takes the file of --ema FILE (the job's .EMA file, where it is not beside
// the job's outputs) into `file` when `option` is that option; false for any
// other option. An empty name is a UsageError.
bool take_ema_option(const std::string& option, Arguments& walker, std::optional<std::string>& file);

// Refuses both ways to cut at once, and no way when one is `required`.
void check_cut_rule(const CutRule& rule, bool required);

}  // namespace metclust::cli
