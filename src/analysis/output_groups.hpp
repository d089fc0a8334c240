// The record groups the year-sequential analysis writes to .SCL, .CLS and the
// console, each in its documented layout.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "analysis/year_data.hpp"
#include "records/record_writer.hpp"
#include "records/text.hpp"

namespace metclust::analysis {

// Name texts of the strategies, by menu number 1..8.
std::string_view strategy_text(std::int32_t ISTRAT);

class OutputGroups {
 public:
  explicit OutputGroups(records::RecordWriter& out) : out_(out) {}

  void job_records(const Title& TITLE);
  void strategy_menu();
  void option_echo(const Options& options, std::int32_t ISTRAT);
  void sequence_records(std::int32_t IYS, std::int32_t IYF);
  // A progress message: to .SCL and then to the console.
  void message(std::string_view text);
  void year_records(std::int32_t IYEAR, const records::Name& YLABEL);
  void retained_count(std::int32_t NL);
  void elimination_vector(std::span<const std::int32_t> ELIM);
  // The upper triangle by rows, under its heading.
  void matrix_echo(std::span<const double> PII, std::span<const records::Name> NAMES,
                   std::int32_t NL);
  void fusion_heading();

 private:
  records::RecordWriter& out_;
  std::vector<records::Value> values_;  // the values of one statement, reused
};

}  // namespace metclust::analysis
