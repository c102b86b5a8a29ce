"""HTTP/1.0 responses as the service writes them, and the plan for putting one on a connection."""

from http import HTTPStatus


class Response:
    def __init__(self, status=200, body=b"", content_type="text/html; charset=utf-8", headers=()):
        self.status = status
        self.body = body
        self.headers = [("Server", "Quorvex-Standin"), *headers,
                        ("Content-Type", content_type), ("Content-Length", str(len(body)))]

    def header(self, name):
        return next((value for key, value in self.headers if key.lower() == name.lower() and value is not None), None)

    def set_header(self, name, value):
        self.remove_header(name)
        self.headers.append((name, value))

    def remove_header(self, name):
        self.headers = [(key, value) for key, value in self.headers if key.lower() != name.lower()]

    def set_body(self, body):
        """Replace the body, keeping a Content-Length header (when there is one) true to it."""
        self.body = body
        if self.header("Content-Length") is not None:
            self.set_header("Content-Length", str(len(body)))

    def head(self):
        try:
            reason = HTTPStatus(self.status).phrase
        except ValueError:
            reason = "Status"
        lines = [f"HTTP/1.0 {self.status} {reason}"]
        lines += [key if value is None else f"{key}: {value}" for key, value in self.headers]  # None: raw line
        return ("\r\n".join(lines) + "\r\n\r\n").encode("latin-1")

    def wire(self):
        return self.head() + self.body


def html_page(title, text, status=200):
    body = ("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + title + "</title></head>\n"
            "<body><h1>" + title + "</h1><p>" + text + "</p></body></html>\n")
    return Response(status, body.encode("utf-8"))


class Plan:
    """How the bytes of one response go out.

    hold: seconds to wait before anything is sent (send_after_hold False: nothing is sent at all);
    trickle: (limit, delay): the first limit bytes go one at a time, delay seconds apart;
    pause: (offset, seconds): the first offset bytes go, then nothing for that long, then the rest;
    end: "close" (orderly close, or kept open when keep_open) or "reset" (RST instead of FIN);
    stream: further pieces sent after data, pace seconds apart (0: as fast as the client takes them);
    cuts: offsets in data where it is split into pieces sent a moment apart, as a network may deliver them.
    """

    def __init__(self, data, keep_open=False):
        self.data = data
        self.keep_open = keep_open
        self.hold = 0.0
        self.send_after_hold = True
        self.trickle = None
        self.pause = None
        self.end = "close"
        self.stream = None
        self.pace = 0.0
        self.cuts = ()


# Time between the pieces of a response that goes out cut (Plan.cuts).
PIECE_GAP = 0.002


def framing_cuts(data, body_start):
    """Where a network may cut an API reply that matter to a client cutting replies out of the stream: inside the
    status line, after the head, after the body's first line, in its middle, before its last line and before the
    last line end."""
    body = data[body_start:]
    cuts = {7, body_start, body_start + len(body) // 2}
    if (first := body.find(b"\n")) >= 0:
        cuts.add(body_start + first + 1)
    if (last := body.rstrip(b"\n").rfind(b"\n")) >= 0:
        cuts.add(body_start + last + 1)
    if body.endswith(b"\n"):
        cuts.add(len(data) - 1)
    return sorted(cut for cut in cuts if 0 < cut < len(data))
