#!/usr/bin/env python3
"""A raffle service for the demo, on 127.0.0.1 only: every request for the raffle address gets a
new random promotion code, valid until the end of today, in the service's reply format:

    {"code":0,"time":"2026-12-11 23:59:59","activity":"QX8F2K"}

The program reaches it as its HTTP proxy (the Wine prefix's Internet settings point there), so the
request line carries the absolute URL; a plain "GET /api/cola/raffle?..." is answered too, for a
look with curl. Anything else gets a 404.

    python3 tools/demo_raffle_server.py [--port N]     serves until Ctrl-C
"""

from __future__ import annotations

import argparse
import datetime
import http.server
import secrets
import string
import threading
import urllib.parse

RAFFLE_PATH = "/api/cola/raffle"
CODE_ALPHABET = string.ascii_uppercase + string.digits


def new_code() -> str:
    return "QX" + "".join(secrets.choice(CODE_ALPHABET) for _ in range(4))


def reply_for(code: str, day: datetime.date) -> bytes:
    return ('{"code":0,"time":"%s 23:59:59","activity":"%s"}' % (day.isoformat(), code)).encode()


class DemoRaffleService:
    """Started and stopped by its owner; `handed_out` lists the codes given so far."""

    def __init__(self, port: int = 0, log=print):
        self.requested_port = port
        self.log = log
        self.handed_out: list[str] = []
        self._lock = threading.Lock()
        self._server: http.server.ThreadingHTTPServer | None = None
        self._thread: threading.Thread | None = None

    @property
    def port(self) -> int:
        assert self._server is not None
        return self._server.server_address[1]

    def start(self) -> "DemoRaffleService":
        service = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.0"

            def do_GET(self):
                path = urllib.parse.urlsplit(self.path).path
                if path != RAFFLE_PATH:
                    self._send(404, b"not found")
                    return
                code = new_code()
                with service._lock:
                    service.handed_out.append(code)
                service.log(f"raffle service: handed out {code}")
                self._send(200, reply_for(code, datetime.date.today()))

            def _send(self, status: int, body: bytes) -> None:
                self.send_response(status)
                self.send_header("Content-Type", "application/json")
                self.send_header("Content-Length", str(len(body)))
                self.send_header("Cache-Control", "no-store")
                self.end_headers()
                self.wfile.write(body)

            def log_message(self, format, *args):  # noqa: A002 - the base class's name
                pass

        self._server = http.server.ThreadingHTTPServer(("127.0.0.1", self.requested_port), Handler)
        self._server.daemon_threads = True
        self._thread = threading.Thread(target=self._server.serve_forever, daemon=True)
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


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--port", type=int, default=0, help="port on 127.0.0.1 (default: any free)")
    args = parser.parse_args()
    service = DemoRaffleService(args.port).start()
    print(f"raffle service on 127.0.0.1:{service.port} (Ctrl-C stops it)", flush=True)
    try:
        threading.Event().wait()
    except KeyboardInterrupt:
        pass
    finally:
        service.stop()


if __name__ == "__main__":
    main()
