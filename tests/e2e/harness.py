"""Drives the Windows program under Wine as a person would, for the end-to-end suite and the demo.

What it puts together, all on this machine and all stopped again by `Session.close`:

* a private X display (Xvfb, 1024x768x24), found with -displayfd;
* a fresh Wine prefix with the shell's "open" of a .html routed to a recorder script, the
  Internet proxy pointed at a fake raffle service on 127.0.0.1, and the fonts a Chinese window
  needs;
* the fake raffle service: an HTTP server that plays the proxy the program is configured to use,
  records every request as it arrived and answers with scripted replies;
* the program itself, copied into a fresh folder of drive C: per run, started with `wine`, fed
  real key presses with xdotool and watched through the inspector (window_probe/window_probe.cpp), a
  Win32 program of ours run in the same prefix.

Only the Python standard library is used.
"""

from __future__ import annotations

import collections
import dataclasses
import http.server
import json
import os
import select
import shutil
import signal
import subprocess
import tempfile
import threading
import time
import urllib.parse
from pathlib import Path
from typing import Callable, Iterable, Sequence

REPO = Path(__file__).resolve().parents[2]
ARTIFACTS = REPO / "build" / "e2e-artifacts"
# VQ_E2E_EXE runs the suite against another build of the program (say the i686 product, where
# Wine has its 32-bit half).
PROGRAM_EXE = Path(os.environ.get("VQ_E2E_EXE") or REPO / "build" / "win64" / "VeltromQuenzo.exe")
INSPECTOR_EXE = REPO / "build" / "win64" / "e2e" / "vq_window_probe.exe"

MAIN_WINDOW_CLASS = "VeltromQuenzoMainWindow"
RAFFLE_HOST = "raffle.veltromquenzo.example"
RAFFLE_URL = f"http://{RAFFLE_HOST}/api/cola/raffle?activityid=QX2016062101"
SCREEN = (1024, 768)

# Wine's own fonts (Tahoma, Marlett) ship in the fonts-wine package but Debian's Wine does not find
# them there; copied into the prefix's Fonts folder they are found.
WINE_FONTS = Path("/usr/share/wine/fonts")
# Debian's Chinese font, standing in for the SimSun of a Chinese Windows.
CHINESE_FONT_FAMILY = "WenQuanYi Micro Hei"

DEFAULT_TIMEOUT = 20.0


class HarnessError(RuntimeError):
    """The machinery itself failed (as opposed to the program under test)."""


def wait_for(condition: Callable[[], object], timeout: float = DEFAULT_TIMEOUT,
             interval: float = 0.05, what: str = "condition",
             describe: Callable[[], str] | None = None):
    """Polls `condition` until it returns something true and returns that; raises TimeoutError
    naming `what` (and `describe()`, the state last seen) when `timeout` seconds pass first."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() >= deadline:
            seen = f"; last seen: {describe()}" if describe else ""
            raise TimeoutError(f"timed out after {timeout:g}s waiting for {what}{seen}")
        time.sleep(interval)


def clean_environment() -> dict[str, str]:
    """This process's environment without anything that would change how Wine or WinINet behave
    behind the tests' back (a proxy from the shell, a display, a prefix, a locale)."""
    env = dict(os.environ)
    for name in ("http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "no_proxy", "NO_PROXY",
                 "all_proxy", "ALL_PROXY", "DISPLAY", "WINEPREFIX", "WINEARCH", "WINEDEBUG",
                 "WINEDLLOVERRIDES", "WINESERVER", "LANGUAGE"):
        env.pop(name, None)
    for name in list(env):
        if name.startswith("LC_"):
            del env[name]
    return env


# ---------------------------------------------------------------------------------------------
# The X display


class Xvfb:
    """A private X server; the display number is chosen by the server itself (-displayfd)."""

    def __init__(self, log_path: Path, width: int = SCREEN[0], height: int = SCREEN[1]):
        self.log_path = log_path
        self.size = (width, height)
        self.process: subprocess.Popen | None = None
        self.display = ""

    def start(self, timeout: float = 15.0) -> str:
        read_end, write_end = os.pipe()
        log = open(self.log_path, "ab")
        try:
            self.process = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                 f"{self.size[0]}x{self.size[1]}x24", "-nolisten", "tcp", "-noreset"],
                pass_fds=(write_end,), stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                start_new_session=True)
        finally:
            os.close(write_end)
            log.close()
        number = b""
        deadline = time.monotonic() + timeout
        try:
            while not number.endswith(b"\n"):
                remaining = deadline - time.monotonic()
                ready, _, _ = select.select([read_end], [], [], max(remaining, 0))
                if not ready:
                    raise HarnessError("Xvfb did not report its display number in time")
                chunk = os.read(read_end, 64)
                if not chunk:
                    raise HarnessError(f"Xvfb exited early; see {self.log_path}")
                number += chunk
        except BaseException:
            self.stop()
            raise
        finally:
            os.close(read_end)
        self.display = ":" + number.decode().strip()
        return self.display

    def stop(self) -> None:
        process, self.process = self.process, None
        if process is None or process.poll() is not None:
            return
        process.terminate()
        try:
            process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


# ---------------------------------------------------------------------------------------------
# The fake raffle service


@dataclasses.dataclass
class Reply:
    """One scripted answer. Without `content_length` the body ends when the connection closes."""

    body: bytes = b""
    status: int = 200
    headers: Sequence[tuple[str, str]] = (("Content-Type", "text/html; charset=gbk"),)
    content_length: bool = True


@dataclasses.dataclass
class RecordedRequest:
    request_line: str  # as received, without the line break
    method: str
    target: str
    version: str
    headers: list[tuple[str, str]]  # in the order received

    def header_values(self, name: str) -> list[str]:
        return [value for key, value in self.headers if key.lower() == name.lower()]


class FakeRaffleService:
    """Plays the HTTP proxy that the prefix points WinINet at, and behind it the raffle service.

    Replies are taken from a queue filled by `script`; a request that finds the queue empty gets a
    503 with a body that carries no code, and is recorded like every other."""

    UNSCRIPTED = Reply(b"no reply scripted", status=503)

    def __init__(self):
        self._lock = threading.Condition()
        self._queue: collections.deque[Reply] = collections.deque()
        self._requests: list[RecordedRequest] = []
        self._server: http.server.ThreadingHTTPServer | None = None
        self._thread: threading.Thread | None = None

    @property
    def port(self) -> int:
        assert self._server is not None
        return self._server.server_address[1]

    def start(self) -> "FakeRaffleService":
        service = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.0"  # one request per connection, closed after the reply

            def handle_one_request(self):
                # The raw request line is kept before the base class parses it.
                self.raw_requestline = self.rfile.readline(65537)
                if not self.raw_requestline:
                    self.close_connection = True
                    return
                if not self.parse_request():
                    return
                line = self.raw_requestline.decode("latin-1").rstrip("\r\n")
                parts = line.split(" ")
                recorded = RecordedRequest(
                    request_line=line, method=parts[0] if parts else "",
                    target=parts[1] if len(parts) > 1 else "",
                    version=parts[2] if len(parts) > 2 else "",
                    headers=list(self.headers.items()))
                reply = service._take(recorded)
                self.send_response_only(reply.status)
                for name, value in reply.headers:
                    self.send_header(name, value)
                if reply.content_length:
                    self.send_header("Content-Length", str(len(reply.body)))
                self.send_header("Connection", "close")
                self.end_headers()
                if self.command != "HEAD":
                    self.wfile.write(reply.body)
                self.wfile.flush()
                self.close_connection = True

            def log_message(self, format, *args):  # noqa: A002 - the base class's name
                pass

        self._server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self._server.daemon_threads = True
        self._thread = threading.Thread(target=self._server.serve_forever,
                                        kwargs={"poll_interval": 0.05}, daemon=True)
        self._thread.start()
        return self

    def stop(self) -> None:
        server, self._server = self._server, None
        if server is not None:
            server.shutdown()
            server.server_close()
        if self._thread is not None:
            self._thread.join(timeout=10)
            self._thread = None

    def _take(self, request: RecordedRequest) -> Reply:
        with self._lock:
            self._requests.append(request)
            reply = self._queue.popleft() if self._queue else self.UNSCRIPTED
            self._lock.notify_all()
            return reply

    def script(self, *replies: Reply) -> None:
        """Forgets what was recorded and queues `replies` for the next requests, in order."""
        with self._lock:
            self._queue = collections.deque(replies)
            self._requests = []

    @property
    def requests(self) -> list[RecordedRequest]:
        with self._lock:
            return list(self._requests)

    def wait_for_requests(self, count: int, timeout: float = DEFAULT_TIMEOUT) -> list[RecordedRequest]:
        with self._lock:
            if not self._lock.wait_for(lambda: len(self._requests) >= count, timeout):
                raise TimeoutError(f"the raffle service got {len(self._requests)} request(s) "
                                   f"within {timeout:g}s, expected {count}")
            return list(self._requests)


def target_url(request: RecordedRequest) -> urllib.parse.SplitResult:
    """The absolute URL a proxy request asks for, with the scheme's default port spelled out or not
    made the same: Wine's WinINet writes "http://host:80/..." where Windows writes
    "http://host/..."; both name the same resource."""
    url = urllib.parse.urlsplit(request.target)
    if url.scheme == "http" and url.port == 80:
        url = url._replace(netloc=url.hostname or "")
    return url


# ---------------------------------------------------------------------------------------------
# Opening the page: the recorder behind winebrowser


class BrowserRecorder:
    """A Unix program for winebrowser to run instead of a browser: it appends each argument it is
    given (winebrowser passes a file:// URL) as one line to a log."""

    def __init__(self, directory: Path):
        self.script = directory / "record-browser.sh"
        self.log = directory / "browser.log"
        self.script.write_text(
            "#!/bin/sh\n"
            "# Stands in for the browser: notes what the shell was asked to open.\n"
            f"for argument do printf '%s\\n' \"$argument\" >> '{self.log}'; done\n")
        self.script.chmod(0o755)
        if "," in str(self.script) or " " in str(self.script):
            raise HarnessError("winebrowser's list of browsers cannot name " + str(self.script))

    def clear(self) -> None:
        self.log.unlink(missing_ok=True)

    def entries(self) -> list[str]:
        try:
            return self.log.read_text().splitlines()
        except FileNotFoundError:
            return []

    def opened_files(self) -> list[Path]:
        """The opened entries as real Unix paths (Wine names them through dosdevices/c:)."""
        paths = []
        for entry in self.entries():
            url = urllib.parse.urlsplit(entry)
            path = urllib.parse.unquote(url.path) if url.scheme == "file" else entry
            paths.append(Path(os.path.realpath(path)))
        return paths


# ---------------------------------------------------------------------------------------------
# The Wine prefix


def _reg_string(value: str) -> str:
    return '"' + value.replace("\\", "\\\\").replace('"', '\\"') + '"'


class WinePrefix:
    def __init__(self, path: Path, display: str, log_path: Path):
        self.path = path
        self.display = display
        self.log_path = log_path

    @property
    def drive_c(self) -> Path:
        return self.path / "drive_c"

    def env(self, locale: str | None = None) -> dict[str, str]:
        env = clean_environment()
        env.update({
            "WINEPREFIX": str(self.path),
            "WINEDEBUG": "-all",
            # No Mono or Gecko: their install dialogs would wait for a person.
            "WINEDLLOVERRIDES": "mscoree,mshtml=",
            "DISPLAY": self.display,
        })
        if locale:
            env["LANG"] = locale
            env["LC_ALL"] = locale
        return env

    def windows_path(self, unix_path: Path) -> str:
        relative = Path(unix_path).resolve().relative_to(self.drive_c.resolve())
        return "C:\\" + "\\".join(relative.parts)

    def run(self, args: Sequence[str], timeout: float = 120.0, locale: str | None = None,
            check: bool = True, **kwargs) -> subprocess.CompletedProcess:
        with open(self.log_path, "ab") as log:
            result = subprocess.run(list(args), env=self.env(locale), stdin=subprocess.DEVNULL,
                                    stdout=kwargs.pop("stdout", log), stderr=log, timeout=timeout,
                                    **kwargs)
        if check and result.returncode != 0:
            raise HarnessError(f"{' '.join(args)} exited with {result.returncode}; "
                               f"see {self.log_path}")
        return result

    def popen(self, args: Sequence[str], locale: str | None = None, **kwargs) -> subprocess.Popen:
        kwargs.setdefault("stdin", subprocess.DEVNULL)
        return subprocess.Popen(list(args), env=self.env(locale), **kwargs)

    def create(self) -> None:
        """A new prefix: `wineboot -i`, then waits for the server to finish what it started."""
        self.path.mkdir(parents=True, exist_ok=True)
        self.run(["wine", "wineboot", "-i"], timeout=300)
        self.run(["wineserver", "-w"], timeout=300)

    def import_registry(self, keys: dict[str, dict[str | None, object]]) -> None:
        """Writes `keys` ({key: {value name or None for the default: str or int}}) through
        regedit; ints become REG_DWORD and strs REG_SZ."""
        lines = ["REGEDIT4", ""]
        for key, values in keys.items():
            lines.append(f"[{key}]")
            for name, value in values.items():
                left = "@" if name is None else _reg_string(name)
                if isinstance(value, bool) or not isinstance(value, (int, str)):
                    raise TypeError(f"unsupported registry value {value!r}")
                if isinstance(value, int):
                    right = f"dword:{value:08x}"
                else:
                    right = _reg_string(value)
                lines.append(f"{left}={right}")
            lines.append("")
        reg_file = self.drive_c / "e2e-settings.reg"
        reg_file.write_text("\r\n".join(lines), encoding="ascii")
        try:
            self.run(["wine", "regedit", "/S", self.windows_path(reg_file)])
        finally:
            reg_file.unlink(missing_ok=True)

    def query_registry(self, key: str, value: str | None) -> str | None:
        """The data of one value (None: the key's default value) as `reg query` prints it."""
        selector = ["/ve"] if value is None else ["/v", value]
        result = self.run(["wine", "reg", "query", key, *selector], check=False,
                          stdout=subprocess.PIPE)
        if result.returncode != 0:
            return None
        name = "(Default)" if value is None else value
        for line in result.stdout.decode("utf-8", "replace").splitlines():
            fields = line.strip().split(None, 2)
            if fields and fields[0] == name and len(fields) >= 2 and fields[1].startswith("REG_"):
                return fields[2] if len(fields) == 3 else ""
        return None

    def configure(self, proxy_port: int, browser: Path | None, window_frames: bool) -> None:
        """Everything the suite and the demo need on top of a new prefix.

        proxy_port:    WinINet's proxy, the fake raffle service on 127.0.0.1.
        browser:       the program winebrowser runs for an opened page; None keeps Wine's list.
        window_frames: True draws title bars and borders in Wine (no window manager needed, and
                       screenshots show the window as on Windows); False leaves them to the
                       window manager of a real desktop."""
        inet = r"HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Internet Settings"
        keys: dict[str, dict[str | None, object]] = {
            inet: {"ProxyEnable": 1, "ProxyServer": f"127.0.0.1:{proxy_port}",
                   "ProxyOverride": ""},
            # A prefix made without Gecko has the htmlfile class but no .html extension to lead
            # to it, and ShellExecute would find no handler.
            r"HKEY_CLASSES_ROOT\.html": {None: "htmlfile", "Content Type": "text/html"},
            r"HKEY_CLASSES_ROOT\htmlfile\shell\open\command": {
                None: '"C:\\windows\\system32\\winebrowser.exe" "%1"'},
            # A crash must end the process, not wait in a dialog for a person.
            r"HKEY_CURRENT_USER\Software\Wine\WineDbg": {"ShowCrashDialog": 0},
            r"HKEY_CURRENT_USER\Software\Wine\X11 Driver": {
                "Decorated": "N" if window_frames else "Y"},
            r"HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements": {
                "SimSun": CHINESE_FONT_FAMILY, "NSimSun": CHINESE_FONT_FAMILY,
                "Microsoft YaHei UI": CHINESE_FONT_FAMILY},
        }
        if browser is not None:
            keys[r"HKEY_CURRENT_USER\Software\Wine\WineBrowser"] = {"Browsers": str(browser)}
        self.import_registry(keys)
        if browser is None:
            # Back to Wine's own list (xdg-open first) for a person's desktop.
            self.run(["wine", "reg", "delete", r"HKCU\Software\Wine\WineBrowser", "/v", "Browsers",
                      "/f"], check=False)
        fonts = self.drive_c / "windows" / "Fonts"
        fonts.mkdir(parents=True, exist_ok=True)
        for font in sorted(WINE_FONTS.glob("*.ttf")):
            if not (fonts / font.name).exists():
                shutil.copy2(font, fonts / font.name)
        self.run(["wineserver", "-w"], timeout=60)

    def kill(self) -> None:
        try:
            subprocess.run(["wineserver", "-k"], env=self.env(), timeout=30,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        except (subprocess.TimeoutExpired, OSError):
            pass


# ---------------------------------------------------------------------------------------------
# The inspector


@dataclasses.dataclass
class Control:
    id: int
    class_name: str
    text: str
    cp936: bytes  # the text as code page 936 bytes
    cp936_lossy: bool  # some character of the text has no code page 936 form
    rect: tuple[int, int, int, int]  # x, y, width, height in the parent's client area
    style: int
    exstyle: int
    visible: bool
    enabled: bool
    z_order: int


@dataclasses.dataclass
class WindowState:
    raw: dict

    @property
    def title(self) -> str:
        return self.raw["title"]

    @property
    def window_rect(self) -> tuple[int, int, int, int]:
        r = self.raw["window_rect"]
        return (r["left"], r["top"], r["width"], r["height"])

    @property
    def client_size(self) -> tuple[int, int]:
        r = self.raw["client_rect"]
        return (r["width"], r["height"])

    @property
    def screen(self) -> tuple[int, int]:
        return (self.raw["screen"]["width"], self.raw["screen"]["height"])

    @property
    def focus_id(self) -> int | None:
        focus = self.raw.get("focus")
        return None if focus is None else focus["id"]

    @property
    def controls(self) -> list[Control]:
        result = []
        for c in self.raw["controls"]:
            r = c["rect"]
            result.append(Control(
                id=c["id"], class_name=c["class"], text=c["text"],
                cp936=bytes.fromhex(c["text_cp936_hex"]), cp936_lossy=c["text_cp936_lossy"],
                rect=(r["left"], r["top"], r["width"], r["height"]), style=c["style"],
                exstyle=c["exstyle"], visible=c["visible"], enabled=c["enabled"],
                z_order=c["z_order"]))
        return result

    def control(self, control_id: int) -> Control:
        matches = [c for c in self.controls if c.id == control_id]
        if len(matches) != 1:
            raise AssertionError(f"expected one control with id {control_id}, found "
                                 f"{len(matches)} among {[c.id for c in self.controls]}")
        return matches[0]

    def text(self, control_id: int) -> str:
        return self.control(control_id).text


class Inspector:
    def __init__(self, prefix: WinePrefix, exe: Path = INSPECTOR_EXE):
        self.prefix = prefix
        self.exe = exe

    def state(self, timeout: float = 30.0) -> WindowState | None:
        """What the main window shows now, or None when there is no such window."""
        result = self.prefix.run(["wine", str(self.exe)], check=False, timeout=timeout,
                                 stdout=subprocess.PIPE)
        if not result.stdout.strip():
            # Wine failed to start the inspector at all (seen once, right after a bind mount in
            # the prefix); a second start tells that apart from a broken inspector, and the note
            # keeps what Wine logged.
            print(f"e2e: note: an inspector run printed nothing (exit {result.returncode}), "
                  f"trying once more; wine.log ends: {self._log_tail()!r}", flush=True)
            result = self.prefix.run(["wine", str(self.exe)], check=False, timeout=timeout,
                                     stdout=subprocess.PIPE)
        text = result.stdout.decode("utf-8")
        try:
            data = json.loads(text.strip().splitlines()[-1]) if text.strip() else None
        except json.JSONDecodeError as error:
            raise HarnessError(f"inspector printed no JSON: {text[:300]!r}") from error
        if data is None:
            raise HarnessError(f"inspector printed nothing (exit {result.returncode})")
        return WindowState(data) if data.get("found") else None

    def _log_tail(self, size: int = 600) -> str:
        try:
            return self.prefix.log_path.read_bytes()[-size:].decode("utf-8", "replace")
        except OSError:
            return ""

    def hold(self, windows_path: str) -> "FileHolder":
        return FileHolder(self, windows_path)


class FileHolder:
    """Keeps a file open without any sharing, from another Windows process, while in a `with`."""

    def __init__(self, inspector: Inspector, windows_path: str):
        self.inspector = inspector
        self.windows_path = windows_path
        self.process: subprocess.Popen | None = None

    def __enter__(self) -> "FileHolder":
        self.process = self.inspector.prefix.popen(
            ["wine", str(self.inspector.exe), "hold", self.windows_path],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        assert self.process.stdout is not None
        ready, _, _ = select.select([self.process.stdout], [], [], 30)
        line = self.process.stdout.readline().decode().strip() if ready else "(nothing)"
        if line != "held":
            self.__exit__(None, None, None)
            raise HarnessError(f"could not hold {self.windows_path}: {line}")
        return self

    def __exit__(self, *exc_info) -> None:
        process, self.process = self.process, None
        if process is None:
            return
        try:
            assert process.stdin is not None
            process.stdin.write(b"\n")
            process.stdin.close()
        except OSError:
            pass
        try:
            process.wait(timeout=15)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
        if process.stdout:
            process.stdout.close()


# ---------------------------------------------------------------------------------------------
# X input and screenshots


def xdotool(display: str, *args: str, check: bool = True, timeout: float = 20.0) -> str:
    env = clean_environment()
    env["DISPLAY"] = display
    result = subprocess.run(["xdotool", *args], env=env, stdin=subprocess.DEVNULL,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=timeout)
    if check and result.returncode != 0:
        raise HarnessError(f"xdotool {' '.join(args)} failed: {result.stderr.decode().strip()}")
    return result.stdout.decode()


def screenshot(display: str, path: Path, region: tuple[int, int, int, int] | None = None) -> Path:
    """Saves the screen, or the (x, y, width, height) part of it, as a PNG."""
    path.parent.mkdir(parents=True, exist_ok=True)
    env = clean_environment()
    env["DISPLAY"] = display
    command = ["import", "-display", display, "-window", "root"]
    if region is not None:
        x, y, width, height = region
        command += ["-crop", f"{width}x{height}+{x}+{y}", "+repage"]
    subprocess.run(command + [str(path)], env=env, check=True, timeout=60,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    return path


# ---------------------------------------------------------------------------------------------
# The program


class Program:
    """One run of the program from its own fresh folder of drive C:."""

    def __init__(self, session: "Session", folder_name: str, locale: str = "zh_CN.UTF-8",
                 exe: Path = PROGRAM_EXE):
        self.session = session
        self.locale = locale
        self.directory = session.prefix.drive_c / folder_name
        if self.directory.exists():
            shutil.rmtree(self.directory)
        self.directory.mkdir(parents=True)
        self.exe_path = self.directory / "VeltromQuenzo.exe"
        shutil.copy2(exe, self.exe_path)
        self.process: subprocess.Popen | None = None
        self.x_window: str | None = None
        self.output_path = session.workdir / f"{folder_name.replace(os.sep, '_')}.out"

    @property
    def page_path(self) -> Path:
        return self.directory / "1.html"

    def start(self, timeout: float = 60.0) -> WindowState:
        """Starts the program and returns once its main window is shown with its focus set."""
        # Started from a folder of its own, so that a file written to the current directory
        # instead of beside the program lands elsewhere.
        elsewhere = self.session.workdir / "cwd"
        elsewhere.mkdir(exist_ok=True)
        with open(self.output_path, "ab") as out:
            self.process = self.session.prefix.popen(
                ["wine", self.session.prefix.windows_path(self.exe_path)], locale=self.locale,
                cwd=elsewhere, stdout=out, stderr=out, start_new_session=True)
        state = wait_for(self._shown_state, timeout, interval=0.2,
                         what="the main window to be shown")
        self.x_window = wait_for(self._find_x_window, timeout, what="the main window's X window")
        # Shown and activated, the window holds the focus itself for a moment before passing it to
        # a control. A program that never passes it on is left for the tests to report.
        try:
            state = wait_for(self._focus_on_a_control, 10, interval=0.1,
                             what="the focus to reach a control")
        except TimeoutError:
            state = self.state()
        return state

    def _focus_on_a_control(self) -> WindowState | None:
        state = self.session.inspector.state()
        if state is None:
            return None
        focus = state.raw.get("focus")
        return state if focus is not None and focus["hwnd"] != state.raw["hwnd"] else None

    def _shown_state(self) -> WindowState | None:
        if self.process is not None and self.process.poll() is not None:
            raise AssertionError(f"the program exited with {self.process.returncode} before "
                                 f"showing its window")
        state = self.session.inspector.state()
        if state is None or not state.raw["visible"] or state.focus_id is None:
            return None
        return state

    def _find_x_window(self) -> str | None:
        found = xdotool(self.session.display, "search", "--onlyvisible", "--name",
                        "^VeltromQuenzo", check=False).split()
        return found[-1] if found else None

    def state(self) -> WindowState:
        state = self.session.inspector.state()
        if state is None:
            raise AssertionError("the main window is gone")
        return state

    def wait_state(self, condition: Callable[[WindowState], bool], what: str,
                   timeout: float = DEFAULT_TIMEOUT) -> WindowState:
        """Polls the inspector until `condition(state)` holds; the last state goes into the error."""
        last: list[WindowState | None] = [None]

        def poll():
            last[0] = self.session.inspector.state()
            return last[0] if last[0] is not None and condition(last[0]) else None

        def describe():
            if last[0] is None:
                return "no main window"
            s = last[0]
            return json.dumps({"focus": s.focus_id,
                               "texts": {c.id: c.text[:300] for c in s.controls}},
                              ensure_ascii=False)

        return wait_for(poll, timeout, interval=0.1, what=what, describe=describe)

    def press(self, *keys: str) -> None:
        """Real key presses (XTEST) into the program's window, after giving it the X focus. Wine
        runs without a window manager here, so there is no _NET_ACTIVE_WINDOW for `windowactivate`;
        `windowfocus` sets the input focus directly and Wine activates the window on it."""
        if self.x_window is None:
            raise HarnessError("the program has no window to type into")
        xdotool(self.session.display, "windowfocus", "--sync", self.x_window)
        xdotool(self.session.display, "key", "--delay", "40", *keys)

    def wait_exit(self, timeout: float = DEFAULT_TIMEOUT) -> int:
        assert self.process is not None
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise TimeoutError(f"the program did not exit within {timeout:g}s") from None

    def stop(self) -> None:
        """Ends the program if it still runs (the process group: wine's loader and the program)."""
        process = self.process
        if process is None or process.poll() is not None:
            return
        try:
            os.killpg(process.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        process.wait(timeout=30)

    def screenshot(self, name: str) -> Path:
        state = self.session.inspector.state()
        region = state.window_rect if state is not None else None
        return screenshot(self.session.display, ARTIFACTS / name, region)

    def output_tail(self, lines: int = 15) -> str:
        try:
            text = self.output_path.read_text(errors="replace")
        except FileNotFoundError:
            return ""
        noise = ("wine32 is missing", "multiarch needs", 'execute "dpkg', "apt-get install wine32")
        kept = [line for line in text.splitlines() if not any(n in line for n in noise)]
        return "\n".join(kept[-lines:])


# ---------------------------------------------------------------------------------------------
# A whole session: display, prefix, service, recorder


class Session:
    """One display, one prefix, one fake raffle service and one recorder, shared by the runs of the
    program that use it. `close` stops everything it started, whatever state it is in."""

    def __init__(self, prefix_dir: Path | None = None, window_frames: bool = True,
                 record_browser: bool = True, display: str | None = None, service=None):
        """prefix_dir: a prefix to reuse or make there (default: a new one in the temporary
        working folder); display: an X display to use instead of a private Xvfb; service: what
        plays the raffle service (default: a FakeRaffleService), anything with start(), stop() and
        port."""
        self.workdir = Path(tempfile.mkdtemp(prefix="vq-e2e-"))
        self.prefix_dir = prefix_dir or self.workdir / "prefix"
        self.window_frames = window_frames
        self.record_browser = record_browser
        self.given_display = display
        self.xvfb: Xvfb | None = None
        self.display = display or ""
        self.service = service if service is not None else FakeRaffleService()
        self.recorder = BrowserRecorder(self.workdir)
        self.prefix: WinePrefix = None  # type: ignore[assignment]
        self.inspector: Inspector = None  # type: ignore[assignment]

    def open(self) -> "Session":
        try:
            if not self.given_display:
                self.xvfb = Xvfb(self.workdir / "xvfb.log")
                self.display = self.xvfb.start()
            self.prefix = WinePrefix(self.prefix_dir, self.display, self.workdir / "wine.log")
            self.service.start()
            if not (self.prefix_dir / "system.reg").exists():
                self.prefix.create()
            self.prefix.configure(self.service.port,
                                  self.recorder.script if self.record_browser else None,
                                  self.window_frames)
            self.inspector = Inspector(self.prefix)
        except BaseException:
            self.close()
            raise
        return self

    def close(self) -> None:
        try:
            if self.prefix is not None:
                self.prefix.kill()
        finally:
            try:
                self.service.stop()
            finally:
                if self.xvfb is not None:
                    self.xvfb.stop()
                if not os.environ.get("VQ_E2E_KEEP"):
                    shutil.rmtree(self.workdir, ignore_errors=True)

    def __enter__(self) -> "Session":
        return self.open()

    def __exit__(self, *exc_info) -> None:
        self.close()


def require_built(paths: Iterable[Path]) -> None:
    missing = [str(p) for p in paths if not p.is_file()]
    if missing:
        raise HarnessError("not built: " + ", ".join(missing) +
                           " (cmake --preset win64 && cmake --build --preset win64)")
