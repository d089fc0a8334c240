#!/usr/bin/env bash
# Runs each fuzz target for a bounded time, one after the other:
#   fuzz/run.sh BUILD_FOLDER SECONDS_PER_TARGET [TARGET...]
# The seed corpora are made afresh from the fixture jobs' .EMA files; the
# corpora the fuzzers grow are kept in BUILD_FOLDER/corpus between runs.
# Every input in fuzz/regressions/<target>/ is replayed first. A finding is
# left in BUILD_FOLDER/findings/<target>/ and makes the script fail.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?build folder}
seconds=${2:?seconds per target}
shift 2
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(reader_fuzz run_fuzz cluster_fuzz job_results_fuzz csv_fuzz check_fuzz choose_fuzz)

seeds="$build/seeds"
rm -rf "$seeds"
mkdir -p "$seeds/reader_fuzz" "$seeds/run_fuzz" "$seeds/cluster_fuzz" "$seeds/job_results_fuzz" \
  "$seeds/csv_fuzz" "$seeds/check_fuzz" "$seeds/choose_fuzz"
n=0
for ema in tests/fixtures/*/input/*.EMA examples/*.EMA; do
  [ -f "$ema" ] || continue
  n=$((n + 1))
  # Whole job: one byte for the strategy answer (byte % 12 - 1), then the file.
  { printf "\\$(printf '%03o' $((n % 8 + 2)))"; cat "$ema"; } > "$seeds/run_fuzz/seed-$n"
  # Readers: 9 statements in the order a job reads its .EMA file (header,
  # title, options, year, NL, ELIM, three matrix rows), then the file.
  { printf '\010\050\002\003\004\010\030\005\015\025'; cat "$ema"; } > "$seeds/reader_fuzz/seed-$n"
  # Clustering engine: the file's bytes as they are.
  cp "$ema" "$seeds/cluster_fuzz/seed-$n"
  # Checker against the run: as for the whole job.
  cp "$seeds/run_fuzz/seed-$n" "$seeds/check_fuzz/seed-$n"
  # metclust-choose on the run: one byte for the strategy, then the file.
  cp "$seeds/run_fuzz/seed-$n" "$seeds/choose_fuzz/seed-$n"
done
# Import sources: one byte for the source (matrix, pairs, trials with each
# measure: the byte % 5) and the separator (found from the header row, or
# comma, semicolon or tab: the byte / 5 % 4), then the CSV.
printf '\000,A,B,C\r\nA,0,1.5,2\r\nB,1.5,0,\r\nC,2,NA,0\r\n' > "$seeds/csv_fuzz/matrix"
printf '\001year,location_a,location_b,proximity\n1995,A,B,1\n1995,"C, D",A,2.5\n1995,B,"C, D",3\n2004,A,B,0\n' \
  > "$seeds/csv_fuzz/pairs"
for m in 2 3 4; do
  printf "\\00${m}\xEF\xBB\xBFyear,location,genotype,value\n88,A,G1,5.2\n88,A,G2,4\n88,B,G1,3\n88,B,G2,NA\n88,B,G3,7\n88,C,G1,1e1\n88,C,G2,-2\n" \
    > "$seeds/csv_fuzz/trials-$m"
done
# Semicolons with decimal commas and the names breeders give the columns,
# found from the header row; pairs between tabs, given.
printf '\002"";"year";"site";"variety";"yield"\n"1";88;"A";"G1";5,2\n"2";88;"A";"G2";4\n"3";88;"B; C";"G1";3,25\n"4";88;"B; C";"G2";NA\n' \
  > "$seeds/csv_fuzz/trials-semicolons"
printf '\020season\tlocation_a\tlocation_b\tproximity\n1995\tA\tB\t1\n1995\t"C\tD"\tA\t2.5\n1995\tB\t"C\tD"\t3\n' \
  > "$seeds/csv_fuzz/pairs-tabs"
# Job results: K - 1, the length of the .PCL (two bytes), the .PCL and the
# .CLS of each fixture job that has both.
n=0
for pcl in tests/fixtures/*/expected/JOB.PCL; do
  cls="${pcl%.PCL}.CLS"
  [ -f "$cls" ] || continue
  n=$((n + 1))
  size=$(stat -c %s "$pcl")
  [ "$size" -lt 65536 ] || continue
  { printf "\\$(printf '%03o' $((n % 6)))\\$(printf '%03o' $((size / 256)))\\$(printf '%03o' $((size % 256)))"
    cat "$pcl" "$cls"; } > "$seeds/job_results_fuzz/seed-$n"
done

status=0
for target in "${targets[@]}"; do
  binary="$build/fuzz/$target"
  corpus="$build/corpus/$target"
  findings="$build/findings/$target"
  mkdir -p "$corpus" "$findings"
  regressions=(fuzz/regressions/"$target"/*)
  if [ -e "${regressions[0]}" ]; then
    echo "== $target: replaying ${#regressions[@]} regression inputs"
    "$binary" -runs=1 "${regressions[@]}" > "$build/$target-regressions.log" 2>&1 || {
      cat "$build/$target-regressions.log"
      status=1
      continue
    }
  fi
  echo "== $target: fuzzing for $seconds s"
  if ! "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=8192 \
      -dict=fuzz/ema.dict -print_final_stats=1 -artifact_prefix="$findings/" \
      "$corpus" "$seeds/$target" \
      > "$build/$target.log" 2>&1; then
    tail -n 60 "$build/$target.log"
    echo "== $target: FINDING, see $findings/"
    status=1
  else
    grep -E '^(#[0-9]+[[:space:]]+DONE|Done [0-9]+ runs|stat::number_of_executed_units|stat::peak_rss_mb)' \
      "$build/$target.log" || true
  fi
done
exit $status
