#include "cli/input_files.hpp"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "cli/command_line.hpp"
#include "records/file_names.hpp"
#include "records/located_error.hpp"

namespace metclust::cli {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kChunk = 64 * 1024;

// "cannot be read", with the system's reason when it gave one.
[[noreturn]] void unreadable(const std::string& name, int error) {
  std::string what = "cannot be read";
  if (error != 0) what += ": " + std::generic_category().message(error);
  throw FileError(name, what);
}

[[noreturn]] void too_large(const std::string& name) {
  throw FileError(name, "is larger than 1 GiB, the largest input read");
}

}  // namespace

std::optional<std::string> read_file_if_present(const std::string& name) {
  const fs::path path = records::path_of_name(name);
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (status.type() == fs::file_type::not_found) return std::nullopt;
  if (ec) unreadable(name, ec.value());
  if (fs::is_directory(status)) throw FileError(name, "is a folder, not a file");
  std::uintmax_t expected = 0;  // a regular file's size: room made for it at once
  if (fs::is_regular_file(status)) {
    const std::uintmax_t size = fs::file_size(path, ec);
    if (!ec && size > static_cast<std::uintmax_t>(kLargestInput)) too_large(name);
    if (!ec) expected = size;
  }
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) unreadable(name, errno);

  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(expected));
  std::int64_t line = 1;
  std::int64_t line_length = 0;  // bytes of the current line so far
  char chunk[kChunk];
  for (;;) {
    errno = 0;
    in.read(chunk, kChunk);
    const auto got = static_cast<std::size_t>(in.gcount());
    if (in.bad()) unreadable(name, errno);
    for (std::size_t k = 0; k < got; ++k) {
      if (chunk[k] == '\n') {
        ++line;
        line_length = 0;
      } else if (++line_length > kLongestLine) {
        throw records::LocatedError(name, line, 0,
                                    "the line is longer than 1 MiB, the longest line read: is this "
                                    "the file meant?");
      }
    }
    if (static_cast<std::int64_t>(bytes.size() + got) > kLargestInput) too_large(name);
    bytes.append(chunk, got);
    if (got < kChunk) break;
  }
  return bytes;
}

std::string read_file(const std::string& name) {
  std::optional<std::string> bytes = read_file_if_present(name);
  if (!bytes) throw MissingFile(name);
  return std::move(*bytes);
}

}  // namespace metclust::cli
