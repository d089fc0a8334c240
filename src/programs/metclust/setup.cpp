#include "metclust/setup.hpp"

#include <algorithm>
#include <array>
#include <string>

#include "analysis/yrseq.hpp"
#include "formats/cls.hpp"
#include "formats/ema.hpp"
#include "formats/scl.hpp"
#include "records/record_writer.hpp"

namespace metclust::control {
namespace {

template <typename T>
bool check(records::RecordWriter& out, formats::WorkArray which, std::span<T> array,
           std::int64_t needed, const T& initial) {
  if (needed > static_cast<std::int64_t>(array.size())) {
    formats::scl::write_increase(out, records::kConsoleOut, which, needed);
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

SetupOutcome SETUP(records::ChannelTable& channels, const WorkArrays& work,
                   std::optional<std::int32_t> strategy) {
  namespace scl = formats::scl;
  records::RecordWriter out(channels);
  bool shortage = false;

  const formats::RunSummary h = formats::run_summary(formats::EmaReader(channels).read_run_header());
  const std::int64_t L = h.MAXL;

  scl::write_run_summary(out, records::kScl, h);
  formats::cls::write_counts(out, records::kCls, h);

  const formats::ArrayCounts need = formats::needed_counts(L);
  shortage |= !check(out, formats::WorkArray::DZ, work.DZ, need.DZ, 0.0);
  shortage |= !check(out, formats::WorkArray::Z, work.Z, need.Z, 0.0f);
  shortage |= !check(out, formats::WorkArray::MZ, work.MZ, need.MZ, std::int32_t{0});
  shortage |= !check(out, formats::WorkArray::AZ, work.AZ, need.AZ, records::kBlankName);

  const formats::ArrayCounts present = {
      static_cast<std::int64_t>(work.DZ.size()), static_cast<std::int64_t>(work.Z.size()),
      static_cast<std::int64_t>(work.MZ.size()), static_cast<std::int64_t>(work.AZ.size())};
  scl::write_dimension_report(out, records::kConsoleOut, present, need);
  scl::write_dimension_report(out, records::kScl, present, need);
  if (shortage) return {h.MAXL, true};

  // Below one location the segments would lie outside the arrays.
  if (L < 1) channels.fail(records::report::kLocationsBelowOne, records::kEma);
  analysis::YRSEQ(channels, storage_plan(work, L, h.NTM), h, strategy);
  return {h.MAXL, false};
}

}  // namespace metclust::control
