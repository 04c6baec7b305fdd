# Echoes what a Python multipart parser (werkzeug or python-multipart, the first argument) made
# of each request: one line per part, "field NAME - VALUE" or "file NAME FILENAME BYTES", all in
# hex. Listens on 127.0.0.1 at the port given second. Run with Debian's /usr/bin/python3, which
# sees the Debian packages of both.
import sys


def hexed(text):
    return (text.encode() if isinstance(text, str) else text).hex()


def werkzeug_app():
    from werkzeug.wrappers import Request, Response

    @Request.application
    def app(request):
        lines = [f"field {hexed(k)} - {hexed(v)}" for k, v in request.form.items(multi=True)]
        lines += [f"file {hexed(k)} {hexed(f.filename)} {hexed(f.read())}"
                  for k, f in request.files.items(multi=True)]
        return Response("\n".join(lines), content_type="text/plain")

    from werkzeug.serving import run_simple
    run_simple("127.0.0.1", int(sys.argv[2]), app)


def python_multipart_app():
    from http.server import BaseHTTPRequestHandler, HTTPServer
    import multipart

    class Handler(BaseHTTPRequestHandler):
        def do_POST(self):
            lines = []

            def on_field(field):
                lines.append(f"field {hexed(field.field_name)} - {hexed(field.value or b'')}")

            def on_file(file):
                file.file_object.seek(0)
                lines.append(f"file {hexed(file.field_name)} {hexed(file.file_name)} "
                             f"{hexed(file.file_object.read())}")

            headers = {"Content-Type": self.headers["Content-Type"],
                       "Content-Length": self.headers["Content-Length"]}
            multipart.parse_form(headers, self.rfile, on_field, on_file)
            body = "\n".join(lines).encode()
            self.send_response(200)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)

    HTTPServer(("127.0.0.1", int(sys.argv[2])), Handler).serve_forever()


werkzeug_app() if sys.argv[1] == "werkzeug" else python_multipart_app()
