#!/usr/bin/env bash
# Builds the libFuzzer harnesses (preset "fuzz") and runs each one for a bounded time from its
# checked-in seed corpus. Fails on the first crash, leak, sanitizer report or broken property;
# the input that did it is left in build/fuzz/artifacts. FUZZ_SECONDS sets the time per harness.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${FUZZ_SECONDS:-60}"
fuzzers=(extract_between fetch_cycle)

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target "${fuzzers[@]/%/_fuzzer}"

mkdir -p build/fuzz/artifacts
for name in "${fuzzers[@]}"; do
  # New inputs go to a working corpus under build/; the seeds in the tree stay as committed.
  work="build/fuzz/corpus/$name"
  mkdir -p "$work"
  echo "-- $name: ${seconds}s"
  if ! "build/fuzz/tests/fuzz/${name}_fuzzer" "$work" "tests/fuzz/corpus/$name" \
      -dict="tests/fuzz/$name.dict" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix="build/fuzz/artifacts/$name-" -print_final_stats=1 \
      >"build/fuzz/$name.log" 2>&1; then
    tail -n 60 "build/fuzz/$name.log"
    echo "$name: failed, see build/fuzz/$name.log and build/fuzz/artifacts/" >&2
    exit 1
  fi
  grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb)|DONE' "build/fuzz/$name.log"
done
