"""The service's data (members, galleries, wallpapers from fixture.json) and the XML replies of /api.php.

Every reply body has the root's start tag alone on its first line, its end tag alone on its last line and LF line
ends, which is how the client cuts a reply out of the byte stream. The service's text is the client's: the Western
ANSI code page, no XML declaration.
"""

import json
import random
import re
import secrets
import threading
from xml.sax.saxutils import escape, quoteattr

NO_MATCH = 69
MISSING_PARAMETER = 70
BAD_PARAMETER = 71
BAD_LOGIN = 75
KEY_EXHAUSTED = 901
BAD_KEY = 950
BAD_METHOD = 951

MAX_PER_PAGE = 50
ASPECT_TOLERANCE = 0.002
UPDATE_ARCHIVE = "Vorlane-1.0.113.zip"
ENCODING = "cp1252"  # of reply bodies and of decoded query text


class ApiError(Exception):
    def __init__(self, number, description):
        super().__init__(description)
        self.number = number
        self.description = description


def element(name, value):
    return f"<{name}>{escape(str(value))}</{name}>"


def document(root, lines, **attributes):
    """A reply body: start tag alone on the first line, end tag alone on the last, LF line ends."""
    attrs = "".join(f" {key}={quoteattr(str(value))}" for key, value in attributes.items())
    return "\n".join([f"<{root}{attrs}>", *lines, f"</{root}>"]) + "\n"


def error_body(number, description):
    return document("error", [element("number", number), element("description", description)])


def upgrade_body(link, action="upgrade"):
    return document("vorlane", [element("action", action), element("link", link)])


def name_key(text):
    """Gallery and category names match ignoring case and punctuation ("Ah! My Goddess" is "Ah My Goddess")."""
    return "".join(ch for ch in text.casefold() if ch.isalnum())


def tag_pattern(term):
    return re.compile(".*".join(re.escape(part) for part in term.split("*")), re.IGNORECASE)


def parse_number(text, name):
    try:
        return float(text.strip().replace(",", "."))
    except ValueError:
        raise ApiError(BAD_PARAMETER, f"Invalid parameter: {name}") from None


def parse_int(text, name):
    try:
        return int(text.strip())
    except ValueError:
        raise ApiError(BAD_PARAMETER, f"Invalid parameter: {name}") from None


class Catalog:
    def __init__(self, data, strict_keys=False, seed=None):
        self.program_keys = set(data["program_keys"])
        self.exhausted_keys = set(data.get("exhausted_keys", []))
        self.members = data["members"]
        self.galleries = data["galleries"]
        self.wallpapers = sorted(data["wallpapers"], key=lambda w: w["id"], reverse=True)  # freshest first
        self.by_id = {w["id"]: w for w in self.wallpapers}
        self.strict_keys = strict_keys
        self.random = random.Random(seed)
        self.random_lock = threading.Lock()
        self._check_references()

    @classmethod
    def load(cls, path, **options):
        with open(path, encoding="utf-8") as f:
            return cls(json.load(f), **options)

    def _check_references(self):
        known = {(g["friendly"], c["friendly"]) for g in self.galleries for c in g["categories"]}
        for w in self.wallpapers:
            if (w["gallery"], w["category"]) not in known:
                raise ValueError(f"wallpaper {w['id']}: unknown gallery/category {w['gallery']}/{w['category']}")
        for m in self.members:
            missing = [i for i in m["favorites"] if i not in self.by_id]
            if missing:
                raise ValueError(f"member {m['username']}: unknown favorites {missing}")

    def member(self, username):
        folded = username.casefold()
        return next((m for m in self.members if m["username"].casefold() == folded), None)

    def wallpaper(self, wallpaper_id):
        return self.by_id.get(wallpaper_id)

    # --- requests ---------------------------------------------------------------------------------------------

    def reply(self, params, host):
        """The body answering one /api.php request; params maps each name to its (last) value."""
        try:
            self._check_key(params.get("apikey", ""))
            method = params.get("method", "")
            handler = {
                "qx.auth.login": self._login,
                "qx.getGalleries": self._galleries,
                "qx.wallpapers.browse": self._browse,
                "qx.wallpapers.favorites": self._favorites,
            }.get(method)
            if handler is None:
                raise ApiError(BAD_METHOD, f"Unknown method: {method}")
            return handler(params, host)
        except ApiError as e:
            return error_body(e.number, e.description)

    def _check_key(self, key):
        if key in self.exhausted_keys:
            raise ApiError(KEY_EXHAUSTED, "API key has exceeded its daily allocation")
        if key in self.program_keys or any(m["apikey"] == key for m in self.members):
            return
        if not self.strict_keys and re.fullmatch(r"[A-Za-z0-9]{12}", key):
            return  # any well-formed key stands for the program's built-in one
        raise ApiError(BAD_KEY, "Invalid API key")

    def _login(self, params, host):
        member = self.member(params.get("username", ""))
        if member is None or params.get("md5password") != member["md5"]:
            raise ApiError(BAD_LOGIN, "Invalid username or password")
        if member["status"] != "active":
            return document("auth", [element("token", ""), element("status", member["status"])])
        return document("auth", [
            element("token", secrets.token_hex(16)),
            element("username", member["username"]),
            element("apiKey", member["apikey"]),
            element("status", "ok"),
        ])

    def _galleries(self, params, host):
        with_categories = params.get("withcategories") == "yes"
        lines = []
        for g in self.galleries:
            lines += ["<gallery>", element("id", g["id"]), element("name", g["name"]),
                      element("friendly", g["friendly"])]
            if with_categories:
                lines.append("<categories>")
                for c in g["categories"]:
                    lines += ["<category>", element("id", c["id"]), element("name", c["name"]),
                              element("friendly", c["friendly"]), element("redir", c["redir"]), "</category>"]
                lines.append("</categories>")
            lines.append("</gallery>")
        return document("galleries", lines, count=len(self.galleries))

    def _browse(self, params, host):
        pool = self.wallpapers
        if "member" in params:
            uploader = params["member"].casefold()
            pool = [w for w in pool if w["uploader"].casefold() == uploader]
        return self._wallpapers(pool, params, host)

    def _favorites(self, params, host):
        if "member" not in params:
            raise ApiError(MISSING_PARAMETER, "Missing parameter: member")
        member = self.member(params["member"])
        favorites = set(member["favorites"]) if member else set()
        return self._wallpapers([w for w in self.wallpapers if w["id"] in favorites], params, host)

    # --- wallpaper queries -------------------------------------------------------------------------------------

    def _wallpapers(self, pool, params, host):
        pool = self._filter(pool, params)
        if not pool:
            raise ApiError(NO_MATCH, "No wallpapers found matching your criteria")
        ordered = self._order(pool, params)
        page = parse_int(params.get("page", "1"), "page")
        per_page = parse_int(params.get("perpage", "1"), "perpage")
        if page < 1 or per_page < 1:
            raise ApiError(BAD_PARAMETER, "Invalid parameter: page" if page < 1 else "Invalid parameter: perpage")
        per_page = min(per_page, MAX_PER_PAGE)
        chosen = ordered[(page - 1) * per_page: page * per_page]
        with_tags = params.get("withtags") == "yes"
        lines = []
        for w in chosen:
            lines += self._wallpaper_lines(w, host, with_tags)
        return document("wallpapers", lines, count=len(chosen), total=len(pool), page=page, perpage=per_page)

    def _filter(self, pool, params):
        if "tag" in params:
            patterns = [tag_pattern(t.strip()) for t in params["tag"].split(",") if t.strip()]
            pool = [w for w in pool if any(p.fullmatch(tag) for p in patterns for tag in w["tags"])]
        for field in ("gallery", "category"):
            if field in params:
                wanted = name_key(params[field])
                pool = [w for w in pool if name_key(w[field]) == wanted]
        if params.get("minpoints", "").strip():
            least = parse_number(params["minpoints"], "minpoints")
            pool = [w for w in pool if w["rating"] >= least]
        if params.get("withar", "").strip():
            ratio = parse_number(params["withar"], "withar")
            pool = [w for w in pool if abs(float(w["aspectratio"]) - ratio) <= ASPECT_TOLERANCE]
        return pool

    def _order(self, pool, params):
        if params.get("order") == "randomize":
            with self.random_lock:
                return self.random.sample(pool, len(pool))
        # Freshness (newest first, or oldest first with sort=asc), continuing after startid and wrapping round.
        ascending = params.get("sort") == "asc"
        ordered = list(reversed(pool)) if ascending else list(pool)
        start = parse_int(params.get("startid", "0") or "0", "startid")
        if start:
            is_after = (lambda w: w["id"] > start) if ascending else (lambda w: w["id"] < start)
            ordered = [w for w in ordered if is_after(w)] + [w for w in ordered if not is_after(w)]
        return ordered

    def _wallpaper_lines(self, w, host, with_tags):
        lines = ["<wallpaper>"] + [element(name, value) for name, value in (
            ("id", w["id"]),
            ("filename", w["filename"]),
            ("link", f"http://{host}/wallpaper/{w['id']}"),
            ("title", w["title"]),
            ("gallery", w["gallery"]),
            ("category", w["category"]),
            ("rating", w["rating"]),
            ("aspectratio", w["aspectratio"]),
            ("width", w["width"]),
            ("height", w["height"]),
            ("uploader", w["uploader"]),
        )]
        if with_tags:
            lines += ["<tags>", *(element("tag", t) for t in w["tags"]), "</tags>"]
        return lines + ["</wallpaper>"]
