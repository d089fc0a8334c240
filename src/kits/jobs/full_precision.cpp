#include "jobs/full_precision.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <utility>

#include "cli/command_line.hpp"
#include "cli/input_files.hpp"
#include "cluster/agglom.hpp"
#include "cluster/fusion_sink.hpp"
#include "cluster/tie_watch.hpp"
#include "formats/ema.hpp"
#include "records/channel_table.hpp"
#include "records/located_error.hpp"
#include "records/number_text.hpp"
#include "records/packed.hpp"
#include "records/text.hpp"

namespace metclust::jobs {
namespace {

using records::decimal;

// The largest MAXL that any build of metclust holds (formats/capacity.hpp):
// a run header asking for more was never clustered, and its elimination
// vector is not worth the memory.
constexpr std::int32_t kLargestMaxl = 16000;

// Strategies 6 and 7 run with the flexibility parameter at 0, as in a run.
constexpr double kBeta = 0.0;

std::string trimmed_name(const records::Name& name) {
  std::string text(records::view(name));
  text.erase(text.find_last_not_of(' ') + 1);
  return text;
}

// Blanks at both ends removed, as a title and a year label are shown.
std::string trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

struct Collect : cluster::FusionSink {
  std::vector<formats::FusionRecord> fusions;
  void fusion(std::int32_t label_i, std::int32_t label_j, std::int32_t label_new,
              double dmin) override {
    fusions.push_back({label_i, label_j, label_new, dmin});
  }
};

// True when `printed` is `engine` as an E16.8 field writes it: the two agree
// to within half a unit of the eighth significant digit (with a little room
// for the decimal reading of the printed digits).
bool printed_as(double engine, double printed) {
  if (!std::isfinite(engine)) return false;
  return std::fabs(engine - printed) <= 6e-8 * std::fmax(std::fabs(engine), std::fabs(printed));
}

// Why the year's fusions from its proximities are not those of its tree at
// the .CLS file's levels, or an empty text when they are; `fusions` then
// holds them at the engine's levels and `ties` which were chosen among
// equal minima.
std::string recluster(const YearMatrix& matrix, const trees::Tree& printed, std::int32_t strategy,
                      std::vector<trees::Fusion>& fusions, std::vector<bool>& ties) {
  const auto n = static_cast<std::int32_t>(matrix.names.size());
  std::vector<double> work = matrix.proximities;
  Collect sink;
  if (n >= 2) {
    std::vector<std::int32_t> sizes(static_cast<std::size_t>(n));
    std::vector<std::int32_t> labels(static_cast<std::size_t>(n));
    std::vector<std::int32_t> history(2 * (static_cast<std::size_t>(n) - 1));
    cluster::TieWatch watch(work, sizes, n, sink);
    if (!cluster::AGGLOM(work, sizes, labels, history, n, kBeta, strategy, watch)) {
      return "a fusion finds no pair at or below the search ceiling";
    }
    ties = watch.ties();
  }
  if (sink.fusions.size() != printed.fusions().size()) {
    return decimal(static_cast<std::int64_t>(sink.fusions.size())) + " fusions, the .CLS file has " +
           decimal(static_cast<std::int64_t>(printed.fusions().size()));
  }
  fusions.clear();
  for (std::size_t s = 0; s < sink.fusions.size(); ++s) {
    const formats::FusionRecord& mine = sink.fusions[s];
    const trees::Fusion& theirs = printed.fusions()[s];
    const std::string which = "fusion " + decimal(static_cast<std::int64_t>(s) + 1);
    if (mine.first != theirs.first || mine.second != theirs.second ||
        mine.made != printed.locations() + static_cast<std::int32_t>(s) + 1) {
      return which + " joins " + decimal(mine.first) + " and " + decimal(mine.second) +
             ", the .CLS file " + decimal(theirs.first) + " and " + decimal(theirs.second);
    }
    if (!printed_as(mine.level, theirs.level)) {
      return which + " lies at " + (std::isfinite(mine.level) ? records::shortest_text(mine.level)
                                                               : std::string("no finite level")) +
             ", the .CLS file says " + records::shortest_text(theirs.level);
    }
    fusions.push_back({mine.first, mine.second, mine.level});
  }
  return {};
}

// An .EMA file's bytes, read record by record with metclust's readers.
struct EmaSource {
  records::ChannelTable channels{
      records::ConsoleStreams{records::ConsoleStreams::kNowhere, records::ConsoleStreams::kNowhere, 2},
      records::ChannelTable::Failures::Throw};
  formats::EmaReader reader{channels};

  EmaSource(std::string_view bytes, const std::string& file) {
    channels.open_bytes(records::kEma, file, std::string(bytes));
  }
};

// The matrix rows of a year group whose year record, count and elimination
// vector have been read.
YearMatrix read_matrix(formats::EmaReader& reader, std::int32_t IYEAR, const records::Name& YLABEL,
                       std::int64_t line, std::int32_t NL) {
  YearMatrix year;
  year.year = IYEAR;
  year.label = trimmed(records::view(YLABEL));
  year.line = line;
  year.proximities.assign(static_cast<std::size_t>(records::packed_size(NL)), 0.0);
  for (std::int32_t i = 1; i <= NL; ++i) {
    std::int32_t number = 0;
    records::Name name = records::kBlankName;
    std::span<double> earlier;
    if (i >= 2) {
      earlier = std::span<double>(year.proximities)
                    .subspan(static_cast<std::size_t>(records::packed_index(1, i)),
                             static_cast<std::size_t>(i - 1));
    }
    reader.read_matrix_row(number, name, earlier);
    year.names.push_back(trimmed_name(name));
  }
  return year;
}

}  // namespace

EmaYears read_every_ema_year(std::string_view bytes, const std::string& file) {
  EmaYears result;
  result.file = file;
  EmaSource ema(bytes, file);
  formats::EmaReader& reader = ema.reader;
  const auto line = [&] { return ema.channels.record_number(records::kEma); };

  const formats::RunHeaderValues header = reader.read_run_header();
  if (header.MAXL < 1 || header.MAXL > kLargestMaxl) {
    throw records::LocatedError(file, line(), 0,
                                "its run header asks for room for " + decimal(header.MAXL) +
                                    " locations (MAXL), which no run holds");
  }
  const formats::Title title = reader.read_title();
  result.title = trimmed(std::string_view(title.data(), title.size()));
  reader.read_options();
  std::vector<std::int32_t> elimination(static_cast<std::size_t>(header.MAXL), 0);
  std::int32_t NL = 0;  // kept from year to year, as a run keeps it
  std::int32_t IYEAR = 0;
  records::Name YLABEL = records::kBlankName;
  while (reader.read_year(IYEAR, YLABEL)) {
    const std::int64_t year_line = line();
    reader.read_count(NL);
    if (NL < 1 || NL > header.MAXL) {
      throw records::LocatedError(file, line(), 0,
                                  "year " + decimal(IYEAR) + " retains " + decimal(NL) +
                                      " locations, not 1 to MAXL " + decimal(header.MAXL));
    }
    // A record holds ten values and ends in a byte at least.
    if (records::packed_size(NL) > 10 * static_cast<std::int64_t>(bytes.size())) {
      throw records::LocatedError(file, line(), 0,
                                  "year " + decimal(IYEAR) + ": the file is too short for the matrix of " +
                                      decimal(NL) + " locations");
    }
    reader.read_elimination(elimination);
    result.years.push_back(read_matrix(reader, IYEAR, YLABEL, year_line, NL));
  }
  return result;
}

Year matrix_year(const YearMatrix& matrix, std::string column, std::string title, trees::Tree tree) {
  Year year;
  year.year = matrix.year;
  year.column = std::move(column);
  year.label = matrix.label;
  year.title = std::move(title);
  year.line = matrix.line;
  year.tree = std::move(tree);
  year.at_levels = true;
  const std::vector<std::string_view> fields(matrix.names.begin(), matrix.names.end());
  give_names(year, fields);
  return year;
}

EmaYears read_ema_years(std::string_view bytes, const std::string& file,
                        std::span<const Year> job_years) {
  EmaYears result;
  result.file = file;
  EmaSource ema(bytes, file);
  formats::EmaReader& reader = ema.reader;
  records::ChannelTable& channels = ema.channels;

  const formats::RunHeaderValues header = reader.read_run_header();
  if (header.MAXL < 1 || header.MAXL > kLargestMaxl) {
    result.stop = "its run header asks for room for " + decimal(header.MAXL) +
                  " locations (MAXL), which no run holds";
    return result;
  }
  if (job_years.empty()) return result;
  const formats::Title title = reader.read_title();
  result.title = trimmed(std::string_view(title.data(), title.size()));
  reader.read_options();
  std::vector<std::int32_t> elimination(static_cast<std::size_t>(header.MAXL), 0);
  std::int32_t NL = 0;  // kept from year to year, as a run keeps it
  for (const Year& expected : job_years) {
    const std::int32_t locations = expected.tree.locations();
    std::int32_t IYEAR = 0;
    records::Name YLABEL = records::kBlankName;
    if (!reader.read_year(IYEAR, YLABEL)) {
      result.stop = "the file ends before year " + decimal(expected.year);
      return result;
    }
    const std::int64_t line = channels.record_number(records::kEma);
    if (IYEAR != expected.year) {
      result.stop = "year " + decimal(IYEAR) + " stands where the job has year " +
                    decimal(expected.year) + " (line " + decimal(line) + ")";
      return result;
    }
    reader.read_count(NL);
    if (NL != locations || NL < 1 || NL > header.MAXL) {
      result.stop = "year " + decimal(IYEAR) + " retains " + decimal(NL) +
                    " locations, the job's year " + decimal(locations) + " (line " +
                    decimal(channels.record_number(records::kEma)) + ")";
      return result;
    }
    reader.read_elimination(elimination);
    YearMatrix year = read_matrix(reader, IYEAR, YLABEL, line, NL);
    result.years.push_back(std::move(year));
  }
  return result;
}

std::optional<EmaYears> read_ema_file(const std::string& ema_file,
                                      std::span<const Year> job_years) {
  const std::optional<std::string> bytes = cli::read_file_if_present(ema_file);
  if (!bytes) return std::nullopt;
  return read_ema_years(*bytes, ema_file, job_years);
}

PrecisionOutcome full_precision_levels(JobFiles& files, const EmaYears* ema,
                                       const std::string& ema_file,
                                       const std::string& cluster_file) {
  if (!files.strategy) throw std::logic_error("full precision without the .CLS file");
  PrecisionOutcome outcome;
  outcome.engine.assign(files.years.size(), false);
  outcome.ties.assign(files.years.size(), {});
  if (files.years.empty()) return outcome;
  if (ema == nullptr) {
    outcome.notes.push_back(ema_file + ": no such file; the fusion levels are those of " +
                            cluster_file + ", to 8 significant digits");
    return outcome;
  }
  const std::int32_t strategy = *files.strategy;
  std::vector<std::string> kept;  // years that keep their printed levels, with why
  for (std::size_t y = 0; y < files.years.size(); ++y) {
    Year& year = files.years[y];
    if (y >= ema->years.size()) {
      kept.push_back("year " + decimal(year.year) + " and after: " + ema->stop);
      break;
    }
    std::vector<trees::Fusion> fusions;
    std::vector<bool> ties;
    const std::string why = recluster(ema->years[y], year.tree, strategy, fusions, ties);
    if (!why.empty()) {
      kept.push_back("year " + decimal(year.year) + " (line " + decimal(ema->years[y].line) +
                     "): clustered again, " + why);
      continue;
    }
    year.tree = trees::Tree(year.tree.locations(), std::move(fusions));
    outcome.engine[y] = true;
    outcome.ties[y] = std::move(ties);
  }
  for (const std::string& why : kept) {
    outcome.notes.push_back(ema_file + ": " + why + "; its levels are those of " + cluster_file +
                            ", to 8 significant digits");
  }
  return outcome;
}

PrecisionOutcome job_full_precision_levels(JobFiles& files, const std::string& job,
                                           const std::optional<std::string>& given) {
  std::string ema_file = given.value_or(job + ".EMA");
  const std::string cluster_file = job + ".CLS";
  std::optional<EmaYears> ema;
  try {
    ema = read_ema_file(ema_file, files.years);
    if (!ema && given) throw cli::MissingFile(ema_file);
    // JOB-s1 ... JOB-s8, the runs of metclust --strategy all, share JOB.EMA.
    if (!ema && job.size() > 3 && job[job.size() - 3] == '-' && job[job.size() - 2] == 's' &&
        job.back() >= '1' && job.back() <= '8') {
      std::string shared = job.substr(0, job.size() - 3) + ".EMA";
      ema = read_ema_file(shared, files.years);
      if (ema) ema_file = std::move(shared);
    }
  } catch (const records::LocatedError& error) {
    PrecisionOutcome outcome = full_precision_levels(files, nullptr, ema_file, cluster_file);
    outcome.notes.assign(1, error.message() + "; the fusion levels are those of " + cluster_file +
                                ", to 8 significant digits");
    return outcome;
  } catch (const cli::FileError& error) {
    if (given) throw;
    PrecisionOutcome outcome = full_precision_levels(files, nullptr, ema_file, cluster_file);
    outcome.notes.assign(1, std::string(error.what()) + "; the fusion levels are those of " +
                                cluster_file + ", to 8 significant digits");
    return outcome;
  }
  return full_precision_levels(files, ema ? &*ema : nullptr, ema_file, cluster_file);
}

}  // namespace metclust::jobs
