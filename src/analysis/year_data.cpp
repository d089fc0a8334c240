#include "analysis/year_data.hpp"

#include <algorithm>
#include <stdexcept>

#include "cluster/packed.hpp"
#include "records/layout.hpp"

namespace metclust::analysis {
using records::Layout;

Title YearReader::read_title() {
  Title title;
  title.fill(' ');
  static const Layout title_record("(A)");
  fixed_.read(records::kEma, title_record, {std::span<char>(title)});
  return title;
}

Options YearReader::read_options() {
  Options options;
  static const Layout option_record("(4(5X,A1))");
  fixed_.read(records::kEma, option_record,
              {std::span<char>(&options.WEIGHT, 1), std::span<char>(&options.PRXTYP, 1),
               std::span<char>(&options.SEDTYP, 1), std::span<char>(&options.CORTYP, 1)});
  return options;
}

bool YearReader::read_year(std::int32_t& IYEAR, records::Name& YLABEL) {
  static const Layout year_record("(I6,4X,A8)");
  return fixed_.read(records::kEma, year_record, {&IYEAR, std::span<char>(YLABEL)},
                     records::AtEnd::Return);
}

void YearReader::read_count(std::int32_t& NL) {
  free_.read(records::kEma, std::span<std::int32_t>(&NL, 1));
}

void YearReader::read_elimination(std::span<std::int32_t> ELIM) {
  free_.read(records::kEma, ELIM);
}

void YearReader::RDPROX(std::span<double> DZ, std::span<records::Name> NAMES, std::int64_t NTM,
                        std::int32_t NL) {
  if (NTM > 0) {
    if (static_cast<std::uint64_t>(NTM) > DZ.size()) throw std::out_of_range("RDPROX: NTM beyond DZ");
    std::fill_n(DZ.begin(), NTM, 0.0);
  }
  const std::int64_t rows = std::max<std::int32_t>(NL, 1);
  if (static_cast<std::uint64_t>(rows) > NAMES.size() ||
      static_cast<std::uint64_t>(cluster::packed_size(NL)) > DZ.size()) {
    throw std::out_of_range("RDPROX: NL beyond its segments");
  }
  static const Layout matrix_row("(I6,1X,A8,1X,(T17,10E16.8))");
  std::int32_t row_number = 0;
  float diagonal = 0.0f;  // read as a 4-byte real and not kept
  for (std::int64_t i = 1; i <= rows; ++i) {
    row_.clear();
    row_.push_back(&row_number);
    row_.push_back(std::span<char>(NAMES[static_cast<std::size_t>(i - 1)]));
    if (i >= 2) {
      const std::size_t first = static_cast<std::size_t>(cluster::packed_index(1, i));
      for (std::int64_t k = 0; k < i - 1; ++k) row_.push_back(&DZ[first + static_cast<std::size_t>(k)]);
    }
    row_.push_back(&diagonal);
    fixed_.read(records::kEma, matrix_row, row_);
  }
}

}  // namespace metclust::analysis
