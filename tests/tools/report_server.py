#!/usr/bin/env python3
"""Report receiving server for the tests and for trying the reporter by hand.

    report_server.py serve --storage DIR [--port N] [--lifetime S]
    report_server.py start --storage DIR [--port N] [--lifetime S] [--fresh]
    report_server.py stop  --storage DIR

"serve" runs in the foreground; "start" runs it in the background and returns
once it listens; "stop" ends the one that "start" started for DIR. The server
listens on 127.0.0.1 only and ends by itself after --lifetime seconds.

POST /dumpreport.asp with a zip archive as the body is stored in DIR:
    server.txt              pid=, port= and storage=, written once listening
    index.txt               a line per POST: number, outcome, bytes read, raw query (tab-separated)
    reports/NNNN/query.txt  query=<raw query>, then name=value per decoded value
    reports/NNNN/headers.txt method=, path=, then header.<lower-case name>=value
    reports/NNNN/report.zip the body
Decoded values are written in code page 1252 with backslash, CR and LF as \\\\, \\r and \\n.
Outcomes: stored, fail500, not-zip, incomplete, dropped, too-large, no-length.

The tests steer it with DIR/mode.txt, read at each POST ("name=value" lines):
    mode=normal|slow|fail500|drop   (normal when the file is missing)
    delay=MS     slow: the pause after each piece of the body read (default 50)
    piece=BYTES  slow: the size of those pieces (default 4096)
"""

import argparse
import http.server
import io
import os
import signal
import subprocess
import sys
import threading
import time
import urllib.parse
import zipfile

HOST = "127.0.0.1"
UPLOAD_PATH = "/dumpreport.asp"
MAX_BODY = 64 * 1024 * 1024
OUTCOMES = ("stored", "fail500", "not-zip", "incomplete", "dropped", "too-large", "no-length")


def read_record(path):
    values = {}
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            for line in f:
                name, sep, value = line.rstrip("\r\n").partition("=")
                if sep:
                    values[name.strip()] = value.strip()
    except OSError:
        pass
    return values


def escape(text):
    return text.replace("\\", "\\\\").replace("\r", "\\r").replace("\n", "\\n")


def write_atomically(path, text):
    temporary = path + ".tmp"
    with open(temporary, "w", encoding="utf-8") as f:
        f.write(text)
    os.replace(temporary, path)


def is_zip(body):
    try:
        with zipfile.ZipFile(io.BytesIO(body)) as archive:
            return archive.testzip() is None
    except (zipfile.BadZipFile, zipfile.LargeZipFile, OSError, EOFError, ValueError, NotImplementedError):
        return False


class ReportStore:
    def __init__(self, folder):
        self.folder = folder
        self.lock = threading.Lock()
        self.index = os.path.join(folder, "index.txt")
        os.makedirs(os.path.join(folder, "reports"), exist_ok=True)
        try:
            with open(self.index, encoding="utf-8") as f:
                self.count = sum(1 for _ in f)
        except OSError:
            self.count = 0

    def mode(self):
        record = read_record(os.path.join(self.folder, "mode.txt"))
        def number(name, default):
            try:
                return max(0, int(record.get(name, default)))
            except ValueError:
                return default
        return record.get("mode", "normal"), number("delay", 50), max(1, number("piece", 4096))

    def next_number(self):
        with self.lock:
            self.count += 1
            return self.count

    def note(self, number, outcome, size, query):
        with self.lock:
            with open(self.index, "a", encoding="utf-8", newline="\n") as f:
                f.write("%d\t%s\t%d\t%s\n" % (number, outcome, size, query.replace("\t", " ")))

    def store(self, number, query, method, path, headers, body):
        report = os.path.join(self.folder, "reports", "%04d" % number)
        os.makedirs(report, exist_ok=True)
        with open(os.path.join(report, "report.zip"), "wb") as f:
            f.write(body)
        lines = ["query=" + query]
        for name, value in urllib.parse.parse_qsl(query, keep_blank_values=True, encoding="cp1252", errors="replace"):
            lines.append("%s=%s" % (escape(name), escape(value)))
        with open(os.path.join(report, "query.txt"), "w", encoding="cp1252", errors="replace", newline="\n") as f:
            f.write("\n".join(lines) + "\n")
        lines = ["method=" + method, "path=" + path]
        for name, value in headers.items():
            lines.append("header.%s=%s" % (name.lower(), escape(value)))
        with open(os.path.join(report, "headers.txt"), "w", encoding="cp1252", errors="replace", newline="\n") as f:
            f.write("\n".join(lines) + "\n")


class ReportHandler(http.server.BaseHTTPRequestHandler):
    server_version = "ReportServer/1"
    # A client that stalls cannot hold a thread for ever.
    timeout = 60

    def log_message(self, format, *args):
        sys.stderr.write("%s %s\n" % (time.strftime("%H:%M:%S"), format % args))

    def answer(self, status, text):
        data = (text + "\n").encode("ascii")
        self.send_response(status)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(data)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(data)
        self.close_connection = True

    def do_GET(self):
        if urllib.parse.urlsplit(self.path).path == "/":
            self.answer(200, "report server")
        else:
            self.answer(404, "not found")

    def do_POST(self):
        store = self.server.store
        # Through a proxy the request line holds the whole URL.
        parts = urllib.parse.urlsplit(self.path)
        if parts.path != UPLOAD_PATH:
            self.answer(404, "not found")
            return
        query = parts.query
        number = store.next_number()
        mode, delay, piece = store.mode()
        if mode == "drop":
            store.note(number, "dropped", 0, query)
            self.close_connection = True
            return
        try:
            length = int(self.headers.get("Content-Length", ""))
        except ValueError:
            store.note(number, "no-length", 0, query)
            self.answer(411, "length required")
            return
        if length < 0 or length > MAX_BODY:
            store.note(number, "too-large", 0, query)
            self.answer(413, "too large")
            return
        body = self.read_body(length, piece if mode == "slow" else length, delay / 1000.0 if mode == "slow" else 0)
        if len(body) < length:
            store.note(number, "incomplete", len(body), query)
            self.close_connection = True
            return
        if mode == "fail500":
            store.note(number, "fail500", len(body), query)
            self.answer(500, "failing on purpose")
            return
        if not is_zip(body):
            store.note(number, "not-zip", len(body), query)
            self.answer(400, "not a zip archive")
            return
        store.store(number, query, self.command, self.path, self.headers, body)
        store.note(number, "stored", len(body), query)
        self.answer(200, "OK")

    def read_body(self, length, piece, pause):
        chunks = []
        left = length
        try:
            while left > 0:
                chunk = self.rfile.read(min(piece, left) if piece > 0 else left)
                if not chunk:
                    break
                chunks.append(chunk)
                left -= len(chunk)
                if pause and left > 0:
                    time.sleep(pause)
        except OSError:
            pass
        return b"".join(chunks)


class ReportServer(http.server.ThreadingHTTPServer):
    daemon_threads = True


def serve(args):
    storage = os.path.abspath(args.storage)
    os.makedirs(storage, exist_ok=True)
    server = ReportServer((HOST, args.port), ReportHandler)
    server.store = ReportStore(storage)
    port = server.server_address[1]

    def stop(*_):
        threading.Thread(target=server.shutdown, daemon=True).start()

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    lifetime = threading.Timer(args.lifetime, stop)
    lifetime.daemon = True
    lifetime.start()

    ready = os.path.join(storage, "server.txt")
    write_atomically(ready, "pid=%d\nport=%d\nstorage=%s\n" % (os.getpid(), port, storage))
    sys.stderr.write("listening on %s:%d, storing in %s, for at most %ds\n" % (HOST, port, storage, args.lifetime))
    sys.stderr.flush()
    try:
        server.serve_forever(poll_interval=0.2)
    finally:
        server.server_close()
        if read_record(ready).get("pid") == str(os.getpid()):
            os.remove(ready)
    return 0


def is_our_server(pid):
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            return b"report_server.py" in f.read()
    except OSError:
        return False


def stop_recorded(storage, wait=10.0):
    """Ends the server recorded in storage's server.txt; true when none is left running."""
    try:
        pid = int(read_record(os.path.join(storage, "server.txt")).get("pid", ""))
    except ValueError:
        return True
    if not is_our_server(pid):
        return True
    os.kill(pid, signal.SIGTERM)
    deadline = time.monotonic() + wait
    while time.monotonic() < deadline:
        if not is_our_server(pid):
            return True
        time.sleep(0.1)
    return False


def start(args):
    storage = os.path.abspath(args.storage)
    os.makedirs(storage, exist_ok=True)
    if not stop_recorded(storage):
        sys.stderr.write("an earlier server for %s does not stop\n" % storage)
        return 1
    ready = os.path.join(storage, "server.txt")
    if os.path.exists(ready):
        os.remove(ready)
    if args.fresh:
        for name in ("index.txt", "mode.txt", "server.log"):
            if os.path.exists(os.path.join(storage, name)):
                os.remove(os.path.join(storage, name))
        reports = os.path.join(storage, "reports")
        if os.path.isdir(reports):
            import shutil
            shutil.rmtree(reports)
    log = open(os.path.join(storage, "server.log"), "ab")
    child = subprocess.Popen([sys.executable, os.path.abspath(__file__), "serve", "--storage", storage,
                              "--port", str(args.port), "--lifetime", str(args.lifetime)],
                             stdin=subprocess.DEVNULL, stdout=log, stderr=log, close_fds=True,
                             start_new_session=True)
    log.close()
    deadline = time.monotonic() + 15
    while time.monotonic() < deadline:
        if read_record(ready).get("pid") == str(child.pid):
            print("report server pid %d on %s:%s, storing in %s" % (child.pid, HOST, read_record(ready)["port"], storage))
            return 0
        if child.poll() is not None:
            break
        time.sleep(0.05)
    if child.poll() is None:
        child.terminate()
    with open(os.path.join(storage, "server.log"), errors="replace") as f:
        sys.stderr.write(f.read()[-2000:])
    sys.stderr.write("the report server did not start\n")
    return 1


def stop(args):
    return 0 if stop_recorded(os.path.abspath(args.storage)) else 1


def main():
    parser = argparse.ArgumentParser(description="Report receiving server for tests.")
    parser.add_argument("command", choices=("serve", "start", "stop"))
    parser.add_argument("--storage", required=True, help="folder that receives the reports")
    parser.add_argument("--port", type=int, default=18080, help="port on 127.0.0.1; 0 lets the system choose")
    parser.add_argument("--lifetime", type=int, default=900, help="seconds after which the server ends by itself")
    parser.add_argument("--fresh", action="store_true", help="start: forget the reports stored before")
    args = parser.parse_args()
    return {"serve": serve, "start": start, "stop": stop}[args.command](args)


if __name__ == "__main__":
    sys.exit(main())
