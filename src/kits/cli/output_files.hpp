// Writing a program's outputs whole or not at all (reading the inputs is in
// cli/input_files.hpp). A program's outputs all go into one folder, and are put in place
// there as a set:
// - one run at a time: a run takes the folder's lock file (.metclust.lock,
//   removed again at the end) and waits up to records::kLockPatience while
//   another run holds it; then it gives up, writing nothing;
// - every output is first written whole into a folder of the run's own
//   (.metclust.tmp, under short names, so that an output's name may be as
//   long as the system allows), and then renamed over its final name: each
//   name holds the old file or the new one, never a part, and never nothing;
// - a failure before the last rename puts every file back as it was;
// - what a killed run left (that folder, and the NAME.tmp-N and
//   NAME.tmp-N.old files of earlier versions of the programs) is removed by
//   the next run into the folder.
// An existing output that this process may not write (a read-only file) is
// not replaced: the run is refused before anything is written. A symbolic
// link at an output's name is replaced by the new file, and what it points to
// is left alone. Names are made into paths and paths into names only through
// records/file_names.hpp, so that a name outside ASCII names the same file
// on every system.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/command_line.hpp"
#include "cli/input_files.hpp"  // what reads the inputs, beside what writes the outputs
#include "records/output_guard.hpp"

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
  // Makes the folder (and its parents) when missing; a FileError with the
  // system's reason otherwise.
  static void make_folder(const std::filesystem::path& folder);

  // Adds an output; the same path twice, or an output in another folder
  // than the first, is a logic error.
  void add(std::filesystem::path path, std::string bytes);
  // The outputs that exist already.
  std::vector<std::filesystem::path> existing() const;
  // Puts the outputs in place as the set described above. Throws FileError
  // naming the file (or the folder) and the reason; then none of the
  // outputs has been put in place.
  void commit(std::chrono::milliseconds patience = records::kLockPatience);
  const std::vector<std::filesystem::path>& paths() const { return paths_; }
  // The outputs' names, one to a line, as the programs list what they wrote.
  std::string listing() const;

 private:
  std::vector<std::filesystem::path> paths_;
  std::vector<std::string> contents_;
};

}  // namespace metclust::cli
