"""Faults that tests switch on. An armed fault changes what the next matching request(s) get."""

import itertools
import threading

import catalog
from wire import Plan, Response, html_page

SCOPES = ("api", "dl", "update", "page", "any")

# Faults that rewrite the XML reply of /api.php; they only make sense in the api scope.
API_FAULTS = ("upgrade", "api_error", "custom", "count0", "foreign", "crlf", "xml_decl", "unknown_root", "oversize")
# Faults on the bytes of any response.
WIRE_FAULTS = ("truncated", "close_before_header", "no_length", "redirect", "redirect_relative", "redirect_loop",
               "trickle", "reset", "hang", "drop", "raw", "http_error", "not_picture", "corrupt_archive", "pause",
               "lf_head", "portal")
DEFAULT_SCOPE = {"not_picture": "dl", "corrupt_archive": "update"}
# Faults in a download's head or body, as a careless or hostile server sends them (default scope dl).
DOWNLOAD_FAULTS = ("endless_header", "endless_body", "overlong", "length", "chunked", "drip")
WIRE_FAULTS += DOWNLOAD_FAULTS
DEFAULT_SCOPE.update(dict.fromkeys(DOWNLOAD_FAULTS, "dl"))


class FaultError(ValueError):
    pass


class Fault:
    def __init__(self, fault_id, name, scope, count, match, params):
        self.id = fault_id
        self.name = name
        self.scope = scope
        self.remaining = count  # None: until reset
        self.match = match
        self.params = params
        self.used = 0

    def applies_to(self, scope, target):
        return self.scope in (scope, "any") and self.match in target and self.remaining != 0

    def describe(self):
        return {"id": self.id, "name": self.name, "scope": self.scope, "remaining": self.remaining,
                "match": self.match, "params": self.params, "used": self.used}


class FaultBoard:
    """The armed faults, consumed in the order they were armed; one fault per request."""

    def __init__(self):
        self.faults = []
        self.lock = threading.Lock()
        self.ids = itertools.count(1)

    def arm(self, params):
        params = dict(params)
        name = params.pop("name", "")
        if name not in API_FAULTS + WIRE_FAULTS:
            raise FaultError(f"unknown fault: {name!r}")
        scope = params.pop("scope", DEFAULT_SCOPE.get(name, "api"))
        if scope not in SCOPES:
            raise FaultError(f"unknown scope: {scope!r}")
        if name in API_FAULTS and scope != "api":
            raise FaultError(f"fault {name} rewrites API replies; its scope can only be api")
        try:
            count = int(params.pop("count", "1"))
        except ValueError:
            raise FaultError("count must be a whole number") from None
        if count < 0:
            raise FaultError("count must not be negative")
        match = params.pop("match", "")
        with self.lock:
            fault = Fault(next(self.ids), name, scope, count or None, match, params)
            self.faults.append(fault)
        return fault

    def take(self, scope, target):
        with self.lock:
            fault = next((f for f in self.faults if f.applies_to(scope, target)), None)
            if fault:
                fault.used += 1
                if fault.remaining is not None:
                    fault.remaining -= 1
            return fault

    def clear(self):
        with self.lock:
            self.faults = []

    def describe(self):
        with self.lock:
            return [f.describe() for f in self.faults]


# --- applying a fault ------------------------------------------------------------------------------------------

def number(params, name, default, kind=float):
    try:
        return kind(params.get(name, default))
    except ValueError:
        return kind(default)


def rewrite_api(fault, response, request):
    """The reply of /api.php as the fault makes it."""
    p = fault.params
    body = response.body.decode(catalog.ENCODING)
    if fault.name == "upgrade":
        link = p.get("link", f"http://{request.host}/vorlane/dl/{catalog.UPDATE_ARCHIVE}")
        body = catalog.upgrade_body(link, p.get("action", "upgrade"))
    elif fault.name == "api_error":
        body = catalog.error_body(p.get("number", str(catalog.BAD_KEY)), p.get("description", "Fatal API error"))
    elif fault.name == "custom":
        body = p.get("body", "")
    elif fault.name == "count0":
        body = catalog.document("wallpapers", [], count=0)
    elif fault.name == "crlf":
        body = body.replace("\n", "\r\n")
    elif fault.name == "xml_decl":
        body = '<?xml version="1.0" encoding="UTF-8"?>\n' + body
    elif fault.name == "unknown_root":
        body = rename_root(body, p.get("root", "status"))
    elif fault.name == "oversize":
        # A reply that goes on and on and never reaches its end tag.
        size = number(p, "bytes", 5 * 1024 * 1024, int)
        line = "<filler>" + "x" * 100 + "</filler>\n"
        body = "<wallpapers count=\"1\">\n" + line * (size // len(line) + 1)
    elif fault.name == "foreign":
        response.remove_header("Response-From")
        if "header" in p:
            response.headers.insert(1, (p["header"], None))  # a look-alike header line, written as given
    response.set_body(body.encode(catalog.ENCODING, errors="replace"))


def rename_root(body, root):
    lines = body.split("\n")
    first, last = lines[0], max(i for i, line in enumerate(lines) if line)
    old = first[1:].split(" ")[0].rstrip(">")
    lines[0] = "<" + root + first[1 + len(old):]
    lines[last] = lines[last].replace(f"</{old}>", f"</{root}>")
    return "\n".join(lines)


def plan_for(fault, response, request, keep_open):
    """The bytes to send for the response under the fault (or none), and how."""
    if fault is None:
        return Plan(response.wire(), keep_open)
    if fault.name in API_FAULTS:
        rewrite_api(fault, response, request)
        return Plan(response.wire(), keep_open)
    if fault.name in DOWNLOAD_FAULTS:
        return download_plan(fault, response)
    response = replace_response(fault, response, request)
    p = fault.params
    name = fault.name
    plan = Plan(response.wire())
    head = response.head()
    if name == "truncated":
        plan.data = head + truncate(response, request, p)
    elif name == "close_before_header":
        plan.data = head[:number(p, "bytes", len(head) - 2, int)]
    elif name == "reset":
        # RST after the first bytes of the wire (in the head too), or after body bytes.
        cut = number(p, "bytes", 0, int) if "bytes" in p else len(head) + number(p, "after", len(response.body) // 2, int)
        plan.data = plan.data[:cut]
        plan.end = "reset"
    elif name == "hang":
        plan.hold = number(p, "seconds", 15)
        plan.send_after_hold = p.get("reply") == "1"
    elif name == "drop":
        plan.data = b""
    elif name == "raw":
        plan.data = p.get("data", "").encode("latin-1", errors="replace")
    elif name == "trickle":
        plan.trickle = (number(p, "limit", 4096, int), number(p, "delay", 0.002))
        plan.keep_open = keep_open
    elif name == "lf_head":
        plan.data = head.replace(b"\r\n", b"\n") + response.body
        plan.keep_open = keep_open
    elif name == "pause":
        plan.pause = (pause_offset(plan.data, len(head), p.get("after")), number(p, "seconds", 1.0))
        plan.keep_open = keep_open
    return plan


def pause_offset(data, body_start, after):
    """Just past the first occurrence of the text after in the body (default: its first line), as a wire offset."""
    marker = (after if after is not None else "\n").encode(catalog.ENCODING, errors="replace")
    at = data.find(marker, body_start)
    return len(data) if at < 0 else at + len(marker)


def replace_response(fault, response, request):
    """The response as a wire fault changes it (the same one when the fault changes only how it is sent)."""
    p = fault.params
    name = fault.name
    if name in ("redirect", "redirect_relative", "redirect_loop"):
        if name == "redirect_loop":
            target = f"http://{request.host}/redirect/loop"
        elif name == "redirect_relative":
            target = request.target_path
        else:
            target = f"http://{request.host}{request.target_path}"
        return Response(number(p, "status", 302, int), b"Moved\n", "text/plain",
                        headers=[("Location", p.get("to", target))])
    if name == "http_error":
        return html_page("Error", "The service failed.", number(p, "status", 500, int))
    if name == "portal":
        return portal_page(p.get("markup", "xhtml"))
    if name == "not_picture":
        return html_page("Not Found", "No such wallpaper.")
    if name == "pause" and "body" in p:
        response.set_body(p["body"].encode(catalog.ENCODING, errors="replace"))
    elif name == "no_length":
        response.remove_header("Content-Length")
    elif name == "corrupt_archive" and response.body:
        middle = len(response.body) // 2
        response.body = response.body[:middle] + bytes([response.body[middle] ^ 0xFF]) + response.body[middle + 1:]
    return response


def portal_page(markup):
    """The sign-in page a hotspot in front of the service answers every request with, from its own server: XHTML
    (an XML reader loads it, a root of its own), or HTML with an entity XML does not know (markup=html)."""
    blank = "&nbsp;" if markup == "html" else " "
    body = ("<html>\n<head><title>Free Wi-Fi</title></head>\n<body><form action=\"http://hotspot.example/login\" "
            f"method=\"post\"><p>Sign in{blank}to browse</p><input type=\"submit\" value=\"Connect\"/></form></body>\n"
            "</html>\n")
    response = Response(200, body.encode("utf-8"))
    response.set_header("Server", "hotspot")
    return response


def truncate(response, request, p):
    """The body cut short: an API reply loses its end tag line, anything else its second half."""
    body = response.body
    if "bytes" in p:
        return body[:number(p, "bytes", 0, int)]
    if request.scope == "api":
        return body[:body.rstrip(b"\n").rfind(b"\n") + 1]
    return body[:len(body) // 2]


def download_plan(fault, response):
    """The bytes of a download under one of DOWNLOAD_FAULTS."""
    p = fault.params
    name = fault.name
    most = number(p, "bytes", 1 << 30, int)  # an endless fault stops after this many bytes
    if name == "endless_header":
        # A status line, then header lines for ever: the blank line never comes.
        plan = Plan(b"HTTP/1.0 200 OK\r\n")
        plan.stream = repeated(b"X-Filler: " + b"x" * 100 + b"\r\n", most)
    elif name == "endless_body":
        # The body, then more for ever; with length=N it announces N bytes.
        response.remove_header("Content-Length")
        if "length" in p:
            response.set_header("Content-Length", p["length"])
        plan = Plan(response.wire())
        plan.stream = repeated(bytes(range(256)), most)
    elif name == "overlong":
        # More bytes than Content-Length announces.
        plan = Plan(response.wire() + b"\xa5" * number(p, "extra", 100000, int))
    elif name == "length":
        # Content-Length written as given, and optionally a second Content-Length line.
        response.set_header("Content-Length", p.get("value", ""))
        if "second" in p:
            response.headers.append(("Content-Length", p["second"]))
        plan = Plan(response.wire())
    elif name == "chunked":
        # The body in chunks, as HTTP/1.1 servers send it (a client that asked HTTP/1.0 cannot read it).
        response.remove_header("Content-Length")
        response.set_header("Transfer-Encoding", p.get("encoding", "chunked"))
        body = response.body
        chunks = b"".join(b"%x\r\n%s\r\n" % (len(body[i:i + 4096]), body[i:i + 4096]) for i in range(0, len(body), 4096))
        plan = Plan(response.head() + chunks + b"0\r\n\r\n")
    else:  # drip: the head at once (announcing length=N when given), then the body a few bytes at a time
        if "length" in p:
            response.set_header("Content-Length", p["length"])
        plan = Plan(response.head())
        plan.pace = number(p, "every", 0.2)
        plan.stream = pieces(response.body, number(p, "piece", 1, int))
    return plan


def repeated(block, most):
    """The block over and over, most bytes in all, in pieces of about 64 KiB."""
    piece = block * max(1, 65536 // len(block))
    sent = 0
    while sent < most:
        yield piece[:most - sent]
        sent += len(piece)


def pieces(data, size):
    for i in range(0, len(data), max(1, size)):
        yield data[i:i + max(1, size)]
