#!/usr/bin/env python3
"""tsa_server.py CONFIG: an RFC 3161 time-stamp authority for the signing test. Answers each
request POSTed to it with `openssl ts -reply -config CONFIG`, on 127.0.0.1 only; prints its port
on the first line, and stops by itself after two minutes should nobody stop it before."""

import http.server
import subprocess
import sys
import time


class TimeStampHandler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers["Content-Length"]))
        reply = subprocess.run(
            ["openssl", "ts", "-reply", "-config", sys.argv[1],
             "-queryfile", "/dev/stdin", "-out", "/dev/stdout"],
            input=query, capture_output=True, check=True).stdout
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)

    def log_message(self, *args):
        pass


server = http.server.HTTPServer(("127.0.0.1", 0), TimeStampHandler)
server.timeout = 1
print(server.server_address[1], flush=True)
deadline = time.monotonic() + 120
while time.monotonic() < deadline:
    server.handle_request()
