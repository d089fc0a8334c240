// JOB-years.html: the comparison on one self-contained page (inline CSS, and
// a small inline script that draws the co-membership heat map from compact
// counts and shows a cell's counts on hover): the heat map in consensus-tree order, the
// consensus groups with each location's stability, the year x year
// agreement table and the location x year group table.
#pragma once

#include <string>

#include "compare/across_years.hpp"
#include "compare/consensus.hpp"

namespace metclust::compare {

struct PageText {
  std::string job;    // the job's name
  std::string title;  // the job title
  std::string cut;    // how each year was cut, e.g. "4 groups"
  std::string consensus_cut;  // how the consensus tree was cut
};

std::string years_page(const Comparison& comparison, const Consensus& consensus,
                       const PageText& text);

}  // namespace metclust::compare
