#include "records/reports.hpp"

#include <charconv>
#include <stdexcept>

namespace metclust::records::report {

std::string catalog_text(int number, std::span<const std::int64_t> values) {
  // The k-th number the text names, 0 when the caller gave none.
  auto value = [&](std::size_t k) {
    char digits[24];
    const auto result =
        std::to_chars(digits, digits + sizeof digits, k < values.size() ? values[k] : 0);
    return std::string(digits, result.ptr);
  };
  auto year_text = [&] { return value(0); };
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
    case kWorkSpaceTooSmall: {
      std::string text = "run header gives MAXL " + value(0) + ", but this build holds " +
                         value(1) + " locations at most; ";
      const bool buildable = values.size() > 2 && values[0] <= values[2];
      return text + (buildable ? "build with cmake -DMETCLUST_MAX_LOCATIONS=" + value(0) + " for more"
                               : "no build holds more than " + value(2));
    }
    case kYearBeyondPlotRecords:
      return "year " + year_text() + " gives NL " + value(1) + ", more locations than the " + value(2) +
             " a year's plot records can number";
    case kOutputInUse:
      return "output file in use by another run";
    case kOutputIsLink:
      return "output file is a symbolic link, which is not written through";
    default:
      throw std::logic_error("report number outside the catalogue");
  }
}

bool names_channel(int number) { return number != kNoMemory; }

}  // namespace metclust::records::report
