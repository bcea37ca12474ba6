"""The program against a raffle service that misbehaves (hostile_service.HostileService), through
Wine's real WinINet: replies without a length or in chunks, lengths that lie, connections cut or
refused, redirects, error statuses, bodies with NULs, bad code page 936 or over the size limit.

Every case runs one program: a normal fetch, the hostile presses, another normal fetch (the window
answers again), then the finish button. After each press the program must still run and its
window must show what the rules make of the body WinINet handed over (`taken`); the saved page must
hold exactly the entries with a code. What Wine's WinINet hands over when a length lies or a
connection is cut was found out by running it; each such case says so."""

from __future__ import annotations

import contextlib
import dataclasses
from typing import Iterator, Sequence

import harness
from expected import REPLY_LIMIT, Collection, raffle_reply
from harness import Session
from hostile_service import HostileService, Play, chunked, head, whole
from steps import (
    LABEL, check, check_equal, check_saved, finish, new_program, shows, test)

INTERNET_SETTINGS = r"HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Internet Settings"
MOVED_URL = f"http://{harness.RAFFLE_HOST}/api/cola/moved?activityid=QX2016062101"
FOUND_PATH = "/api/cola/found"

OK_HEAD = ("HTTP/1.0 200 OK", "Content-Type: text/html; charset=gbk")


@dataclasses.dataclass
class Press:
    """One press of the fetch button against the hostile service.

    plays:   what the service does on each connection the press makes, in order;
    taken:   the reply body the program should end up working with (None: no reply at all);
    targets: the URLs the connections ask for (default: the raffle URL once per play);
    refused: the service's port refuses connections during the press."""

    plays: Sequence[Play]
    taken: bytes | None
    targets: Sequence[str] | None = None
    refused: bool = False


def normal(code: str) -> Press:
    body = raffle_reply(code)
    return Press([whole(body)], body)


def padded(code: str, size: int, fields_first: bool) -> bytes:
    """A reply of exactly `size` bytes, its fields at the start or at the end of filler."""
    fields = raffle_reply(code)
    filler = b" " * (size - len(fields))
    return fields + filler if fields_first else filler + fields


# -- the cases' bodies

LONG_BODY = padded("QXNOLEN", 300_000, fields_first=False)  # many of the program's reads
SPLIT_AT = LONG_BODY.index(b'activity":"') + 4  # a segment ends inside the code's marker
CHUNKED_BODY = raffle_reply("QXCHUNK")
SHORT_BODY = raffle_reply("QXSHORT")  # declared two bytes short: the code's end marker left out
CUT_BODY = raffle_reply("QXCUT")
NUL_BEFORE = b'{"x":"\0",' + raffle_reply("QXNUL1")[1:]
NUL_INSIDE = raffle_reply(b"QX\0NUL2")
NUL_AFTER = raffle_reply("QXNUL3") + b"\0\0tail\0"
BAD_GBK_BODY = raffle_reply(b"QX\xff\xfe\x80\x80", b"2016\xfe\xff")
# 0x81 and 0xA8 begin two-byte characters whose second bytes are the quotes the end markers start
# with; the code then runs on to the next end marker that begins a character, the expiry to none.
LONE_BYTE_BODY = b'{"code":0,"time":"2016\xa8","activity":"QX\x81"},"next":"QXZ"}'
OVER_LIMIT_BODY = padded("QXBIG", REPLY_LIMIT + 1, fields_first=True)
STALL = 4.0  # seconds
RECEIVE_TIME_OUT = 30.0  # seconds: the program's, Windows' default
SILENT = RECEIVE_TIME_OUT + 20.0


def declared(body: bytes, length: int, *pieces) -> Play:
    """A head declaring `length` bytes, sent with `body`, then `pieces`."""
    return Play([head(*OK_HEAD, f"Content-Length: {length}") + body, *pieces])


CASES: dict[str, list[Press]] = {
    "no Content-Length, the body ends with the connection": [
        Press([Play([head(*OK_HEAD), LONG_BODY[:100_000], 0.05, LONG_BODY[100_000:SPLIT_AT], 0.05,
                     LONG_BODY[SPLIT_AT:]])], LONG_BODY)],
    "chunked, markers split across chunks, chunk extensions": [
        Press([Play([head("HTTP/1.1 200 OK", "Content-Type: text/html; charset=gbk",
                          "Transfer-Encoding: chunked", "Connection: close"),
                     chunked([CHUNKED_BODY[:14], CHUNKED_BODY[14:30], CHUNKED_BODY[30:]],
                             extension=b";note=x")])], CHUNKED_BODY)],
    # The body ends early and the connection closes: WinINet hands over what came.
    "Content-Length larger than the body": [
        Press([declared(CUT_BODY, len(CUT_BODY) + 100)], CUT_BODY)],
    # Wine's WinINet delivers bytes past the declared length when they came in the same read as
    # the head, and stops at the length when they come later.
    "Content-Length smaller than the body": [
        Press([declared(SHORT_BODY, len(SHORT_BODY) - 2)], SHORT_BODY),
        Press([declared(SHORT_BODY[:-2], len(SHORT_BODY) - 2, 0.3, SHORT_BODY[-2:])],
              SHORT_BODY[:-2])],
    # Cut by an orderly close, WinINet hands over the part that came; cut by a reset, the read
    # fails and the program drops what that read had gathered, which here is everything.
    "connection closed or reset mid-body": [
        Press([declared(CUT_BODY, len(CUT_BODY) + 1000, 0.2)], CUT_BODY),
        Press([dataclasses.replace(declared(CUT_BODY, len(CUT_BODY) + 1000, 0.2),
                                   ending="reset")], None)],
    "NUL before, inside and after the fields": [
        Press([whole(NUL_BEFORE)], NUL_BEFORE),
        Press([whole(NUL_INSIDE)], NUL_INSIDE),
        Press([whole(NUL_AFTER)], NUL_AFTER)],
    "invalid code page 936 and lone high bytes in code and expiry": [
        Press([whole(BAD_GBK_BODY)], BAD_GBK_BODY),
        Press([whole(LONE_BYTE_BODY)], LONE_BYTE_BODY)],
    "body over 1 MiB with the fields first, with and without a length": [
        Press([whole(OVER_LIMIT_BODY)], OVER_LIMIT_BODY),
        Press([Play([head(*OK_HEAD), OVER_LIMIT_BODY[:65536], 0.05, OVER_LIMIT_BODY[65536:]])],
              OVER_LIMIT_BODY)],
    # The redirects' own bodies carry codes that must not be taken.
    "301 to an absolute URL, 302 to a path": [
        Press([whole(raffle_reply("QXMOVED"), "HTTP/1.0 301 Moved Permanently",
                     f"Location: {MOVED_URL}"), whole(raffle_reply("QX301"))],
              raffle_reply("QX301"), targets=[harness.RAFFLE_URL, MOVED_URL]),
        Press([whole(raffle_reply("QXFOUND"), "HTTP/1.0 302 Found", f"Location: {FOUND_PATH}"),
               whole(raffle_reply("QX302"))],
              raffle_reply("QX302"),
              targets=[harness.RAFFLE_URL, f"http://{harness.RAFFLE_HOST}{FOUND_PATH}"])],
    "404 and 500 with and without the markers": [
        Press([whole(raffle_reply("QX404"), "HTTP/1.0 404 Not Found")], raffle_reply("QX404")),
        Press([whole(b"<h1>404 Not Found</h1>", "HTTP/1.0 404 Not Found")],
              b"<h1>404 Not Found</h1>"),
        Press([whole(raffle_reply("QX500"), "HTTP/1.0 500 Internal Server Error")],
              raffle_reply("QX500")),
        Press([whole(b'{"error":"internal"}', "HTTP/1.0 500 Internal Server Error")],
              b'{"error":"internal"}')],
    "connection refused": [Press([], None, targets=[], refused=True)],
    # A service that stalls and then closes: what came before the close counts, nothing at all
    # or a body cut short.
    "stalls before the head and mid-body, then closes": [
        Press([Play([STALL])], b""),
        Press([declared(CUT_BODY, len(CUT_BODY) + 1000, STALL)], CUT_BODY)],
    # Wine's WinINet has no receive time-out of its own (it was seen waiting over 400 s), so the
    # program gives each request Windows' default: a service silent for longer loses the client
    # first, and the window answers again while the service is still silent.
    "never answers within the receive time-out": [Press([Play([SILENT])], None)],
}


@contextlib.contextmanager
def proxy_at(session: Session, port: int) -> Iterator[None]:
    """Points the prefix's proxy at `port` for the programs started inside, and back after."""
    def set_server(value: str) -> None:
        session.prefix.run(["wine", "reg", "add", INTERNET_SETTINGS, "/v", "ProxyServer", "/t",
                            "REG_SZ", "/d", value, "/f"])

    set_server(f"127.0.0.1:{port}")
    try:
        yield
    finally:
        set_server(f"127.0.0.1:{session.service.port}")


def page_displays_exactly(page: bytes) -> bool:
    """Whether the edit box can show `page` so that it reads back as the same bytes: not when it
    holds bytes that are no code page 936 character."""
    try:
        return page.decode("gbk").encode("gbk") == page
    except UnicodeError:
        return False


def press(program: harness.Program, model: Collection, service: HostileService, step: Press,
          number: int) -> None:
    targets = ([harness.RAFFLE_URL] * len(step.plays) if step.targets is None
               else list(step.targets))
    service.script(*step.plays)
    if step.refused:
        service.refuse()
    try:
        program.press("Return")
        model.fetch(step.taken)
        what = f"the window after press {number}"
        if targets:
            service.wait_for_requests(len(targets))
            pauses = [p for play in step.plays for p in play.pieces if isinstance(p, float)]
            if any(pause > RECEIVE_TIME_OUT for pause in pauses):
                program.wait_state(lambda s: s.text(LABEL) == model.caption,
                                   what=f"the window after the time-out of press {number}",
                                   timeout=RECEIVE_TIME_OUT + 15)
                check(service.plays_done < len(step.plays),
                      f"the service ended press {number} before the client's time-out did")
            # Fetching blocks the window, so it answers the inspector only once the service has
            # played every connection to its end (or the client has given up).
            service.wait_for_plays(len(step.plays),
                                   timeout=harness.DEFAULT_TIMEOUT + max(pauses, default=0.0))
        if page_displays_exactly(model.edit_box):
            shows(program, model, what)
        else:
            # The box shows such bytes as some other character; the saved page is checked instead.
            program.wait_state(lambda s: s.text(LABEL) == model.caption, what=what)
        check(program.process.poll() is None,
              f"the program ended ({program.process.returncode}) after press {number}")
        asked = [harness.target_url(r).geturl() for r in service.requests]
        check_equal(asked, targets, f"URLs asked for by press {number}")
    finally:
        if step.refused:
            service.listen()


@test(cases=CASES)
def hostile_reply(session: Session, presses: list[Press]) -> None:
    service = HostileService().start()
    try:
        # WinINet reads the proxy when the program's first fetch opens its session.
        with proxy_at(session, service.port):
            program = new_program(session, "hostile")
            program.start()
            model = Collection()
            steps = [normal("QXBEFORE"), *presses, normal("QXAFTER")]
            for number, step in enumerate(steps, 1):
                press(program, model, service, step, number)
        finish(program, model)
        check_saved(program, model)
    finally:
        service.stop()
