// The catalogue of every report a run can end with (or, for report 63, go on
// after): its number and its text. A report line names the channel and the
// file: "forrtl: severe (29): file not found, unit 20, file /trials/TRIAL.EMA".
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace metclust::records::report {

inline constexpr int kAccessDenied = 9;
inline constexpr int kEndOfFile = 24;
inline constexpr int kFileNotFound = 29;
inline constexpr int kOpenFailure = 30;
inline constexpr int kWriteError = 38;
inline constexpr int kReadError = 39;
inline constexpr int kNoMemory = 41;
inline constexpr int kNoSuchDevice = 42;
inline constexpr int kBadFileName = 43;
inline constexpr int kListSyntax = 59;
inline constexpr int kOutputConversion = 63;
inline constexpr int kInputConversion = 64;
// Refusals of the run itself, where the work space or the data cannot go on.
inline constexpr int kLocationsBelowOne = 90;    // the run header's MAXL below 1
inline constexpr int kLocationsOutOfRange = 91;  // a year's NL outside 1..MAXL
inline constexpr int kNoPairBelowCeiling = 92;   // a fusion found no pair to join
inline constexpr int kWorkSpaceTooSmall = 93;    // MAXL beyond the work arrays, from the command line
inline constexpr int kYearBeyondPlotRecords = 94;  // a year's NL beyond what the plot records number
// Refusals of an output file that another run, or a link, would make unsafe.
inline constexpr int kOutputInUse = 95;   // another run holds the file's lock beyond the wait
inline constexpr int kOutputIsLink = 96;  // a symbolic link stands at the output's name

// The report's text before ", unit N, file NAME". `values` are the numbers
// the text names: the year of a year's refusal (91, 92); the run header's
// MAXL, the locations this build holds and the most any build can hold for
// 93; the year, its NL and the most locations a year may have for 94. A
// number outside the catalogue is a logic error.
std::string catalog_text(int number, std::span<const std::int64_t> values = {});

// Whether the report line names the channel and the file (all but 41).
bool names_channel(int number);

}  // namespace metclust::records::report
