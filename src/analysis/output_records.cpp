#include "analysis/output_records.hpp"

#include "cluster/dendro.hpp"
#include "cluster/segment.hpp"
#include "formats/cls.hpp"
#include "formats/node_names.hpp"
#include "formats/scl.hpp"
#include "records/packed.hpp"

namespace metclust::analysis {

using records::kCls;
using records::kConsoleOut;
using records::kPcl;
using records::kScl;
namespace scl = formats::scl;
namespace cls = formats::cls;

void OutputRecords::job_records(const formats::Title& TITLE) {
  scl::write_empty(out_, kScl);
  scl::write_job_line(out_, kScl, TITLE);
  cls::write_title(out_, kCls, TITLE);
  scl::write_job_line(out_, kConsoleOut, TITLE);
}

void OutputRecords::strategy_menu() { scl::write_strategy_menu(out_, kConsoleOut); }

void OutputRecords::option_echo(const formats::Options& options, std::int32_t ISTRAT) {
  scl::write_option_echo(out_, kConsoleOut, options, ISTRAT);
  scl::write_option_echo(out_, kScl, options, ISTRAT);
  cls::write_options(out_, kCls, options, ISTRAT);
}

void OutputRecords::sequence_records(std::int32_t IYS, std::int32_t IYF) {
  const std::int32_t sequence[] = {IYS, IYF};
  cls::write_integers(out_, kCls, sequence, values_);
  scl::write_empty(out_, kScl);
  scl::write_sequence_line(out_, kScl, IYS, IYF);
  scl::write_sequence_line(out_, kConsoleOut, IYS, IYF);
}

void OutputRecords::message(std::string_view text) {
  scl::write_message(out_, kScl, text);
  scl::write_message(out_, kConsoleOut, text);
}

void OutputRecords::year_records(std::int32_t IYEAR, const records::Name& YLABEL) {
  formats::write_year_record(out_, kCls, IYEAR, YLABEL);
  scl::write_year_line(out_, kScl, YLABEL);
  scl::write_year_line(out_, kConsoleOut, YLABEL);
}

void OutputRecords::retained_count(std::int32_t NL) {
  cls::write_integers(out_, kCls, std::span<const std::int32_t>(&NL, 1), values_);
}

void OutputRecords::elimination_vector(std::span<const std::int32_t> ELIM) {
  cls::write_integers(out_, kCls, ELIM, values_);
}

void OutputRecords::matrix_echo(std::span<const double> PII, std::span<const records::Name> NAMES,
                                std::int32_t NL) {
  scl::write_matrix_heading(out_, kScl);
  for (std::int32_t i = 1; i <= NL; ++i) {
    row_.clear();
    for (std::int32_t j = i + 1; j <= NL; ++j) row_.push_back(records::pair_at(PII, i, j));
    scl::write_matrix_row(out_, kScl, i, NAMES[static_cast<std::size_t>(i - 1)], row_, values_);
  }
}

void OutputRecords::fusion_heading() { scl::write_fusion_heading(out_, kScl); }

void OutputRecords::plot_group(const WorkSegments& work, std::int32_t IYEAR, std::int32_t NL,
                               std::string_view TITLE) {
  formats::pcl::GroupWriter group(out_, kPcl);
  // The year's groups take their names from their node numbers; the node
  // table's segments are the work space's, written through the view.
  for (std::int64_t k = NL + 1; k <= 2 * static_cast<std::int64_t>(NL) - 1; ++k) {
    cluster::at1(work.NODNAM, k) = formats::GRPNAM(static_cast<std::int32_t>(k));
  }
  // The node table, slot by slot, is the year's node listing.
  nodes_.clear();
  if (NL >= 2) {
    for (std::int64_t c = 1; c <= 2 * static_cast<std::int64_t>(NL) - 1; ++c) {
      nodes_.push_back({cluster::at1(work.XNODE, c), cluster::at1(work.YNODE, c),
                        cluster::at1(work.NODLAB, c), cluster::at1(work.NODNAM, c)});
    }
  }
  group.header(IYEAR, NL, TITLE, nodes_);
  for (std::int32_t s = 1; s <= NL - 1; ++s) {
    const auto [a, b] = cluster::JOINED(work.NODLAB, work.HIST, NL, s);
    group.fusion(nodes_.at(static_cast<std::size_t>(a) - 1),
                 nodes_.at(static_cast<std::size_t>(NL + s) - 1),
                 nodes_.at(static_cast<std::size_t>(b) - 1));
  }
}

void FusionListing::fusion(std::int32_t label_i, std::int32_t label_j, std::int32_t label_new,
                           double dmin) {
  const formats::FusionRecord record{label_i, label_j, label_new, dmin};
  formats::write_fusion(out_, kScl, record);
  formats::write_fusion(out_, kCls, record);
}

}  // namespace metclust::analysis
