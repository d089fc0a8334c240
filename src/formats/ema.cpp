#include "formats/ema.hpp"

#include <algorithm>
#include <array>

#include "records/layout.hpp"

namespace metclust::formats {
namespace {

using records::Layout;

const Layout& title_read() {
  static const Layout layout("(A)");
  return layout;
}
const Layout& option_record() {
  static const Layout layout("(4(5X,A1))");
  return layout;
}
const Layout& year_record() {
  static const Layout layout("(I6,4X,A8)");
  return layout;
}
const Layout& matrix_row() {
  static const Layout layout("(I6,1X,A8,1X,(T17,10E16.8))");
  return layout;
}
// Free-form records as written: blanks between the values, which any
// free-form read takes.
const Layout& run_header_written() {
  static const Layout layout("(5I8)");
  return layout;
}
const Layout& count_written() {
  static const Layout layout("(I8)");
  return layout;
}
const Layout& elimination_written() {
  static const Layout layout("(30I3)");
  return layout;
}

}  // namespace

void write_year_record(records::RecordWriter& out, int unit, std::int32_t IYEAR,
                       const records::Name& YLABEL) {
  out.write(unit, year_record(), {IYEAR, records::view(YLABEL)});
}

bool read_year_record(records::RecordReader& in, int unit, std::int32_t& IYEAR,
                      records::Name& YLABEL, records::AtEnd at_end) {
  return in.read(unit, year_record(), {&IYEAR, std::span<char>(YLABEL)}, at_end);
}

RunHeaderValues EmaReader::read_run_header() {
  std::array<std::int32_t, 5> values{};  // a slash leaves the rest at 0
  free_.read(unit_, values);
  return {values[0], values[1], values[2], values[3], values[4]};
}

Title EmaReader::read_title() {
  Title title;
  title.fill(' ');
  fixed_.read(unit_, title_read(), {std::span<char>(title)});
  return title;
}

Options EmaReader::read_options() {
  Options options;
  fixed_.read(unit_, option_record(),
              {std::span<char>(&options.WEIGHT, 1), std::span<char>(&options.PRXTYP, 1),
               std::span<char>(&options.SEDTYP, 1), std::span<char>(&options.CORTYP, 1)});
  return options;
}

bool EmaReader::read_year(std::int32_t& IYEAR, records::Name& YLABEL) {
  return read_year_record(fixed_, unit_, IYEAR, YLABEL, records::AtEnd::Return);
}

void EmaReader::read_count(std::int32_t& NL) { free_.read(unit_, std::span<std::int32_t>(&NL, 1)); }

void EmaReader::read_elimination(std::span<std::int32_t> ELIM) { free_.read(unit_, ELIM); }

void EmaReader::read_matrix_row(std::int32_t& number, records::Name& name,
                                std::span<double> proximities) {
  float diagonal = 0.0f;  // read as a 4-byte real and not kept
  row_.clear();
  row_.push_back(&number);
  row_.push_back(std::span<char>(name));
  for (double& value : proximities) row_.push_back(&value);
  row_.push_back(&diagonal);
  fixed_.read(unit_, matrix_row(), row_);
}

void EmaWriter::write_run_header(const RunHeaderValues& header) {
  out_.write(unit_, run_header_written(),
             {header.MAXY, header.MAXL, header.MAXG, header.IYS, header.IYF});
}

void EmaWriter::write_title(std::string_view title) {
  static const Layout title_written("(A50)");
  std::array<char, 50> text;
  text.fill(' ');
  std::copy_n(title.begin(), std::min(title.size(), text.size()), text.begin());
  out_.write(unit_, title_written, {std::string_view(text.data(), text.size())});
}

void EmaWriter::write_options(const Options& options) {
  out_.write(unit_, option_record(),
             {std::string_view(&options.WEIGHT, 1), std::string_view(&options.PRXTYP, 1),
              std::string_view(&options.SEDTYP, 1), std::string_view(&options.CORTYP, 1)});
}

void EmaWriter::write_year(std::int32_t IYEAR, const records::Name& YLABEL) {
  write_year_record(out_, unit_, IYEAR, YLABEL);
}

void EmaWriter::write_count(std::int32_t NL) { out_.write(unit_, count_written(), {NL}); }

void EmaWriter::write_elimination(std::span<const std::int32_t> ELIM) {
  values_.assign(ELIM.begin(), ELIM.end());
  out_.write(unit_, elimination_written(), values_);
}

void EmaWriter::write_matrix_row(std::int32_t number, const records::Name& name,
                                 std::span<const double> proximities) {
  values_.clear();
  values_.emplace_back(number);
  values_.emplace_back(records::view(name));
  for (const double value : proximities) values_.emplace_back(value);
  values_.emplace_back(0.0);
  out_.write(unit_, matrix_row(), values_);
}

}  // namespace metclust::formats
