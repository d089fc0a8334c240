#include "cli/output_files.hpp"

#include <fstream>
#include <iterator>
#include <random>
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
  if (ec || !fs::is_directory(folder)) throw FileError(name_of(folder), "cannot make this folder");
}

void OutputFiles::add(fs::path path, std::string bytes) {
  for (const fs::path& known : paths_) {
    if (known == path) throw std::logic_error("output named twice: " + name_of(path));
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

void OutputFiles::commit() {
  std::random_device seed;
  const std::string tag = ".tmp-" + records::decimal(seed() & 0xffffff);
  std::vector<fs::path> staged;
  auto discard = [&] {
    std::error_code ignored;
    for (const fs::path& path : staged) fs::remove(path, ignored);
  };
  for (std::size_t k = 0; k < paths_.size(); ++k) {
    fs::path temporary = paths_[k];
    temporary += tag;
    staged.push_back(temporary);
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (out) out.write(contents_[k].data(), static_cast<std::streamsize>(contents_[k].size()));
    out.close();
    if (!out) {
      discard();
      throw FileError(name_of(paths_[k]), "cannot be written");
    }
  }
  // A folder in the place of an output cannot be replaced; found before
  // anything is put in place.
  for (const fs::path& path : paths_) {
    std::error_code ec;
    if (fs::is_directory(fs::symlink_status(path, ec))) {
      discard();
      throw FileError(name_of(path), "cannot be put in place: a folder has this name");
    }
  }
  // Each output is put in place after the file it replaces has been moved
  // aside, so that a failure half-way can put back every file as it was.
  std::vector<fs::path> aside(paths_.size());
  std::size_t placed = 0;
  const auto roll_back = [&](std::size_t upto) {
    std::error_code ignored;
    for (std::size_t k = upto; k-- > 0;) {
      if (k < placed) fs::remove(paths_[k], ignored);
      if (!aside[k].empty()) fs::rename(aside[k], paths_[k], ignored);
    }
    discard();
  };
  for (std::size_t k = 0; k < paths_.size(); ++k) {
    std::error_code ec;
    if (fs::exists(fs::symlink_status(paths_[k], ec))) {
      fs::path old = paths_[k];
      old += tag + ".old";
      fs::rename(paths_[k], old, ec);
      if (ec) {
        roll_back(k);
        throw FileError(name_of(paths_[k]), "cannot be replaced: " + ec.message());
      }
      aside[k] = old;
    }
    fs::rename(staged[k], paths_[k], ec);
    if (ec) {
      roll_back(k + 1);
      throw FileError(name_of(paths_[k]), "cannot be put in place: " + ec.message());
    }
    placed = k + 1;
  }
  std::error_code ignored;
  for (const fs::path& old : aside) {
    if (!old.empty()) fs::remove(old, ignored);
  }
}

}  // namespace metclust::cli
