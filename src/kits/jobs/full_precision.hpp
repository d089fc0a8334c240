// A finished job's fusion levels at the engine's full precision. The .CLS
// file holds each level to 8 significant digits; when the job's .EMA file is
// still there, every year is clustered again from its proximities with the
// run's strategy and, where that gives the .CLS file's fusions at its
// levels, the engine's own levels take the place of the printed ones. A year
// that cannot be clustered again keeps its printed levels, and a note says
// why.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "jobs/job_files.hpp"

namespace metclust::jobs {

// One year group of an .EMA file as metclust reads it: the NL locations it
// retains, named as their matrix rows name them, and their proximities,
// packed as records::packed_index numbers the pairs. Location k of the year
// is matrix row k, as it is location k of the year's tree.
struct YearMatrix {
  std::int32_t year = 0;
  std::string label;                // YLABEL, blanks at both ends removed
  std::int64_t line = 0;            // the year record
  std::vector<std::string> names;   // trailing blanks removed
  std::vector<double> proximities;  // records::packed_size(NL) of them
};

// The leading year groups of a job's .EMA file that are the job's years.
struct EmaYears {
  std::string file;
  std::string title;  // blanks at both ends removed
  std::vector<YearMatrix> years;
  // Why reading stopped before the job's last year (the file ends, or holds
  // another year, or another number of locations); empty when it did not.
  std::string stop;
};

// Reads the year groups of an .EMA file, with metclust's readers and as a
// run reads them, for as long as each is the next of `job_years` (the same
// year, the same number of locations); nothing after the job's last year is
// read, so what a run never reached cannot fail. A fault in what is read is
// a records::LocatedError naming `file`.
EmaYears read_ema_years(std::string_view bytes, const std::string& file,
                        std::span<const Year> job_years);

// Every year group of an .EMA file, read to its end as a run reads it, for
// a job that was not run (or whose outputs are not at hand). A fault, and a
// year that retains more locations than the file could hold, is a
// records::LocatedError naming `file`.
EmaYears read_every_ema_year(std::string_view bytes, const std::string& file);

// The year of `matrix` as the model of a year: `tree`, clustered from its
// proximities, at its levels; its locations named by the matrix rows, by
// the rule of location_names.hpp; `column` as formats::year_columns makes
// it. It has no group names and no places, which the plot data alone gives.
Year matrix_year(const YearMatrix& matrix, std::string column, std::string title, trees::Tree tree);

// The same for the file `ema_file`; nullopt when there is no such file.
std::optional<EmaYears> read_ema_file(const std::string& ema_file,
                                      std::span<const Year> job_years);

// What full_precision_levels did with each year of a job.
struct PrecisionOutcome {
  // By year of the job: true when the year's levels are now the engine's.
  // Only then are the year's proximities (ema->years[y]) those its tree was
  // made from.
  std::vector<bool> engine;
  // By year of the job, for a year whose levels are the engine's: by
  // fusion, true where the pair search chose the pair among active pairs at
  // the same smallest proximity (cluster::TieWatch). Empty for the other
  // years, where the .CLS file cannot tell.
  std::vector<std::vector<bool>> ties;
  std::vector<std::string> notes;  // why years keep their printed levels
};

// Clusters each year of `ema` again with the strategy of `files`' .CLS file
// (which `files` must hold) and gives every year whose fusions, joined
// nodes and new node alike, and levels to the .CLS file's 8 digits come out
// as the .CLS file has them, the engine's levels: its tree is then made
// again at those levels. `cluster_file` names the
// .CLS file in the notes. With no .EMA (nullptr) every year keeps its
// printed levels, with one note.
PrecisionOutcome full_precision_levels(JobFiles& files, const EmaYears* ema,
                                       const std::string& ema_file,
                                       const std::string& cluster_file);

// The same for the job `job` (as given on the command line, without
// extension) that `files` was read from: its .EMA is `ema_file` when given
// (a missing one is then a cli::FileError), else JOB.EMA, or for a run of
// `metclust --strategy all` (JOB-s1 ... JOB-s8) without one, that of JOB.
// A damaged .EMA file, or one that cannot be found or read, is a note: the
// job's own outputs are all a companion program needs.
PrecisionOutcome job_full_precision_levels(JobFiles& files, const std::string& job,
                                           const std::optional<std::string>& ema_file = {});

}  // namespace metclust::jobs
