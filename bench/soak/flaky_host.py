"""A local upload host for the soak run that fails on purpose. Takes multipart POSTs over TLS
(several connections at once, kept alive) and answers {"data":{"url":...}}. Every tenth
request fails in a passing way, in turn a connection reset, a 502 and a 429 with
Retry-After: 1; an image whose bytes hash to 0 modulo 100 is always refused with a 400, so one
image in a hundred fails for good whatever the client retries.
   python3 flaky_host.py PORTFILE LOGFILE CERT KEY
Writes its port to PORTFILE; LOGFILE gets one line per request:
   <request number> <outcome> <sha256 of the file part> <file name>
outcome is ok, reset, 502, 429 or 400. The line is written before the answer is sent, so an ok
line means the host took the image (a client killed at that moment may not have seen it)."""
import hashlib
import http.server
import json
import re
import socket
import ssl
import struct
import sys
import threading

lock = threading.Lock()
counter = [0]
log = None


def file_part(content_type, body):
    match = re.search(r'boundary="?([^";]+)"?', content_type or "")
    if not match:
        return "", body
    for part in body.split(b"--" + match.group(1).encode()):
        head, _, data = part.partition(b"\r\n\r\n")
        name = re.search(rb'filename="([^"]*)"', head)
        if name:
            return name.group(1).decode("utf-8", "replace"), data[:-2] if data.endswith(b"\r\n") else data
    return "", body


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        name, data = file_part(self.headers.get("Content-Type"), body)
        digest = hashlib.sha256(data).hexdigest()
        with lock:
            counter[0] += 1
            number = counter[0]
            if int(digest, 16) % 100 == 0:
                outcome = "400"
            elif number % 10 == 0:
                outcome = ("reset", "502", "429")[(number // 10) % 3]
            else:
                outcome = "ok"
            log.write("%d %s %s %s\n" % (number, outcome, digest, name.replace(" ", "_")))
            log.flush()
        if outcome == "reset":
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            self.close_connection = True
            self.connection.close()
            return
        if outcome == "ok":
            self.answer(200, {"data": {"url": "https://i.soak.test/%s/%s" % (digest[:16], name)}})
        elif outcome == "400":
            self.answer(400, {"error": {"message": "this picture is refused"}})
        elif outcome == "429":
            self.answer(429, {"error": {"message": "slow down"}}, [("Retry-After", "1")])
        else:
            self.answer(502, {"error": {"message": "bad gateway"}})

    def answer(self, status, document, headers=()):
        body = json.dumps(document).encode()
        self.send_response(status)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(body)))
        for key, value in headers:
            self.send_header(key, value)
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        pass  # clients killed on purpose leave broken connections behind


def main():
    global log
    log = open(sys.argv[2], "a")
    server = Server(("127.0.0.1", 0), Handler)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(sys.argv[3], sys.argv[4])
    server.socket = context.wrap_socket(server.socket, server_side=True)
    with open(sys.argv[1], "w") as f:
        f.write("%d\n" % server.server_address[1])
    server.serve_forever()


main()
