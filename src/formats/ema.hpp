// The .EMA input file of a job, record by record: the run header, the title,
// the option record and, for every year, the year record, the number of
// locations retained, the elimination vector and the matrix rows.
//
//   run header          free form: MAXY MAXL MAXG IYS IYF
//   title               (A)         written (A)
//   option record       (4(5X,A1))  WEIGHT PRXTYP SEDTYP CORTYP
//   year record         (I6,4X,A8)  IYEAR YLABEL
//   retained locations  free form: NL
//   elimination vector  free form: MAXL values ELIM
//   matrix row i        (I6,1X,A8,1X,(T17,10E16.8))  row number, name, the
//                       i-1 proximities to the earlier locations and the
//                       diagonal, ten to a record, continued on further
//                       records from column 17
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "records/channel_table.hpp"
#include "records/free_form_reader.hpp"
#include "records/record_reader.hpp"
#include "records/record_writer.hpp"
#include "records/text.hpp"

namespace metclust::formats {

using Title = std::array<char, 50>;

// The run header as read; a slash or null value leaves a value at 0.
struct RunHeaderValues {
  std::int32_t MAXY = 0;
  std::int32_t MAXL = 0;
  std::int32_t MAXG = 0;
  std::int32_t IYS = 0;
  std::int32_t IYF = 0;
};

struct Options {
  char WEIGHT = ' ';
  char PRXTYP = ' ';
  char SEDTYP = ' ';
  char CORTYP = ' ';
};

// The year record (I6,4X,A8), which .CLS repeats for every year.
void write_year_record(records::RecordWriter& out, int unit, std::int32_t IYEAR,
                       const records::Name& YLABEL);
bool read_year_record(records::RecordReader& in, int unit, std::int32_t& IYEAR,
                      records::Name& YLABEL, records::AtEnd at_end);

// Reads the records of an .EMA channel in file order. Every fault is
// reported by the channel table: a report that ends a run for metclust, a
// records::LocatedError for a table that throws.
class EmaReader {
 public:
  explicit EmaReader(records::ChannelTable& channels, int unit = records::kEma)
      : channels_(channels), unit_(unit), fixed_(channels), free_(channels) {}

  RunHeaderValues read_run_header();
  Title read_title();
  Options read_options();
  // The year record; false at the end of the file, which ends the analysis.
  bool read_year(std::int32_t& IYEAR, records::Name& YLABEL);
  // NL keeps its value when the record gives a null value or a slash.
  void read_count(std::int32_t& NL);
  void read_elimination(std::span<std::int32_t> ELIM);
  // Matrix row i (1-based): its row number, the name, and the i-1
  // proximities to the earlier locations into `proximities` (which holds
  // exactly i-1 elements). The diagonal is read and not kept.
  void read_matrix_row(std::int32_t& number, records::Name& name, std::span<double> proximities);

  records::ChannelTable& channels() { return channels_; }
  int unit() const { return unit_; }

 private:
  records::ChannelTable& channels_;
  int unit_;
  records::RecordReader fixed_;
  records::FreeFormReader free_;
  std::vector<records::Target> row_;  // the targets of one matrix row, reused
};

// Writes the records of an .EMA file in the same layouts, so that metclust
// reads back exactly the values written.
class EmaWriter {
 public:
  explicit EmaWriter(records::RecordWriter& out, int unit) : out_(out), unit_(unit) {}

  void write_run_header(const RunHeaderValues& header);
  void write_title(std::string_view title);  // cut or blank-filled to 50
  void write_options(const Options& options);
  void write_year(std::int32_t IYEAR, const records::Name& YLABEL);
  void write_count(std::int32_t NL);
  void write_elimination(std::span<const std::int32_t> ELIM);
  // Row i: number i, its name, the i-1 proximities to the earlier locations
  // and a zero diagonal.
  void write_matrix_row(std::int32_t number, const records::Name& name,
                        std::span<const double> proximities);

 private:
  records::RecordWriter& out_;
  int unit_;
  std::vector<records::Value> values_;
};

}  // namespace metclust::formats
