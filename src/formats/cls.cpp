#include "formats/cls.hpp"

#include "records/layout.hpp"

namespace metclust::formats::cls {
namespace {

using records::Layout;

const Layout& counts_record() {
  static const Layout layout("(10I6)");
  return layout;
}
const Layout& title_record() {
  static const Layout layout("(A50)");
  return layout;
}
const Layout& option_record() {
  static const Layout layout("(4(5X,A1),I6)");
  return layout;
}
const Layout& integer_records() {
  static const Layout layout("(30I4)");
  return layout;
}

}  // namespace

void write_counts(records::RecordWriter& out, int unit, const RunSummary& s) {
  out.write(unit, counts_record(), {s.MAXY, s.MAXL, s.MAXG, s.IYS, s.IYF, s.NYA, s.NTM});
}

void write_title(records::RecordWriter& out, int unit, const Title& TITLE) {
  out.write(unit, title_record(), {std::string_view(TITLE.data(), TITLE.size())});
}

void write_options(records::RecordWriter& out, int unit, const Options& o, std::int32_t ISTRAT) {
  out.write(unit, option_record(),
            {std::string_view(&o.WEIGHT, 1), std::string_view(&o.PRXTYP, 1),
             std::string_view(&o.SEDTYP, 1), std::string_view(&o.CORTYP, 1), ISTRAT});
}

void write_integers(records::RecordWriter& out, int unit, std::span<const std::int32_t> values,
                    std::vector<records::Value>& buffer) {
  buffer.assign(values.begin(), values.end());
  out.write(unit, integer_records(), buffer);
}

void read_counts(records::RecordReader& in, int unit, std::span<std::int32_t, 7> c) {
  in.read(unit, counts_record(), {&c[0], &c[1], &c[2], &c[3], &c[4], &c[5], &c[6]});
}

void read_title(records::RecordReader& in, int unit, Title& TITLE) {
  in.read(unit, title_record(), {std::span<char>(TITLE)});
}

void read_options(records::RecordReader& in, int unit, Options& o, std::int32_t& ISTRAT) {
  in.read(unit, option_record(),
          {std::span<char>(&o.WEIGHT, 1), std::span<char>(&o.PRXTYP, 1),
           std::span<char>(&o.SEDTYP, 1), std::span<char>(&o.CORTYP, 1), &ISTRAT});
}

void read_integers(records::RecordReader& in, int unit, std::span<std::int32_t> values) {
  std::vector<records::Target> targets;
  targets.reserve(values.size());
  for (std::int32_t& value : values) targets.push_back(&value);
  in.read(unit, integer_records(), targets);
}

}  // namespace metclust::formats::cls
