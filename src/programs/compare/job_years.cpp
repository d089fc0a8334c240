#include "compare/job_years.hpp"

#include <set>
#include <stdexcept>
#include <string_view>

#include "cli/output_files.hpp"
#include "formats/job_results.hpp"
#include "jobs/full_precision.hpp"
#include "jobs/job_files.hpp"
#include "jobs/year_tree.hpp"
#include "records/located_error.hpp"
#include "records/number_text.hpp"

namespace metclust::compare {

JobYears read_job_years(const std::string& job, const CutRule& rule,
                        const std::optional<std::string>& ema_file) {
  jobs::JobFiles files = jobs::read_job(
      job, jobs::Cluster::Required, "metclust-compare takes the fusion levels from it");
  const std::string plot_file = job + ".PCL";
  const std::string name = cli::output_place(job, std::nullopt).job_name;
  const std::vector<std::string> stems = formats::year_file_stems(name, files.years);

  JobYears result;
  result.title = files.title;
  result.notes = jobs::job_full_precision_levels(files, job, ema_file).notes;
  result.full_names = jobs::read_job_full_names(job, result.notes, ema_file);
  for (std::size_t y = 0; y < files.years.size(); ++y) {
    const formats::YearPlot& year = files.years[y];
    std::optional<trees::Tree> tree(jobs::checked_year_tree(year, plot_file));
    const std::string column = stems[y].substr(name.size() + 1);
    if (tree->locations() < 2) {
      result.notes.push_back(stems[y] + ": fewer than two locations and no node listing; the year holds no named location");
      tree.emplace(0, std::vector<trees::Fusion>{});
    }
    const auto count = static_cast<std::size_t>(tree->locations());
    std::vector<std::string> names(count);
    std::set<std::string> seen;
    for (std::size_t slot = 0; slot < count; ++slot) {
      const formats::ListedNode& entry = year.listing.at(slot);
      const std::int64_t line = year.line + static_cast<std::int64_t>(slot) + 1;
      std::string text = jobs::location_name(entry.name);
      if (text.empty()) {
        throw records::LocatedError(plot_file, line, 0,
                                    "location " + records::decimal(entry.number) +
                                        " has no name; metclust-compare knows a location across years by its name");
      }
      if (!seen.insert(text).second) {
        throw records::LocatedError(
            plot_file, line, 0,
            "location name '" + text + "' stands twice in year " + column +
                " (blanks at either end of a name do not count); metclust-compare knows a "
                "location across years by its name");
      }
      names.at(static_cast<std::size_t>(entry.number) - 1) = std::move(text);
    }
    trees::Partition partition = rule.groups ? trees::cut_into_groups(*tree, *rule.groups)
                                             : trees::cut_at_level(*tree, rule.height.value_or(0.0));
    if (rule.groups && tree->locations() < *rule.groups && tree->locations() > 0) {
      result.notes.push_back(stems[y] + ": " + records::decimal(tree->locations()) +
                             " locations, fewer than the " + records::decimal(*rule.groups) +
                             " groups asked for; each location is a group of its own");
    }
    result.years.push_back(YearCut{column, std::move(names), std::move(*tree), std::move(partition)});
  }
  return result;
}

}  // namespace metclust::compare
