#!/usr/bin/env python3
"""Loopback HTTP server of the WinHTTP client tests.

Routes (GET unless noted):
  /ok                 200, a short UTF-8 text with Content-Length
  /bytes?size=N       200, N bytes of a fixed pattern with Content-Length
  /empty              200 with an empty body
  /chunked            200, chunked body without Content-Length
  /missing            404 with a body
  /redirect           302 to /ok;  /redirect-chain: 301 to /redirect
  /slow?ms=N          waits N ms, then 200 (no answer once the client sends more)
  /broken-html        200, an HTML page that never ends
  /latin1             200, "café" in ISO-8859-1 (charset named)
  /utf8-upper         200, "café" in UTF-8 (charset named "UTF-8")
  /cookies            200 with two Set-Cookie headers
  /short              announces 1000 bytes, sends 10 and closes
  /drop-once?key=K    closes the first connection for K without an answer, then 200
  /count?key=K        200, how many requests carrying key=K arrived (any route)
  POST /echo          200, JSON of the request line, headers and body
  absolute-URI request (as through a proxy): 200 "via proxy <url>"
With --tls-port and --cert the same routes are also served over HTTPS.
"""
import argparse
import json
import select
import ssl
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, urlsplit

_dropped = set()
_requests = {}  # key -> requests that carried it, counted on arrival
_lock = threading.Lock()


def pattern(size):
    return bytes((i * 131 >> 3) & 0xFF for i in range(size))


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, fmt, *args):  # keep ctest output quiet
        pass

    def answer(self, status, body, content_type="text/plain; charset=utf-8", headers=()):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def route(self):
        if self.path.startswith("http://"):
            return self.answer(200, ("via proxy " + self.path).encode())
        url = urlsplit(self.path)
        query = parse_qs(url.query)
        path = url.path
        if path == "/count":
            with _lock:
                count = _requests.get(query.get("key", [""])[0], 0)
            return self.answer(200, str(count).encode())
        if "key" in query:
            with _lock:
                _requests[query["key"][0]] = _requests.get(query["key"][0], 0) + 1
        if path == "/ok":
            return self.answer(200, "hello from the loopback server\n".encode())
        if path == "/bytes":
            return self.answer(200, pattern(int(query["size"][0])), "application/octet-stream")
        if path == "/empty":
            return self.answer(200, b"")
        if path == "/chunked":
            self.send_response(200)
            self.send_header("Content-Type", "text/plain; charset=utf-8")
            self.send_header("Transfer-Encoding", "chunked")
            self.end_headers()
            for part in (b"first part, ", b"second part, ", b"last part\n"):
                self.wfile.write(b"%x\r\n%s\r\n" % (len(part), part))
            self.wfile.write(b"0\r\n\r\n")
            return None
        if path == "/missing":
            return self.answer(404, b"not here\n")
        if path == "/redirect":
            return self.answer(302, b"", headers=[("Location", "/ok")])
        if path == "/redirect-chain":
            return self.answer(301, b"", headers=[("Location", "/redirect")])
        if path == "/slow":
            # A client that gave up on this answer and sends its next request
            # on the same connection (or closes it) gets no answer: the next
            # request is read, and counted, at once.
            deadline = time.monotonic() + int(query.get("ms", ["2000"])[0]) / 1000.0
            while time.monotonic() < deadline:
                readable, _, _ = select.select([self.connection], [], [], deadline - time.monotonic())
                if readable:
                    return None
            return self.answer(200, b"late\n")
        if path == "/broken-html":
            return self.answer(200, b"<html><body>this page never ends", "text/html; charset=utf-8")
        if path == "/latin1":
            return self.answer(200, "café".encode("latin-1"), "text/plain; charset=ISO-8859-1")
        if path == "/utf8-upper":
            return self.answer(200, "café".encode("utf-8"), "text/plain; charset=UTF-8")
        if path == "/cookies":
            return self.answer(200, b"cookies\n", headers=[("Set-Cookie", "first=1"), ("Set-Cookie", "second=2")])
        if path == "/short":
            self.send_response(200)
            self.send_header("Content-Length", "1000")
            self.end_headers()
            self.wfile.write(b"0123456789")
            self.close_connection = True
            return None
        if path == "/drop-once":
            key = query.get("key", [""])[0]
            with _lock:
                first = key not in _dropped
                _dropped.add(key)
            if first:
                self.close_connection = True
                return None
            return self.answer(200, b"second time lucky\n")
        return self.answer(404, b"no such route\n")

    def do_GET(self):
        self.route()

    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(length) if length else b""
        if urlsplit(self.path).path == "/echo":
            record = {
                "method": self.command,
                "path": self.path,
                "headers": {k: v for k, v in self.headers.items()},
                "body": body.decode("utf-8", "replace"),
            }
            return self.answer(200, json.dumps(record, ensure_ascii=False).encode("utf-8"),
                               "application/json; charset=utf-8")
        return self.route()


class Server(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--tls-port", type=int)
    parser.add_argument("--cert", help="PEM file with the certificate and its key")
    args = parser.parse_args()
    server = Server(("127.0.0.1", args.port), Handler)
    if args.tls_port and args.cert:
        tls = Server(("127.0.0.1", args.tls_port), Handler)
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(args.cert)
        tls.socket = context.wrap_socket(tls.socket, server_side=True)
        threading.Thread(target=tls.serve_forever, daemon=True).start()
    print("listening", flush=True)
    server.serve_forever()


if __name__ == "__main__":
    sys.exit(main())
