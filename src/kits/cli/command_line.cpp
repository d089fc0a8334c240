#include "cli/command_line.hpp"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <new>
#include <system_error>

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
  if (option_ == "-h" || option_ == "--help" || option_ == "-V" || option_ == "--version") {
    no_value();
    throw HelpAsked{option_ == "-V" || option_ == "--version"};
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

namespace {

// Flushes `out`; false, with one line on `err`, when what went to it could
// not be written.
bool written(const ProgramText& text, std::ostream& out, std::ostream& err) {
  // The reason is the system's when the flush itself failed; a stream that
  // had failed before the flush keeps no reason.
  errno = 0;
  if (out.good()) out.flush();
  if (out.good()) return true;
  const int error = errno;
  err << text.name << ": standard output cannot be written";
  if (error != 0) err << ": " << std::generic_category().message(error);
  err << '\n';
  return false;
}

}  // namespace

int run_program(const ProgramText& text, std::string_view version,
                std::span<const std::string> arguments, std::ostream& out, std::ostream& err,
                const std::function<int(std::span<const std::string>)>& body) {
  int status = kExitOk;
  try {
    status = body(arguments);
  } catch (const HelpAsked& asked) {
    if (asked.version) {
      out << text.name << ' ' << version << '\n';
    } else {
      out << text.help;
    }
  } catch (const UsageError& error) {
    err << text.name << ": " << error.what() << '\n' << text.usage;
    err << "Try '" << text.name << " --help' for more information.\n";
    status = kExitUsage;
  } catch (const records::LocatedError& error) {
    err << text.name << ": " << error.message() << '\n';
    status = kExitBadData;
  } catch (const FileError& error) {
    err << text.name << ": " << error.what() << '\n';
    status = kExitBadData;
  } catch (const std::bad_alloc&) {
    err << text.name << ": not enough memory to go on\n";
    status = kExitBadData;
  }
  if (!written(text, out, err) && status == kExitOk) status = kExitBadData;
  return status;
}

}  // namespace metclust::cli
