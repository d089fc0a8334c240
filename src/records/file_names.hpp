// File names as the user types them, handed to std::filesystem and back.
// A name is the bytes of the command line: on POSIX systems the bytes the
// system takes as they are; on Windows text of the system's ANSI code page,
// as metclust's own channels take it (a path made from the bytes one by one
// would turn every letter outside ASCII into another). The companion
// programs make every path from a name and every name they show from a path
// through these two.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace metclust::records {

std::filesystem::path path_of_name(std::string_view name);

std::string name_of_path(const std::filesystem::path& path);

}  // namespace metclust::records
