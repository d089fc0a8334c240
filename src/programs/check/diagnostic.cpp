#include "check/diagnostic.hpp"

#include "records/number_text.hpp"

namespace metclust::check {

std::string format(const Diagnostic& d) {
  std::string text = d.file;
  if (d.line > 0) text += ":" + records::decimal(d.line);
  if (d.line > 0 && d.column > 0) text += ":" + records::decimal(d.column);
  text += d.severity == Severity::Error ? ": error: " : ": warning: ";
  text += d.text;
  return text;
}

void Diagnostics::error(std::string file, std::int64_t line, std::int64_t column, std::string text) {
  all_.push_back({Severity::Error, std::move(file), line, column, std::move(text)});
  ++errors_;
}

void Diagnostics::warning(std::string file, std::int64_t line, std::int64_t column, std::string text) {
  all_.push_back({Severity::Warning, std::move(file), line, column, std::move(text)});
}

}  // namespace metclust::check
