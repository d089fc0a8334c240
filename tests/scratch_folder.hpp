// A fresh folder under the system's temporary directory for one test, with
// helpers to put and take whole files; removed when the test ends.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace metclust::testing {

class ScratchFolder {
 public:
  ScratchFolder() {
    std::random_device seed;
    path_ = std::filesystem::temp_directory_path() /
            ("metclust-test-" + std::to_string(::getpid()) + "-" + std::to_string(seed()));
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

  void put(const std::string& name, const std::string& bytes) const {
    std::ofstream out(file(name), std::ios::binary);
    out << bytes;
  }
  std::string take(const std::string& name) const {
    std::ifstream in(file(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  bool exists(const std::string& name) const { return std::filesystem::exists(path_ / name); }

  // A file descriptor for a console stream kept in a file of this folder.
  int open_for_console(const std::string& name, bool output) const {
    return output ? ::open(file(name).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)
                  : ::open(file(name).c_str(), O_RDONLY | O_CLOEXEC);
  }

 private:
  std::filesystem::path path_;
};

}  // namespace metclust::testing
