// Reading the files a companion program is given (CSV sources, a job's
// .EMA, .PCL and .CLS) whole, within bounds that no real file comes near, so
// that a hostile or mistaken input (a 10 MB field, /dev/zero, a file of
// random bytes) ends in one line and status 1 rather than in exhausted
// memory. Every such input is text in lines.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace metclust::cli {

// The largest input read, and its longest line (the bytes between two line
// feeds): a row of a matrix CSV of 16000 locations takes about a third of
// it.
inline constexpr std::int64_t kLargestInput = std::int64_t{1} << 30;  // 1 GiB
inline constexpr std::int64_t kLongestLine = std::int64_t{1} << 20;   // 1 MiB

// The bytes of a file, or nullopt when there is no such file. A folder, a
// file that cannot be opened or read (with the system's reason: a folder on
// the way that may not be searched gives "Permission denied", not "no such
// file"), or one larger than kLargestInput, is a FileError; a line longer
// than kLongestLine is a records::LocatedError naming its line. A device or
// a pipe is read up to those bounds.
std::optional<std::string> read_file_if_present(const std::string& name);
// The bytes of a file that must exist; MissingFile when it does not.
std::string read_file(const std::string& name);

}  // namespace metclust::cli
