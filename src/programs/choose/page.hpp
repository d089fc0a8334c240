// The page of metclust-choose: one self-contained HTML file (inline SVG,
// no scripts, no outside resources) with the suggestion and the figures
// behind it.
#pragma once

#include <string>
#include <vector>

#include "choose/figures.hpp"

namespace metclust::choose {

struct PageText {
  std::string job;    // the job's name as UTF-8 text
  std::string title;  // the job title
  std::int64_t max_groups = kDefaultMaxGroups;
  bool proximities = false;        // some year had its proximities
  std::vector<std::string> notes;  // shown at the end
};

std::string choose_page(const std::vector<RunFigures>& runs, const Suggestion& suggestion,
                        const PageText& text);

}  // namespace metclust::choose
