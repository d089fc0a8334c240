// What metclust-check reports about a job: errors for what ends a run,
// warnings for what reads but is likely not meant.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace metclust::check {

enum class Severity { Error, Warning };

struct Diagnostic {
  Severity severity = Severity::Error;
  std::string file;
  std::int64_t line = 0;    // 0 when it concerns the whole file
  std::int64_t column = 0;  // 0 when it concerns the whole record
  std::string text;
};

// "FILE:LINE:COL: error: text", leaving out a line or column of 0.
std::string format(const Diagnostic& diagnostic);

class Diagnostics {
 public:
  void error(std::string file, std::int64_t line, std::int64_t column, std::string text);
  void warning(std::string file, std::int64_t line, std::int64_t column, std::string text);

  const std::vector<Diagnostic>& all() const { return all_; }
  std::int64_t errors() const { return errors_; }
  std::int64_t warnings() const { return static_cast<std::int64_t>(all_.size()) - errors_; }

 private:
  std::vector<Diagnostic> all_;
  std::int64_t errors_ = 0;
};

}  // namespace metclust::check
