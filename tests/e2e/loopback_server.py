"""A loopback HTTP server for the tests: serves files from a folder and documents from memory,
and injects faults on chosen paths. Answers single byte ranges ("Range: bytes=N-") guarded by
If-Range, with an ETag that follows the content. Can wait before every answer, as a distant
server does, and records when each request started and ended. Listens on 127.0.0.1 only, on a
free port, and stops by itself after its lifetime even if a test forgets to stop it. With a
certificate and its key it speaks HTTPS and is addressed as "localhost"."""
import hashlib
import http.server
import os
import ssl
import sys
import threading
import time
import urllib.parse
from dataclasses import dataclass


@dataclass
class Fault:
    status: int = 0           # answer with this status and a small error page
    cut_after: int = -1       # announce the whole length, send this many bytes, close
    extra_length: int = 0     # announce this many bytes more than the body holds, then close
    delay: float = 0.0        # wait this long before answering
    stall_after: int = -1     # send this many bytes, then send nothing for stall_seconds
    stall_seconds: float = 0.0
    rate: int = 0             # send at most this many bytes a second
    times: int = -1           # the fault applies to this many requests of the path; -1: all
    on_cut: object = None     # called after a cut_after answer was cut, before the next request
    # After the body, send zeros without end: "chunked" (Transfer-Encoding: chunked) or
    # "unsized" (no length; the end would be the connection's close). Until the client goes
    # away or the server stops.
    endless: str = ""


@dataclass
class RequestTiming:
    """When the server was busy with one request, on time.monotonic()'s clock; end stays None
    while the answer is being sent."""
    path: str
    start: float
    end: float = None
    sent: int = 0  # bytes of the body written so far


def most_at_once(timings):
    """The largest number of the given requests the server was busy with at the same moment."""
    # An answer that ends at the very moment another starts does not overlap it: ends first.
    events = sorted([(t.start, 1) for t in timings] + [(t.end, -1) for t in timings if t.end is not None])
    busy = most = 0
    for _, change in events:
        busy += change
        most = max(most, busy)
    return most


class LoopbackServer:
    def __init__(self, root=None, lifetime=600, port=0, tls=None):
        self.port = port
        self.tls = tls  # (certificate file, key file), both PEM
        self.root = root
        self.documents = {}
        self.faults = {}
        self.requests = []
        self.range_requests = []  # (path, Range, If-Range) of every request
        self.ignore_ranges = set()  # paths answered whole whatever was asked, as by servers without ranges
        self.answer_delay = 0.0  # seconds waited before every answer, on top of a fault's delay
        self.timings = []  # a RequestTiming per request, in the order they arrived
        self._lock = threading.Lock()
        self.lifetime = lifetime
        self._server = None

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *exc):
        self.stop()

    @property
    def base_url(self):
        port = self._server.server_address[1]
        return f"https://localhost:{port}" if self.tls else f"http://127.0.0.1:{port}"

    def start(self):
        owner = self
        context = None
        if self.tls:
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            context.load_cert_chain(*self.tls)

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def setup(self):
                # The handshake runs on the connection's own thread: a client that refuses the
                # certificate costs only its connection.
                if context:
                    self.request = context.wrap_socket(self.request, server_side=True)
                super().setup()

            def finish(self):
                super().finish()
                # The server closes the plain socket it accepted, which the TLS one took over.
                if context:
                    self.request.close()

            def log_message(self, *args):
                pass

            def do_GET(self):
                timing = RequestTiming(self.path, time.monotonic())
                owner.timings.append(timing)
                owner.requests.append(self.path)
                owner.range_requests.append((self.path, self.headers.get("Range"), self.headers.get("If-Range")))
                try:
                    if owner.answer_delay:
                        time.sleep(owner.answer_delay)
                    self._answer(timing)
                finally:
                    timing.end = time.monotonic()

            def _answer(self, timing):
                path = urllib.parse.urlsplit(self.path).path
                fault = owner._take_fault(path, self.path)
                if fault.delay:
                    time.sleep(fault.delay)
                if fault.status:
                    return self._send(fault.status, f"<html><body>{fault.status}</body></html>".encode())
                body = owner._body(self.path, path)
                if body is None:
                    return self._send(404, b"<html><body>404 Not Found</body></html>")
                etag = '"' + hashlib.sha256(body).hexdigest()[:32] + '"'
                start = 0 if path in owner.ignore_ranges else self._range_start(etag, len(body))
                if start is None:
                    return self._send(416, b"<html><body>416</body></html>")
                self.send_response(206 if start else 200)
                self.send_header("Content-Type", "application/octet-stream")
                self.send_header("ETag", etag)
                if start:
                    self.send_header("Content-Range", f"bytes {start}-{len(body) - 1}/{len(body)}")
                    body = body[start:]
                if fault.endless:
                    return self._send_endless(fault.endless, body, timing)
                self.send_header("Content-Length", str(len(body) + fault.extra_length))
                self.end_headers()
                if fault.cut_after >= 0:
                    self.wfile.write(body[:fault.cut_after])
                    self.wfile.flush()
                    self.close_connection = True
                    if fault.on_cut:
                        fault.on_cut()
                    return
                if fault.stall_after >= 0:
                    self.wfile.write(body[:fault.stall_after])
                    self.wfile.flush()
                    time.sleep(fault.stall_seconds)
                    self.close_connection = True
                    return
                if fault.rate:
                    for start in range(0, len(body), max(1, fault.rate // 10)):
                        self.wfile.write(body[start:start + max(1, fault.rate // 10)])
                        self.wfile.flush()
                        time.sleep(0.1)
                else:
                    self.wfile.write(body)
                if fault.extra_length:
                    self.close_connection = True

            def _send_endless(self, kind, body, timing):
                chunked = kind == "chunked"
                if chunked:
                    self.send_header("Transfer-Encoding", "chunked")
                else:
                    self.send_header("Connection", "close")
                self.end_headers()
                self.close_connection = True
                zeros = bytes(65536)
                piece = body
                try:
                    while owner._server is not None:
                        if piece:
                            self.wfile.write(b"%x\r\n%s\r\n" % (len(piece), piece) if chunked else piece)
                            self.wfile.flush()
                            timing.sent += len(piece)
                        piece = zeros
                except (BrokenPipeError, ConnectionResetError):
                    pass

            def _range_start(self, etag, size):
                """Where the answer's body starts: 0 for the whole body, None when the range
                cannot be served."""
                wanted = self.headers.get("Range", "")
                if not wanted.startswith("bytes=") or not wanted.endswith("-"):
                    return 0
                if_range = self.headers.get("If-Range")
                if if_range is not None and if_range != etag:
                    return 0
                start = int(wanted[len("bytes="):-1])
                return start if start < size else None

            def _send(self, status, body):
                self.send_response(status)
                self.send_header("Content-Type", "text/html")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

        class Server(http.server.ThreadingHTTPServer):
            allow_reuse_address = True

            def handle_error(self, request, client_address):
                if not isinstance(sys.exc_info()[1], (ssl.SSLError, ConnectionError)):
                    super().handle_error(request, client_address)

        self._server = Server(("127.0.0.1", self.port), Handler)
        self._server.daemon_threads = True
        threading.Thread(target=self._server.serve_forever, daemon=True).start()
        self._timer = threading.Timer(self.lifetime, self.stop)
        self._timer.daemon = True
        self._timer.start()
        return self.base_url

    def stop(self):
        if self._server:
            server, self._server = self._server, None
            self._timer.cancel()
            server.shutdown()
            server.server_close()

    def _take_fault(self, path, full_path):
        with self._lock:
            key = path if path in self.faults else full_path
            fault = self.faults.get(key)
            if fault is None:
                return Fault()
            if fault.times == 0:
                return Fault()
            if fault.times > 0:
                fault.times -= 1
            return fault

    def _body(self, full_path, path):
        for key in (full_path, path):
            if key in self.documents:
                return self.documents[key]
        if self.root is None:
            return None
        local = os.path.normpath(os.path.join(self.root, urllib.parse.unquote(path).lstrip("/")))
        if not local.startswith(os.path.normpath(self.root) + os.sep) or not os.path.isfile(local):
            return None
        with open(local, "rb") as f:
            return f.read()
