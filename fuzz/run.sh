#!/usr/bin/env bash
# Runs each fuzz target for a bounded time, one after the other:
#   fuzz/run.sh BUILD_FOLDER SECONDS_PER_TARGET [TARGET...]
# The seed corpora are made afresh by fuzz_seeds from the table of the
# targets (fuzz/targets.hpp): from the fixture jobs and the sample job, and
# for csv_fuzz from CSV files of its own. The corpora the fuzzers grow are
# kept in BUILD_FOLDER/corpus between runs.
# Every input in fuzz/regressions/<target>/ is replayed first. A finding is
# left in BUILD_FOLDER/findings/<target>/ and makes the script fail.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?build folder}
seconds=${2:?seconds per target}
shift 2
targets=("$@")

# The seeds of every target, from the table in fuzz/targets.hpp.
seeds="$build/seeds"
rm -rf "$seeds"
"$build/fuzz/fuzz_seeds" . "$seeds"
[ ${#targets[@]} -gt 0 ] || mapfile -t targets < <("$build/fuzz/fuzz_seeds" --list)

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
