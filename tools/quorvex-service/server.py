#!/usr/bin/env python3
"""Local stand-in of the Quorvex web service for tests of the Vorlane client (see README.md).

Speaks HTTP/1.0 on one port: the XML API at /api.php, wallpaper pictures at /dl/inline/..., update archives at
/vorlane/dl/..., the web pages the program opens, and a control interface at /_control/... for tests.
"""

import argparse
import itertools
import json
import os
import re
import signal
import socket
import socketserver
import struct
import sys
import threading
import time
import traceback
import urllib.parse

import catalog
from catalog import Catalog
from faults import API_FAULTS, FaultBoard, FaultError, plan_for
from media import BlobStore, PictureError, PictureMaker, UpdateStore
from wire import PIECE_GAP, Response, framing_cuts, html_page

HERE = os.path.dirname(os.path.abspath(__file__))
MAX_HEAD = 64 * 1024
MAX_REQUEST_LINE = 8190  # what common web servers take; a longer line is answered 414, as they answer it
IDLE_SECONDS = 30
LINGER_SECONDS = 2
MAX_LOG = 5000

PICTURE = re.compile(r"^/dl/inline/(\d{1,9})/(\d{1,5})x(\d{1,5})/([^/]+)$")
BLOB = re.compile(r"^/bench/blob/(\d{1,10})(?:/[^/]*)?$")
UPDATE = re.compile(r"^/vorlane/(?:dl/)?([A-Za-z0-9][A-Za-z0-9._-]*\.zip)(\.md5)?$")
MEMBER_PAGE = re.compile(r"^/(?:members/)?([^/]+)/(favorites|uploads)/?$")
WALLPAPER_PAGE = re.compile(r"^/wallpaper/(\d{1,9})/?$")


class BadRequest(ValueError):
    pass


# What may stand unescaped in a query; everything else comes percent-encoded.
QUERY_CHARACTERS = re.compile(r"[A-Za-z0-9\-._~!$&'()*+,;=:@/?%]*")
BAD_ESCAPE = re.compile(r"%(?![0-9A-Fa-f]{2})")
# What a request line's address may hold at all: visible ASCII, escapes well-formed (a real server answers 400 to
# anything else, a raw space or accented letter among it).
TARGET_CHARACTERS = re.compile(r"[\x21-\x7e]+")


def decode_text(data):
    """Text of a path or a control request: UTF-8 (as a browser sends it) or the Western code page."""
    try:
        return data.decode("utf-8")
    except UnicodeDecodeError:
        return data.decode("cp1252", errors="replace")


def decode_service_text(data):
    """Query text of the service's own requests: the client's Western code page and nothing else."""
    try:
        return data.decode(catalog.ENCODING)
    except UnicodeDecodeError:
        raise BadRequest("query text outside the Western code page") from None


def decode_query(query, strict=False):
    """The query's pairs, "+" a space. Strict, as the service reads its requests: only well-formed escapes and
    characters that may stand in a query, text in the Western code page; anything else is refused."""
    if strict and (not QUERY_CHARACTERS.fullmatch(query) or BAD_ESCAPE.search(query)):
        raise BadRequest(f"malformed query: {query!r}")
    decode = decode_service_text if strict else decode_text
    pairs = urllib.parse.parse_qsl(query, keep_blank_values=True, encoding="latin-1")
    return [(decode(k.encode("latin-1")), decode(v.encode("latin-1"))) for k, v in pairs]


def scope_of(path):
    if path == "/api.php":
        return "api"
    if path.startswith(("/dl/", "/bench/")):
        return "dl"
    if UPDATE.match(path):
        return "update"
    return "page"


class Request:
    """One parsed request head. target_path is the path and query exactly as sent, without scheme and host."""

    def __init__(self, raw, default_host):
        self.raw = raw
        lines = raw.decode("latin-1").split("\n")
        self.request_line = lines[0].rstrip("\r")
        parts = self.request_line.split(" ")
        if len(parts) != 3 or not parts[2].startswith("HTTP/"):
            raise BadRequest(f"malformed request line: {self.request_line!r}")
        self.method, self.target, self.version = parts
        if not TARGET_CHARACTERS.fullmatch(self.target) or BAD_ESCAPE.search(self.target):
            raise BadRequest(f"malformed request target: {self.target!r}")
        self.headers = []
        for line in lines[1:]:
            line = line.rstrip("\r")
            if line:
                name, _, value = line.partition(":")
                self.headers.append([name.strip(), value.strip()])
        split = urllib.parse.urlsplit(self.target)
        if split.scheme and split.scheme != "http":
            raise BadRequest(f"unsupported scheme: {split.scheme}")
        self.path = split.path or "/"
        self.target_path = self.path + ("?" + split.query if split.query else "")
        self.query = decode_query(split.query, strict=not self.path.startswith("/_control/"))
        self.params = dict(self.query)  # the last value of a repeated name wins
        self.host = split.netloc or self.header("Host") or default_host
        self.scope = scope_of(self.path)

    def header(self, name):
        return next((value for key, value in self.headers if key.lower() == name.lower()), None)

    def describe(self):
        return {"request_line": self.request_line, "method": self.method, "target": self.target,
                "version": self.version, "headers": self.headers, "raw": self.raw.decode("latin-1"),
                "path": self.path, "query": self.query, "params": self.params, "host": self.host,
                "scope": self.scope}


class Connection(socketserver.BaseRequestHandler):
    """One client connection: reads request heads, answers them, and closes (or keeps API connections open)."""

    def setup(self):
        self.sock = self.request
        self.sock.settimeout(IDLE_SECONDS)
        self.sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        self.buffer = b""
        self.id = self.server.next_connection()

    def handle(self):
        end = "close"
        try:
            while True:
                head = self.read_head()
                if head is None:
                    break
                end = self.serve(head)
                if end != "keep":
                    break
        except OSError:
            end = "close"  # the client went away
        finally:
            self.close(end)

    def read_head(self):
        while True:
            ends = [i + len(mark) for mark in (b"\r\n\r\n", b"\n\n") if (i := self.buffer.find(mark)) >= 0]
            if ends:
                cut = min(ends)
                head, self.buffer = self.buffer[:cut], self.buffer[cut:]
                return head
            if len(self.buffer) > MAX_HEAD:
                self.server.log_incomplete(self, self.buffer[:MAX_HEAD], "request head too long")
                self.sock.sendall(html_page("Bad Request", "Request head too long.", 400).wire())
                return None
            try:
                data = self.sock.recv(65536)
            except socket.timeout:
                data = b""
            if not data:
                if self.buffer:
                    self.server.log_incomplete(self, self.buffer, "connection ended inside the request head")
                return None
            self.buffer += data

    def read_body(self, request):
        length = int(request.header("Content-Length") or 0)
        while len(self.buffer) < length:
            data = self.sock.recv(65536)
            if not data:
                raise BadRequest("connection ended inside the request body")
            self.buffer += data
        body, self.buffer = self.buffer[:length], self.buffer[length:]
        return body

    def serve(self, head):
        """Answer one request; returns how the connection ends: "keep", "close", "reset" or "closed"."""
        server = self.server
        if len(head.split(b"\n", 1)[0].rstrip(b"\r")) > MAX_REQUEST_LINE:
            server.log_incomplete(self, head, "request line too long")
            self.sock.sendall(html_page("Request-URI Too Long", "Request line too long.", 414).wire())
            return "close"
        try:
            request = Request(head, server.default_host)
        except BadRequest as e:
            server.log_incomplete(self, head, str(e))
            self.sock.sendall(html_page("Bad Request", "Malformed request.", 400).wire())
            return "close"
        if request.path.startswith("/_control/"):
            try:
                answer = server.control(request, self.read_body(request))
            except ValueError as e:
                answer = json_response({"error": str(e)}, 400)
            self.sock.sendall(answer.wire())
            return "close"
        entry = server.log_request(self, request)
        try:
            response = server.respond(request)
        except Exception:  # a fault of the stand-in itself: answer, and show it
            traceback.print_exc()
            response = html_page("Internal Server Error", "The stand-in failed.", 500)
        keep_open = server.keepalive and request.scope == "api"
        response.set_header("Connection", "keep-alive" if keep_open else "close")
        fault = server.faults.take(request.scope, request.target_path)
        entry["fault"] = fault.name if fault else None
        plan = plan_for(fault, response, request, keep_open)
        if request.scope == "api" and (fault is None or fault.name in API_FAULTS):
            plan.cuts = framing_cuts(plan.data, len(response.head()))
        return self.send(plan)

    def send(self, plan):
        if plan.hold:
            self.server.hold(plan.hold)
            if not plan.send_after_hold:
                return "close"
        data = plan.data
        if plan.pause:
            offset, seconds = plan.pause
            self.sock.sendall(data[:offset])
            self.server.hold(seconds)
            data = data[offset:]
        if plan.trickle:
            limit, delay = plan.trickle
            for i in range(min(limit, len(data))):
                self.sock.sendall(data[i:i + 1])
                time.sleep(delay)
            data = data[limit:]
        start = 0
        for cut in plan.cuts:
            self.sock.sendall(data[start:cut])
            time.sleep(PIECE_GAP)
            start = cut
        self.sock.sendall(data[start:])
        if plan.stream:
            self.send_stream(plan)
        if plan.end == "reset":
            return "reset"
        return "keep" if plan.keep_open else "close"

    def send_stream(self, plan):
        """The plan's further pieces, until they run out, the client goes away or a reset ends the fault."""
        release = self.server.release
        for piece in plan.stream:
            if release.is_set() or (plan.pace and release.wait(plan.pace)):
                break
            self.sock.sendall(piece)

    def close(self, end):
        try:
            if end == "reset":
                self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            elif end != "keep":
                # Orderly close: FIN, then drain what the client still sends so that no RST cuts the reply short.
                self.sock.shutdown(socket.SHUT_WR)
                deadline = time.monotonic() + LINGER_SECONDS
                self.sock.settimeout(LINGER_SECONDS)
                while time.monotonic() < deadline and self.sock.recv(65536):
                    pass
        except OSError:
            pass
        finally:
            self.sock.close()


class QuorvexServer(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True
    block_on_close = False

    def __init__(self, host="127.0.0.1", port=0, fixture=None, keepalive=False, seed=None, strict_keys=False,
                 cache_dir=None, faults=(), verbose=False, parent=None):
        super().__init__((host, port), Connection)
        self.settings = dict(host=host, fixture=fixture, keepalive=keepalive, seed=seed, strict_keys=strict_keys,
                             verbose=verbose)
        self.catalog = Catalog.load(fixture or os.path.join(HERE, "fixture.json"), strict_keys=strict_keys, seed=seed)
        # Spawned instances share the parent's made pictures and blobs: they are the same for everyone.
        self.parent = parent
        self.pictures = parent.pictures if parent else PictureMaker(cache_dir)
        self.blobs = parent.blobs if parent else BlobStore()
        self.children = {}
        self.children_lock = threading.Lock()
        self.updates = UpdateStore(os.path.join(HERE, "update-fixture"))
        self.faults = FaultBoard()
        self.start_keepalive = self.keepalive = keepalive
        self.verbose = verbose
        self.log = []
        self.log_lock = threading.Lock()
        self.sequence = itertools.count(1)
        self.connections = itertools.count(1)
        self.release = threading.Event()
        for fault in faults:
            self.faults.arm(parse_fault_option(fault))

    @property
    def port(self):
        return self.server_address[1]

    @property
    def default_host(self):
        return f"{self.server_address[0]}:{self.port}"

    def next_connection(self):
        return next(self.connections)

    def shutdown_request(self, request):
        request.close()  # each connection has already ended its socket its own way (FIN or RST)

    def start(self):
        threading.Thread(target=self.serve_forever, daemon=True).start()
        return self

    def close(self):
        self.close_children()
        if self.parent:
            with self.parent.children_lock:
                self.parent.children.pop(self.port, None)
        self.release.set()
        self.shutdown()
        self.server_close()
        if not self.parent:
            self.pictures.close()

    def close_children(self):
        with self.children_lock:
            children = list(self.children.values())
            self.children.clear()
        for child in children:
            child.close()

    def spawn(self, params):
        """A new, independent instance on a free port (own faults, log and update settings), so that tests
        running at the same time never see each other's faults."""
        settings = dict(self.settings)
        if "keepalive" in params:
            settings["keepalive"] = params["keepalive"] == "1"
        child = QuorvexServer(port=0, parent=self, **settings).start()
        with self.children_lock:
            self.children[child.port] = child
        return {"port": child.port}

    def hold(self, seconds):
        """Wait without answering; a reset or shutdown ends every wait at once."""
        self.release.wait(seconds)

    # --- request log ---------------------------------------------------------------------------------------------

    def log_request(self, connection, request):
        entry = {"seq": next(self.sequence), "connection": connection.id,
                 "client": "%s:%d" % connection.client_address[:2], "time": time.time(),
                 "complete": True, "fault": None, **request.describe()}
        self._append(entry)
        return entry

    def log_incomplete(self, connection, raw, problem):
        self._append({"seq": next(self.sequence), "connection": connection.id,
                      "client": "%s:%d" % connection.client_address[:2], "time": time.time(),
                      "complete": False, "problem": problem, "raw": raw.decode("latin-1")})

    def _append(self, entry):
        if self.verbose:
            print(entry.get("request_line") or entry["problem"], file=sys.stderr, flush=True)
        with self.log_lock:
            self.log.append(entry)
            del self.log[:-MAX_LOG]

    # --- answers -------------------------------------------------------------------------------------------------

    def respond(self, request):
        if request.method != "GET":
            return html_page("Method Not Allowed", "Only GET is served here.", 405)
        path = request.path
        if request.scope == "api":
            body = self.catalog.reply(request.params, request.host).encode(catalog.ENCODING)
            return Response(200, body, "text/xml; charset=windows-1252", headers=[("Response-From", "QXAPI")])
        if match := PICTURE.match(path):
            return self.picture(int(match[1]), int(match[2]), int(match[3]), path_text(match[4]))
        if match := BLOB.match(path):
            try:
                return Response(200, self.blobs.blob(int(match[1])), "application/octet-stream")
            except ValueError as e:
                return html_page("Bad Request", str(e), 400)
        if match := UPDATE.match(path):
            name, digest = match[1], match[2]
            if digest:
                return Response(200, self.updates.digest_file(name), "text/plain")
            return Response(200, self.updates.archive(name), "application/zip")
        return self.page(request)

    def picture(self, wallpaper_id, width, height, name):
        wallpaper = self.catalog.wallpaper(wallpaper_id)
        if wallpaper is None or wallpaper["filename"] != name:
            return html_page("Not Found", "No such wallpaper.", 404)
        kind = "png" if name.lower().endswith(".png") else "jpg"
        try:
            data = self.pictures.picture(wallpaper_id, width, height, kind)
        except ValueError as e:
            return html_page("Bad Request", str(e), 400)
        except (PictureError, OSError) as e:
            return html_page("Internal Server Error", f"Picture not made: {e}", 500)
        return Response(200, data, "image/png" if kind == "png" else "image/jpeg")

    def page(self, request):
        path = request.path
        pages = {"/": ("Quorvex", "Wallpapers for everyone."),
                 "/signup": ("Sign up", "Create your Quorvex account."),
                 "/contact": ("Contact", "Write to the Quorvex team."),
                 "/vorlane": ("Vorlane", "The Vorlane wallpaper manager.")}
        if path == "/redirect/loop":
            return Response(302, b"Moved\n", "text/plain", headers=[("Location", f"http://{request.host}{path}")])
        if (key := path.rstrip("/") or "/") in pages:
            return html_page(*pages[key])
        if (match := WALLPAPER_PAGE.match(path)) and (w := self.catalog.wallpaper(int(match[1]))):
            return html_page(w["title"], f"Wallpaper {w['id']} in {w['gallery']} / {w['category']}.")
        if (match := MEMBER_PAGE.match(path)) and (m := self.catalog.member(path_text(match[1]))):
            return html_page(f"{m['username']}'s {match[2]}", f"The {match[2]} of {m['username']}.")
        return html_page("Not Found", "No such page.", 404)

    # --- control interface ---------------------------------------------------------------------------------------

    def control(self, request, body):
        action = request.path[len("/_control/"):].strip("/")
        params = request.params
        try:
            if action == "fault":
                result = {"armed": self.faults.arm(params).describe()}
            elif action == "faults":
                result = {"faults": self.faults.describe()}
            elif action == "log":
                with self.log_lock:
                    entries = list(self.log)
                    if params.get("clear") == "1":
                        self.log.clear()
                if params.get("format") == "raw":
                    return raw_log_response(entries)
                result = {"requests": entries}
            elif action == "reset":
                self.reset()
                result = {"reset": True}
            elif action == "update":
                result = self.control_update(params, body if request.method == "POST" else None)
            elif action == "config":
                if "keepalive" in params:
                    self.keepalive = params["keepalive"] == "1"
                result = {"keepalive": self.keepalive}
            elif action == "spawn":
                result = self.spawn(params)
            elif action == "shutdown":
                threading.Thread(target=self.close, daemon=True).start()
                result = {"shutdown": True}
            else:
                return json_response({"error": f"unknown control action: {action}"}, 404)
        except (FaultError, ValueError) as e:
            return json_response({"error": str(e)}, 400)
        return json_response(dict(ok=True, **result))

    def control_update(self, params, data):
        name = params.get("name", "")
        if not UPDATE.match("/vorlane/dl/" + name) or name.endswith(".md5"):
            raise ValueError(f"bad archive name: {name!r}")
        eol = params.get("md5_eol")
        if eol is not None:
            if eol not in ("lf", "crlf", "none"):
                raise ValueError("md5_eol must be lf, crlf or none")
            eol = {"lf": "\n", "crlf": "\r\n", "none": ""}[eol]
        return {"update": self.updates.set(name, data, params.get("md5"), eol)}

    def reset(self):
        self.faults.clear()
        with self.log_lock:
            self.log.clear()
        self.updates.reset()
        self.keepalive = self.start_keepalive
        self.release.set()  # ends every hold now under way
        self.release = threading.Event()


def path_text(segment):
    return decode_text(urllib.parse.unquote_to_bytes(segment))


def raw_log_response(entries):
    """The log without JSON, for clients that only want the bytes: one record per request, records apart by the
    byte 1E; each record is "seq connection fault" on a line of its own, then the request head exactly as sent."""
    records = []
    for entry in entries:
        records.append(f"{entry['seq']} {entry['connection']} {entry.get('fault') or '-'}\n{entry['raw']}")
    return Response(200, "\x1e".join(records).encode("latin-1", errors="replace"), "application/octet-stream")


def json_response(result, status=200):
    return Response(status, json.dumps(result, ensure_ascii=False).encode("utf-8"), "application/json")


def parse_fault_option(text):
    """A --fault value: a name, optionally followed by "?" and the control parameters, as in "hang?seconds=3"."""
    name, _, query = text.partition("?")
    return {"name": name, **dict(decode_query(query))}


def main(argv=None):
    parser = argparse.ArgumentParser(description="Local stand-in of the Quorvex web service.")
    parser.add_argument("--port", type=int, default=0, help="port to listen on; 0 picks a free one")
    parser.add_argument("--host", default="127.0.0.1", help="address to listen on")
    parser.add_argument("--fixture", help="data file (default: fixture.json beside this script)")
    parser.add_argument("--fault", action="append", default=[], help="arm a fault at start: NAME[?param=value&...]")
    parser.add_argument("--keep-alive", action="store_true", help="keep API connections open between requests")
    parser.add_argument("--seed", type=int, help="seed for the randomize order")
    parser.add_argument("--strict-keys", action="store_true", help="accept only the API keys in the fixture")
    parser.add_argument("--cache-dir", help="folder for made pictures (default: a temporary one)")
    parser.add_argument("--verbose", action="store_true", help="print each request line on stderr")
    args = parser.parse_args(argv)
    try:
        server = QuorvexServer(args.host, args.port, args.fixture, args.keep_alive, args.seed, args.strict_keys,
                               args.cache_dir, args.fault, args.verbose)
    except (OSError, ValueError) as e:
        print(f"quorvex-service: {e}", file=sys.stderr)
        return 1
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    print(f"PORT {server.port}", flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    finally:
        server.close_children()
        server.release.set()
        server.server_close()
        server.pictures.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
