#!/usr/bin/env python3
"""A loopback HTTP or HTTPS server for the Windows tests.

It listens on 127.0.0.1 on a free port, writes "PORT PID" into the ready
file ("0 PID" when it could not listen) and serves until it receives SIGTERM
(the test stops it by its PID) or its lifetime runs out, whichever comes
first. On the way out it removes the ready
file. With --tls it serves HTTPS with a freshly made self-signed certificate.
With --request-log every request line is appended to that file as it arrives.

Paths:
  /echo...       the request line, header lines and body, as received
  /cookies       two Set-Cookie headers (one with attributes) and a lower-case one
  /bytes?n=N     N bytes of a fixed pattern that includes zero bytes
  /redirect      302 to /echo, setting a cookie on the way
  /bigheaders    a header block of about 7000 bytes ending in a Set-Cookie line
  /missing       404 with a short body
  anything else  the bytes of --answer-file as they are at the time of the
                 request (an empty body without that option)
"""
import argparse
import http.server
import os
import shutil
import signal
import socketserver
import ssl
import subprocess
import sys
import tempfile
import threading
from urllib.parse import urlsplit, parse_qs


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    answer_file = None
    request_log = None
    log_lock = threading.Lock()

    def log_message(self, *args):
        pass

    def send(self, status, body, headers=()):
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def handle_any(self):
        length = int(self.headers.get("Content-Length", "0") or "0")
        body = self.rfile.read(length) if length else b""
        url = urlsplit(self.path)
        if Handler.request_log:
            with Handler.log_lock, open(Handler.request_log, "a") as f:
                f.write(f"{self.command} {self.path}\n")
        if url.path.startswith("/echo"):
            lines = [f"{self.command} {self.path}"]
            lines += [f"{name}: {value}" for name, value in self.headers.items()]
            text = ("\r\n".join(lines) + "\r\n\r\n").encode("latin-1") + body
            self.send(200, text, [("Content-Type", "text/plain")])
        elif url.path == "/cookies":
            self.send(200, b"cookies", [("Set-Cookie", "sid=abc; Path=/; HttpOnly"),
                                        ("set-cookie", "lower=1"),
                                        ("Set-Cookie", "lang=zh"),
                                        ("X-Test", "yes")])
        elif url.path == "/bytes":
            n = int(parse_qs(url.query).get("n", ["0"])[0])
            self.send(200, bytes((i * 7) % 256 for i in range(n)),
                      [("Content-Type", "application/octet-stream")])
        elif url.path == "/redirect":
            self.send(302, b"moved", [("Location", "/echo/after"), ("Set-Cookie", "moved=1")])
        elif url.path == "/bigheaders":
            pads = [(f"X-Pad-{i}", "p" * 90) for i in range(70)]
            self.send(200, b"big", pads + [("Set-Cookie", "big=1; Path=/")])
        elif url.path == "/missing":
            self.send(404, b"missing")
        else:
            answer = b""
            if Handler.answer_file:
                with open(Handler.answer_file, "rb") as f:
                    answer = f.read()
            self.send(200, answer, [("X-Request-Path", self.path)])

    do_GET = do_POST = do_PUT = do_DELETE = do_OPTIONS = do_HEAD = handle_any


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


def self_signed(folder):
    cert, key = os.path.join(folder, "cert.pem"), os.path.join(folder, "key.pem")
    # An elliptic-curve key is made in milliseconds, unlike an RSA one.
    subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                    "-nodes", "-keyout", key,
                    "-out", cert, "-days", "2", "-subj", "/CN=tavrel-test"],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return cert, key


def bind():
    try:
        return Server(("127.0.0.1", 0), Handler)
    except OSError:
        return None


def write_ready(path, port):
    temporary = path + ".tmp"
    with open(temporary, "w") as f:
        f.write(f"{port} {os.getpid()}\n")
    os.replace(temporary, path)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--ready", required=True)
    parser.add_argument("--tls", action="store_true")
    parser.add_argument("--answer-file")
    parser.add_argument("--request-log")
    parser.add_argument("--lifetime", type=float, default=120.0)
    args = parser.parse_args()
    Handler.answer_file = args.answer_file
    Handler.request_log = args.request_log

    server = bind()
    if server is None:
        write_ready(args.ready, 0)
        return 1
    if args.tls:
        folder = tempfile.mkdtemp(prefix="tavrel-tls-")
        try:
            cert, key = self_signed(folder)
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            context.load_cert_chain(cert, key)
        finally:
            shutil.rmtree(folder, ignore_errors=True)
        server.socket = context.wrap_socket(server.socket, server_side=True)

    def stop(*_):
        threading.Thread(target=server.shutdown, daemon=True).start()

    signal.signal(signal.SIGTERM, stop)
    timer = threading.Timer(args.lifetime, stop)
    timer.daemon = True
    timer.start()

    write_ready(args.ready, server.server_address[1])
    try:
        server.serve_forever()
    finally:
        server.server_close()
        try:
            os.remove(args.ready)
        except OSError:
            pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
