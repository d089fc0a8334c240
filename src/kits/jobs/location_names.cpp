#include "jobs/location_names.hpp"

#include "records/number_text.hpp"
#include "text/utf8.hpp"

namespace metclust::jobs {

std::string name_text(std::string_view field) {
  const std::size_t last = field.find_last_not_of(' ');
  return last == std::string_view::npos ? std::string() : text::valid_utf8(field.substr(0, last + 1));
}

bool has_name(std::string_view field) { return field.find_first_not_of(' ') != std::string_view::npos; }

std::string location_name(std::string_view field, std::int32_t number) {
  return has_name(field) ? name_text(field) : "(" + records::decimal(number) + ")";
}

}  // namespace metclust::jobs
