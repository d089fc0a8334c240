#include "formats/scl.hpp"

#include <array>

#include "formats/strategies.hpp"
#include "records/layout.hpp"

namespace metclust::formats {

using records::Layout;
using records::Value;

namespace scl {
namespace {

std::string_view view(const Title& title) { return {title.data(), title.size()}; }
std::string_view view(const char& letter) { return {&letter, 1}; }

}  // namespace

void write_run_summary(records::RecordWriter& out, int unit, const RunSummary& s) {
  static const Layout layout(
      R"((" Maximum number of years in data set             (MAXY) = ",I6,/,)"
      R"(" Maximum number of locations in data set         (MAXL) = ",I6,/,)"
      R"(" Maximum number of genotypes in data set         (MAXG) = ",I6,/,)"
      R"(" Year sequential analyses starts                  (IYS) = ",I6,/,)"
      R"(" Year sequential analyses finishes                (IYF) = ",I6,/,)"
      R"(" Number of years in analysis                      (NYA) = ",I6,/,)"
      R"(" Number of elements in LxL upper triagular matrix (NTM) = ",I6))");
  out.write(unit, layout, {s.MAXY, s.MAXL, s.MAXG, s.IYS, s.IYF, s.NYA, s.NTM});
}

void write_increase(records::RecordWriter& out, int unit, WorkArray array, std::int64_t needed) {
  static const std::array<Layout, 4> layouts = {
      Layout(R"((" INCREASE DIMENSION OF DZ ARRAY TO",I8))"),
      Layout(R"((" INCREASE DIMENSION OF Z ARRAY TO",I8))"),
      Layout(R"((" INCREASE DIMENSION OF MZ ARRAY TO",I8))"),
      Layout(R"((" INCREASE DIMENSION OF AZ ARRAY TO",I8))"),
  };
  out.write(unit, layouts[static_cast<std::size_t>(array)], {needed});
}

void write_dimension_report(records::RecordWriter& out, int unit, const ArrayCounts& present,
                            const ArrayCounts& required) {
  static const Layout layout(
      R"((/," DIMENSIONS OF ARRAYS:",/," PRESENT DIMENSIONS:  DZ=",I6," Z=",I6," MZ=",I6,)"
      R"(" AZ=",I6,/," DIMENSIONS REQUIRED: DZ=",I6," Z=",I6," MZ=",I6," AZ=",I6))");
  out.write(unit, layout,
            {present.DZ, present.Z, present.MZ, present.AZ, required.DZ, required.Z, required.MZ,
             required.AZ});
}

void write_empty(records::RecordWriter& out, int unit) {
  static const Layout layout("()");
  out.write(unit, layout, {});
}

void write_job_line(records::RecordWriter& out, int unit, const Title& TITLE) {
  static const Layout layout(R"((" Job is ",A50))");
  out.write(unit, layout, {view(TITLE)});
}

void write_strategy_menu(records::RecordWriter& out, int unit) {
  static const Layout question("(A30)");
  static const Layout menu_line(R"~((A30," Type (",I1,")"))~");
  out.write(unit, question, {std::string_view(" Which clustering strategety? ")});
  for (std::int32_t k = 1; k <= 8; ++k) out.write(unit, menu_line, {strategy_text(k), k});
}

void write_option_echo(records::RecordWriter& out, int unit, const Options& options,
                       std::int32_t ISTRAT) {
  static const Layout layout(
      R"((" Weighted (W) or unweighted (U) analysis (WEIGHT) ",A1,/,)"
      R"(" SED (S) or COR (C) measure              (PRXTYP) ",A1,/,)"
      R"(" Centered (C) or standardized (S) SED    (SEDTYP) ",A1,/,)"
      R"(" Normal (N) or Z (Z) average correlation (CORTYP) ",A1,/,)"
      R"(" Clustering strategy: ",A30))");
  out.write(unit, layout,
            {view(options.WEIGHT), view(options.PRXTYP), view(options.SEDTYP),
             view(options.CORTYP), strategy_text(ISTRAT)});
}

void write_sequence_line(records::RecordWriter& out, int unit, std::int32_t IYS,
                         std::int32_t IYF) {
  static const Layout layout(R"((" Sequence starts in year ",I3," & finishes in year ",I3))");
  out.write(unit, layout, {IYS, IYF});
}

void write_message(records::RecordWriter& out, int unit, std::string_view text) {
  static const Layout layout("(A)");
  out.write(unit, layout, {text});
}

void write_year_line(records::RecordWriter& out, int unit, const records::Name& YLABEL) {
  static const Layout layout(R"((/,"   For year ",A8))");
  out.write(unit, layout, {records::view(YLABEL)});
}

void write_matrix_heading(records::RecordWriter& out, int unit) {
  write_message(out, unit, "   NL# Location     PII((I2=I1+1,NL),I1=2,NL-1)");
}

void write_matrix_row(records::RecordWriter& out, int unit, std::int32_t i,
                      const records::Name& name, std::span<const double> later,
                      std::vector<Value>& values) {
  static const Layout layout("(I6,1X,A8,1X,(T17,10E16.8))");
  values.clear();
  values.emplace_back(i);
  values.emplace_back(records::view(name));
  for (const double value : later) values.emplace_back(value);
  out.write(unit, layout, values);
}

void write_fusion_heading(records::RecordWriter& out, int unit) {
  write_message(out, unit, "    Gpi + Gpj = Gpij     D(ij)");
}

}  // namespace scl

namespace {
const Layout& fusion_record() {
  static const Layout layout(R"((3X,I4,1X,"+",I4,1X,"=",I4,1X,E16.8))");
  return layout;
}
}  // namespace

void write_fusion(records::RecordWriter& out, int unit, const FusionRecord& fusion) {
  out.write(unit, fusion_record(), {fusion.first, fusion.second, fusion.made, fusion.level});
}

bool read_fusion(records::RecordReader& in, int unit, FusionRecord& fusion,
                 records::AtEnd at_end) {
  return in.read(unit, fusion_record(), {&fusion.first, &fusion.second, &fusion.made, &fusion.level},
                 at_end);
}

}  // namespace metclust::formats
