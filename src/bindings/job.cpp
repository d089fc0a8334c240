#include "bindings/job.hpp"

#include <algorithm>
#include <optional>
#include <utility>

#ifndef _WIN32
#include <signal.h>
#endif

#include "bindings/hclust.hpp"
#include "cli/input_files.hpp"
#include "cli/job_operand.hpp"
#include "cli/output_files.hpp"
#include "formats/job_results.hpp"
#include "jobs/finished_job.hpp"
#include "records/located_error.hpp"
#include "records/number_text.hpp"

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

// Runs `read` with the host's signals kept, its faults as the glue reports
// them: a fault located in a file as one std::runtime_error naming the file,
// line and column.
template <class Read>
JobTrees guarded(Read read) {
  HostSignals host;
  try {
    return read();
  } catch (const records::LocatedError& error) {
    throw std::runtime_error(error.message());
  }
}

// The years of `years` that have a tree, with the labels of their locations
// and the notes on their names; a year of fewer than two locations is left
// out with a note.
void take_years(JobTrees& trees, std::vector<jobs::Year> years,
                const std::optional<jobs::FullNames>& full_names) {
  if (full_names) jobs::give_full_names(years, *full_names);
  const std::string name = cli::output_place(trees.stem, std::nullopt).job_name;
  for (jobs::Year& year : years) {
    const std::int32_t locations = year.tree.locations();
    if (locations < 2) {
      trees.notes.push_back("year " + year.column + " has " + decimal(locations) +
                            (locations == 1 ? " location" : " locations") +
                            " and no tree; it is left out");
      continue;
    }
    const std::string stem = jobs::year_stem(name, year);
    for (std::string& note : jobs::name_notes(year, stem)) trees.notes.push_back(std::move(note));
    trees.labels.push_back(jobs::year_labels(year, true, stem, trees.notes));
    trees.years.push_back(std::move(year));
  }
}

}  // namespace

std::string job_stem(std::string_view job) {
  try {
    return cli::job_name(job);
  } catch (const cli::UsageError& error) {
    throw std::invalid_argument(error.what());
  }
}

JobTrees read_job(std::string_view job) {
  JobTrees trees;
  trees.stem = job_stem(job);
  return guarded([&] {
    jobs::FinishedJob finished = jobs::read_finished_job(
        trees.stem, jobs::Cluster::Required, "a finished job has its fusion levels");
    trees.title = finished.files.title;
    trees.strategy = finished.files.strategy.value_or(0);
    trees.full_precision = std::find(finished.precision.engine.begin(), finished.precision.engine.end(),
                                     false) == finished.precision.engine.end();
    trees.notes = std::move(finished.precision.notes);
    trees.notes.insert(trees.notes.end(), finished.name_notes.begin(), finished.name_notes.end());
    take_years(trees, std::move(finished.files.years), finished.full_names);
    return std::move(trees);
  });
}

JobTrees run_job(std::string_view job, std::int32_t strategy) {
  if (strategy < 1 || strategy > 8) {
    throw std::invalid_argument("the strategy must be a number from 1 to 8, not " + decimal(strategy));
  }
  JobTrees trees;
  trees.stem = job_stem(job);
  return guarded([&] {
    const std::string ema_file = trees.stem + ".EMA";
    jobs::EmaYears ema = jobs::read_every_ema_year(cli::read_file(ema_file), ema_file);
    trees.title = ema.title;
    trees.strategy = strategy;
    trees.full_precision = true;
    std::vector<std::int32_t> numbers;
    for (const jobs::YearMatrix& matrix : ema.years) numbers.push_back(matrix.year);
    const std::vector<std::string> columns = formats::year_columns(numbers);
    std::vector<jobs::Year> years;
    for (std::size_t k = 0; k < ema.years.size(); ++k) {
      jobs::YearMatrix& matrix = ema.years[k];
      const auto n = static_cast<std::int32_t>(matrix.names.size());
      trees::Tree tree(std::min(n, 1), {});
      if (n >= 2) {
        try {
          tree = cluster_packed(std::move(matrix.proximities), n, strategy);
        } catch (const std::domain_error& error) {
          throw records::LocatedError(ema_file, matrix.line, 0,
                                      "year " + decimal(matrix.year) + ": " + error.what());
        }
      }
      years.push_back(jobs::matrix_year(matrix, columns[k], ema.title, std::move(tree)));
    }
    std::vector<std::string> name_notes;
    const std::optional<jobs::FullNames> full_names = jobs::read_job_full_names(trees.stem, name_notes);
    take_years(trees, std::move(years), full_names);
    trees.notes.insert(trees.notes.end(), name_notes.begin(), name_notes.end());
    return std::move(trees);
  });
}

}  // namespace metclust::bindings
