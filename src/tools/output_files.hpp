// Reading a job's files whole, and writing a program's outputs whole or not
// at all: every output is first written under a temporary name beside its
// final one, and only when all of them are written are they renamed into
// place; a failure removes the temporary files and leaves every existing
// file as it was.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace metclust::tools {

// The bytes of a file, or nullopt when there is no such file. A folder, or a
// file that cannot be read, is a FileError.
std::optional<std::string> read_file_if_present(const std::string& name);
// The bytes of a file that must exist.
std::string read_file(const std::string& name);

class OutputFiles {
 public:
  // Makes the folder (and its parents) when missing; a FileError otherwise.
  static void make_folder(const std::filesystem::path& folder);

  // Adds an output; the same path twice is a logic error.
  void add(std::filesystem::path path, std::string bytes);
  // True when one of the outputs exists already.
  std::vector<std::filesystem::path> existing() const;
  // Writes every output under a temporary name, then renames each into
  // place. Throws FileError naming the file that failed; then none of the
  // outputs has been put in place.
  void commit();
  const std::vector<std::filesystem::path>& paths() const { return paths_; }

 private:
  std::vector<std::filesystem::path> paths_;
  std::vector<std::string> contents_;
};

}  // namespace metclust::tools
