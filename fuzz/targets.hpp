// The fuzz targets in one table: each target's name, its entry point and the
// seeds its corpus starts from. Seeds are made from the project's jobs (the
// fixture jobs of tests/fixtures and the sample job of examples/) and, for a
// target whose input is no job, written here. fuzz/run.sh has fuzz_seeds
// write them before it fuzzes; the tests replay, through the same entry
// points, every seed and every input of regressions/<target>/.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "choose_entry.hpp"
#include "companion_entry_points.hpp"
#include "entry_points.hpp"
#include "job_results_entry.hpp"
#include "support/scratch_folder.hpp"

namespace metclust::fuzz {

using Bytes = std::vector<std::uint8_t>;

// A job the seeds are made from.
struct SeedJob {
  std::string name;  // the fixture's folder, or the sample job's file name
  std::string ema;   // its .EMA file
  std::string pcl;   // the .PCL and .CLS files a run of it leaves; empty when not kept
  std::string cls;
};

// The .EMA file of every fixture job that has one, by the fixture's name,
// then the sample jobs.
inline std::vector<SeedJob> seed_jobs(const std::filesystem::path& project) {
  namespace fs = std::filesystem;
  std::vector<SeedJob> jobs;
  std::error_code ec;
  for (const auto& fixture : fs::directory_iterator(project / "tests" / "fixtures", ec)) {
    for (const auto& entry : fs::directory_iterator(fixture.path() / "input", ec)) {
      const fs::path& ema = entry.path();
      if (ema.extension() != ".EMA" || !entry.is_regular_file()) continue;
      const fs::path results = fixture.path() / "expected" / ema.stem();
      jobs.push_back({fixture.path().filename().string(), testing::read_bytes(ema),
                      testing::read_bytes(results.string() + ".PCL"), testing::read_bytes(results.string() + ".CLS")});
    }
  }
  std::sort(jobs.begin(), jobs.end(), [](const SeedJob& a, const SeedJob& b) { return a.name < b.name; });
  std::vector<fs::path> samples;
  for (const auto& entry : fs::directory_iterator(project / "examples", ec)) {
    if (entry.path().extension() == ".EMA") samples.push_back(entry.path());
  }
  std::sort(samples.begin(), samples.end());
  for (const fs::path& ema : samples) jobs.push_back({ema.filename().string(), testing::read_bytes(ema), "", ""});
  return jobs;
}

inline Bytes bytes_of(std::string_view text) { return {text.begin(), text.end()}; }

// `prefix`, then `text`.
inline Bytes joined(Bytes prefix, std::string_view text) {
  prefix.insert(prefix.end(), text.begin(), text.end());
  return prefix;
}

struct Target {
  std::string_view name;
  std::string (*entry)(std::span<const std::uint8_t> data, const Workspace& space);
  // The seeds made from one job; none when the job has nothing for the target.
  std::vector<Bytes> (*job_seeds)(const SeedJob& job);
  // Seeds of the target's own, made from no job.
  std::vector<Bytes> (*own_seeds)();
};

inline std::vector<Bytes> no_seeds() { return {}; }

// The .EMA file after a byte for the strategy answer (byte % 12 - 1), for
// `answers` such bytes from 0 on.
inline std::vector<Bytes> with_answers(const SeedJob& job, int answers) {
  std::vector<Bytes> seeds;
  for (int answer = 0; answer < answers; ++answer) {
    seeds.push_back(joined({static_cast<std::uint8_t>(answer)}, job.ema));
  }
  return seeds;
}

inline const std::array<Target, 7>& targets() {
  static const std::array<Target, 7> table = {{
      // The readers: a job's reads in order (header, title, options, year,
      // NL, ELIM, three matrix rows), then each kind of statement alone.
      {"reader_fuzz", [](std::span<const std::uint8_t> data, const Workspace& space) { return read_records(data, space); },
       [](const SeedJob& job) {
         const std::vector<Bytes> statements = {
             {8, 050, 002, 003, 004, 010, 030, 005, 015, 025},
             {0, 0370}, {0, 0371}, {0, 0002}, {0, 0003}, {0, 0074}, {0, 0375}, {0, 0156}, {0, 0267},
         };
         std::vector<Bytes> seeds;
         for (const Bytes& prefix : statements) seeds.push_back(joined(prefix, job.ema));
         return seeds;
       },
       no_seeds},
      // A whole job under the strategy answers -1 to 8.
      {"run_fuzz", [](std::span<const std::uint8_t> data, const Workspace& space) { return run_whole_job(data, space); },
       [](const SeedJob& job) { return with_answers(job, 10); }, no_seeds},
      // The engine: the file's bytes as they are.
      {"cluster_fuzz", [](std::span<const std::uint8_t> data, const Workspace&) { return cluster_both_ways(data); },
       [](const SeedJob& job) { return std::vector<Bytes>{bytes_of(job.ema)}; }, no_seeds},
      // The .PCL and .CLS a run left, with several cuts into groups, and the
      // .PCL cut short at thirteen places.
      {"job_results_fuzz", [](std::span<const std::uint8_t> data, const Workspace&) { return read_job_results(data); },
       [](const SeedJob& job) {
         std::vector<Bytes> seeds;
         if (job.pcl.empty() || job.cls.empty() || job.pcl.size() >= 65536) return seeds;
         const auto input = [&](std::uint8_t k_less_one, std::string_view pcl) {
           return joined({k_less_one, static_cast<std::uint8_t>(pcl.size() >> 8),
                          static_cast<std::uint8_t>(pcl.size() & 0xFF)},
                         std::string(pcl) + job.cls);
         };
         for (const std::uint8_t k : {0, 1, 3, 200}) seeds.push_back(input(k, job.pcl));
         const std::size_t step = std::max<std::size_t>(1, job.pcl.size() / 13);
         for (std::size_t cut = 0; cut < job.pcl.size(); cut += step) {
           seeds.push_back(input(2, std::string_view(job.pcl).substr(0, cut)));
         }
         return seeds;
       },
       no_seeds},
      // metclust-import's sources: one byte for the source (square matrix,
      // pairs, trial results with each measure: the byte % 5) and the
      // separator (found from the header row, or comma, semicolon or tab: the
      // byte / 5 % 4), then the CSV file.
      {"csv_fuzz", [](std::span<const std::uint8_t> data, const Workspace&) { return import_csv(data); },
       [](const SeedJob&) { return std::vector<Bytes>{}; },
       [] {
         std::vector<Bytes> seeds = {
             joined({0}, ",A,B,C\r\nA,0,1.5,2\r\nB,1.5,0,\r\nC,2,NA,0\r\n"),
             joined({1}, "year,location_a,location_b,proximity\n1995,A,B,1\n1995,\"C, D\",A,2.5\n"
                         "1995,B,\"C, D\",3\n2004,A,B,0\n"),
         };
         for (const std::uint8_t measure : {2, 3, 4}) {
           seeds.push_back(joined({measure}, "\xEF\xBB\xBFyear,location,genotype,value\n88,A,G1,5.2\n88,A,G2,4\n"
                                             "88,B,G1,3\n88,B,G2,NA\n88,B,G3,7\n88,C,G1,1e1\n88,C,G2,-2\n"));
         }
         // Semicolons with decimal commas and the names breeders give the
         // columns, found from the header row; pairs between tabs, given.
         seeds.push_back(joined({2}, "\"\";\"year\";\"site\";\"variety\";\"yield\"\n\"1\";88;\"A\";\"G1\";5,2\n"
                                     "\"2\";88;\"A\";\"G2\";4\n\"3\";88;\"B; C\";\"G1\";3,25\n\"4\";88;\"B; C\";\"G2\";NA\n"));
         seeds.push_back(joined({020}, "season\tlocation_a\tlocation_b\tproximity\n1995\tA\tB\t1\n"
                                       "1995\t\"C\tD\"\tA\t2.5\n1995\tB\t\"C\tD\"\t3\n"));
         return seeds;
       }},
      // metclust-check against a whole run, under every strategy answer.
      {"check_fuzz", [](std::span<const std::uint8_t> data, const Workspace& space) { return check_agrees_with_run(data, space); },
       [](const SeedJob& job) { return with_answers(job, 12); }, no_seeds},
      // A whole run read back by metclust-choose, under each strategy.
      {"choose_fuzz", [](std::span<const std::uint8_t> data, const Workspace& space) { return choose_from_run(data, space); },
       [](const SeedJob& job) { return with_answers(job, 8); }, no_seeds},
  }};
  return table;
}

}  // namespace metclust::fuzz
