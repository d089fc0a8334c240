#include "metclust/dialogue.hpp"

#include <algorithm>
#include <string_view>

#include "records/record_reader.hpp"
#include "records/record_writer.hpp"

namespace metclust::control {
namespace {

using records::kConsoleIn;
using records::kConsoleOut;
using records::Layout;

constexpr std::array<std::string_view, 5> kExtensions = {".EMA", ".NAQ", ".SCL", ".CLS", ".PCL"};

constexpr std::array<std::string_view, 5> kPrompts = {
    " Enter name of input file  (*.EMA) - ", " Enter name of input file  (*.NAQ) - ",
    " Enter name of output file (*.SCL) - ", " Enter name of output file (*.CLS) - ",
    " Enter name of output file (*.PCL) - ",
};

FileName read_name(records::RecordReader& in) {
  static const Layout answer("(A)");
  FileName name;
  name.fill(' ');
  in.read(kConsoleIn, answer, {std::span<char>(name)});
  return name;
}

}  // namespace

FileSet default_names(const FileName& job) {
  const std::string_view text(job.data(), job.size());
  const std::size_t last = text.find_last_not_of(' ');
  const std::string_view stem = last == std::string_view::npos ? "" : text.substr(0, last + 1);
  FileSet set;
  for (std::size_t k = 0; k < kExtensions.size(); ++k) {
    FileName& name = set.names[k];
    name.fill(' ');
    auto end = std::copy(stem.begin(), stem.end(), name.begin());
    const std::size_t room = static_cast<std::size_t>(name.end() - end);
    std::copy_n(kExtensions[k].begin(), std::min(room, kExtensions[k].size()), end);
  }
  return set;
}

FileSet job_dialogue(records::ChannelTable& channels) {
  static const Layout prompt("(A,$)");
  static const Layout answer("(A)");
  static const Layout job_prompt(R"~((" Enter job name (ie. name for files without extension)"))~");
  records::RecordWriter out(channels);
  records::RecordReader in(channels);

  out.write(kConsoleOut, prompt, {std::string_view(" Do you wish default file names (Y or N)? - ")});
  char reply = ' ';
  in.read(kConsoleIn, answer, {std::span<char>(&reply, 1)});
  if (reply == 'Y' || reply == 'y') {
    out.write(kConsoleOut, job_prompt, {});
    return default_names(read_name(in));
  }
  FileSet set;
  for (std::size_t k = 0; k < kPrompts.size(); ++k) {
    out.write(kConsoleOut, prompt, {kPrompts[k]});
    set.names[k] = read_name(in);
  }
  return set;
}

}  // namespace metclust::control
