#include "choose/figures.hpp"

#include <algorithm>
#include <map>
#include <span>
#include <unordered_map>

#include "trees/indices.hpp"
#include "trees/quality.hpp"

namespace metclust::choose {
namespace {

YearFigures year_figures(const RunYear& year, std::int64_t max_groups) {
  YearFigures figures;
  figures.column = year.column;
  const trees::Tree& tree = year.tree;
  figures.locations = tree.locations();
  figures.agglomerative_coefficient = trees::agglomerative_coefficient(tree);
  figures.mojena_groups = trees::mojena_groups(tree);
  figures.silhouette.assign(static_cast<std::size_t>(max_groups - 1), std::nullopt);
  if (!year.proximities) return figures;
  const std::span<const double> proximities(*year.proximities);
  figures.cophenetic_correlation = trees::cophenetic_correlation(tree, proximities);
  if (figures.locations < 3 || !trees::dissimilarities(proximities)) return figures;
  const std::int64_t last = std::min(figures.locations - 1, max_groups);
  for (std::int64_t k = 2; k <= last; ++k) {
    const std::optional<double> width =
        trees::mean_silhouette_width(trees::cut_into_groups(tree, k), proximities);
    figures.silhouette[static_cast<std::size_t>(k - 2)] = width;
    // The smallest K among equal widths.
    if (width && (!figures.silhouette_width || *width > *figures.silhouette_width)) {
      figures.silhouette_width = width;
      figures.silhouette_groups = k;
    }
  }
  return figures;
}

// True when every label differs from every other.
bool all_apart(const std::vector<std::int32_t>& labels) {
  std::vector<std::int32_t> sorted = labels;
  std::sort(sorted.begin(), sorted.end());
  return std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end();
}

std::vector<Stability> stability(const Run& run, std::int64_t max_groups) {
  const std::size_t years = run.years.size();
  const auto ks = static_cast<std::size_t>(max_groups - 1);  // K = 2 ... max_groups
  // Every location of the run by name, and each year's locations by that
  // number; each year's cuts into every K it takes part in (a year takes
  // part when it names its locations and has more than K).
  std::unordered_map<std::string, std::size_t> number_of;
  std::vector<std::vector<std::size_t>> members(years);
  std::vector<std::vector<std::optional<trees::Partition>>> cuts(years);
  for (std::size_t y = 0; y < years; ++y) {
    const RunYear& year = run.years[y];
    for (const std::string& name : year.names) {
      members[y].push_back(number_of.emplace(name, number_of.size()).first->second);
    }
    cuts[y].resize(ks);
    for (std::int64_t k = 2; k <= max_groups; ++k) {
      if (!year.names.empty() && year.tree.locations() > k) {
        cuts[y][static_cast<std::size_t>(k - 2)] = trees::cut_into_groups(year.tree, k);
      }
    }
  }

  std::vector<double> sum(ks, 0.0);
  std::vector<std::int64_t> pairs(ks, 0);
  std::vector<std::size_t> in_b(number_of.size(), 0);  // 1 + place in year b, 0 absent
  std::vector<std::pair<std::size_t, std::size_t>> shared;
  std::vector<std::int32_t> labels_a;
  std::vector<std::int32_t> labels_b;
  for (std::size_t a = 0; a < years; ++a) {
    for (std::size_t b = a + 1; b < years; ++b) {
      // Shared locations as (number in a, number in b), in year a's order.
      for (std::size_t k = 0; k < members[b].size(); ++k) in_b.at(members[b][k]) = k + 1;
      shared.clear();
      for (std::size_t k = 0; k < members[a].size(); ++k) {
        if (const std::size_t found = in_b.at(members[a][k]); found != 0) shared.emplace_back(k, found - 1);
      }
      for (const std::size_t location : members[b]) in_b[location] = 0;
      if (static_cast<std::int64_t>(shared.size()) < kMinimumShared) continue;
      for (std::size_t k = 0; k < ks; ++k) {
        const std::optional<trees::Partition>& cut_a = cuts[a][k];
        const std::optional<trees::Partition>& cut_b = cuts[b][k];
        if (!cut_a || !cut_b) continue;
        labels_a.clear();
        labels_b.clear();
        for (const auto& [ka, kb] : shared) {
          labels_a.push_back(cut_a->group.at(ka));
          labels_b.push_back(cut_b->group.at(kb));
        }
        // Both cuts leave every shared location alone: 0 / 0, no index.
        if (all_apart(labels_a) && all_apart(labels_b)) continue;
        const std::optional<double> index = trees::adjusted_rand(labels_a, labels_b);
        if (!index) continue;
        sum[k] += *index;
        ++pairs[k];
      }
    }
  }

  std::vector<Stability> result(ks);
  for (std::size_t k = 0; k < ks; ++k) {
    result[k].year_pairs = pairs[k];
    if (pairs[k] > 0) result[k].mean_adjusted_rand = sum[k] / static_cast<double>(pairs[k]);
  }
  return result;
}

}  // namespace

RunFigures run_figures(const Run& run, std::int64_t max_groups) {
  RunFigures figures;
  figures.strategy = run.strategy;
  figures.run = run.name;
  for (const RunYear& year : run.years) figures.years.push_back(year_figures(year, max_groups));
  figures.stability = stability(run, max_groups);
  return figures;
}

std::optional<double> mean_over_years(const RunFigures& run,
                                      std::optional<double> YearFigures::*figure,
                                      std::int64_t* count) {
  double sum = 0.0;
  std::int64_t n = 0;
  for (const YearFigures& year : run.years) {
    if (const std::optional<double>& value = year.*figure) {
      sum += *value;
      ++n;
    }
  }
  if (count != nullptr) *count = n;
  if (n == 0) return std::nullopt;
  return sum / static_cast<double>(n);
}

std::optional<double> mean_width_at(const RunFigures& run, std::int64_t groups) {
  double sum = 0.0;
  std::int64_t n = 0;
  for (const YearFigures& year : run.years) {
    if (groups < 2 || groups - 2 >= static_cast<std::int64_t>(year.silhouette.size())) continue;
    if (const std::optional<double>& value = year.silhouette[static_cast<std::size_t>(groups - 2)]) {
      sum += *value;
      ++n;
    }
  }
  if (n == 0) return std::nullopt;
  return sum / static_cast<double>(n);
}

Suggestion suggest(const std::vector<RunFigures>& runs) {
  Suggestion suggestion;
  // The strategy: the largest mean cophenetic correlation; among equals
  // the smaller strategy number, which comes first.
  std::vector<std::pair<double, std::size_t>> ranked;
  for (std::size_t r = 0; r < runs.size(); ++r) {
    if (const std::optional<double> mean = mean_over_years(runs[r], &YearFigures::cophenetic_correlation)) {
      ranked.emplace_back(*mean, r);
    }
  }
  std::stable_sort(ranked.begin(), ranked.end(),
                   [](const auto& a, const auto& b) { return a.first > b.first; });
  if (!ranked.empty()) {
    suggestion.run = ranked[0].second;
    suggestion.mean_correlation = ranked[0].first;
    if (ranked.size() > 1) {
      suggestion.runner_up = ranked[1].second;
      suggestion.runner_up_correlation = ranked[1].first;
    }
  } else if (runs.size() == 1) {
    suggestion.run = 0;
  }
  if (!suggestion.run) return suggestion;
  const RunFigures& run = runs[*suggestion.run];
  mean_over_years(run, &YearFigures::cophenetic_correlation, &suggestion.correlation_years);

  // The number of groups: the years' votes.
  std::vector<std::pair<std::string, std::int64_t>> votes;
  for (const YearFigures& year : run.years) {
    if (year.silhouette_groups) votes.emplace_back(year.column, *year.silhouette_groups);
  }
  suggestion.by_silhouette = !votes.empty();
  if (votes.empty()) {
    for (const YearFigures& year : run.years) {
      if (year.mojena_groups) votes.emplace_back(year.column, *year.mojena_groups);
    }
  }
  if (votes.empty()) return suggestion;
  std::map<std::int64_t, std::int64_t> tally;
  for (const auto& vote : votes) ++tally[vote.second];
  const auto stability_at = [&](std::int64_t k) {
    return k >= 2 && k - 2 < static_cast<std::int64_t>(run.stability.size())
               ? run.stability[static_cast<std::size_t>(k - 2)]
               : Stability{};
  };
  std::optional<std::int64_t> best;
  for (const auto& [k, count] : tally) {  // K ascending: the smaller wins a full tie
    if (!best) {
      best = k;
      continue;
    }
    const std::int64_t best_count = tally[*best];
    if (count != best_count) {
      if (count > best_count) best = k;
      continue;
    }
    const std::optional<double> mine = stability_at(k).mean_adjusted_rand;
    const std::optional<double> theirs = stability_at(*best).mean_adjusted_rand;
    if (mine && (!theirs || *mine > *theirs)) best = k;
  }
  suggestion.groups = best;
  suggestion.votes = tally[*best];
  suggestion.voting_years = static_cast<std::int64_t>(votes.size());
  suggestion.mean_width = mean_width_at(run, *best);
  suggestion.stability = stability_at(*best);
  for (const auto& vote : votes) {
    if (vote.second != *best) suggestion.disagreeing.push_back(vote);
  }
  return suggestion;
}

}  // namespace metclust::choose
