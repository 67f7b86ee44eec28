#!/usr/bin/env python3
"""An HTTP listener on loopback for the notification tests: prints its port,
then appends each POST it gets to LOG as one JSON line (path, headers, body,
and whether X-Q7-Signature is the HMAC-SHA256 of the body under SECRET, as
computed here), and answers STATUS (default 200)."""
import hashlib
import hmac
import http.server
import json
import sys

log, secret = sys.argv[1], sys.argv[2].encode()
status = int(sys.argv[3]) if len(sys.argv) > 3 else 200


class Handler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        expected = "sha256=" + hmac.new(secret, body, hashlib.sha256).hexdigest()
        with open(log, "a") as f:
            f.write(json.dumps({"path": self.path,
                                "headers": {k.lower(): v for k, v in self.headers.items()},
                                "body": body.decode("utf-8"),
                                "signed": self.headers.get("X-Q7-Signature") == expected}) + "\n")
        self.send_response(status)
        self.send_header("Content-Length", "0")
        self.end_headers()

    def log_message(self, *args):
        pass


server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
print(server.server_address[1], flush=True)
server.serve_forever()
