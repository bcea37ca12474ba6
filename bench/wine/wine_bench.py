#!/usr/bin/env python3
"""The program under Wine against yardsticks of our own, measured side by side in one run, on a
private Xvfb and Wine prefix set up by the end-to-end harness (tests/e2e/harness.py):

* start-up: from starting `wine X.exe` to its window being viewable on the X server (polled
  through Xlib every 2 ms), VeltromQuenzo.exe against vq_minimal_window.exe, runs alternating;
* one fetch: from the Return key's press (sent through XTEST, as xdotool sends keys, but without
  launching a process in the timed span) to the caption's change (seen by vq_caption_watch.exe
  inside Wine), against the same GET of the same URL through the same proxy (the harness's fake
  raffle service) by vq_wininet_get.exe under Wine (timed in-process, its session already open
  like the program's) and by curl natively (its time_total); the three take turns;
* the size of the exe files.

    python3 bench/wine/wine_bench.py [--repetitions N]

Prints medians; asserts nothing about speed. Needs the win64 preset built (and win32 for its size).
"""

from __future__ import annotations

import argparse
import ctypes
import os
import shutil
import statistics
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tests" / "e2e"))

import harness  # noqa: E402
from expected import raffle_reply  # noqa: E402
from harness import Reply, Session  # noqa: E402

REPO = harness.REPO
WIN64 = REPO / "build" / "win64"
BENCH_WINE = WIN64 / "bench-wine"
MINIMAL_EXE = BENCH_WINE / "vq_minimal_window.exe"
GET_EXE = BENCH_WINE / "vq_wininet_get.exe"
WATCH_EXE = BENCH_WINE / "vq_caption_watch.exe"
LABEL = 1001
POLL = 0.002


class XWindowAttributes(ctypes.Structure):
    _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int),
                ("height", ctypes.c_int), ("border_width", ctypes.c_int), ("depth", ctypes.c_int),
                ("visual", ctypes.c_void_p), ("root", ctypes.c_ulong), ("class_", ctypes.c_int),
                ("bit_gravity", ctypes.c_int), ("win_gravity", ctypes.c_int),
                ("backing_store", ctypes.c_int), ("backing_planes", ctypes.c_ulong),
                ("backing_pixel", ctypes.c_ulong), ("save_under", ctypes.c_int),
                ("colormap", ctypes.c_ulong), ("map_installed", ctypes.c_int),
                ("map_state", ctypes.c_int), ("all_event_masks", ctypes.c_long),
                ("your_event_mask", ctypes.c_long), ("do_not_propagate_mask", ctypes.c_long),
                ("override_redirect", ctypes.c_int), ("screen", ctypes.c_void_p)]


class XDisplay:
    """A connection to an X server through Xlib: key presses through the XTEST extension, and
    the titles of the viewable top-level windows. Both in this process, so that timing them
    costs no process start (an xdotool run takes some 50 ms here)."""

    RETURN = 0xFF0D  # keysym
    IS_VIEWABLE = 2

    def __init__(self, display: str):
        self.x11 = x11 = ctypes.CDLL("libX11.so.6")
        self.xtst = ctypes.CDLL("libXtst.so.6")
        x11.XOpenDisplay.restype = ctypes.c_void_p
        x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x11.XDefaultRootWindow.restype = ctypes.c_ulong
        x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x11.XInternAtom.restype = ctypes.c_ulong
        x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        x11.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong,
                                   ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_ulong),
                                   ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)),
                                   ctypes.POINTER(ctypes.c_uint)]
        x11.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong,
                                             ctypes.POINTER(XWindowAttributes)]
        x11.XGetWindowProperty.argtypes = [
            ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_long, ctypes.c_long,
            ctypes.c_int, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
            ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_ulong),
            ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_void_p)]
        x11.XFree.argtypes = [ctypes.c_void_p]
        x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        x11.XFlush.argtypes = [ctypes.c_void_p]
        x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                                ctypes.c_ulong]
        self.display = x11.XOpenDisplay(display.encode())
        if not self.display:
            raise harness.HarnessError(f"cannot open X display {display}")
        self.root = x11.XDefaultRootWindow(self.display)
        self.title_atoms = [x11.XInternAtom(self.display, b"_NET_WM_NAME", 0),
                            x11.XInternAtom(self.display, b"WM_NAME", 0)]

    def _title(self, window: int) -> str:
        for atom in self.title_atoms:
            kind, count, after = ctypes.c_ulong(), ctypes.c_ulong(), ctypes.c_ulong()
            form, data = ctypes.c_int(), ctypes.c_void_p()
            if self.x11.XGetWindowProperty(self.display, window, atom, 0, 256, 0, 0,
                                           ctypes.byref(kind), ctypes.byref(form),
                                           ctypes.byref(count), ctypes.byref(after),
                                           ctypes.byref(data)) == 0 and data.value:
                text = ctypes.string_at(data.value, count.value).decode("utf-8", "replace")
                self.x11.XFree(data)
                if text:
                    return text
        return ""

    def viewable_titles(self) -> list[str]:
        root, parent = ctypes.c_ulong(), ctypes.c_ulong()
        children, count = ctypes.POINTER(ctypes.c_ulong)(), ctypes.c_uint()
        if not self.x11.XQueryTree(self.display, self.root, ctypes.byref(root),
                                   ctypes.byref(parent), ctypes.byref(children),
                                   ctypes.byref(count)):
            return []
        windows = [children[i] for i in range(count.value)]
        if children:
            self.x11.XFree(children)
        titles = []
        for window in windows:
            attributes = XWindowAttributes()
            if (self.x11.XGetWindowAttributes(self.display, window, ctypes.byref(attributes))
                    and attributes.map_state == self.IS_VIEWABLE):
                titles.append(self._title(window))
        return titles

    def press(self, keysym: int) -> None:
        code = self.x11.XKeysymToKeycode(self.display, keysym)
        self.xtst.XTestFakeKeyEvent(self.display, code, 1, 0)
        self.x11.XFlush(self.display)

    def release(self, keysym: int) -> None:
        code = self.x11.XKeysymToKeycode(self.display, keysym)
        self.xtst.XTestFakeKeyEvent(self.display, code, 0, 0)
        self.x11.XFlush(self.display)

    def close(self) -> None:
        self.x11.XCloseDisplay(self.display)


def window_ids(display: str, title_pattern: str) -> list[str]:
    return harness.xdotool(display, "search", "--onlyvisible", "--name", title_pattern,
                           check=False).split()


def time_to_window(session: Session, x: XDisplay, exe: Path, title: str,
                   title_pattern: str) -> float:
    """Seconds from starting `exe` to a viewable window whose title starts with `title`; then
    closes it (Escape) and waits until it is gone, so that the next run starts from the same
    state."""
    folder = session.prefix.drive_c / "bench" / f"start-{exe.stem}"
    folder.mkdir(parents=True, exist_ok=True)
    copy = folder / exe.name
    if not copy.exists():
        shutil.copy2(exe, copy)
    began = time.monotonic()
    process = session.prefix.popen(["wine", session.prefix.windows_path(copy)],
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                   start_new_session=True)
    harness.wait_for(lambda: any(t.startswith(title) for t in x.viewable_titles()), timeout=60,
                     interval=POLL, what=f"the window of {exe.name}")
    elapsed = time.monotonic() - began
    found = harness.wait_for(lambda: window_ids(session.display, title_pattern), timeout=20,
                             what=f"xdotool to find the window of {exe.name}")
    harness.xdotool(session.display, "windowfocus", "--sync", found[-1])
    harness.xdotool(session.display, "key", "Escape")
    try:
        process.wait(timeout=20)
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, 9)
        process.wait()
    harness.wait_for(lambda: not window_ids(session.display, title_pattern), timeout=20,
                     what=f"the window of {exe.name} to go")
    return elapsed


class CaptionWatch:
    def __init__(self, session: Session):
        self.process = session.prefix.popen(
            ["wine", str(WATCH_EXE), harness.MAIN_WINDOW_CLASS, str(LABEL)],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.expect("ready")

    def expect(self, word: str) -> None:
        line = self.process.stdout.readline().decode().strip()
        if line != word:
            raise harness.HarnessError(f"caption watcher said {line!r}, expected {word!r}")

    def arm(self) -> None:
        self.process.stdin.write(b"go\n")
        self.process.stdin.flush()
        self.expect("armed")

    def close(self) -> None:
        self.process.stdin.close()
        self.process.wait(timeout=20)


class ProgramFetch:
    """The program running with its window focused, fetched from by the Return key."""

    def __init__(self, session: Session):
        self.session = session
        self.program = harness.Program(session, "bench/VeltromQuenzo")
        self.program.start()
        self.watch = CaptionWatch(session)
        self.keys = XDisplay(session.display)
        self.fetches = 0
        self.time_one()  # the first fetch also opens WinINet's session

    def time_one(self) -> float:
        """Seconds from the Return key's press to the caption's change; the k-th time timed
        has k entries already in the page."""
        self.fetches += 1
        self.session.service.script(Reply(raffle_reply(f"QXB{self.fetches:04d}")))
        harness.xdotool(self.session.display, "windowfocus", "--sync", self.program.x_window)
        self.watch.arm()
        began = time.monotonic()
        self.keys.press(XDisplay.RETURN)
        self.watch.expect("changed")
        elapsed = time.monotonic() - began
        self.keys.release(XDisplay.RETURN)
        return elapsed

    def close(self) -> None:
        self.keys.close()
        self.watch.close()
        self.program.stop()


def wininet_get_time(session: Session) -> float:
    """One GET by vq_wininet_get.exe, the second of its run, as the program's timed fetches come
    after its first."""
    session.service.script(Reply(raffle_reply("QXG0001")), Reply(raffle_reply("QXG0002")))
    result = session.prefix.run(["wine", str(GET_EXE), harness.RAFFLE_URL, "2"],
                                stdout=subprocess.PIPE, timeout=120)
    rows = [line.split() for line in result.stdout.decode().splitlines() if line.strip()]
    if len(rows) != 2 or any(row[2] != "0" or row[1] == "0" for row in rows):
        raise harness.HarnessError(f"vq_wininet_get: {rows}")
    return int(rows[1][0]) / 1e6


def curl_time(session: Session) -> float:
    session.service.script(Reply(raffle_reply("QXC0001")))
    result = subprocess.run(
        ["curl", "--silent", "--show-error", "--output", "/dev/null", "--write-out",
         "%{time_total}", "--proxy", f"http://127.0.0.1:{session.service.port}", "--http1.0",
         harness.RAFFLE_URL], env=harness.clean_environment(), stdout=subprocess.PIPE,
        check=True, timeout=30)
    return float(result.stdout.decode())


def ms(seconds: float) -> str:
    return f"{seconds * 1e3:9.1f} ms"


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--repetitions", type=int,
                        default=int(os.environ.get("BENCH_WINE_REPETITIONS", "7")))
    args = parser.parse_args()
    n = args.repetitions
    harness.require_built([harness.PROGRAM_EXE, MINIMAL_EXE, GET_EXE, WATCH_EXE])

    print("\nThe program under Wine (win64 build), medians of", n, "runs")
    with Session() as session:
        # A server that stays up between runs, so that no start pays for starting it.
        session.prefix.run(["wineserver", "-p"])
        product = (harness.PROGRAM_EXE, "VeltromQuenzo", "^VeltromQuenzo")
        minimal = (MINIMAL_EXE, "VQ minimal window", "^VQ minimal window$")
        x = XDisplay(session.display)
        try:
            for exe, title, pattern in (product, minimal):  # first starts fill Wine's caches
                time_to_window(session, x, exe, title, pattern)
            starts: dict[Path, list[float]] = {product[0]: [], minimal[0]: []}
            for run in range(n):
                order = (product, minimal) if run % 2 == 0 else (minimal, product)
                for exe, title, pattern in order:
                    starts[exe].append(time_to_window(session, x, exe, title, pattern))
        finally:
            x.close()
        fetches, gets, curls = [], [], []
        program = ProgramFetch(session)
        try:
            for _ in range(n):
                fetches.append(program.time_one())
                gets.append(wininet_get_time(session))
                curls.append(curl_time(session))
        finally:
            program.close()

    start_product = statistics.median(starts[product[0]])
    start_minimal = statistics.median(starts[minimal[0]])
    print("\nstart to window shown")
    print(f"  VeltromQuenzo.exe       {ms(start_product)}")
    print(f"  vq_minimal_window.exe   {ms(start_minimal)}")
    print(f"  ratio                   {start_product / start_minimal:9.2f}x")

    fetch, get, curl = (statistics.median(t) for t in (fetches, gets, curls))
    print("\none fetch against the fake raffle service through the prefix's proxy")
    print(f"  VeltromQuenzo.exe, key to caption   {ms(fetch)}   "
          f"(page of 1 to {n} entries before the fetch)")
    # Each fetch puts the whole page into the edit box again, so the time grows with the page.
    slope, intercept = statistics.linear_regression(range(1, n + 1), fetches)
    print(f"    grows with the page: {intercept * 1e3:.1f} ms + {slope * 1e3:.2f} ms per entry "
          f"already in it; in order: {' '.join(f'{t * 1e3:.0f}' for t in fetches)} ms")
    print(f"  vq_wininet_get.exe under Wine       {ms(get)}   ratio {fetch / get:7.1f}x")
    print(f"  curl, native                        {ms(curl)}   ratio {fetch / curl:7.1f}x")

    print("\nsize of the exe files")
    minimal_size = MINIMAL_EXE.stat().st_size
    for exe in (REPO / "build" / "win32" / "VeltromQuenzo.exe", harness.PROGRAM_EXE, MINIMAL_EXE):
        if exe.exists():
            size = exe.stat().st_size
            print(f"  {str(exe.relative_to(REPO)):<44}{size:>9} bytes"
                  f"{size / minimal_size:>8.1f}x the minimal window")
        else:
            print(f"  {str(exe.relative_to(REPO)):<44}  not built")
    return 0


if __name__ == "__main__":
    sys.exit(main())
