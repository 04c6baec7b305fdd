"""A local upload host for the TLS benchmark: takes any POST, reads its body and answers
{"data":{"url":...}}, then closes. TLS when a certificate is given. With UPLOAD_DELAY_MS set, it
takes that long over every answer, as a real host does over its thumbnails, and serves the
connections at once, each on a thread.
   python3 upload_server.py PORTFILE [CERT KEY]
Writes the port it listens on (127.0.0.1, chosen by the system) to PORTFILE."""
import http.server
import json
import os
import ssl
import sys
import threading
import time

DELAY = int(os.environ.get("UPLOAD_DELAY_MS", "0")) / 1000.0
LOCK = threading.Lock()


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    count = 0

    def do_POST(self):
        self.rfile.read(int(self.headers.get("Content-Length", "0")))
        with LOCK:
            Handler.count += 1
            number = Handler.count
        if DELAY:
            time.sleep(DELAY)
        body = json.dumps({"data": {"url": "https://i.bench/%d.jpg" % number}}).encode()
        self.send_response(200)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body)
        self.close_connection = True

    def log_message(self, *args):
        pass


def main():
    kind = http.server.ThreadingHTTPServer if DELAY else http.server.HTTPServer
    server = kind(("127.0.0.1", 0), Handler)
    server.request_queue_size = 64
    if len(sys.argv) > 3:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(sys.argv[2], sys.argv[3])
        server.socket = context.wrap_socket(server.socket, server_side=True)
    with open(sys.argv[1], "w") as f:
        f.write("%d\n" % server.server_address[1])
    server.serve_forever()


main()
