// The figures of metclust-choose, run by run and year by year: how well
// each tree keeps its proximities, which number of groups each year
// suggests, how far the cuts into K groups recur from year to year, and
// the suggestion drawn from them. Computations only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "choose/runs.hpp"

namespace metclust::choose {

// The largest --max-groups: a year of the plot data holds at most 500
// locations, and a cut of n locations into 2 ... n - 1 groups is the most
// a silhouette or a recurrence can be told for.
inline constexpr std::int64_t kMostGroups = 499;
inline constexpr std::int64_t kDefaultMaxGroups = 10;

struct YearFigures {
  std::string column;
  std::int64_t locations = 0;
  std::optional<double> cophenetic_correlation;
  std::optional<double> agglomerative_coefficient;
  std::optional<std::int64_t> mojena_groups;
  // The mean silhouette width of the cut into K groups, at [K - 2] for
  // K = 2 ... max_groups; empty where the year has no such cut or no
  // proximities fit for it.
  std::vector<std::optional<double>> silhouette;
  std::optional<std::int64_t> silhouette_groups;  // the K of the largest mean
  std::optional<double> silhouette_width;         // that mean
};

struct Stability {
  std::optional<double> mean_adjusted_rand;
  std::int64_t year_pairs = 0;
};

struct RunFigures {
  std::int32_t strategy = 0;
  std::string run;
  std::vector<YearFigures> years;
  std::vector<Stability> stability;  // at [K - 2] for K = 2 ... max_groups
};

// Fewer shared locations than this leave a pair of years out of the
// stability.
inline constexpr std::int64_t kMinimumShared = 3;

RunFigures run_figures(const Run& run, std::int64_t max_groups);

// The suggestion of the page.
struct Suggestion {
  // Index into the runs of the suggested strategy; nullopt when none can be
  // told (several strategies, and no cophenetic correlation for any).
  std::optional<std::size_t> run;
  std::optional<double> mean_correlation;  // its mean over the years
  std::int64_t correlation_years = 0;      // years with a correlation
  std::optional<std::size_t> runner_up;    // the next strategy by that mean
  std::optional<double> runner_up_correlation;

  // The suggested K for that strategy: the number of groups that most
  // years' silhouette picks (ties: the larger stability, then the smaller
  // K); with no silhouette, that most years' Mojena rule gives.
  std::optional<std::int64_t> groups;
  bool by_silhouette = false;  // false: by Mojena's rule
  std::int64_t votes = 0;      // years that pick `groups`
  std::int64_t voting_years = 0;
  std::optional<double> mean_width;  // mean silhouette width at `groups` over the years
  Stability stability;               // at `groups`
  // The years that pick another K, with the K they pick.
  std::vector<std::pair<std::string, std::int64_t>> disagreeing;
};

Suggestion suggest(const std::vector<RunFigures>& runs);

// The mean over the years of a run where a figure is defined; nullopt
// when it is defined in no year. `count` receives the number of such years.
std::optional<double> mean_over_years(const RunFigures& run,
                                      std::optional<double> YearFigures::*figure,
                                      std::int64_t* count = nullptr);
// The mean silhouette width at K over the years that have one.
std::optional<double> mean_width_at(const RunFigures& run, std::int64_t groups);

}  // namespace metclust::choose
