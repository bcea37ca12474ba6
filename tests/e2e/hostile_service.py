"""A raffle service that misbehaves on purpose, for the end-to-end suite.

Like harness.FakeRaffleService it plays the HTTP proxy the Wine prefix points WinINet at, and
records every request as it arrived; unlike it, it answers on the raw socket, so that a reply can
lie about its length, come in chunks, stop half-way, stall or be cut by a reset, byte for byte as
scripted. It can also refuse connections on its port (bound, not listening) and start listening
there later, so that one run of the program, whose WinINet reads the proxy once, meets both.

Only the Python standard library is used; it listens on 127.0.0.1 only.
"""

from __future__ import annotations

import collections
import dataclasses
import select
import socket
import struct
import threading
import time
from typing import Sequence, Union

from harness import DEFAULT_TIMEOUT, RecordedRequest

# A piece of a scripted reply: bytes are sent as they are (one send each, so that the client
# sees them in separate segments), a number is a pause in seconds.
Piece = Union[bytes, float]


@dataclasses.dataclass
class Play:
    """What the service does on one connection once it has read the request head.

    pieces: sent in order, with the pauses between;
    ending: "close" (an orderly close, FIN) or "reset" (RST: the socket closed with a zero
            linger)."""

    pieces: Sequence[Piece] = ()
    ending: str = "close"

    def __post_init__(self):
        if self.ending not in ("close", "reset"):
            raise ValueError(f"unknown ending {self.ending!r}")


def head(status_line: str = "HTTP/1.0 200 OK", *headers: str) -> bytes:
    """A reply head: the status line and the header lines, each ended by CRLF, and a blank line."""
    return "".join(line + "\r\n" for line in (status_line, *headers)).encode("latin-1") + b"\r\n"


def whole(body: bytes, status_line: str = "HTTP/1.0 200 OK", *headers: str) -> Play:
    """A well-formed reply with a Content-Length, closed after the body."""
    return Play([head(status_line, "Content-Type: text/html; charset=gbk",
                      f"Content-Length: {len(body)}", "Connection: close", *headers) + body])


def chunked(chunks: Sequence[bytes], extension: bytes = b"") -> bytes:
    """`chunks` in the chunked transfer coding (hexadecimal sizes, optional extensions), with the
    last chunk and an empty trailer."""
    out = b""
    for chunk in chunks:
        out += b"%x%s\r\n%s\r\n" % (len(chunk), extension, chunk)
    return out + b"0\r\n\r\n"


class HostileService:
    """A raw TCP service on 127.0.0.1 that plays the scripted `Play`s, one per connection.

    A connection that finds no play scripted gets a well-formed 503 without a code."""

    UNSCRIPTED = whole(b"no reply scripted", "HTTP/1.0 503 Service Unavailable")

    def __init__(self, listening: bool = True):
        self._listening_at_start = listening
        self._lock = threading.Condition()
        self._queue: collections.deque[Play] = collections.deque()
        self._requests: list[RecordedRequest] = []
        self._plays_done = 0
        self._socket: socket.socket | None = None
        self._port = 0
        self._stopping = threading.Event()
        self._threads: list[threading.Thread] = []
        self._connections: set[socket.socket] = set()

    @property
    def port(self) -> int:
        return self._port

    def start(self) -> "HostileService":
        self._socket = self._bound_socket(0)
        self._port = self._socket.getsockname()[1]
        if self._listening_at_start:
            self._socket.listen(16)
        accepter = threading.Thread(target=self._accept_loop, daemon=True)
        accepter.start()
        self._threads.append(accepter)
        return self

    @staticmethod
    def _bound_socket(port: int) -> socket.socket:
        sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        sock.bind(("127.0.0.1", port))
        return sock

    def refuse(self) -> None:
        """From now on a connection to the port is refused: the listening socket is replaced by
        one bound to the same port that does not listen (the kernel answers with a reset)."""
        with self._lock:
            if self._socket is not None:
                # A port can have one listener only, even with SO_REUSEADDR; shutdown stops it
                # listening at once, where close waits for the accepting thread's select.
                try:
                    self._socket.shutdown(socket.SHUT_RDWR)
                except OSError:
                    pass
                self._socket.close()
            self._socket = self._bound_socket(self._port)

    def listen(self) -> None:
        """Accepts connections on the port again."""
        with self._lock:
            assert self._socket is not None
            self._socket.listen(16)

    def stop(self) -> None:
        self._stopping.set()
        with self._lock:
            sock, self._socket = self._socket, None
            connections = list(self._connections)
        if sock is not None:
            sock.close()
        for connection in connections:  # a play pausing on one notices the stop in time
            try:
                connection.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
        for thread in self._threads:
            thread.join(timeout=10)
        self._threads = []

    # -- scripting and records, as harness.FakeRaffleService

    def script(self, *plays: Play) -> None:
        """Forgets what was recorded and queues `plays` for the next connections, in order."""
        with self._lock:
            self._queue = collections.deque(plays)
            self._requests = []
            self._plays_done = 0

    @property
    def requests(self) -> list[RecordedRequest]:
        with self._lock:
            return list(self._requests)

    def wait_for_requests(self, count: int,
                          timeout: float = DEFAULT_TIMEOUT) -> list[RecordedRequest]:
        with self._lock:
            if not self._lock.wait_for(lambda: len(self._requests) >= count, timeout):
                raise TimeoutError(f"the hostile service got {len(self._requests)} request(s) "
                                   f"within {timeout:g}s, expected {count}")
            return list(self._requests)

    @property
    def plays_done(self) -> int:
        with self._lock:
            return self._plays_done

    def wait_for_plays(self, count: int, timeout: float = DEFAULT_TIMEOUT) -> None:
        """Waits until `count` connections have been played to their end (sent, paused, closed)."""
        with self._lock:
            if not self._lock.wait_for(lambda: self._plays_done >= count, timeout):
                raise TimeoutError(f"the hostile service finished {self._plays_done} play(s) "
                                   f"within {timeout:g}s, expected {count}")

    # -- serving

    def _accept_loop(self) -> None:
        while not self._stopping.is_set():
            with self._lock:
                sock = self._socket
            if sock is None:
                return
            try:
                ready, _, _ = select.select([sock], [], [], 0.05)
                if not ready:
                    continue
                connection, _ = sock.accept()
            except OSError:  # replaced by refuse(), not listening yet, or closed by stop()
                time.sleep(0.02)
                continue
            worker = threading.Thread(target=self._serve, args=(connection,), daemon=True)
            worker.start()
            self._threads.append(worker)

    def _serve(self, connection: socket.socket) -> None:
        with self._lock:
            self._connections.add(connection)
        try:
            request = self._read_request(connection)
            if request is None:
                return
            with self._lock:
                self._requests.append(request)
                play = self._queue.popleft() if self._queue else self.UNSCRIPTED
                self._lock.notify_all()
            self._play(connection, play)
        except OSError:
            pass  # the client went away; what it saw is for the test to judge
        finally:
            with self._lock:
                self._connections.discard(connection)
                self._plays_done += 1
                self._lock.notify_all()
            try:
                connection.close()
            except OSError:
                pass

    @staticmethod
    def _read_request(connection: socket.socket) -> RecordedRequest | None:
        data = b""
        connection.settimeout(DEFAULT_TIMEOUT)
        while b"\r\n\r\n" not in data:
            chunk = connection.recv(4096)
            if not chunk:
                return None
            data += chunk
        lines = data.split(b"\r\n\r\n", 1)[0].decode("latin-1").split("\r\n")
        parts = lines[0].split(" ")
        headers = []
        for line in lines[1:]:
            name, _, value = line.partition(":")
            headers.append((name.strip(), value.strip()))
        return RecordedRequest(request_line=lines[0], method=parts[0] if parts else "",
                               target=parts[1] if len(parts) > 1 else "",
                               version=parts[2] if len(parts) > 2 else "", headers=headers)

    def _play(self, connection: socket.socket, play: Play) -> None:
        for piece in play.pieces:
            if isinstance(piece, (int, float)):
                if self._stopping.wait(piece):
                    return
            else:
                connection.sendall(piece)
        if play.ending == "reset":
            connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        else:
            connection.shutdown(socket.SHUT_WR)
            # Reading until the client closes leaves the close to it, so that no reset from
            # unread data spoils an orderly end.
            connection.settimeout(5)
            try:
                while connection.recv(4096):
                    pass
            except OSError:
                pass
