"""What the end-to-end tests share: the registry of tests, the checks, and the steps a person takes
with the program, each waiting until the window shows its effect. run.py and the other test modules
register their tests here; run.py runs them."""

from __future__ import annotations

import time
from typing import Callable

import harness
from expected import Collection
from harness import Program, Reply, Session

LABEL, FINISH_BUTTON, EDIT_BOX, FETCH_BUTTON = 1001, 1002, 1003, 1004
BS_DEFPUSHBUTTON, BS_TYPEMASK = 0x1, 0xF
WS_TABSTOP = 0x00010000

TESTS: list[tuple[str, Callable[[Session], None]]] = []


def test(function=None, *, cases: dict | None = None):
    """Registers a test; with `cases` ({name: argument}) one test per case."""
    def register(fn):
        if cases is None:
            TESTS.append((fn.__name__, fn))
        else:
            for case_name, argument in cases.items():
                TESTS.append((f"{fn.__name__}[{case_name}]",
                              lambda session, fn=fn, argument=argument: fn(session, argument)))
        return fn
    return register(function) if function is not None else register


# ---------------------------------------------------------------------------------------------
# Checks


def check(condition: bool, message: str) -> None:
    if not condition:
        raise AssertionError(message)


def check_equal(actual, expected, what: str) -> None:
    if actual != expected:
        raise AssertionError(f"{what}: expected {expected!r}, got {actual!r}")


def check_bytes(actual: bytes, expected: bytes, what: str) -> None:
    if actual == expected:
        return
    at = next((i for i, (a, b) in enumerate(zip(actual, expected)) if a != b),
              min(len(actual), len(expected)))
    start = max(at - 40, 0)
    raise AssertionError(
        f"{what}: {len(actual)} bytes where {len(expected)} were expected, first difference at "
        f"byte {at}:\n  expected ...{expected[start:at + 60]!r}\n  actual   ...{actual[start:at + 60]!r}")


# ---------------------------------------------------------------------------------------------
# Steps a person takes, each waiting until the window shows its effect


def new_program(session: Session, name: str, locale: str = "zh_CN.UTF-8",
                folder: str | None = None) -> Program:
    session.service.script()
    session.recorder.clear()
    program = Program(session, folder or f"e2e/{name}", locale=locale)
    CURRENT_PROGRAMS.append(program)
    return program


CURRENT_PROGRAMS: list[Program] = []


def shows(program: Program, model: Collection, what: str) -> harness.WindowState:
    """Waits until the window shows the model's caption and edit box, and returns that state;
    when it never does, says how the last state differs."""
    try:
        return program.wait_state(
            lambda s: s.text(LABEL) == model.caption and s.control(EDIT_BOX).cp936 == model.edit_box,
            what=what)
    except TimeoutError:
        state = program.state()
        check_equal(state.text(LABEL), model.caption, f"caption in {what}")
        check_bytes(state.control(EDIT_BOX).cp936, model.edit_box,
                    f"edit box (code page 936) in {what}")
        raise


def fetch(program: Program, model: Collection, reply: Reply, key: str = "Return") -> None:
    """Presses `key` for one fetch answered by `reply` (already scripted) and checks the window."""
    session = program.session
    before = len(session.service.requests)
    program.press(key)
    session.service.wait_for_requests(before + 1)
    model.fetch(reply.body)
    shows(program, model, f"the window after fetch {before + 1}")


def move_focus_to(program: Program, control_id: int) -> None:
    """Tabs forward until `control_id` has the focus; the ring has three stops."""
    for _ in range(3):
        if program.state().focus_id == control_id:
            return
        focus_before = program.state().focus_id
        program.press("Tab")
        program.wait_state(lambda s: s.focus_id != focus_before, what="Tab to move the focus")
    check_equal(program.state().focus_id, control_id, "focus after tabbing round the ring")


def finish(program: Program, model: Collection, succeeds: bool = True) -> None:
    move_focus_to(program, FINISH_BUTTON)
    program.press("space")
    model.finish(succeeds)
    shows(program, model, "the window after the finish button")


def nothing_opened(session: Session, when: str) -> None:
    """The shell's open runs apart from the program (winebrowser, then the recorder), so a
    wrongful open would show up a moment later: the log must stay empty for a second."""
    deadline = time.monotonic() + 1.0
    while time.monotonic() < deadline:
        check_equal(session.recorder.entries(), [], f"pages opened {when}")
        time.sleep(0.1)


def check_saved(program: Program, model: Collection) -> None:
    assert model.saved is not None
    check_bytes(program.page_path.read_bytes(), model.saved, "1.html beside the exe")
    harness.wait_for(lambda: program.session.recorder.entries(), what="the shell to open 1.html")
    check_equal(program.session.recorder.opened_files(), [program.page_path.resolve()],
                "pages the shell was asked to open")
    leftovers = sorted(p.name for p in program.directory.iterdir()
                       if p.name not in ("VeltromQuenzo.exe", "1.html"))
    check_equal(leftovers, [], "other files beside the exe after saving")
