#include "compare/across_years.hpp"

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <tuple>
#include <unordered_map>

#include "trees/indices.hpp"
#include "records/packed.hpp"

namespace metclust::compare {

const PairCount& Comparison::pair(std::size_t a, std::size_t b) const {
  if (a == b) throw std::logic_error("a location paired with itself");
  if (a > b) std::swap(a, b);
  return pairs.at(records::packed_index(static_cast<std::int32_t>(a + 1),
                                    static_cast<std::int32_t>(b + 1)));
}

std::int32_t Comparison::years_seen(std::size_t location) const {
  const std::vector<std::int32_t>& row = group.at(location);
  return static_cast<std::int32_t>(std::count_if(row.begin(), row.end(),
                                                 [](std::int32_t g) { return g != 0; }));
}

std::string region_letters(std::int64_t region) {
  if (region < 1) throw std::invalid_argument("a region is numbered from 1");
  std::string letters;
  for (std::int64_t r = region; r > 0; r = (r - 1) / 26) {
    letters.insert(letters.begin(), static_cast<char>('A' + (r - 1) % 26));
  }
  return letters;
}

std::vector<std::vector<std::int32_t>> match_regions(
    const std::vector<YearCut>& years, const std::vector<std::vector<std::size_t>>& members,
    std::size_t location_count) {
  std::vector<std::vector<std::int32_t>> group(location_count,
                                               std::vector<std::int32_t>(years.size(), 0));
  std::vector<std::int32_t> last(location_count, 0);  // number when last seen, 0 never
  std::int32_t next_number = 1;
  for (std::size_t y = 0; y < years.size(); ++y) {
    const trees::Partition& cut = years[y].partition;
    const std::vector<std::size_t>& index = members.at(y);
    if (cut.group.size() != index.size()) throw std::logic_error("cut and locations differ");
    // overlap[(group, number)]
    std::map<std::pair<std::int32_t, std::int32_t>, std::int64_t> overlap;
    for (std::size_t k = 0; k < index.size(); ++k) {
      const std::int32_t number = last.at(index[k]);
      if (number != 0) ++overlap[{cut.group[k], number}];
    }
    std::vector<std::tuple<std::int64_t, std::int32_t, std::int32_t>> candidates;
    for (const auto& [key, count] : overlap) candidates.emplace_back(count, key.second, key.first);
    std::sort(candidates.begin(), candidates.end(), [](const auto& a, const auto& b) {
      if (std::get<0>(a) != std::get<0>(b)) return std::get<0>(a) > std::get<0>(b);
      if (std::get<1>(a) != std::get<1>(b)) return std::get<1>(a) < std::get<1>(b);
      return std::get<2>(a) < std::get<2>(b);
    });
    std::vector<std::int32_t> number_of(static_cast<std::size_t>(cut.count) + 1, 0);
    std::vector<std::int32_t> taken;
    for (const auto& [count, number, g] : candidates) {
      if (number_of.at(static_cast<std::size_t>(g)) != 0) continue;
      if (std::find(taken.begin(), taken.end(), number) != taken.end()) continue;
      number_of[static_cast<std::size_t>(g)] = number;
      taken.push_back(number);
    }
    for (std::size_t g = 1; g < number_of.size(); ++g) {
      if (number_of[g] == 0) number_of[g] = next_number++;
      next_number = std::max(next_number, number_of[g] + 1);
    }
    for (std::size_t k = 0; k < index.size(); ++k) {
      const std::int32_t number = number_of.at(static_cast<std::size_t>(cut.group[k]));
      group[index[k]][y] = number;
      last[index[k]] = number;
    }
  }
  return group;
}

namespace {

// What the agreement of two years needs of each year, made once per year:
// for every pair of its locations (records::packed_index) the fusion that
// first joins them, in two bytes where the year has fewer than 65,536
// fusions, as every work space has, and the fusion levels. Two bytes a pair
// keep a long series' years in memory together: 160 kB a year of 400.
struct YearFacts {
  explicit YearFacts(const trees::Tree& tree) {
    const std::int32_t n = tree.locations();
    for (std::size_t s = 0; s < tree.fusions().size(); ++s) levels.push_back(tree.level(s));
    if (tree.fusions().size() >= 65536) {
      lookup.emplace(tree);
      return;
    }
    const trees::CopheneticLookup first(tree);
    first_common.reserve(n > 1 ? static_cast<std::size_t>(n) * static_cast<std::size_t>(n - 1) / 2 : 0);
    for (std::int32_t j = 2; j <= n; ++j) {
      for (std::int32_t i = 1; i < j; ++i) first_common.push_back(static_cast<std::uint16_t>(first.fusion(i, j)));
    }
  }
  // The cophenetic level of locations i < j (1-based).
  double level(std::int32_t i, std::int32_t j) const {
    if (lookup) return lookup->level(i, j);
    return levels[first_common[static_cast<std::size_t>(records::packed_index(i, j))]];
  }
  std::vector<std::uint16_t> first_common;
  std::vector<double> levels;
  std::optional<trees::CopheneticLookup> lookup;  // for a year too large for two bytes
};

// Buffers reused from one pair of years to the next.
struct PairWork {
  std::vector<std::int32_t> in_b;  // by location of the job: number in year b, 0 absent
  std::vector<std::pair<std::int32_t, std::int32_t>> shared;
  std::vector<std::int32_t> cut_a;
  std::vector<std::int32_t> cut_b;
  std::vector<double> pairs_a;
  std::vector<double> pairs_b;
};

// The agreement of two years on the locations both hold.
Agreement agree(const std::vector<YearCut>& years, const std::vector<YearFacts>& facts,
                const std::vector<std::vector<std::size_t>>& members, std::size_t a,
                std::size_t b, PairWork& work) {
  Agreement result;
  result.year_a = a;
  result.year_b = b;
  // Local number (1-based) in year b of each location of the job, 0 absent.
  for (std::size_t k = 0; k < members[b].size(); ++k) {
    work.in_b.at(members[b][k]) = static_cast<std::int32_t>(k + 1);
  }
  // Shared locations as (number in a, number in b), in year a's order.
  work.shared.clear();
  for (std::size_t k = 0; k < members[a].size(); ++k) {
    const std::int32_t other = work.in_b.at(members[a][k]);
    if (other != 0) work.shared.emplace_back(static_cast<std::int32_t>(k + 1), other);
  }
  for (const std::size_t location : members[b]) work.in_b[location] = 0;
  const auto& shared = work.shared;
  result.shared = static_cast<std::int64_t>(shared.size());
  if (result.shared < kMinimumShared) return result;

  work.cut_a.clear();
  work.cut_b.clear();
  for (const auto& [ka, kb] : shared) {
    work.cut_a.push_back(years[a].partition.group.at(static_cast<std::size_t>(ka) - 1));
    work.cut_b.push_back(years[b].partition.group.at(static_cast<std::size_t>(kb) - 1));
  }
  result.adjusted_rand = trees::adjusted_rand(work.cut_a, work.cut_b);

  const YearFacts& levels_a = facts[a];
  const YearFacts& levels_b = facts[b];
  work.pairs_a.clear();
  work.pairs_b.clear();
  // Shared locations stand in year a's order: first numbers ascend.
  for (std::size_t j = 1; j < shared.size(); ++j) {
    const auto [ja, jb] = shared[j];
    for (std::size_t i = 0; i < j; ++i) {
      work.pairs_a.push_back(levels_a.level(shared[i].first, ja));
      work.pairs_b.push_back(levels_b.level(std::min(shared[i].second, jb), std::max(shared[i].second, jb)));
    }
  }
  result.cophenetic_correlation = trees::pearson(work.pairs_a, work.pairs_b);
  return result;
}

}  // namespace

Comparison compare_years(const std::vector<YearCut>& years) {
  Comparison result;
  std::unordered_map<std::string, std::size_t> where;
  std::vector<std::vector<std::size_t>> members(years.size());
  std::vector<std::size_t> seen_in;  // by location: 1 + the last year that named it
  for (std::size_t y = 0; y < years.size(); ++y) {
    result.columns.push_back(years[y].year.column);
    for (const std::string& name : years[y].year.names) {
      const auto [place, added] = where.emplace(name, result.locations.size());
      if (added) {
        result.locations.push_back(name);
        seen_in.push_back(0);
      }
      if (seen_in.at(place->second) == y + 1) {
        throw std::logic_error("a location name twice in one year");
      }
      seen_in[place->second] = y + 1;
      members[y].push_back(place->second);
    }
  }
  const std::size_t n = result.locations.size();
  result.full_names.assign(n, std::string());
  result.group.assign(n, std::vector<std::int32_t>(years.size(), 0));
  for (std::size_t y = 0; y < years.size(); ++y) {
    for (std::size_t k = 0; k < members[y].size(); ++k) {
      result.group[members[y][k]][y] = years[y].partition.group.at(k);
    }
  }
  result.region = match_regions(years, members, n);

  result.pairs.assign(n < 2 ? 0 : n * (n - 1) / 2, PairCount{});
  for (std::size_t y = 0; y < years.size(); ++y) {
    const std::vector<std::size_t>& index = members[y];
    const std::vector<std::int32_t>& cut = years[y].partition.group;
    for (std::size_t j = 1; j < index.size(); ++j) {
      for (std::size_t i = 0; i < j; ++i) {
        const std::size_t lo = std::min(index[i], index[j]);
        const std::size_t hi = std::max(index[i], index[j]);
        PairCount& count = result.pairs.at(records::packed_index(static_cast<std::int32_t>(lo + 1),
                                                             static_cast<std::int32_t>(hi + 1)));
        ++count.years_both;
        if (cut.at(i) == cut.at(j)) ++count.years_together;
      }
    }
  }

  std::vector<YearFacts> facts;
  facts.reserve(years.size());
  for (const YearCut& year : years) facts.emplace_back(year.year.tree);
  PairWork work;
  work.in_b.assign(n, 0);
  for (std::size_t a = 0; a < years.size(); ++a) {
    for (std::size_t b = a + 1; b < years.size(); ++b) {
      result.agreement.push_back(agree(years, facts, members, a, b, work));
    }
  }
  result.members = std::move(members);
  return result;
}

}  // namespace metclust::compare
