#include "analysis/output_groups.hpp"

#include <array>
#include <string>

#include "cluster/packed.hpp"

namespace metclust::analysis {
namespace {

using records::kCls;
using records::kConsoleOut;
using records::kScl;
using records::Layout;
using records::Value;

// The strategy texts, 30 characters each, blank-filled, in menu order.
constexpr std::array<std::string_view, 8> kStrategyNames = {
    " Nearest neighbour", " Furthest neighbour", " Group average",  " Median",
    " Centroid",          " Flexible WPGMA",     " Flexible UPGMA", " Incremental sum of squares",
};
constexpr std::size_t kStrategyTextLength = 30;

const std::array<std::string, 8>& strategy_texts() {
  static const std::array<std::string, 8> texts = [] {
    std::array<std::string, 8> padded;
    for (std::size_t k = 0; k < padded.size(); ++k) {
      padded[k] = std::string(kStrategyNames[k]);
      padded[k].resize(kStrategyTextLength, ' ');
    }
    return padded;
  }();
  return texts;
}

std::string_view view(const Title& title) { return {title.data(), title.size()}; }
std::string_view view(const char& letter) { return {&letter, 1}; }

}  // namespace

std::string_view strategy_text(std::int32_t ISTRAT) {
  // Numbers outside the menu are clustered as strategy 1, and shown so.
  const std::int32_t k = ISTRAT >= 1 && ISTRAT <= 8 ? ISTRAT : 1;
  return strategy_texts()[static_cast<std::size_t>(k - 1)];
}

void OutputGroups::job_records(const Title& TITLE) {
  static const Layout empty("()");
  static const Layout job_line(R"((" Job is ",A50))");
  static const Layout title_record("(A50)");
  out_.write(kScl, empty, {});
  out_.write(kScl, job_line, {view(TITLE)});
  out_.write(kCls, title_record, {view(TITLE)});
  out_.write(kConsoleOut, job_line, {view(TITLE)});
}

void OutputGroups::strategy_menu() {
  static const Layout question("(A30)");
  static const Layout menu_line(R"~((A30," Type (",I1,")"))~");
  out_.write(kConsoleOut, question, {std::string_view(" Which clustering strategety? ")});
  for (std::int32_t k = 1; k <= 8; ++k) out_.write(kConsoleOut, menu_line, {strategy_text(k), k});
}

void OutputGroups::option_echo(const Options& options, std::int32_t ISTRAT) {
  static const Layout echo(
      R"((" Weighted (W) or unweighted (U) analysis (WEIGHT) ",A1,/,)"
      R"(" SED (S) or COR (C) measure              (PRXTYP) ",A1,/,)"
      R"(" Centered (C) or standardized (S) SED    (SEDTYP) ",A1,/,)"
      R"(" Normal (N) or Z (Z) average correlation (CORTYP) ",A1,/,)"
      R"(" Clustering strategy: ",A30))");
  static const Layout option_record("(4(5X,A1),I6)");
  const std::array<Value, 5> items = {view(options.WEIGHT), view(options.PRXTYP),
                                      view(options.SEDTYP), view(options.CORTYP),
                                      strategy_text(ISTRAT)};
  out_.write(kConsoleOut, echo, items);
  out_.write(kScl, echo, items);
  out_.write(kCls, option_record,
             {view(options.WEIGHT), view(options.PRXTYP), view(options.SEDTYP),
              view(options.CORTYP), ISTRAT});
}

void OutputGroups::sequence_records(std::int32_t IYS, std::int32_t IYF) {
  static const Layout sequence_record("(30I4)");
  static const Layout empty("()");
  static const Layout sequence_line(R"((" Sequence starts in year ",I3," & finishes in year ",I3))");
  out_.write(kCls, sequence_record, {IYS, IYF});
  out_.write(kScl, empty, {});
  out_.write(kScl, sequence_line, {IYS, IYF});
  out_.write(kConsoleOut, sequence_line, {IYS, IYF});
}

void OutputGroups::message(std::string_view text) {
  static const Layout line("(A)");
  out_.write(kScl, line, {text});
  out_.write(kConsoleOut, line, {text});
}

void OutputGroups::year_records(std::int32_t IYEAR, const records::Name& YLABEL) {
  static const Layout year_record("(I6,4X,A8)");
  static const Layout year_line(R"((/,"   For year ",A8))");
  out_.write(kCls, year_record, {IYEAR, records::view(YLABEL)});
  out_.write(kScl, year_line, {records::view(YLABEL)});
  out_.write(kConsoleOut, year_line, {records::view(YLABEL)});
}

void OutputGroups::retained_count(std::int32_t NL) {
  static const Layout count_record("(30I4)");
  out_.write(kCls, count_record, {NL});
}

void OutputGroups::elimination_vector(std::span<const std::int32_t> ELIM) {
  static const Layout vector_records("(30I4)");
  values_.assign(ELIM.begin(), ELIM.end());
  out_.write(kCls, vector_records, values_);
}

void OutputGroups::matrix_echo(std::span<const double> PII, std::span<const records::Name> NAMES,
                               std::int32_t NL) {
  static const Layout heading("(A)");
  static const Layout row("(I6,1X,A8,1X,(T17,10E16.8))");
  out_.write(kScl, heading, {std::string_view("   NL# Location     PII((I2=I1+1,NL),I1=2,NL-1)")});
  for (std::int32_t i = 1; i <= NL; ++i) {
    values_.clear();
    values_.emplace_back(i);
    values_.emplace_back(records::view(NAMES[static_cast<std::size_t>(i - 1)]));
    for (std::int32_t j = i + 1; j <= NL; ++j) values_.emplace_back(cluster::pair_at(PII, i, j));
    out_.write(kScl, row, values_);
  }
}

void OutputGroups::fusion_heading() {
  static const Layout line("(A)");
  out_.write(kScl, line, {std::string_view("    Gpi + Gpj = Gpij     D(ij)")});
}

}  // namespace metclust::analysis
