#include "cli/output_files.hpp"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

#include "cli/command_line.hpp"
#include "records/file_names.hpp"
#include "records/number_text.hpp"

namespace metclust::cli {
namespace fs = std::filesystem;

std::string name_of(const fs::path& path) { return records::name_of_path(path); }

std::string text_of_name(std::string_view name) {
  const std::u8string text = records::path_of_name(name).u8string();
  return std::string(text.begin(), text.end());
}

fs::path OutputPlace::file(std::string_view name) const {
  return folder / records::path_of_name(name);
}

OutputPlace output_place(const std::string& job, const std::optional<std::string>& folder) {
  const fs::path job_path = records::path_of_name(job);
  const std::string name = name_of(job_path.filename());
  return {folder ? records::path_of_name(*folder) : job_path.parent_path(), name,
          text_of_name(name)};
}

bool take_output_option(const std::string& option, Arguments& walker,
                        std::optional<std::string>& folder) {
  if (option != "-o" && option != "--output") return false;
  folder = walker.value();
  if (folder->empty()) throw UsageError("empty output folder");
  return true;
}

std::string OutputFiles::listing() const {
  std::string text;
  for (const fs::path& path : paths_) text += name_of(path) + '\n';
  return text;
}

void OutputFiles::make_folder(const fs::path& folder) {
  if (folder.empty()) return;
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (!ec && !fs::is_directory(folder, ec)) ec = std::make_error_code(std::errc::not_a_directory);
  if (ec) throw FileError(name_of(folder), "cannot make this folder: " + ec.message());
}

void OutputFiles::add(fs::path path, std::string bytes) {
  for (const fs::path& known : paths_) {
    if (known == path) throw std::logic_error("output named twice: " + name_of(path));
  }
  if (!paths_.empty() && path.parent_path() != paths_.front().parent_path()) {
    throw std::logic_error("outputs in two folders: " + name_of(path));
  }
  paths_.push_back(std::move(path));
  contents_.push_back(std::move(bytes));
}

std::vector<fs::path> OutputFiles::existing() const {
  std::vector<fs::path> found;
  for (const fs::path& path : paths_) {
    std::error_code ec;
    if (fs::exists(fs::symlink_status(path, ec))) found.push_back(path);
  }
  return found;
}

namespace {

// The names of a run's own files in the outputs' folder.
const fs::path kLockName = ".metclust.lock";
const fs::path kStagingName = ".metclust.tmp";

// Whether `name` is `output` followed by ".tmp-" and digits, and ".old" or
// nothing: a temporary name of an earlier version of the programs.
bool old_temporary_of(const fs::path::string_type& name, const fs::path::string_type& output) {
  const fs::path::string_type tag = fs::path(".tmp-").native();
  const fs::path::string_type old = fs::path(".old").native();
  if (name.size() <= output.size() + tag.size() || name.compare(0, output.size(), output) != 0 ||
      name.compare(output.size(), tag.size(), tag) != 0) {
    return false;
  }
  fs::path::string_type rest = name.substr(output.size() + tag.size());
  if (rest.size() > old.size() && rest.compare(rest.size() - old.size(), old.size(), old) == 0) {
    rest.resize(rest.size() - old.size());
  }
  return !rest.empty() && std::all_of(rest.begin(), rest.end(), [](auto c) { return c >= '0' && c <= '9'; });
}

// Removes what a run into `folder` that was killed left there: its own
// folder, and the temporary names earlier versions gave these outputs.
void remove_litter(const fs::path& folder, const std::vector<fs::path>& outputs) {
  std::error_code ignored;
  fs::remove_all(folder / kStagingName, ignored);
  std::error_code ec;
  for (fs::directory_iterator entry(folder.empty() ? fs::path(".") : folder, ec), end;
       !ec && entry != end; entry.increment(ec)) {
    const fs::path::string_type name = entry->path().filename().native();
    for (const fs::path& output : outputs) {
      if (old_temporary_of(name, output.filename().native())) {
        fs::remove(entry->path(), ignored);
        break;
      }
    }
  }
}

std::string seconds_text(std::chrono::milliseconds time) {
  const std::int64_t seconds = (time.count() + 999) / 1000;
  return records::decimal(seconds) + (seconds == 1 ? " second" : " seconds");
}

}  // namespace

void OutputFiles::commit(std::chrono::milliseconds patience) {
  if (paths_.empty()) return;
  const fs::path folder = paths_.front().parent_path();
  const records::LockFile lock(folder / kLockName, patience);
  if (!lock.held()) {
    if (!lock.failure().empty()) {
      throw FileError(name_of(paths_.front()), "cannot be written: " + lock.failure());
    }
    throw FileError(name_of(folder.empty() ? fs::path(".") : folder),
                    "another run is writing its outputs into this folder; gave up after " +
                        seconds_text(patience) + " (its lock file is " + name_of(folder / kLockName) +
                        ")");
  }
  remove_litter(folder, paths_);

  // What cannot be replaced is found before anything is written: a folder
  // at an output's name, or a file this process may not write, which is left
  // as it is, as metclust leaves it.
  for (const fs::path& path : paths_) {
    std::error_code ec;
    if (fs::is_directory(fs::symlink_status(path, ec))) {
      throw FileError(name_of(path), "cannot be put in place: a folder has this name");
    }
    if (const std::string why = records::unwritable_reason(path); !why.empty()) {
      throw FileError(name_of(path), "may not be written (" + why + "), so it is not replaced");
    }
  }

  const fs::path staging = folder / kStagingName;
  struct Discard {
    const fs::path& folder;
    ~Discard() {
      std::error_code ignored;
      fs::remove_all(folder, ignored);
    }
  };
  std::error_code made;
  fs::create_directory(staging, made);
  if (made) throw FileError(name_of(paths_.front()), "cannot be written: " + made.message());
  const Discard discard{staging};

  const auto new_file = [&](std::size_t k) { return staging / records::decimal(static_cast<std::int64_t>(k)); };
  const auto old_file = [&](std::size_t k) {
    return staging / (records::decimal(static_cast<std::int64_t>(k)) + ".old");
  };
  for (std::size_t k = 0; k < paths_.size(); ++k) {
    if (const std::string why = records::write_new_file(new_file(k), contents_[k]); !why.empty()) {
      throw FileError(name_of(paths_[k]), "cannot be written: " + why);
    }
  }

  // Each output is renamed over the file it replaces, which is kept under a
  // second name (a hard link, or a copy where the file system has none)
  // until every output is in place: a failure half-way puts back every file
  // as it was.
  std::vector<bool> kept(paths_.size(), false);
  const auto roll_back = [&](std::size_t placed) {
    std::error_code ignored;
    for (std::size_t k = placed; k-- > 0;) {
      if (kept[k]) {
        fs::rename(old_file(k), paths_[k], ignored);
      } else {
        fs::remove(paths_[k], ignored);
      }
    }
  };
  for (std::size_t k = 0; k < paths_.size(); ++k) {
    std::error_code ec;
    if (fs::exists(fs::symlink_status(paths_[k], ec))) {
      fs::create_hard_link(paths_[k], old_file(k), ec);
      if (ec) {
        ec.clear();
        fs::copy(paths_[k], old_file(k), fs::copy_options::copy_symlinks, ec);
      }
      if (ec) {
        roll_back(k);
        throw FileError(name_of(paths_[k]), "cannot be replaced: " + ec.message());
      }
      kept[k] = true;
    }
    fs::rename(new_file(k), paths_[k], ec);
    if (ec) {
      roll_back(k);
      throw FileError(name_of(paths_[k]), "cannot be put in place: " + ec.message());
    }
  }
}

}  // namespace metclust::cli
