#include "tools/command_line.hpp"

#include <charconv>
#include <cmath>

#include "records/decimal.hpp"
#include "records/located_error.hpp"

namespace metclust::tools {

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

std::string integer_text(std::int64_t value) { return records::decimal(value); }

std::optional<std::int64_t> parse_integer(std::string_view text) {
  std::int64_t value = 0;
  const char* first = text.data();
  const char* last = first + text.size();
  if (first != last && *first == '+') ++first;
  const auto result = std::from_chars(first, last, value);
  if (result.ec != std::errc() || result.ptr != last || first == last) return std::nullopt;
  return value;
}

std::optional<double> parse_real(std::string_view text) {
  const char* first = text.data();
  const char* last = first + text.size();
  if (first != last && *first == '+') ++first;
  if (first == last) return std::nullopt;
  // Only digits, one point, signs and an exponent letter: no "inf", "nan"
  // or hexadecimal forms, which from_chars would otherwise take.
  for (const char* c = first; c != last; ++c) {
    const bool allowed = (*c >= '0' && *c <= '9') || *c == '.' || *c == 'e' || *c == 'E' ||
                         *c == '+' || *c == '-';
    if (!allowed) return std::nullopt;
  }
  double value = 0.0;
  const auto result = std::from_chars(first, last, value, std::chars_format::general);
  if (result.ec != std::errc() || result.ptr != last || !std::isfinite(value)) return std::nullopt;
  return value;
}

}  // namespace metclust::tools
