// Entry points of the fuzz targets of the companion programs, as
// entry_points.hpp has them for metclust: each takes arbitrary bytes and
// returns an empty text when every rule was kept, or the rule broken.
#pragma once

#include <cstdint>
#include <exception>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "check/ema_check.hpp"
#include "entry_points.hpp"
#include "import/job.hpp"
#include "import/job_files.hpp"
#include "import/long_source.hpp"
#include "import/matrix_source.hpp"
#include "import/source_text.hpp"
#include "import/trials_source.hpp"
#include "records/located_error.hpp"
#include "text/csv.hpp"

namespace metclust::fuzz {

// The CSV reader and the import sources. The first byte chooses the source
// (square matrix, pairs, or trial results with one of the three measures)
// and how the fields are separated (found from the header row, or given as
// comma, semicolon or tab), the rest is the CSV file. Rules: the rows the
// reader gives, written again by CsvWriter, read back the same once the
// apostrophe before a formula is taken off (text::unguarded); a source
// either refuses the file with a records::LocatedError or makes a job whose
// .EMA file metclust-check finds nothing wrong with, with every year read.
inline std::string import_csv(std::span<const std::uint8_t> data) {
  if (data.empty()) return {};
  const std::string_view csv(reinterpret_cast<const char*>(data.data()) + 1, data.size() - 1);
  const int kind = data[0] % 5;
  constexpr std::optional<import::Separator> kSeparators[] = {
      std::nullopt, import::Separator::Comma, import::Separator::Semicolon, import::Separator::Tab};
  const std::optional<import::Separator> given = kSeparators[(data[0] / 5) % 4];
  try {
    const char separator = static_cast<char>(given ? *given : import::separator_of(csv, "f.csv"));
    const std::vector<text::CsvRow> rows = text::read_csv(csv, "f.csv", separator);
    text::CsvWriter writer;
    for (const text::CsvRow& row : rows) {
      for (const text::CsvField& field : row.fields) writer.text(field.text);
      writer.end_row();
    }
    const std::vector<text::CsvRow> again = text::read_csv(writer.bytes(), "again.csv");
    if (again.size() != rows.size()) return "CSV written again reads back with another number of rows";
    for (std::size_t r = 0; r < rows.size(); ++r) {
      if (again[r].fields.size() != rows[r].fields.size()) return "CSV written again: a row changed length";
      for (std::size_t f = 0; f < rows[r].fields.size(); ++f) {
        if (text::unguarded(again[r].fields[f].text) != rows[r].fields[f].text) {
          return "CSV written again: a field changed";
        }
      }
    }
  } catch (const records::LocatedError&) {
  }

  try {
    import::SourceText source(csv, "f.csv", given);
    std::vector<import::SourceYear> years;
    std::int64_t genotypes = 0;
    switch (kind) {
      case 0:
        years.push_back(import::read_matrix_year(1995, source));
        break;
      case 1:
        years = import::read_long(source, {});
        break;
      default: {
        const import::Measure measure = kind == 2   ? import::Measure::Euclidean
                                        : kind == 3 ? import::Measure::Centred
                                                    : import::Measure::Correlation;
        import::TrialYears trials = import::read_trials(source, measure, {});
        years = std::move(trials.years);
        genotypes = trials.genotypes;
      }
    }
    const import::ImportedJob job = import::assemble_job(std::move(years), genotypes);
    const std::string ema = import::ema_bytes(job, "fuzz", {});
    check::Diagnostics diagnostics;
    const check::EmaSummary summary = check::check_ema(ema, "JOB.EMA", diagnostics);
    if (!diagnostics.all().empty()) return "imported job: " + check::format(diagnostics.all().front());
    if (summary.years != static_cast<std::int64_t>(job.years.size())) return "imported job: years lost";
  } catch (const records::LocatedError& error) {
    if (std::string_view(error.what()).empty()) return "a refusal without a message";
  }
  return {};
}

// metclust-check against metclust itself: the first byte chooses the
// strategy answer as for run_whole_job, the rest is the .EMA file. The run
// must end with the exit status the checker gives for that strategy, and the
// checker finds an error exactly when some run of the job fails or is
// refused.
inline std::string check_agrees_with_run(std::span<const std::uint8_t> data, const Workspace& space) {
  if (data.empty()) return {};
  const int answer = static_cast<int>(data[0] % 12) - 1;
  const std::string_view ema(reinterpret_cast<const char*>(data.data()) + 1, data.size() - 1);
  check::Diagnostics diagnostics;
  const check::EmaSummary summary = check::check_ema(ema, "JOB.EMA", diagnostics);
  const JobOutcome run = run_job_in(space, ema, std::to_string(answer));
  const int expected = summary.status[static_cast<std::size_t>(answer >= 1 && answer <= 8 ? answer - 1 : 0)];
  if (run.status != expected) {
    return "metclust ends with " + std::to_string(run.status) + ", the checker says " + std::to_string(expected);
  }
  if (summary.refused && diagnostics.errors() == 0) return "a refused run without an error";
  bool failing = summary.refused;
  for (const int status : summary.status) failing |= status != 0;
  if (failing && diagnostics.errors() == 0) return "a run that ends without an error";
  if (!failing && diagnostics.errors() != 0) return "an error where every run goes through";
  return {};
}

}  // namespace metclust::fuzz
