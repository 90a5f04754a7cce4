#!/usr/bin/env python3
"""Loopback stand-in for the survey server: keeps the uninstaller's post.

    survey-listener.py PORT LOGFILE [SECONDS]

Writes the request path, a line break and the body of the first post that
carries the product's version, then ends (or after SECONDS without one)."""
import http.server
import sys
import time

port, log = int(sys.argv[1]), sys.argv[2]
limit = float(sys.argv[3]) if len(sys.argv) > 3 else 120
got = []


class Handler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        body = self.rfile.read(int(self.headers.get('Content-Length', 0)))
        # Other tests may post here too; only the uninstaller's answer counts.
        if b'&clientVersion=1.0.0.17&' in body:
            with open(log, 'wb') as f:
                f.write(self.path.encode() + b'\n' + body)
            got.append(1)
        self.send_response(200)
        self.end_headers()
        self.wfile.write(b'ok')

    def log_message(self, *args):
        pass


server = http.server.HTTPServer(('127.0.0.1', port), Handler)
server.timeout = 2
deadline = time.time() + limit
while not got and time.time() < deadline:
    server.handle_request()
