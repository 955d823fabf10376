"""The local web site the benchmark points the program (and Chromium) at."""
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import urlsplit

# A block of this colour on the chat page tells a screenshot that the page
# content really reached the window.
MARK_RGB = (20, 140, 220)

PAGES = {
    '/badge': ('text/html', '<!DOCTYPE html><html><head><meta charset="utf-8"><title>Badge</title>'
               '</head><body><a href="/chat" target="_blank">Chat</a>'
               '<p>The owner is available.</p><a href="/elsewhere">About</a></body></html>'),
    # The same badge in its window.open form: the chat keeps the badge as its opener.
    '/badge-open': ('text/html', '<!DOCTYPE html><html><head><meta charset="utf-8"><title>Badge</title>'
                    '</head><body><a href="#" onclick="window.open(\'/chat\', \'\', \'height=500,width=300\');'
                    ' return false">Chat</a><p>The owner is available.</p><a href="/elsewhere">About</a>'
                    '</body></html>'),
    '/chat': ('text/html', '<!DOCTYPE html><html><head><meta charset="utf-8"><title>Chat</title>'
              '<script>window.onload = function () { fetch("/chat-loaded"); };'
              # The engine reports the first paint with text in it once that
              # frame was presented: the same signal in both browsers.
              'new PerformanceObserver(function (list) {'
              ' if (list.getEntriesByName("first-contentful-paint").length) fetch("/chat-painted"); })'
              '.observe({type: "paint", buffered: true});</script></head>'
              '<body><div style="background: rgb(%d, %d, %d); width: 240px; height: 40px"></div>'
              '<h3>Chat with a visitor</h3><div>Hello! Is anyone there?</div>'
              '<div>Hi, how can I help?</div><input placeholder="Type a message">'
              '<button>Send</button></body></html>' % MARK_RGB),
    '/chat-loaded': ('text/plain', 'ok'),
    '/chat-painted': ('text/plain', 'ok'),
    '/start': ('text/plain', 'online'),
    '/exit': ('text/plain', 'offline'),
}


class RequestLog:
    """Monotonic arrival time of every request the server got."""

    def __init__(self):
        self.hits = []
        self.cond = threading.Condition()

    def record(self, path):
        with self.cond:
            self.hits.append((path, time.monotonic()))
            self.cond.notify_all()

    def count(self, path):
        with self.cond:
            return sum(hit_path == path for hit_path, _ in self.hits)

    def wait_for(self, path, since, deadline):
        """Time of the first request for path at or after since, or None at deadline."""
        with self.cond:
            while True:
                for hit_path, t in self.hits:
                    if hit_path == path and t >= since:
                        return t
                left = deadline - time.monotonic()
                if left <= 0:
                    return None
                self.cond.wait(left)


def start_server(log):
    """Serves PAGES on a free port of 127.0.0.1; returns the server and its base URL."""
    class Handler(BaseHTTPRequestHandler):
        def do_GET(self):
            path = urlsplit(self.path).path
            log.record(path)
            kind, body = PAGES.get(path, ('text/plain', 'not found'))
            data = body.encode()
            self.send_response(200 if path in PAGES else 404)
            self.send_header('Content-Type', kind + '; charset=utf-8')
            self.send_header('Content-Length', str(len(data)))
            self.send_header('Cache-Control', 'no-store')
            self.end_headers()
            self.wfile.write(data)

        def log_message(self, *args):
            pass

    server = ThreadingHTTPServer(('127.0.0.1', 0), Handler)
    server.daemon_threads = True
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server, 'http://127.0.0.1:%d' % server.server_address[1]
