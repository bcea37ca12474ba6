#!/usr/bin/env bash
# Every test of the project, from a fresh Debian 12 machine: installs what is missing, builds
# the portable core and both Windows programs, runs the unit tests and the suite under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

step() { printf '\n==== %s\n' "$*"; }

step "installing what the tests need"
tools/install-deps.sh

step "unit tests of the portable core"
cmake --preset native >/dev/null
cmake --build --preset native
ctest --preset native

step "sanitizers: unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize
ctest --preset sanitize

step "valgrind: unit tests under memcheck"
valgrind --quiet --error-exitcode=1 --leak-check=full build/native/tests/vq_unit_tests --gtest_brief=1

step "fuzzing: extractBetween and the fetch cycle under libFuzzer"
tools/run-fuzzers.sh

step "Windows programs (i686 product, x86_64 for Wine)"
cmake --preset win32 >/dev/null
cmake --build --preset win32
cmake --preset win64 >/dev/null
cmake --build --preset win64

step "the program under Wine"
python3 tests/e2e/run.py
