#include "records/reports.hpp"

#include <charconv>
#include <stdexcept>

namespace metclust::records::report {

std::string catalog_text(int number, std::optional<std::int32_t> year) {
  auto year_text = [&] {
    char digits[16];
    const auto result = std::to_chars(digits, digits + sizeof digits, year.value_or(0));
    return std::string(digits, result.ptr);
  };
  switch (number) {
    case kAccessDenied:
      return "permission to access file denied";
    case kEndOfFile:
      return "end-of-file during read";
    case kFileNotFound:
      return "file not found";
    case kOpenFailure:
      return "open failure";
    case kWriteError:
      return "error during write";
    case kReadError:
      return "error during read";
    case kNoMemory:
      return "insufficient virtual memory";
    case kNoSuchDevice:
      return "no such device";
    case kBadFileName:
      return "file name specification error";
    case kListSyntax:
      return "list-directed I/O syntax error";
    case kOutputConversion:
      return "output conversion error";
    case kInputConversion:
      return "input conversion error";
    case kLocationsBelowOne:
      return "run header gives MAXL below 1";
    case kLocationsOutOfRange:
      return "year " + year_text() + " gives NL outside 1 to MAXL";
    case kNoPairBelowCeiling:
      return "year " + year_text() + " has no pair at or below the search ceiling";
    default:
      throw std::logic_error("report number outside the catalogue");
  }
}

bool names_channel(int number) { return number != kNoMemory; }

}  // namespace metclust::records::report
