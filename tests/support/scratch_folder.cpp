#include "support/scratch_folder.hpp"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

namespace metclust::testing {

namespace fs = std::filesystem;

std::string read_bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_bytes(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

ScratchFolder::ScratchFolder() : ScratchFolder(fs::temp_directory_path()) {}

ScratchFolder::ScratchFolder(const fs::path& base) {
  std::string pattern = (base / "metclust-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::system_error(errno, std::generic_category(), "mkdtemp " + pattern);
  }
  path_ = fs::canonical(pattern);
}

ScratchFolder::~ScratchFolder() {
  if (keep_) return;
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

void ScratchFolder::put(std::string_view name, std::string_view bytes) const {
  write_bytes(path_ / name, bytes);
}

std::string ScratchFolder::take(std::string_view name) const { return read_bytes(path_ / name); }

bool ScratchFolder::exists(std::string_view name) const {
  std::error_code ec;
  return fs::exists(path_ / name, ec);
}

int ScratchFolder::open_for_console(std::string_view name, bool output) const {
  const std::string where = file(name);
  return output ? ::open(where.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)
                : ::open(where.c_str(), O_RDONLY | O_CLOEXEC);
}

}  // namespace metclust::testing
