// Writing a program's outputs whole or not
// at all: every output is first written under a temporary name beside its
// final one, and only when all of them are written are they renamed into
// place; a failure removes the temporary files and leaves every existing
// file as it was. Names are made into paths and paths into names only
// through records/file_names.hpp, so that a name outside ASCII names the
// same file on every system.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/command_line.hpp"
#include "cli/input_files.hpp"  // what reads the inputs, beside what writes the outputs

namespace metclust::cli {

// Where a companion program puts what it makes of a job: the folder given
// with -o, or else the job's own folder, and the job's name without its
// folder, which begins every output's name: as a name, and as UTF-8 text
// for what is written inside the outputs (the same bytes but on Windows).
struct OutputPlace {
  std::filesystem::path folder;
  std::string job_name;
  std::string job_text;

  // The path of the output named `name` in the folder.
  std::filesystem::path file(std::string_view name) const;
};
OutputPlace output_place(const std::string& job, const std::optional<std::string>& folder);

// Takes the folder of -o, --output DIR into `folder` when `option` is that
// option; false for any other option. An empty folder is a UsageError.
bool take_output_option(const std::string& option, Arguments& walker,
                        std::optional<std::string>& folder);

// The name of a path as the user would type it.
std::string name_of(const std::filesystem::path& path);
// A file name as UTF-8 text, as it is written inside a CSV or HTML file.
std::string text_of_name(std::string_view name);

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
  // The outputs' names, one to a line, as the programs list what they wrote.
  std::string listing() const;

 private:
  std::vector<std::filesystem::path> paths_;
  std::vector<std::string> contents_;
};

}  // namespace metclust::cli
