# Echoes what Werkzeug's multipart parser (the first argument names it) made of each request:
# one line per part, "field NAME - VALUE" or "file NAME FILENAME BYTES", all in hex. Listens on
# 127.0.0.1 at the port given second. Run with Debian's /usr/bin/python3, which sees the Debian
# package.
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


werkzeug_app()
