#include "support/records_of.hpp"

namespace metclust::testing {

std::vector<std::string_view> records_of(std::string_view bytes, std::string_view end) {
  std::vector<std::string_view> records;
  if (end.empty()) return {bytes};
  std::size_t at = 0;
  for (std::size_t found; (found = bytes.find(end, at)) != std::string_view::npos;
       at = found + end.size()) {
    records.push_back(bytes.substr(at, found - at));
  }
  if (at < bytes.size()) records.push_back(bytes.substr(at));
  return records;
}

}  // namespace metclust::testing
