#include "analysis/yrseq.hpp"

#include "analysis/output_records.hpp"
#include "analysis/year_data.hpp"
#include "cluster/agglom.hpp"
#include "cluster/dendro.hpp"
#include "formats/ema.hpp"
#include "formats/node_names.hpp"
#include "records/free_form_reader.hpp"
#include "records/record_writer.hpp"

namespace metclust::analysis {
namespace {

// Strategies 6 and 7 always run with the flexibility parameter at 0.
constexpr double BETA = 0.0;

}  // namespace

void YRSEQ(records::ChannelTable& channels, const WorkSegments& work, const formats::RunSummary& header,
           std::optional<std::int32_t> strategy) {
  records::RecordWriter out(channels);
  OutputRecords groups(out);
  formats::EmaReader input(channels);
  records::FreeFormReader console(channels);

  const formats::Title TITLE = input.read_title();
  groups.job_records(TITLE);
  std::int32_t ISTRAT = 0;
  if (strategy) {
    ISTRAT = *strategy;
  } else {
    groups.strategy_menu();
    console.read(records::kConsoleIn, std::span<std::int32_t>(&ISTRAT, 1));
  }
  const formats::Options options = input.read_options();
  groups.option_echo(options, ISTRAT);
  groups.sequence_records(header.IYS, header.IYF);
  groups.message(" For each year");

  const std::string_view title(TITLE.data(), TITLE.size());
  const auto MAXL = static_cast<std::size_t>(header.MAXL);
  std::int32_t IYEAR = 0;
  records::Name YLABEL = records::kBlankName;
  std::int32_t NL = 0;
  FusionListing listing(out);
  while (input.read_year(IYEAR, YLABEL)) {
    groups.year_records(IYEAR, YLABEL);
    groups.message(" Read number of locations retained in year");
    input.read_count(NL);
    // The segments hold MAXL locations; a year beyond them is refused before
    // anything of it is stored.
    if (NL < 1 || NL > header.MAXL) {
      channels.fail(records::report::kLocationsOutOfRange, records::kEma, {IYEAR});
    }
    // The plot records number the year's 2NL - 1 nodes in three columns: a
    // larger year is refused before anything of it is stored, so that no
    // output holds a node it cannot name.
    if (NL > formats::kMaxYearLocations) {
      channels.fail(records::report::kYearBeyondPlotRecords, records::kEma,
                    {IYEAR, NL, formats::kMaxYearLocations});
    }
    groups.retained_count(NL);
    groups.message(" Read elimination vector");
    const std::span<std::int32_t> ELIM = work.ELIM.first(MAXL);
    input.read_elimination(ELIM);
    groups.elimination_vector(ELIM);
    groups.message(" Read cummulative proximity matrix");
    RDPROX(input, work.DZ, work.NAMES, header.NTM, NL);
    groups.matrix_echo(work.DZ, work.NAMES, NL);
    groups.message(" Cluster locations");
    groups.fusion_heading();
    if (!cluster::AGGLOM(work.DZ, work.G, work.LABEL, work.HIST, NL, BETA, ISTRAT, listing)) {
      channels.fail(records::report::kNoPairBelowCeiling, records::kEma, {IYEAR});
    }
    groups.message(" Calculate dendrogram");
    cluster::DENDRO(work.XNODE, work.YNODE, work.NAMES, work.NODNAM, work.LABEL, work.NODLAB,
                    work.G, work.ORDER, work.HIST, header.MAXL, NL);
    groups.plot_group(work, IYEAR, NL, title);
  }
}

}  // namespace metclust::analysis
