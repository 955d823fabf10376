"""A stand-in for the owner's site and the badge service, on 127.0.0.1.

It serves the badge page (whose first link opens the chat in a new window),
the chat page (one big solid colour, easy to recognise on a screenshot) and
the two status links, and records every request it gets, in order.
"""

import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

CHAT_BACKGROUND = (0x00, 0xc8, 0x53)
CHAT_HEADER = (0xd5, 0x00, 0xf9)

BADGE_PAGE = b"""<!DOCTYPE html>
<html><head><title>Badge</title></head>
<body style="background:#ffffff">
<a href="/chat" target="_blank">Chat with the owner</a>
<p><a href="/wrong">A second link that must never be followed</a></p>
</body></html>
"""

CHAT_PAGE = b"""<!DOCTYPE html>
<html><head><title>Chat</title>
<style>
html, body { margin:0; padding:0; height:100%; background:#00c853; }
#header { background:#d500f9; height:40px; }
</style></head>
<body><div id="header"></div></body></html>
"""

STATUS_PAGE = b"<!DOCTYPE html><html><body>ok</body></html>"
HANG_SECONDS = 20


class Request:
    def __init__(self, path, when):
        self.path = path
        self.when = when

    def __repr__(self):
        return "%s@%.2f" % (self.path, self.when)


class SiteServer:
    """Serves the pages on a free port until stopped."""

    def __init__(self):
        self._lock = threading.Lock()
        self._requests = []
        self._stopping = threading.Event()
        server = self

        class Handler(BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def do_GET(self):
                server._record(self.path)
                route = self.path.split("?", 1)[0]
                if route == "/badge":
                    self._answer(200, BADGE_PAGE)
                elif route == "/chat":
                    self._answer(200, CHAT_PAGE)
                elif route in ("/start", "/exit"):
                    self._answer(200, STATUS_PAGE)
                elif route == "/hang":
                    # A status page that does not answer in any useful time.
                    server._stopping.wait(HANG_SECONDS)
                    self._answer(200, STATUS_PAGE)
                elif route == "/favicon.ico":
                    self._answer(404, b"")
                else:
                    self._answer(404, b"<html><body>not here</body></html>")

            def _answer(self, status, body):
                self.send_response(status)
                self.send_header("Content-Type", "text/html; charset=utf-8")
                self.send_header("Content-Length", str(len(body)))
                self.send_header("Cache-Control", "no-store")
                self.end_headers()
                try:
                    self.wfile.write(body)
                except (BrokenPipeError, ConnectionResetError):
                    pass  # the program went away first: an exit does that

            def log_message(self, *args):
                pass

        self._httpd = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self._httpd.daemon_threads = True
        self.port = self._httpd.server_address[1]
        self._thread = threading.Thread(target=self._httpd.serve_forever,
                                        kwargs={"poll_interval": 0.1}, daemon=True)
        self._thread.start()

    def url(self, path):
        return "http://127.0.0.1:%d%s" % (self.port, path)

    def _record(self, path):
        with self._lock:
            self._requests.append(Request(path, time.monotonic()))

    def requests(self):
        """Every request so far, favicon look-ups left out."""
        with self._lock:
            return [r for r in self._requests if not r.path.startswith("/favicon")]

    def paths(self):
        return [r.path for r in self.requests()]

    def count(self, path):
        return self.paths().count(path)

    def first_time(self, path):
        for r in self.requests():
            if r.path == path:
                return r.when
        return None

    def clear(self):
        with self._lock:
            self._requests = []

    def stop(self):
        self._stopping.set()
        self._httpd.shutdown()
        self._httpd.server_close()
        self._thread.join(5)
