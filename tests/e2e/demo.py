#!/usr/bin/env python3
"""The demo behind tools/demo.sh: the program under Wine, talking to the bundled demo raffle
service (tools/demo_raffle_server.py) through the prefix's proxy setting, in the prefix
build/demo-prefix (made on first use, kept for the next).

With a DISPLAY the program opens there for a person to use; closing it ends the demo. Without one
(or with --scripted) a short session plays on a private Xvfb: three fetches and a finish, then the
page and screenshots are left in build/demo/."""

from __future__ import annotations

import argparse
import os
import signal
import shutil
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))

import harness  # noqa: E402
from demo_raffle_server import DemoRaffleService  # noqa: E402
from expected import SAVED_CAPTION, success_caption  # noqa: E402

PREFIX = harness.REPO / "build" / "demo-prefix"
OUTPUT = harness.REPO / "build" / "demo"
FETCH_BUTTON, FINISH_BUTTON, LABEL = 1004, 1002, 1001


def interactive(exe: Path, display: str) -> int:
    print(f"demo: the program opens on {display}; close its window to end the demo")
    session = harness.Session(prefix_dir=PREFIX, display=display, window_frames=False,
                              record_browser=False, service=DemoRaffleService())
    with session:
        print(f"demo: raffle service on 127.0.0.1:{session.service.port}, prefix {PREFIX}")
        program = harness.Program(session, "VeltromQuenzo", exe=exe)
        program.start(timeout=120)
        code = program.process.wait()
        print(f"demo: the program ended with exit code {code}")
        if program.page_path.exists():
            print(f"demo: the page it saved: {program.page_path}")
    return 0


def scripted(exe: Path) -> int:
    print("demo: no display, so a short session plays on a private X server "
          "(three fetches, then the finish button)")
    OUTPUT.mkdir(parents=True, exist_ok=True)
    session = harness.Session(prefix_dir=PREFIX, window_frames=True, record_browser=True,
                              service=DemoRaffleService())
    with session:
        print(f"demo: raffle service on 127.0.0.1:{session.service.port}, prefix {PREFIX}")
        program = harness.Program(session, "VeltromQuenzo", exe=exe)
        try:
            program.start(timeout=120)
            for count in (1, 2, 3):
                program.press("Return")
                program.wait_state(lambda s, c=count: s.text(LABEL) == success_caption(c),
                                   what=f"fetch {count}")
                print(f"demo: fetch {count}: {program.state().text(LABEL)}")
            shots = [harness.screenshot(session.display, OUTPUT / "three-fetches.png",
                                        program.state().window_rect)]
            for _ in range(3):  # round the focus ring to the finish button
                if program.state().focus_id == FINISH_BUTTON:
                    break
                focus = program.state().focus_id
                program.press("Tab")
                program.wait_state(lambda s, f=focus: s.focus_id != f, what="Tab")
            program.press("space")
            state = program.wait_state(lambda s: s.text(LABEL) == SAVED_CAPTION, what="the save")
            print(f"demo: finish: {state.text(LABEL)}")
            harness.wait_for(session.recorder.entries, what="the shell to open the page")
            shots.append(harness.screenshot(session.display, OUTPUT / "after-finish.png",
                                            state.window_rect))
            program.press("Escape")
            program.wait_exit()
        finally:
            program.stop()
        shutil.copy2(program.page_path, OUTPUT / "1.html")
        print(f"demo: codes handed out: {', '.join(session.service.handed_out)}")
        print(f"demo: the shell was asked to open: {', '.join(session.recorder.entries())}")
    print(f"demo: page (beside the exe):  {program.page_path}")
    print(f"demo: page (copy):            {OUTPUT / '1.html'}")
    for shot in shots:
        print(f"demo: screenshot:             {shot}")
    return 0


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--scripted", action="store_true",
                        help="play the scripted session even when a DISPLAY is set")
    parser.add_argument("--exe", type=Path, default=harness.PROGRAM_EXE,
                        help="the program to run (default: the x86_64 build, which this "
                             "machine's 64-bit Wine runs)")
    args = parser.parse_args()
    harness.require_built([args.exe, harness.INSPECTOR_EXE])
    display = os.environ.get("DISPLAY", "")
    if display and not args.scripted:
        return interactive(args.exe, display)
    return scripted(args.exe)


if __name__ == "__main__":
    # A stop from outside (a CI time limit) still runs the clean-up: Xvfb, wineserver, servers.
    signal.signal(signal.SIGTERM, lambda signum, frame: sys.exit(128 + signum))
    sys.exit(main())
