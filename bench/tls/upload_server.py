"""A local upload host for the TLS benchmark: takes any POST, reads its body and answers
{"data":{"url":...}}, then closes. TLS when a certificate is given.
   python3 upload_server.py PORTFILE [CERT KEY]
Writes the port it listens on (127.0.0.1, chosen by the system) to PORTFILE."""
import http.server
import json
import ssl
import sys


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    count = 0

    def do_POST(self):
        self.rfile.read(int(self.headers.get("Content-Length", "0")))
        Handler.count += 1
        body = json.dumps({"data": {"url": "https://i.bench/%d.jpg" % Handler.count}}).encode()
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
    server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
    if len(sys.argv) > 3:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(sys.argv[2], sys.argv[3])
        server.socket = context.wrap_socket(server.socket, server_side=True)
    with open(sys.argv[1], "w") as f:
        f.write("%d\n" % server.server_address[1])
    server.serve_forever()


main()
