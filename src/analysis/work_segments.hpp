// The work arrays of a run cut into the named segments the analysis works
// on.
#pragma once

#include <cstdint>
#include <span>

#include "records/text.hpp"

namespace metclust::analysis {

struct WorkSegments {
  std::span<double> DZ;          // PII, the packed proximity matrix of the year
  std::span<float> XNODE;        // dendrogram node abscissae
  std::span<float> YNODE;        // dendrogram node levels
  std::span<std::int32_t> LABEL; // current label of each group
  std::span<std::int32_t> NODLAB;
  std::span<std::int32_t> G;     // current size of each group
  std::span<std::int32_t> ORDER; // location numbers in dendrogram order
  std::span<std::int32_t> HIST;  // fusion history, two labels per fusion
  std::span<std::int32_t> ELIM;  // elimination vector, in its first MAXL elements
  std::span<records::Name> NAMES;
  std::span<records::Name> NODNAM;
};

}  // namespace metclust::analysis
