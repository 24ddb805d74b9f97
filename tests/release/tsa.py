#!/usr/bin/env python3
"""A time-stamping authority on the loopback address for the signing tests: answers RFC 3161
requests over HTTP with `openssl ts -reply`, signing with the key and certificate given.

Usage: tsa.py CONFIG KEY CERT CHAIN PORT_FILE
Prints its port into PORT_FILE; ends by itself after 20 requests or 10 minutes.
"""
import http.server
import os
import subprocess
import sys
import tempfile
import time

config, key, cert, chain, port_file = sys.argv[1:]
served = 0


class Handler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        global served
        served += 1
        query = self.rfile.read(int(self.headers["Content-Length"]))
        with tempfile.TemporaryDirectory() as folder:
            with open(f"{folder}/query", "wb") as f:
                f.write(query)
            done = subprocess.run(["openssl", "ts", "-reply", "-config", config, "-queryfile", f"{folder}/query",
                                   "-inkey", key, "-signer", cert, "-chain", chain, "-out", f"{folder}/reply"],
                                  capture_output=True)
            reply = open(f"{folder}/reply", "rb").read() if done.returncode == 0 else b""
        self.send_response(200 if reply else 500)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)

    def log_message(self, *args):
        pass


server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
with open(port_file + ".tmp", "w") as f:
    f.write(str(server.server_address[1]))
os.replace(port_file + ".tmp", port_file)
server.timeout = 5
end = time.monotonic() + 600
while served < 20 and time.monotonic() < end:
    server.handle_request()
