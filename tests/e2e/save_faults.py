"""Saves that fail under Wine, one case per way the page file can be out of reach: held open by
another program, marked read-only, a folder in its place, its folder on a read-only mount, or the
disk full. Each: the failure caption, nothing in the folder changed (the old 1.html byte for byte,
no temporary file left), nothing opened, the page and count kept for the next fetch, and once the
fault is gone the next save writes the whole page with exactly one footer.

Mounts need root; whatever a case mounts it unmounts, pass or fail."""

from __future__ import annotations

import contextlib
import errno
import os
import shutil
import subprocess
import time
from pathlib import Path
from typing import Iterator

from expected import Collection, raffle_reply, success_caption
from harness import PROGRAM_EXE, Program, Reply, Session
from steps import (
    FETCH_BUTTON, LABEL, check, check_equal, check_saved, fetch, finish, move_focus_to,
    new_program, nothing_opened, test)

OLD_PAGE = b"<p>the page of an earlier run</p>"


def run_root(*command: str) -> None:
    result = subprocess.run(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, timeout=30)
    if result.returncode != 0:
        raise RuntimeError(f"{' '.join(command)}: {result.stdout.decode().strip()}")


def is_mount_point(path: Path) -> bool:
    target = os.path.realpath(path)
    with open("/proc/self/mountinfo") as mounts:
        return any(line.split()[4] == target for line in mounts)


def unmount(path: Path) -> None:
    """Unmounts `path` (all mounts stacked there), waiting a little for Wine to let go of it;
    detaches it lazily as a last resort so that nothing stays mounted after the suite."""
    deadline = time.monotonic() + 10
    while is_mount_point(path):
        result = subprocess.run(["umount", str(path)], stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)
        if result.returncode != 0:
            if time.monotonic() > deadline:
                run_root("umount", "--lazy", str(path))
            else:
                time.sleep(0.2)


def folder_contents(folder: Path) -> dict[str, bytes | None]:
    """Every file and folder below `folder` but the program (None for a folder, else the bytes)."""
    contents: dict[str, bytes | None] = {}
    for path in sorted(folder.rglob("*")):
        name = str(path.relative_to(folder))
        if name == "VeltromQuenzo.exe":
            continue
        contents[name] = None if path.is_dir() else path.read_bytes()
    return contents


class SaveFault:
    """One way for the save to fail. `prepare` lays out the folder before the program starts;
    inside `engaged` the fault is in place and leaving it removes it; `clean_up` runs last, after
    the program has ended, pass or fail."""

    def prepare(self, program: Program) -> None:
        program.page_path.write_bytes(OLD_PAGE)

    @contextlib.contextmanager
    def engaged(self, program: Program) -> Iterator[None]:
        yield

    def clean_up(self, program: Program) -> None:
        pass


class HeldOpen(SaveFault):
    @contextlib.contextmanager
    def engaged(self, program):
        session = program.session
        with session.inspector.hold(session.prefix.windows_path(program.page_path)):
            yield


class ReadOnlyFile(SaveFault):
    @contextlib.contextmanager
    def engaged(self, program):
        program.page_path.chmod(0o444)
        try:
            yield
        finally:
            program.page_path.chmod(0o644)


class FolderInItsPlace(SaveFault):
    def prepare(self, program):
        program.page_path.mkdir()
        (program.page_path / "kept.txt").write_bytes(OLD_PAGE)

    @contextlib.contextmanager
    def engaged(self, program):
        try:
            yield
        finally:
            shutil.rmtree(program.page_path)


class ReadOnlyFolder(SaveFault):
    """The program's folder bound onto itself read-only: root ignores permissions, not mounts."""

    @contextlib.contextmanager
    def engaged(self, program):
        folder = str(program.directory)
        run_root("mount", "--bind", folder, folder)
        try:
            run_root("mount", "-o", "remount,bind,ro", folder)
            yield
        finally:
            unmount(program.directory)

    def clean_up(self, program):
        unmount(program.directory)


class DiskFull(SaveFault):
    """The program runs from a small tmpfs of its own, filled up before the save."""

    FILLER = "filler.bin"

    def prepare(self, program):
        run_root("mount", "-t", "tmpfs", "-o", "size=1m,mode=0755", "vq-e2e-full",
                 str(program.directory))
        shutil.copy2(PROGRAM_EXE, program.exe_path)
        super().prepare(program)

    @contextlib.contextmanager
    def engaged(self, program):
        filler = program.directory / self.FILLER
        fill(filler)
        stats = os.statvfs(program.directory)
        check_equal(stats.f_bavail * stats.f_frsize, 0, "bytes free on the tmpfs after filling it")
        try:
            yield
        finally:
            filler.unlink()

    def clean_up(self, program):
        unmount(program.directory)


def fill(path: Path) -> None:
    """Writes to `path` until the file system has not a byte left."""
    descriptor = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
    try:
        chunk = b"\0" * 65536
        while chunk:
            try:
                os.write(descriptor, chunk)
            except OSError as error:
                if error.errno != errno.ENOSPC:
                    raise
                chunk = chunk[:len(chunk) // 2]
    finally:
        os.close(descriptor)


FAULTS: dict[str, SaveFault] = {
    "held open without sharing": HeldOpen(),
    "read-only": ReadOnlyFile(),
    "a folder named 1.html": FolderInItsPlace(),
    "folder on a read-only mount": ReadOnlyFolder(),
    "disk full": DiskFull(),
}


@test(cases=FAULTS)
def failed_save_keeps_page_and_old_file(session: Session, fault: SaveFault) -> None:
    program = new_program(session, "failed-save")
    try:
        fault.prepare(program)
        replies = [Reply(raffle_reply(c)) for c in ("QXFAIL1", "QXFAIL2", "QXFAIL3")]
        session.service.script(*replies)
        program.start()
        model = Collection()
        fetch(program, model, replies[0])
        fetch(program, model, replies[1])
        with fault.engaged(program):
            before = folder_contents(program.directory)
            finish(program, model, succeeds=False)  # the caption, and the page back in the box
            check_equal(folder_contents(program.directory), before,
                        "the folder's files after the failed save (old 1.html, no temporary file)")
        nothing_opened(session, "after the failed save")
        # The next fetch counts on from where the page was, and the next save writes one footer.
        move_focus_to(program, FETCH_BUTTON)
        fetch(program, model, replies[2])
        check_equal(program.state().text(LABEL), success_caption(3),
                    "caption after the failed save")
        finish(program, model)
        check_saved(program, model)
        check(program.process.poll() is None, "the program ended after the saves")
    finally:
        program.stop()
        fault.clean_up(program)
