#!/usr/bin/env python3
"""Reads Google Benchmark's JSON output and prints, from the medians of the repetitions:
extractBetween's time against std::string_view::find on the same input, and how the fetch cycle
and the finish grow with the page."""
import json
import sys

GOAL = 1.5  # extractBetween may take at most this many times the plain find's time


def medians(path):
    with open(path, encoding="utf-8") as f:
        runs = json.load(f)["benchmarks"]
    chosen = {}
    for run in runs:
        single = run.get("run_type") == "iteration" and "repetitions" not in run.get("name", "")
        if run.get("aggregate_name") == "median" or (single and run["run_name"] not in chosen):
            chosen[run["run_name"]] = run
    return chosen


def nanoseconds(run, clock="real_time"):
    scale = {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}[run["time_unit"]]
    return run[clock] * scale


def main(path):
    runs = medians(path)
    # CPU time: on a shared machine the wall clock also counts the time others had the core.
    print("\nextractBetween against std::string_view::find (median CPU time)")
    print(f"{'input':<16}{'extractBetween':>16}{'find':>14}{'ratio':>9}")
    missed = False
    for name, run in sorted(runs.items()):
        if not name.startswith("BM_ExtractBetween/"):
            continue
        baseline = runs.get(name.replace("BM_ExtractBetween", "BM_StringViewFind"))
        if baseline is None:
            continue
        ours, theirs = nanoseconds(run, "cpu_time"), nanoseconds(baseline, "cpu_time")
        ratio = ours / theirs
        missed |= ratio > GOAL
        flag = "" if ratio <= GOAL else f"  over the {GOAL}x goal"
        print(f"{run.get('label', name):<16}{ours:>13.1f} ns{theirs:>11.1f} ns{ratio:>8.2f}x{flag}")

    for prefix, what in (("BM_FetchCycle/", "one fetch cycle"), ("BM_Finish/", "one finish")):
        rows = sorted((int(name.split("/")[1]), run) for name, run in runs.items()
                      if name.startswith(prefix))
        if not rows:
            continue
        print(f"\n{what} against the entries already in the page (median)")
        print(f"{'entries':>8}{'page':>12}{'time':>14}{'per page KiB':>15}")
        for entries, run in rows:
            page = run.get("page_bytes", 0)
            per_kib = nanoseconds(run) / (page / 1024) if page else float("nan")
            print(f"{entries:>8}{page / 1024:>9.0f} KiB{nanoseconds(run) / 1e3:>11.1f} us"
                  f"{per_kib:>12.1f} ns")
    if missed:
        print("\nextractBetween missed its goal on this run (the machine may be busy).")


if __name__ == "__main__":
    main(sys.argv[1])
