#include "control/setup.hpp"

#include <algorithm>
#include <array>
#include <string>

#include "analysis/yrseq.hpp"
#include "records/free_form_reader.hpp"
#include "records/record_writer.hpp"

namespace metclust::control {
namespace {

using records::Layout;

struct Need {
  std::int64_t DZ, Z, MZ, AZ;
};

// Every count is formed in 8 bytes, so no MAXL can overflow it.
Need needed_counts(std::int64_t L, std::int64_t NTM) {
  return {NTM + 1, 4 * L - 1, 8 * L - 2, 3 * L};
}

template <typename T>
bool check(records::RecordWriter& out, const Layout& message, std::span<T> array,
           std::int64_t needed, const T& initial) {
  if (needed > static_cast<std::int64_t>(array.size())) {
    out.write(records::kConsoleOut, message, {needed});
    return false;
  }
  if (needed > 0) std::fill_n(array.begin(), needed, initial);
  return true;
}

// The storage plan: each array cut end to end into the named segments, for
// L = MAXL >= 1 locations.
analysis::WorkSegments storage_plan(const WorkArrays& work, std::int64_t L, std::int64_t NTM) {
  auto cut = [](auto array, std::int64_t first, std::int64_t count) {
    return array.subspan(static_cast<std::size_t>(first), static_cast<std::size_t>(count));
  };
  analysis::WorkSegments s;
  s.DZ = cut(work.DZ, 0, NTM + 1);
  s.XNODE = cut(work.Z, 0, 2 * L - 1);
  s.YNODE = cut(work.Z, 2 * L - 1, 2 * L);
  s.LABEL = cut(work.MZ, 0, L);
  s.NODLAB = cut(work.MZ, L, 2 * L - 1);
  s.G = cut(work.MZ, 3 * L - 1, L);
  s.ORDER = cut(work.MZ, 4 * L - 1, L);
  s.HIST = cut(work.MZ, 5 * L - 1, 2 * L - 2);
  s.ELIM = cut(work.MZ, 7 * L - 3, L + 1);
  s.NAMES = cut(work.AZ, 0, L);
  s.NODNAM = cut(work.AZ, L, 2 * L);
  return s;
}

}  // namespace

void SETUP(records::ChannelTable& channels, const WorkArrays& work) {
  static const Layout summary(
      R"((" Maximum number of years in data set             (MAXY) = ",I6,/,)"
      R"(" Maximum number of locations in data set         (MAXL) = ",I6,/,)"
      R"(" Maximum number of genotypes in data set         (MAXG) = ",I6,/,)"
      R"(" Year sequential analyses starts                  (IYS) = ",I6,/,)"
      R"(" Year sequential analyses finishes                (IYF) = ",I6,/,)"
      R"(" Number of years in analysis                      (NYA) = ",I6,/,)"
      R"(" Number of elements in LxL upper triagular matrix (NTM) = ",I6))");
  static const Layout counts("(10I6)");
  static const Layout increase_dz(R"((" INCREASE DIMENSION OF DZ ARRAY TO",I8))");
  static const Layout increase_z(R"((" INCREASE DIMENSION OF Z ARRAY TO",I8))");
  static const Layout increase_mz(R"((" INCREASE DIMENSION OF MZ ARRAY TO",I8))");
  static const Layout increase_az(R"((" INCREASE DIMENSION OF AZ ARRAY TO",I8))");
  static const Layout dimensions(
      R"((/," DIMENSIONS OF ARRAYS:",/," PRESENT DIMENSIONS:  DZ=",I6," Z=",I6," MZ=",I6,)"
      R"(" AZ=",I6,/," DIMENSIONS REQUIRED: DZ=",I6," Z=",I6," MZ=",I6," AZ=",I6))");

  records::RecordWriter out(channels);
  bool shortage = false;

  std::array<std::int32_t, 5> values{};  // a slash leaves the rest at 0
  records::FreeFormReader(channels).read(records::kEma, values);
  analysis::RunHeader h;
  h.MAXY = values[0];
  h.MAXL = values[1];
  h.MAXG = values[2];
  h.IYS = values[3];
  h.IYF = values[4];
  const std::int64_t L = h.MAXL;
  h.NYA = std::int64_t{h.IYF} - h.IYS + 1;
  h.NTM = L * (L + 1) / 2;

  out.write(records::kScl, summary,
            {h.MAXY, h.MAXL, h.MAXG, h.IYS, h.IYF, h.NYA, h.NTM});
  out.write(records::kCls, counts, {h.MAXY, h.MAXL, h.MAXG, h.IYS, h.IYF, h.NYA, h.NTM});

  const Need need = needed_counts(L, h.NTM);
  shortage |= !check(out, increase_dz, work.DZ, need.DZ, 0.0);
  shortage |= !check(out, increase_z, work.Z, need.Z, 0.0f);
  shortage |= !check(out, increase_mz, work.MZ, need.MZ, std::int32_t{0});
  shortage |= !check(out, increase_az, work.AZ, need.AZ, records::kBlankName);

  const std::initializer_list<records::Value> report = {
      static_cast<std::int64_t>(work.DZ.size()), static_cast<std::int64_t>(work.Z.size()),
      static_cast<std::int64_t>(work.MZ.size()), static_cast<std::int64_t>(work.AZ.size()),
      need.DZ, need.Z, need.MZ, need.AZ};
  out.write(records::kConsoleOut, dimensions, report);
  out.write(records::kScl, dimensions, report);
  if (shortage) return;

  // Below one location the segments would lie outside the arrays.
  if (L < 1) {
    channels.fail_with_text(kLocationsBelowOne, "run header gives MAXL below 1, unit 20, file " +
                                                    channels.name_of(records::kEma));
  }
  analysis::YRSEQ(channels, storage_plan(work, L, h.NTM), h);
}

}  // namespace metclust::control
