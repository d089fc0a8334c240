// Entry point of the choose fuzz target, shared with the test that replays
// the fixture jobs: arbitrary bytes as a job's .EMA file, run through
// metclust in this process, and the finished job read back by
// metclust-choose as a job of one run, with its .EMA beside it.
//
// Input: one byte for the strategy (byte % 8 + 1), then the .EMA file.
//
// Rules: a run that ended normally, without a report, is read back without
// a fault, and every
// one of its years is clustered again from the .EMA file to the same
// fusions (so metclust-choose reads the .EMA as metclust does); every
// figure lies in its range; the tables hold no NaN or infinity; the page is
// made. A run that ended early, or wrote a field as asterisks (report 63),
// may leave files metclust-choose refuses.
#pragma once

#include <cmath>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "choose/figures.hpp"
#include "choose/page.hpp"
#include "choose/runs.hpp"
#include "choose/tables.hpp"
#include "cli/command_line.hpp"
#include "entry_points.hpp"
#include "records/located_error.hpp"

namespace metclust::fuzz {

inline std::string figures_out_of_range(const choose::RunFigures& run, const choose::Run& trees) {
  const auto outside = [](const std::optional<double>& value, double low, double high) {
    return value && (!std::isfinite(*value) || *value < low - 1e-12 || *value > high + 1e-12);
  };
  for (std::size_t y = 0; y < run.years.size(); ++y) {
    const choose::YearFigures& year = run.years[y];
    if (outside(year.cophenetic_correlation, -1, 1)) return "a cophenetic correlation outside -1..1";
    // A location that joins below 0 scores above 1.
    bool below_zero = false;
    for (const trees::Fusion& fusion : trees.years.at(y).tree.fusions()) below_zero |= fusion.level < 0;
    if (year.agglomerative_coefficient && (!std::isfinite(*year.agglomerative_coefficient) ||
                                           (!below_zero && *year.agglomerative_coefficient > 1 + 1e-12))) {
      return "an agglomerative coefficient above 1 from levels of 0 or more";
    }
    if (year.mojena_groups && (*year.mojena_groups < 1 || *year.mojena_groups > year.locations)) {
      return "Mojena's rule outside 1..n groups";
    }
    if (year.silhouette_groups.has_value() != year.silhouette_width.has_value()) {
      return "a silhouette K without its width";
    }
    if (year.silhouette_groups && (*year.silhouette_groups < 2 || *year.silhouette_groups >= year.locations)) {
      return "a silhouette K outside 2..n-1";
    }
    if (outside(year.silhouette_width, -1, 1)) return "a silhouette width outside -1..1";
    for (const auto& width : year.silhouette) {
      if (outside(width, -1, 1)) return "a silhouette width outside -1..1";
    }
  }
  for (const choose::Stability& entry : run.stability) {
    if (outside(entry.mean_adjusted_rand, -1, 1)) return "a mean adjusted Rand index outside -1..1";
    if (entry.mean_adjusted_rand.has_value() != (entry.year_pairs > 0)) return "a mean without pairs";
  }
  return {};
}

inline std::string choose_from_run(std::span<const std::uint8_t> data, const Workspace& space) {
  if (data.empty()) return {};
  const std::string strategy = std::to_string(data[0] % 8 + 1);
  const std::string_view ema(reinterpret_cast<const char*>(data.data()) + 1, data.size() - 1);
  const JobOutcome job = run_job_in(space, ema, strategy);
  if (job.PCL.empty() || job.CLS.empty()) return {};
  const bool normal = job.status == 0 && job.reports.empty();

  choose::JobRuns runs;
  try {
    runs = choose::read_runs(space.file("JOB"));
  } catch (const records::LocatedError& error) {
    return normal ? "the files of a normal run are refused: " + error.message() : std::string();
  } catch (const cli::FileError& error) {
    return normal ? std::string("the files of a normal run are refused: ") + error.what() : std::string();
  }
  if (runs.runs.size() != 1) return "not one run";
  if (normal) {
    for (const std::string& note : runs.notes) {
      if (note.find("8 significant digits") != std::string::npos) {
        return "a year of a normal run is not clustered again alike: " + note;
      }
    }
    for (const choose::RunYear& year : runs.runs[0].years) {
      if (year.tree.locations() >= 2 && !year.proximities) return "a year without its proximities";
    }
  }

  std::vector<choose::RunFigures> figures;
  for (const choose::Run& run : runs.runs) figures.push_back(choose::run_figures(run, 6));
  for (std::size_t r = 0; r < figures.size(); ++r) {
    if (std::string broken = figures_out_of_range(figures[r], runs.runs[r]); !broken.empty()) return broken;
  }
  const choose::Suggestion suggestion = choose::suggest(figures);
  for (const std::string& csv : {choose::fit_csv(figures), choose::suggested_groups_csv(figures),
                                 choose::stability_csv(figures)}) {
    if (csv.find("nan") != std::string::npos || csv.find("inf") != std::string::npos) {
      return "a table holds a NaN or an infinity";
    }
  }
  choose::PageText text;
  text.job = "JOB";
  text.max_groups = 6;
  if (choose::choose_page(figures, suggestion, text).find("</html>") == std::string::npos) {
    return "the page is cut short";
  }
  return {};
}

}  // namespace metclust::fuzz
