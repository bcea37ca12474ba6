#!/usr/bin/env bash
# The program at work, from a fresh Debian 12 machine: installs what is missing, builds the
# product (i686) and the x86_64 build that this machine's 64-bit Wine runs, then runs the latter
# in the Wine prefix build/demo-prefix against a demo raffle service on 127.0.0.1.
#
# With a DISPLAY the window opens there for you to click; without one a short scripted session
# (three fetches, a finish) plays on a private X server and the page and screenshots are left in
# build/demo/. "tools/demo.sh --scripted" plays the session even with a display.
set -euo pipefail
cd "$(dirname "$0")/.."

echo "==== installing what the demo needs"
tools/install-deps.sh

echo "==== building (win32: the product; win64: what runs under Wine here)"
for preset in win32 win64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done

echo "==== running"
exec python3 tests/e2e/demo.py "$@"
