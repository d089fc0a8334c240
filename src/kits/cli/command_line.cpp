#include "cli/command_line.hpp"

#include <charconv>
#include <cmath>

#include "records/located_error.hpp"
#include "records/number_text.hpp"

namespace metclust::cli {

std::optional<std::string> Arguments::next_option() {
  if (attached_) throw UsageError("option '" + option_ + "' takes no value");
  if (next_ >= arguments_.size()) return std::nullopt;
  const std::string& argument = arguments_[next_];
  if (argument == "--") {
    ++next_;
    return std::nullopt;
  }
  if (argument.size() < 2 || argument[0] != '-') return std::nullopt;
  ++next_;
  attached_.reset();
  if (argument.starts_with("--")) {
    const std::size_t equals = argument.find('=');
    option_ = argument.substr(0, equals);
    if (equals != std::string::npos) attached_ = argument.substr(equals + 1);
  } else {
    option_ = argument.substr(0, 2);
    if (argument.size() > 2) attached_ = argument.substr(2);
  }
  return option_;
}

std::string Arguments::value() {
  if (attached_) {
    std::string text = std::move(*attached_);
    attached_.reset();
    return text;
  }
  if (next_ >= arguments_.size()) throw UsageError("option '" + option_ + "' needs a value");
  return arguments_[next_++];
}

void Arguments::no_value() {
  if (attached_) throw UsageError("option '" + option_ + "' takes no value");
}

int run_program(const ProgramText& text, std::string_view version,
                std::span<const std::string> arguments, std::ostream& out, std::ostream& err,
                const std::function<int(std::span<const std::string>)>& body) {
  for (const std::string& argument : arguments) {
    if (argument == "--" || argument.empty() || argument[0] != '-') break;
    if (argument == "-h" || argument == "--help") {
      out << text.help;
      return kExitOk;
    }
    if (argument == "-V" || argument == "--version") {
      out << text.name << ' ' << version << '\n';
      return kExitOk;
    }
  }
  try {
    return body(arguments);
  } catch (const UsageError& error) {
    err << text.name << ": " << error.what() << '\n' << text.usage;
    err << "Try '" << text.name << " --help' for more information.\n";
    return kExitUsage;
  } catch (const records::LocatedError& error) {
    err << text.name << ": " << error.message() << '\n';
    return kExitBadData;
  } catch (const FileError& error) {
    err << text.name << ": " << error.what() << '\n';
    return kExitBadData;
  }
}

}  // namespace metclust::cli
