"""A local RFC 3161 time-stamping service for the signing test: each request
is answered by `openssl ts -reply` with the test's own TSA key. It listens on a
free loopback port, which it writes to PORT_FILE once it is ready.

usage: tsa_responder.py PORT_FILE OPENSSL_TS_CONFIG
"""
import http.server
import os
import subprocess
import sys
import tempfile

PORT_FILE, CONFIG = sys.argv[1], sys.argv[2]


class Responder(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        with tempfile.TemporaryDirectory() as folder:
            query_file = os.path.join(folder, "query.tsq")
            reply_file = os.path.join(folder, "reply.tsr")
            with open(query_file, "wb") as out:
                out.write(query)
            made = subprocess.run(["openssl", "ts", "-reply", "-config", CONFIG, "-queryfile",
                                   query_file, "-out", reply_file], capture_output=True)
            if made.returncode != 0:
                self.send_error(400, made.stderr.decode(errors="replace")[:200])
                return
            with open(reply_file, "rb") as reply_in:
                reply = reply_in.read()
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)

    def log_message(self, *args):
        pass


server = http.server.HTTPServer(("127.0.0.1", 0), Responder)
with open(PORT_FILE + ".tmp", "w") as out:
    out.write(str(server.server_address[1]))
os.rename(PORT_FILE + ".tmp", PORT_FILE)
server.serve_forever()
