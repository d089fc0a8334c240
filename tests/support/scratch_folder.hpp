// A fresh folder for one test, with helpers to put and take whole files;
// removed with everything in it at the end, unless kept so that a failure
// can be looked at.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace metclust::testing {

// The whole content of a file; empty when there is no such file.
std::string read_bytes(const std::filesystem::path& path);

// Makes or replaces a file with exactly these bytes; throws when it cannot.
void write_bytes(const std::filesystem::path& path, std::string_view bytes);

class ScratchFolder {
 public:
  // A folder of its own under the system's temporary directory.
  ScratchFolder();
  // A folder of its own under `base`.
  explicit ScratchFolder(const std::filesystem::path& base);
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // The folder's full path, with no symbolic link in it, so that it reads as
  // the program shows it in its reports.
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(std::string_view name) const { return path_ / name; }
  std::string file(std::string_view name) const { return (path_ / name).string(); }

  void put(std::string_view name, std::string_view bytes) const;
  std::string take(std::string_view name) const;
  bool exists(std::string_view name) const;

  // A file descriptor for a console stream kept in a file of this folder.
  int open_for_console(std::string_view name, bool output) const;

  // Leaves the folder in place at the end.
  void keep() { keep_ = true; }

 private:
  std::filesystem::path path_;
  bool keep_ = false;
};

}  // namespace metclust::testing
