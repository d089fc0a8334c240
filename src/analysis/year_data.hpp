// Reading the records of the .EMA file that follow the run header.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "records/channel_table.hpp"
#include "records/free_form_reader.hpp"
#include "records/record_reader.hpp"
#include "records/text.hpp"

namespace metclust::analysis {

using Title = std::array<char, 50>;

struct Options {
  char WEIGHT = ' ';
  char PRXTYP = ' ';
  char SEDTYP = ' ';
  char CORTYP = ' ';
};

class YearReader {
 public:
  explicit YearReader(records::ChannelTable& channels)
      : fixed_(channels), free_(channels) {}

  Title read_title();
  Options read_options();
  // The year record; false at the end of the file, which ends the analysis.
  bool read_year(std::int32_t& IYEAR, records::Name& YLABEL);
  // NL keeps its value when the record gives a null value or a slash.
  void read_count(std::int32_t& NL);
  void read_elimination(std::span<std::int32_t> ELIM);
  // Clears DZ over 1..NTM and reads the NL matrix rows into PII and NAMES.
  void RDPROX(std::span<double> DZ, std::span<records::Name> NAMES, std::int64_t NTM,
              std::int32_t NL);

 private:
  records::RecordReader fixed_;
  records::FreeFormReader free_;
  std::vector<records::Target> row_;  // the targets of one matrix row, reused
};

}  // namespace metclust::analysis
