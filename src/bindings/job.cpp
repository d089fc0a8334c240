#include "bindings/job.hpp"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <utility>

#ifndef _WIN32
#include <signal.h>
#endif

#include "bindings/hclust.hpp"
#include "records/packed.hpp"
#include "formats/ema.hpp"
#include "formats/job_results.hpp"
#include "records/channel_table.hpp"
#include "records/number_text.hpp"
#include "records/file_names.hpp"
#include "records/located_error.hpp"

namespace metclust::bindings {
namespace {

using records::decimal;

// A channel table readies the process for a program: a console that goes
// away must not end it by a signal (SIGPIPE, SIGXFSZ ignored). Inside R or
// Python the host's own handling is given back when the reading is done.
class HostSignals {
 public:
#ifndef _WIN32
  HostSignals() {
    ::sigaction(SIGPIPE, nullptr, &pipe_);
    ::sigaction(SIGXFSZ, nullptr, &file_size_);
  }
  ~HostSignals() {
    ::sigaction(SIGPIPE, &pipe_, nullptr);
    ::sigaction(SIGXFSZ, &file_size_, nullptr);
  }

 private:
  struct sigaction pipe_ {};
  struct sigaction file_size_ {};
#endif
};

std::string trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(' ');
  return std::string(text.substr(first, last - first + 1));
}

// The bytes of a file; nullopt when there is no such file.
std::optional<std::string> file_bytes(const std::string& name) {
  const std::filesystem::path path = records::path_of_name(name);
  std::error_code error;
  if (!std::filesystem::exists(path, error)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in.is_open()) throw std::runtime_error(name + ": cannot be opened");
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw std::runtime_error(name + ": cannot be read");
  return bytes;
}

std::string required_bytes(const std::string& name, std::string_view why) {
  std::optional<std::string> bytes = file_bytes(name);
  if (!bytes) throw MissingFile(name + ": no such file; " + std::string(why));
  return std::move(*bytes);
}

// One year group of an .EMA file, clustered.
struct EmaYear {
  std::int32_t year = 0;
  std::string label;
  std::vector<std::string> names;
  std::vector<trees::Fusion> fusions;
};

struct EmaJob {
  std::string title;
  std::vector<EmaYear> years;
};

// Reads the .EMA file record by record with metclust's readers and clusters
// each year as a run does.
EmaJob cluster_ema(std::string bytes, const std::string& file, std::int32_t strategy) {
  const auto size = static_cast<std::int64_t>(bytes.size());
  records::ChannelTable channels(
      {records::ConsoleStreams::kNowhere, records::ConsoleStreams::kNowhere, 2},
      records::ChannelTable::Failures::Throw);
  channels.open_bytes(records::kEma, file, std::move(bytes));
  formats::EmaReader in(channels);
  const auto line = [&] { return channels.record_number(records::kEma); };

  const formats::RunHeaderValues header = in.read_run_header();
  // Each of the MAXL values of an elimination vector takes a byte at least.
  if (header.MAXL < 1 || header.MAXL > size) {
    throw records::LocatedError(file, line(), 0,
                                "MAXL " + decimal(header.MAXL) + " is no number of locations this file can hold");
  }
  EmaJob job;
  const formats::Title title = in.read_title();
  job.title = trimmed(std::string_view(title.data(), title.size()));
  in.read_options();
  std::vector<std::int32_t> ELIM(static_cast<std::size_t>(header.MAXL));
  std::int32_t NL = 0;  // kept from year to year, as a run keeps it
  std::int32_t IYEAR = 0;
  records::Name YLABEL = records::kBlankName;
  while (in.read_year(IYEAR, YLABEL)) {
    EmaYear year;
    year.year = IYEAR;
    year.label = trimmed(records::view(YLABEL));
    in.read_count(NL);
    if (NL < 1 || NL > header.MAXL) {
      throw records::LocatedError(file, line(), 0,
                                  "year " + decimal(IYEAR) + " retains " + decimal(NL) +
                                      " locations, not 1 to MAXL " + decimal(header.MAXL));
    }
    // A record holds ten values and ends in a byte at least.
    if (records::packed_size(NL) > 10 * size) {
      throw records::LocatedError(file, line(), 0,
                                  "year " + decimal(IYEAR) + ": the file is too short for the matrix of " +
                                      decimal(NL) + " locations");
    }
    in.read_elimination(ELIM);
    std::vector<double> packed(static_cast<std::size_t>(records::packed_size(NL)));
    for (std::int64_t i = 1; i <= NL; ++i) {
      std::span<double> earlier;
      if (i >= 2) {
        earlier = std::span<double>(packed).subspan(
            static_cast<std::size_t>(records::packed_index(1, i)), static_cast<std::size_t>(i - 1));
      }
      std::int32_t number = 0;
      records::Name name = records::kBlankName;
      in.read_matrix_row(number, name, earlier);
      year.names.push_back(trimmed(records::view(name)));
    }
    try {
      trees::Tree tree = cluster_packed(std::move(packed), NL, strategy);
      year.fusions.assign(tree.fusions().begin(), tree.fusions().end());
    } catch (const std::domain_error& error) {
      throw records::LocatedError(file, line(), 0, "year " + decimal(IYEAR) + ": " + error.what());
    }
    job.years.push_back(std::move(year));
  }
  return job;
}

// Why the clustered .EMA does not give the fusions of the finished job;
// nullopt when it does, every level within the 8 digits of the .CLS.
std::optional<std::string> mismatch(const EmaJob& ema, const std::vector<formats::PlotYear>& plots,
                                    const formats::ClusterValues& values) {
  if (ema.years.size() != plots.size()) {
    return "it holds " + decimal(static_cast<std::int64_t>(ema.years.size())) + " year groups, the results " +
           decimal(static_cast<std::int64_t>(plots.size()));
  }
  for (std::size_t k = 0; k < plots.size(); ++k) {
    const EmaYear& year = ema.years[k];
    const formats::PlotYear& plot = plots[k];
    const std::string which = "year group " + decimal(static_cast<std::int64_t>(k) + 1) + " (year " +
                              decimal(plot.year) + ")";
    if (year.year != plot.year || static_cast<std::int64_t>(year.names.size()) != plot.locations) {
      return which + " is year " + decimal(year.year) + " with " +
             decimal(static_cast<std::int64_t>(year.names.size())) + " locations there";
    }
    for (std::size_t s = 0; s < year.fusions.size(); ++s) {
      const trees::Fusion& fusion = year.fusions[s];
      const double written = values.years.at(k).fusions.at(s).level;
      const auto [first, second] = plot.joins.at(s);
      if (fusion.first != first || fusion.second != second) {
        return which + ", fusion " + decimal(static_cast<std::int64_t>(s) + 1) + " joins " +
               decimal(fusion.first) + " and " + decimal(fusion.second) + " there, " +
               decimal(first) + " and " + decimal(second) + " in the results";
      }
      // E16.8 keeps 8 significant digits: within 5e-8 of the level.
      if (std::abs(written - fusion.level) > 1e-7 * std::abs(fusion.level)) {
        return which + ", fusion " + decimal(static_cast<std::int64_t>(s) + 1) +
               ": the level there is not the one the results give to 8 digits";
      }
    }
  }
  return std::nullopt;
}

// The year's name among the job's files (formats::year_columns).
template <class Year>
std::vector<std::string> columns(const std::vector<Year>& years) {
  std::vector<std::int32_t> numbers;
  for (const Year& year : years) numbers.push_back(year.year);
  return formats::year_columns(numbers);
}

void note_small_year(JobTrees& job, const std::string& column, std::int64_t locations) {
  job.notes.push_back("year " + column + " has " + decimal(locations) +
                      (locations == 1 ? " location" : " locations") + " and no tree; it is left out");
}

}  // namespace

std::string job_stem(std::string_view job) {
  std::string stem(job);
  for (const std::string_view suffix : {".PCL", ".CLS", ".EMA"}) {
    if (stem.ends_with(suffix)) {
      stem.resize(stem.size() - suffix.size());
      break;
    }
  }
  if (stem.empty() || records::path_of_name(stem).filename().empty()) {
    throw std::invalid_argument("'" + std::string(job) + "' names no job");
  }
  return stem;
}

JobTrees read_job(std::string_view job) {
  HostSignals host;
  JobTrees result;
  result.stem = job_stem(job);
  const std::string plot_file = result.stem + ".PCL";
  const std::string cluster_file = result.stem + ".CLS";
  const std::string ema_file = result.stem + ".EMA";
  const std::string plot_bytes = required_bytes(plot_file, "a finished job has its plot data");
  const std::string cluster_bytes = required_bytes(cluster_file, "a finished job has its fusion levels");
  std::vector<formats::PlotYear> plots;
  formats::ClusterValues values;
  try {
    plots = formats::read_plot_records(plot_bytes, plot_file);
    values = formats::read_cluster_records(cluster_bytes, cluster_file);
    formats::check_same_fusions(plots, values, plot_file, cluster_file);
  } catch (const records::LocatedError& error) {
    throw std::runtime_error(error.message());
  }
  result.strategy = values.strategy;
  result.title = plots.empty() ? values.title : plots.front().title;
  if (result.title.empty()) result.title = values.title;

  // The levels in full precision, from the engine.
  std::optional<EmaJob> ema;
  if (std::optional<std::string> bytes = file_bytes(ema_file)) {
    try {
      if (values.strategy < 1 || values.strategy > 8) {
        result.notes.push_back(ema_file + " is not used: the results name strategy " +
                               decimal(values.strategy) + "; the levels are the 8 digits of " + cluster_file);
      } else {
        ema = cluster_ema(std::move(*bytes), ema_file, values.strategy);
        if (const std::optional<std::string> why = mismatch(*ema, plots, values)) {
          result.notes.push_back(ema_file + " does not give the fusions of " + cluster_file + ": " + *why +
                                 "; the levels are the 8 digits of " + cluster_file);
          ema.reset();
        }
      }
    } catch (const records::LocatedError& error) {
      result.notes.push_back(ema_file + " cannot be read (" + error.message() + "); the levels are the 8 digits of " +
                             cluster_file);
      ema.reset();
    }
  }
  result.full_precision = ema.has_value();

  const std::vector<std::string> names = columns(plots);
  for (std::size_t k = 0; k < plots.size(); ++k) {
    const formats::PlotYear& plot = plots[k];
    const formats::ClusterYear& levels = values.years.at(k);
    if (plot.locations < 2) {
      note_small_year(result, names[k], plot.locations);
      continue;
    }
    YearTree year;
    year.column = names[k];
    year.year = plot.year;
    year.label = levels.label;
    year.names.assign(static_cast<std::size_t>(plot.locations), std::string());
    for (std::int32_t slot = 0; slot < plot.locations; ++slot) {
      const formats::pcl::Node& entry = plot.nodes.at(static_cast<std::size_t>(slot));
      year.names.at(static_cast<std::size_t>(entry.number) - 1) = trimmed(records::view(entry.name));
    }
    std::vector<trees::Fusion> fusions;
    if (ema) {
      fusions = ema->years[k].fusions;
    } else {
      for (std::size_t s = 0; s < plot.joins.size(); ++s) {
        fusions.push_back({plot.joins[s][0], plot.joins[s][1], levels.fusions.at(s).level});
      }
    }
    try {
      year.tree = trees::Tree(plot.locations, std::move(fusions));
    } catch (const std::invalid_argument& error) {
      throw std::runtime_error(plot_file + ":" + decimal(plot.line) + ": " + error.what());
    }
    result.years.push_back(std::move(year));
  }
  return result;
}

JobTrees run_job(std::string_view job, std::int32_t strategy) {
  if (strategy < 1 || strategy > 8) {
    throw std::invalid_argument("the strategy must be a number from 1 to 8, not " + decimal(strategy));
  }
  HostSignals host;
  JobTrees result;
  result.stem = job_stem(job);
  const std::string ema_file = result.stem + ".EMA";
  EmaJob ema;
  try {
    ema = cluster_ema(required_bytes(ema_file, "the job's proximities are in it"), ema_file, strategy);
  } catch (const records::LocatedError& error) {
    throw std::runtime_error(error.message());
  }
  result.title = ema.title;
  result.strategy = strategy;
  result.full_precision = true;
  const std::vector<std::string> names = columns(ema.years);
  for (std::size_t k = 0; k < ema.years.size(); ++k) {
    EmaYear& source = ema.years[k];
    const auto locations = static_cast<std::int32_t>(source.names.size());
    if (locations < 2) {
      note_small_year(result, names[k], locations);
      continue;
    }
    YearTree year;
    year.column = names[k];
    year.year = source.year;
    year.label = std::move(source.label);
    year.names = std::move(source.names);
    year.tree = trees::Tree(locations, std::move(source.fusions));
    result.years.push_back(std::move(year));
  }
  return result;
}

}  // namespace metclust::bindings
