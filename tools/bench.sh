#!/usr/bin/env bash
# Builds the benchmarks (preset "bench", Release) and runs them; after Google Benchmark's table,
# prints extractBetween's time against std::string_view::find and how the fetch cycle and the
# finish grow with the page. BENCH_REPETITIONS sets the repetitions; more arguments go to the
# benchmark program (e.g. --benchmark_filter=Extract).
# Then the program under Wine against yardsticks of our own (bench/wine/wine_bench.py): start-up
# to the window shown, one fetch, the exe files' sizes; BENCH_WINE_REPETITIONS sets its runs,
# BENCH_WINE=0 leaves it out.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset bench >/dev/null
cmake --build --preset bench --target vq_benchmarks

results=build/bench/results.json
# Repetitions in random order, so that a busy spell of the machine does not fall on one side of
# a ratio only.
build/bench/bench/vq_benchmarks --benchmark_repetitions="${BENCH_REPETITIONS:-5}" \
  --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true \
  --benchmark_out="$results" --benchmark_out_format=json "$@"
python3 bench/ratios.py "$results"

if [[ "${BENCH_WINE:-1}" != 0 ]]; then
  for preset in win32 win64; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" >/dev/null
  done
  python3 bench/wine/wine_bench.py
fi
