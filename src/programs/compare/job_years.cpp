#include "compare/job_years.hpp"

#include <algorithm>

#include "cli/output_files.hpp"
#include "jobs/finished_job.hpp"
#include "records/located_error.hpp"
#include "records/number_text.hpp"

namespace metclust::compare {
JobYears read_job_years(const std::string& job, const CutRule& rule,
                        const std::optional<std::string>& ema_file) {
  jobs::FinishedJob finished = jobs::read_finished_job(
      job, jobs::Cluster::Required, "metclust-compare takes the fusion levels from it", ema_file);
  const std::string plot_file = job + ".PCL";
  const std::string name = cli::output_place(job, std::nullopt).job_name;

  JobYears result;
  result.title = finished.files.title;
  result.notes = std::move(finished.precision.notes);
  result.notes.insert(result.notes.end(), finished.name_notes.begin(), finished.name_notes.end());
  result.full_names = std::move(finished.full_names);
  for (jobs::Year& year : finished.files.years) {
    const std::string stem = jobs::year_stem(name, year);
    if (year.tree.locations() < 2) {
      result.notes.push_back(stem + ": fewer than two locations and no node listing; the year holds no named location");
      year.tree = trees::Tree(0, {});
      year.names.clear();
      year.unnamed.clear();
      year.doubled.clear();
    }
    // The node listing, record by record after the header.
    for (std::size_t slot = 0; slot < year.tree.order().size(); ++slot) {
      const std::int32_t number = year.tree.order()[slot];
      const std::int64_t line = year.line + static_cast<std::int64_t>(slot) + 1;
      if (std::binary_search(year.unnamed.begin(), year.unnamed.end(), number)) {
        throw records::LocatedError(plot_file, line, 0,
                                    "location " + records::decimal(number) +
                                        " has no name; metclust-compare knows a location across years by its name");
      }
      // A name that an earlier location has: the year names it
      // "NAME (location k)", which no other year can match.
      for (const auto& [location, first] : year.doubled) {
        if (location != number) continue;
        throw records::LocatedError(
            plot_file, line, 0,
            "location name '" + year.names.at(static_cast<std::size_t>(first) - 1) +
                "' stands twice in year " + year.column +
                " (blanks at either end of a name do not count); metclust-compare knows a "
                "location across years by its name");
      }
    }
    trees::Partition partition = rule.groups ? trees::cut_into_groups(year.tree, *rule.groups)
                                             : trees::cut_at_level(year.tree, rule.height.value_or(0.0));
    if (rule.groups && year.tree.locations() < *rule.groups && year.tree.locations() > 0) {
      result.notes.push_back(stem + ": " + records::decimal(year.tree.locations()) +
                             " locations, fewer than the " + records::decimal(*rule.groups) +
                             " groups asked for; each location is a group of its own");
    }
    result.years.push_back(YearCut{std::move(year), std::move(partition)});
  }
  return result;
}

}  // namespace metclust::compare
