#!/usr/bin/env python3
"""A small update server for the tests, on loopback.

Serves the files under --root. Beside a file, "<name>.mode" changes how it is
answered (read at every request, so a test can change it between requests):
  cut        announces the whole length, sends half the body, hangs up
  nolength   no Content-Length: the body ends when the connection closes
  status N   answers with status N (and the file as body)
  trickle    announces the whole length and sends one byte every 0.2 s
  stall      announces the whole length, sends half the body, then nothing
             for 40 s before it hangs up
  biglength  announces 64 MiB + 1 bytes, sends the file and hangs up
Every request is appended to <root>/requests.log as
"<path>\t<user agent>\t<referrer>".
The bound port is written to --port-file once the server listens.
"""
import argparse
import http.server
import os
import socketserver
import sys
import time


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    root = "."

    def log_message(self, fmt, *args):
        pass

    def do_GET(self):
        path = self.path.split("?", 1)[0]
        with open(os.path.join(self.root, "requests.log"), "a") as log:
            log.write("%s\t%s\t%s\n" % (path, self.headers.get("User-Agent", ""),
                                        self.headers.get("Referer", "")))
        local = os.path.normpath(os.path.join(self.root, path.lstrip("/")))
        if not local.startswith(os.path.abspath(self.root)) or not os.path.isfile(local):
            self.answer(404, b"not found")
            return
        with open(local, "rb") as f:
            body = f.read()
        mode = ""
        if os.path.isfile(local + ".mode"):
            with open(local + ".mode") as f:
                mode = f.read().strip()
        if mode == "cut":
            self.send_response(200)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body[: len(body) // 2])
            self.wfile.flush()
            self.close_connection = True
        elif mode == "nolength":
            self.send_response(200)
            self.send_header("Connection", "close")
            self.end_headers()
            self.wfile.write(body)
            self.wfile.flush()
            self.close_connection = True
        elif mode == "trickle":
            self.send_response(200)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.flush()
            try:
                for i in range(len(body)):
                    self.wfile.write(body[i:i + 1])
                    self.wfile.flush()
                    time.sleep(0.2)
            except OSError:
                pass
            self.close_connection = True
        elif mode == "stall":
            self.send_response(200)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body[: len(body) // 2])
            self.wfile.flush()
            time.sleep(40)
            self.close_connection = True
        elif mode == "biglength":
            self.send_response(200)
            self.send_header("Content-Length", str(64 * 1024 * 1024 + 1))
            self.end_headers()
            self.wfile.write(body)
            self.wfile.flush()
            self.close_connection = True
        elif mode.startswith("status "):
            self.answer(int(mode.split()[1]), body)
        else:
            self.answer(200, body)

    def answer(self, status, body):
        self.send_response(status)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--root", required=True)
    ap.add_argument("--port", type=int, default=0)
    ap.add_argument("--port-file", required=True)
    ap.add_argument("--wait", type=float, default=0,
                    help="seconds to keep trying while the port is taken")
    args = ap.parse_args()
    Handler.root = os.path.abspath(args.root)
    deadline = time.time() + args.wait
    while True:
        try:
            server = Server(("127.0.0.1", args.port), Handler)
            break
        except OSError:
            if time.time() >= deadline:
                raise
            time.sleep(0.5)
    tmp = args.port_file + ".part"
    with open(tmp, "w") as f:
        f.write(str(server.server_address[1]))
    os.rename(tmp, args.port_file)
    server.serve_forever()


if __name__ == "__main__":
    sys.exit(main())
