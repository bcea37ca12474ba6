#!/usr/bin/env python3
"""The program under Wine, end to end, as a person uses it: real key presses into its window, a
fake raffle service behind the prefix's proxy, the saved page read back from beside the exe and the
shell's "open" caught by a recorder.

    python3 tests/e2e/run.py            every test
    python3 tests/e2e/run.py -k save    the tests whose name holds "save"
    VQ_E2E_KEEP=1 python3 ...           keeps the temporary prefix and logs (path printed)

The tests are here and in hostile_replies.py (a raffle service that misbehaves) and
save_faults.py (saves that fail; two of them mount file systems, so the suite runs as root); all
register through steps.py.

Needs build/win64/VeltromQuenzo.exe and build/win64/e2e/vq_window_probe.exe (the win64 preset).
Screenshots go to build/e2e-artifacts/. The last line is "e2e: N passed, N failed"."""

from __future__ import annotations

import argparse
import dataclasses
import os
import signal
import struct
import sys
import time
import traceback
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import harness  # noqa: E402
from expected import (  # noqa: E402
    FETCH_BUTTON_CAPTION, FINISH_BUTTON_CAPTION, INITIAL_CAPTION, PAGE_FOOTER, REPLY_LIMIT,
    WINDOW_TITLE, Collection, gbk, page_entry, raffle_reply, success_caption)
from harness import Reply, Session  # noqa: E402
from steps import (  # noqa: E402
    BS_DEFPUSHBUTTON, BS_TYPEMASK, CURRENT_PROGRAMS, EDIT_BOX, FETCH_BUTTON, FINISH_BUTTON, LABEL,
    TESTS, WS_TABSTOP, check, check_bytes, check_equal, check_saved, fetch, finish, move_focus_to,
    new_program, nothing_opened, test)

# ---------------------------------------------------------------------------------------------
# The request


@test
def request_line_and_headers(session: Session) -> None:
    program = new_program(session, "request")
    replies = [Reply(raffle_reply("QX8F2K")), Reply(raffle_reply("QX8F2L"))]
    session.service.script(*replies)
    program.start()
    model = Collection()
    for reply in replies:
        fetch(program, model, reply)
    requests = session.service.requests
    check_equal(len(requests), 2, "requests for two fetches")
    for request in requests:
        where = f"request {request.request_line!r}"
        check_equal(request.method, "GET", f"method of {where}")
        check_equal(harness.target_url(request).geturl(), harness.RAFFLE_URL, f"target of {where}")
        check_equal(request.version, "HTTP/1.0", f"version of {where}")
        check_equal(request.request_line,
                    f"{request.method} {request.target} {request.version}",
                    "request line (single spaces, nothing else)")
        check_equal(request.header_values("User-Agent"),
                    ["Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)"],
                    f"User-Agent of {where}; all headers {request.headers}")
        check_equal(request.header_values("Accept"), ["*/*"],
                    f"Accept of {where}; all headers {request.headers}")
        check_equal(request.header_values("Host"), [harness.RAFFLE_HOST],
                    f"Host of {where}; all headers {request.headers}")


# ---------------------------------------------------------------------------------------------
# The keyboard


@test
def tab_and_shift_tab_walk_the_ring(session: Session) -> None:
    program = new_program(session, "ring")
    state = program.start()
    check_equal(state.focus_id, FETCH_BUTTON, "focus when the window opens")
    walk = [("Tab", EDIT_BOX), ("Tab", FINISH_BUTTON), ("Tab", FETCH_BUTTON),
            ("shift+Tab", FINISH_BUTTON), ("shift+Tab", EDIT_BOX), ("shift+Tab", FETCH_BUTTON),
            ("shift+Tab", FINISH_BUTTON), ("Tab", FETCH_BUTTON)]
    for step, (key, expected_focus) in enumerate(walk, 1):
        focus_before = program.state().focus_id
        program.press(key)
        state = program.wait_state(lambda s: s.focus_id != focus_before,
                                   what=f"{key} (step {step}) to move the focus from {focus_before}")
        check_equal(state.focus_id, expected_focus, f"focus after {key} (step {step})")
        # Moving the focus changes nothing else: no text typed into the box, nothing fetched.
        check_equal(state.text(EDIT_BOX), "", f"edit box after {key} (step {step})")
        check_equal(state.text(LABEL), INITIAL_CAPTION, f"caption after {key} (step {step})")
    check_equal(len(session.service.requests), 0, "requests made by moving the focus")
    check(not program.page_path.exists(), "moving the focus wrote 1.html")


@test
def enter_fetches_whatever_has_the_focus(session: Session) -> None:
    program = new_program(session, "enter")
    replies = [Reply(raffle_reply(code, f"2016-07-0{day} 23:59:59"))
               for day, code in enumerate(["QXENT1", "QXENT2", "QXENT3"], 1)]
    session.service.script(*replies)
    program.start()
    model = Collection()
    for reply, control in zip(replies, [FETCH_BUTTON, EDIT_BOX, FINISH_BUTTON]):
        move_focus_to(program, control)
        fetch(program, model, reply, key="Return")
        check_equal(program.state().focus_id, control, "focus after Enter")
    program.screenshot("three-fetches.png")
    check_equal(len(session.service.requests), 3, "requests for three presses of Enter")
    check(not program.page_path.exists(), "Enter wrote 1.html")
    nothing_opened(session, "by Enter")
    width, height = png_size(harness.ARTIFACTS / "three-fetches.png")
    check_equal((width, height), (305, 419), "size of the screenshot of the window")


@test
def space_presses_the_focused_button(session: Session) -> None:
    program = new_program(session, "space")
    reply = Reply(raffle_reply("QXSPC1"))
    session.service.script(reply)
    program.start()
    model = Collection()
    fetch(program, model, reply, key="space")  # the fetch button has the focus at the start
    finish(program, model)
    check_saved(program, model)


@test(cases={"at once": None, "after a fetch, from the edit box": EDIT_BOX})
def escape_closes_without_saving(session: Session, focus: int | None) -> None:
    program = new_program(session, "escape")
    reply = Reply(raffle_reply("QXESC1"))
    session.service.script(reply)
    program.start()
    if focus is not None:
        fetch(program, Collection(), reply)
        move_focus_to(program, focus)
    program.press("Escape")
    check_equal(program.wait_exit(), 0, "exit code after Escape")
    check(session.inspector.state() is None, "the main window is still there after Escape")
    check(not program.page_path.exists(), "Escape wrote 1.html")
    nothing_opened(session, "by Escape")


# ---------------------------------------------------------------------------------------------
# The saved page


def padded_reply(size: int, code: str) -> bytes:
    """A reply of exactly `size` bytes whose fields come last, after filler."""
    tail = raffle_reply(code, "2016-07-01 23:59:59")
    return b'{"pad":"' + b"x" * (size - len(tail) - 10) + b'",' + tail[1:]


def gbk_tail_backslash_folder() -> str:
    """A folder name holding a character whose second code page 936 byte is a backslash."""
    name = "e2e/乗目录"
    assert gbk("乗")[1:] == b"\\"
    return name


# Replies that break HTTP's rules or carry NULs are hostile_replies.py's.
PAGE_CASES = {
    "plain reply": [Reply(raffle_reply("QX8F2K"))],
    "Chinese expiry": [Reply(raffle_reply("QX7A1B", "2016年7月1日 23:59"))],
    "code and expiry needing escapes": [
        Reply(raffle_reply("A&B<C>\"D'E f/%", "<b>1 & 2</b> \"'"))],
    "Chinese code": [Reply(raffle_reply("优惠QX9"))],
    "codes on one page, a reply without fields between": [
        Reply(raffle_reply("QXONE1")), Reply(b'{"code":1,"msg":"none left"}'),
        Reply(raffle_reply("QXTWO2"))],
    "reply of exactly the limit, one byte over, over without length": [
        Reply(padded_reply(REPLY_LIMIT, "QXLIMIT")),
        Reply(padded_reply(REPLY_LIMIT + 1, "QXOVER1")),
        Reply(padded_reply(REPLY_LIMIT + 1, "QXOVER2"), content_length=False),
        Reply(raffle_reply("QXAFTER"))],
    "empty expiry, no time field, fields twice": [
        Reply(raffle_reply("QXE1", "")), Reply(b'{"activity":"QXE2"}'),
        Reply(raffle_reply("QXE3", "first") + raffle_reply("QXE4", "second"))],
}


@test(cases=PAGE_CASES)
def saved_page_bytes(session: Session, replies: list[Reply]) -> None:
    """Each reply fetched by Enter, then the finish button: the file beside the exe holds exactly
    the entries of the replies with a code and the footer, and the shell is asked to open it."""
    program = new_program(session, "page")
    session.service.script(*replies)
    program.start()
    model = Collection()
    for reply in replies:
        fetch(program, model, reply)
    finish(program, model)
    check_saved(program, model)


@test
def page_lands_beside_the_exe_in_a_folder_with_a_double_byte_name(session: Session) -> None:
    program = new_program(session, "gbk-folder", folder=gbk_tail_backslash_folder())
    reply = Reply(raffle_reply("QXDIR1"))
    session.service.script(reply)
    program.start()
    model = Collection()
    fetch(program, model, reply)
    finish(program, model)
    check_saved(program, model)


@test
def count_and_page_start_again_after_a_save(session: Session) -> None:
    program = new_program(session, "count")
    replies = [Reply(raffle_reply(c)) for c in ("QXCNT1", "QXCNT2", "QXCNT3")]
    session.service.script(*replies)
    program.start()
    model = Collection()
    fetch(program, model, replies[0])
    fetch(program, model, replies[1])
    finish(program, model)
    check_bytes(program.page_path.read_bytes(), model.saved, "1.html after the first save")
    move_focus_to(program, FETCH_BUTTON)
    fetch(program, model, replies[2])
    check_equal(program.state().text(LABEL), success_caption(1), "caption after a save and a fetch")
    finish(program, model)
    check_bytes(program.page_path.read_bytes(), page_entry(b"QXCNT3", b"2016-07-01 23:59:59") +
                PAGE_FOOTER, "1.html after the second save")
    finish(program, model)  # nothing fetched since: the footer alone
    check_bytes(program.page_path.read_bytes(), PAGE_FOOTER, "1.html after a save of nothing")
    harness.wait_for(lambda: len(session.recorder.entries()) >= 3, what="three pages opened")
    check_equal(session.recorder.opened_files(), [program.page_path.resolve()] * 3,
                "pages opened for three saves")


# ---------------------------------------------------------------------------------------------
# What the window shows


@dataclasses.dataclass
class ExpectedControl:
    id: int
    kind: str  # "button", "edit" or "label"
    caption: str
    rect: tuple[int, int, int, int]  # x, y, width, height in the client area


CONTROLS = [
    ExpectedControl(LABEL, "label", INITIAL_CAPTION, (0, 0, 304, 32)),
    ExpectedControl(FINISH_BUTTON, "button", FINISH_BUTTON_CAPTION, (8, 80, 280, 40)),
    ExpectedControl(EDIT_BOX, "edit", "", (5, 128, 280, 256)),
    ExpectedControl(FETCH_BUTTON, "button", FETCH_BUTTON_CAPTION, (8, 32, 280, 40)),
]


@test(cases={"zh_CN.UTF-8": "zh_CN.UTF-8", "en_US.UTF-8": "en_US.UTF-8"})
def window_layout_and_texts(session: Session, locale: str) -> None:
    program = new_program(session, f"layout-{locale}", locale=locale)
    reply = Reply(raffle_reply("优惠&QX", "2016年7月1日"))
    session.service.script(reply)
    state = program.start()

    check_equal(state.screen, harness.SCREEN, "screen size the program sees")
    width, height = 305, 419
    centred = ((state.screen[0] - width) // 2, (state.screen[1] - height) // 2)  # (359, 174)
    check_equal(state.window_rect, (*centred, width, height), "window position and outer size")
    check_equal(state.title, WINDOW_TITLE, "title")
    check_equal(state.raw["class"], harness.MAIN_WINDOW_CLASS, "window class")
    check_equal(sorted(c.id for c in state.controls), sorted(c.id for c in CONTROLS), "control ids")
    for expected in CONTROLS:
        control = state.control(expected.id)
        where = f"control {expected.id}"
        check_equal(control.text, expected.caption, f"text of {where}")
        check(not control.cp936_lossy, f"text of {where} has characters outside code page 936")
        check_equal(control.rect, expected.rect, f"position and size of {where}")
        check(control.visible and control.enabled, f"{where} is not visible and enabled")
        if expected.kind == "button":
            check_equal(control.class_name.lower(), "button", f"class of {where}")
            check(control.style & WS_TABSTOP, f"{where} is no tab stop")
        elif expected.kind == "edit":
            check_equal(control.class_name.lower(), "edit", f"class of {where}")
            check(control.style & WS_TABSTOP, f"{where} is no tab stop")
    check_equal(state.control(FETCH_BUTTON).style & BS_TYPEMASK, BS_DEFPUSHBUTTON,
                "按钮1 drawn as the default button")
    check_equal(state.focus_id, FETCH_BUTTON, "focus when the window opens")
    program.screenshot(f"window-{locale}.png")

    model = Collection()
    fetch(program, model, reply)
    state = program.state()
    check_equal(state.text(LABEL), success_caption(1), "caption after one fetch")
    check_bytes(state.control(EDIT_BOX).cp936, page_entry(gbk("优惠&QX"), gbk("2016年7月1日")),
                "edit box (code page 936) after one fetch")
    program.screenshot(f"window-{locale}-one-fetch.png")
    program.press("Escape")
    check_equal(program.wait_exit(), 0, "exit code after Escape")


# The tests of the other modules run after these.
import hostile_replies  # noqa: E402,F401
import save_faults  # noqa: E402,F401


# ---------------------------------------------------------------------------------------------
# Running


def png_size(path: Path) -> tuple[int, int]:
    with open(path, "rb") as f:
        header = f.read(24)
    check(header[:8] == b"\x89PNG\r\n\x1a\n", f"{path} is no PNG")
    return struct.unpack(">II", header[16:24])


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("-k", dest="pattern", default="", help="run the tests whose name has this")
    parser.add_argument("--list", action="store_true", help="list the tests and stop")
    args = parser.parse_args()
    selected = [(name, fn) for name, fn in TESTS if args.pattern in name]
    if args.list:
        print("\n".join(name for name, _ in selected))
        return 0

    passed = failed = 0
    started = time.monotonic()
    session: Session | None = None
    try:
        harness.require_built([harness.PROGRAM_EXE, harness.INSPECTOR_EXE])
        harness.ARTIFACTS.mkdir(parents=True, exist_ok=True)
        for stale in harness.ARTIFACTS.glob("failed-*.png"):  # evidence of an earlier run
            stale.unlink()
        session = Session()
        print(f"e2e: setting up Wine in {session.workdir} ...", flush=True)
        session.open()
        print(f"e2e: display {session.display}, raffle service on 127.0.0.1:{session.service.port}, "
              f"ready after {time.monotonic() - started:.0f}s", flush=True)
    except Exception as error:  # the machinery, not a test, failed: every test counts as failed
        print(f"e2e: could not set up: {error}", flush=True)
        if session is not None:
            session.close()
        print(f"e2e: 0 passed, {len(selected)} failed")
        return 1

    try:
        for name, fn in selected:
            began = time.monotonic()
            CURRENT_PROGRAMS.clear()
            try:
                fn(session)
            except Exception as error:
                failed += 1
                print(f"FAIL {name} ({time.monotonic() - began:.1f}s)\n  "
                      f"{type(error).__name__}: {error}", flush=True)
                if not isinstance(error, (AssertionError, TimeoutError)):
                    traceback.print_exc(limit=4)
                save_failure_evidence(session, name)
            else:
                passed += 1
                print(f"ok   {name} ({time.monotonic() - began:.1f}s)", flush=True)
            finally:
                for program in CURRENT_PROGRAMS:
                    program.stop()
    finally:
        session.close()
    print(f"e2e: total {time.monotonic() - started:.0f}s")
    print(f"e2e: {passed} passed, {failed} failed")
    return 0 if failed == 0 else 1


def save_failure_evidence(session: Session, name: str) -> None:
    safe = "".join(ch if ch.isalnum() or ch in "-_" else "_" for ch in name)
    try:
        path = harness.screenshot(session.display, harness.ARTIFACTS / f"failed-{safe}.png")
        print(f"  screen: {path}")
    except Exception as error:  # evidence is a courtesy; the failure is already counted
        print(f"  (no screenshot: {error})")
    for program in CURRENT_PROGRAMS:
        tail = program.output_tail()
        if tail:
            print("  program output:\n    " + tail.replace("\n", "\n    "))


if __name__ == "__main__":
    # A stop from outside (a CI time limit) still runs the clean-up: Xvfb, wineserver, servers.
    signal.signal(signal.SIGTERM, lambda signum, frame: sys.exit(128 + signum))
    os.environ.setdefault("PYTHONUNBUFFERED", "1")
    sys.exit(main())
