#include "analysis/year_data.hpp"

#include <algorithm>
#include <stdexcept>

#include "records/packed.hpp"

namespace metclust::analysis {

void RDPROX(formats::EmaReader& input, std::span<double> DZ, std::span<records::Name> NAMES,
            std::int64_t NTM, std::int32_t NL) {
  if (NTM > 0) {
    if (static_cast<std::uint64_t>(NTM) > DZ.size()) throw std::out_of_range("RDPROX: NTM beyond DZ");
    std::fill_n(DZ.begin(), NTM, 0.0);
  }
  const std::int64_t rows = std::max<std::int32_t>(NL, 1);
  if (static_cast<std::uint64_t>(rows) > NAMES.size() ||
      static_cast<std::uint64_t>(records::packed_size(NL)) > DZ.size()) {
    throw std::out_of_range("RDPROX: NL beyond its segments");
  }
  std::int32_t row_number = 0;
  for (std::int64_t i = 1; i <= rows; ++i) {
    // Row i holds the proximities of location i to locations 1..i-1, which
    // lie side by side in the packed matrix.
    std::span<double> earlier;
    if (i >= 2) {
      earlier = DZ.subspan(static_cast<std::size_t>(records::packed_index(1, i)),
                           static_cast<std::size_t>(i - 1));
    }
    input.read_matrix_row(row_number, NAMES[static_cast<std::size_t>(i - 1)], earlier);
  }
}

}  // namespace metclust::analysis
