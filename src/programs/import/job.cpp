#include "import/job.hpp"

#include <algorithm>
#include <unordered_map>

#include "formats/capacity.hpp"
#include "import/fields.hpp"
#include "import/job_names.hpp"
#include "import/location_limit.hpp"
#include "import/sequence_years.hpp"
#include "records/located_error.hpp"
#include "records/number_text.hpp"
#include "records/packed.hpp"

namespace metclust::import {

ImportedJob assemble_job(std::vector<SourceYear> years, std::int64_t genotypes) {
  if (years.empty()) throw std::logic_error("a job without years");
  std::stable_sort(years.begin(), years.end(),
                   [](const SourceYear& a, const SourceYear& b) { return a.year < b.year; });
  for (std::size_t k = 1; k < years.size(); ++k) {
    if (years[k].year == years[k - 1].year) {
      fail_at(years[k].file, years[k].place, "year " + records::decimal(years[k].year) + " is given twice");
    }
  }
  std::vector<std::int64_t> numbers;
  for (const SourceYear& year : years) numbers.push_back(year.year);
  std::size_t culprit = 0;
  const std::optional<SequenceYears> sequence = sequence_years(numbers, culprit);
  if (!sequence) {
    const SourceYear& bad = years[culprit];
    fail_at(bad.file, bad.place,
            "year " + records::decimal(bad.year) +
                " cannot be shown without asterisks: the sequence line shows the first and last "
                "year in three columns, so a job's years must all lie within -99 to 999, or all "
                "within 1801 to 2899 (shown as year - 1900)");
  }
  if (genotypes > 999999) {
    throw records::LocatedError(years.front().file, 0, 0,
                                "more than 999999 genotypes do not fit the six columns of MAXG");
  }

  // The master list, in the order the years, earliest first, first name
  // the locations; the job is judged against the work space by its whole
  // number, where the first location too many is named.
  ImportedJob job;
  std::unordered_map<std::string, std::size_t> master;
  const std::string* beyond_file = nullptr;
  Place beyond_place;
  for (const SourceYear& source : years) {
    check_year_locations(source);
    for (const SourceLocation& location : source.locations) {
      if (!master.try_emplace(location.name, job.locations.size()).second) continue;
      job.locations.push_back(location.name);
      if (static_cast<std::int64_t>(job.locations.size()) == formats::kLocationsHeld + 1) {
        beyond_file = &source.file;
        beyond_place = location.place;
      }
    }
  }
  if (beyond_file) {
    check_job_locations(static_cast<std::int64_t>(job.locations.size()), *beyond_file, beyond_place);
  }
  for (const SourceYear& source : years) {
    const std::size_t n = source.locations.size();
    std::vector<std::pair<std::size_t, std::size_t>> order;  // (master place, place in source)
    for (std::size_t k = 0; k < n; ++k) order.emplace_back(master.at(source.locations[k].name), k);
    std::sort(order.begin(), order.end());
    JobYear year;
    year.year = source.year;
    year.proximities.assign(source.proximities.size(), 0.0);
    for (std::size_t j = 0; j < n; ++j) {
      year.members.push_back(order[j].first);
      for (std::size_t i = 0; i < j; ++i) {
        const auto from = records::packed_index(static_cast<std::int64_t>(order[i].second + 1),
                                                static_cast<std::int64_t>(order[j].second + 1));
        const auto to = records::packed_index(static_cast<std::int64_t>(i + 1), static_cast<std::int64_t>(j + 1));
        year.proximities.at(static_cast<std::size_t>(to)) = source.proximities.at(static_cast<std::size_t>(from));
      }
    }
    job.years.push_back(std::move(year));
  }
  job.names = job_names(job.locations);
  job.header.MAXY = static_cast<std::int32_t>(job.years.size());
  job.header.MAXL = static_cast<std::int32_t>(job.locations.size());
  job.header.MAXG = static_cast<std::int32_t>(genotypes);
  job.header.IYS = sequence->IYS;
  job.header.IYF = sequence->IYF;
  return job;
}

}  // namespace metclust::import
