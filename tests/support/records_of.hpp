// Cutting the bytes of a file or a stream into its records.
#pragma once

#include <string_view>
#include <vector>

namespace metclust::testing {

// The records of `bytes`, each without its line end; bytes after the last
// line end form a last record of their own. The views point into `bytes`.
std::vector<std::string_view> records_of(std::string_view bytes, std::string_view end = "\r\n");

}  // namespace metclust::testing
