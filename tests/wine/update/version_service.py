#!/usr/bin/env python3
"""A loopback stand-in for the studio's version service.

    version_service.py --dir DIR [--port N]

Listens on 127.0.0.1 (port N, or a free port when N is 0 or omitted) and writes the
port it listens on to DIR/port once it accepts connections. Every request is answered
from the scenario in DIR/scenario.json, read afresh for each request, so that a test
can change the answer between two requests:

    {"status": 200,          HTTP status of the answer (default 200)
     "body": "...",          answer body as text, sent as UTF-8 (default "")
     "body_hex": "...",      or the answer body as raw bytes in hex
     "content_type": "...",  Content-Type of the answer (default application/json)
     "pad": 0,               blanks appended to the body
     "location": "...",      a Location header (with a 3xx status: a redirect)
     "delay": 0,             seconds to wait before answering
     "close": false,         close the connection without any answer
     "reset": false}         reset the connection (TCP RST) without any answer

Only a POST to /index.php/Index/soft_version gets the scripted answer; any other
request gets 404. Each request is recorded as one JSON line appended to
DIR/requests.jsonl: {"method", "path", "content_type", "body"} (the body as text,
decoded as Latin-1 so that every byte survives as one character).
"""

import argparse
import json
import os
import socket
import struct
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

ENDPOINT = "/index.php/Index/soft_version"


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    record_lock = threading.Lock()

    def log_message(self, *args):
        pass

    def record(self, body):
        entry = {
            "method": self.command,
            "path": self.path,
            "content_type": self.headers.get("Content-Type"),
            "body": body.decode("latin-1"),
        }
        with self.record_lock, open(os.path.join(self.server.dir, "requests.jsonl"), "a", encoding="utf-8") as f:
            f.write(json.dumps(entry, ensure_ascii=False) + "\n")

    def scenario(self):
        try:
            with open(os.path.join(self.server.dir, "scenario.json"), encoding="utf-8") as f:
                return json.load(f)
        except FileNotFoundError:
            return {}

    def answer(self, status, body, content_type, location=None):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        if location:
            self.send_header("Location", location)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body)
        self.close_connection = True

    def handle_any(self):
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length) if length else b""
        self.record(body)
        if self.command != "POST" or self.path != ENDPOINT:
            self.answer(404, b"not found", "text/plain")
            return
        s = self.scenario()
        time.sleep(float(s.get("delay", 0)))
        if s.get("close"):
            self.close_connection = True
            return
        if s.get("reset"):
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            self.connection.close()
            self.close_connection = True
            return
        if "body_hex" in s:
            reply = bytes.fromhex(s["body_hex"])
        else:
            reply = s.get("body", "").encode("utf-8")
        reply += b" " * int(s.get("pad", 0))
        self.answer(int(s.get("status", 200)), reply, s.get("content_type", "application/json"), s.get("location"))

    do_POST = handle_any
    do_GET = handle_any


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dir", required=True)
    parser.add_argument("--port", type=int, default=0)
    args = parser.parse_args()

    server = ThreadingHTTPServer(("127.0.0.1", args.port), Handler)
    server.daemon_threads = True
    server.dir = args.dir
    port_file = os.path.join(args.dir, "port")
    with open(port_file + ".tmp", "w") as f:
        f.write(str(server.server_address[1]))
    os.replace(port_file + ".tmp", port_file)
    server.serve_forever()


if __name__ == "__main__":
    main()
