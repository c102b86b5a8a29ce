"""Tests of the Quorvex stand-in over real loopback sockets: framing, queries, pictures, updates, faults, control."""

import hashlib
import io
import json
import os
import re
import socket
import subprocess
import sys
import time
import unittest
import urllib.parse
import xml.etree.ElementTree as ET
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from server import QuorvexServer  # noqa: E402
from wire import framing_cuts  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
PROGRAM_KEY = "Vx3k9QpL2m7Z"
PASSWORDS = {"alice": "tulips2008", "Bob.Smith": "s3cret-Pass", "carol-x": "Grüße1", "dave_new": "welcome1",
             "Maximilian.Alexander_von-Hohenberg-1987": "edelweiss1987"}
DOWNLOAD_HEADERS = ("Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/vnd.ms-powerpoint, "
                    "application/vnd.ms-excel, application/msword, application/x-shockwave-flash, */*\r\n"
                    "Referer: {host}\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 5.5; Windows 98; Win 9x 4.90)\r\n"
                    "Host: {host}\r\n\r\n")


def digest(password):
    return hashlib.md5(password.encode("cp1252")).hexdigest()


def encode(value):
    """The client's query encoding: Western code page bytes, letters and digits kept, space as "+"."""
    return urllib.parse.quote_plus(value, safe="", encoding="cp1252")


def receive_all(sock):
    data = b""
    while chunk := sock.recv(65536):
        data += chunk
    return data


def split_reply(reply):
    head, _, body = reply.partition(b"\r\n\r\n")
    lines = head.decode("latin-1").split("\r\n")
    return lines[0], dict(line.split(": ", 1) for line in lines[1:]), body


def client_judgement(reply):
    """(genuine, complete): how the program's reply framer judges these bytes.

    genuine: the head (lines ended by CR LF or LF) has a field named Response-From in any letter case whose value,
    blanks around it aside, is QXAPI; complete: past a byte-order mark, the XML declaration, comments and white
    space, the root's start tag opens the body, and its end tag ends the last line that is not blank.
    """
    text = reply.decode("latin-1")
    genuine = False
    head_end = re.search(r"\n\r?\n", text)
    if head_end:
        header, text = text[:head_end.start()], text[head_end.end():]
        fields = [line.rstrip("\r").partition(":") for line in header.split("\n")]
        genuine = any(name.strip().lower() == "response-from" and value.strip() == "QXAPI" for name, _, value in fields)
    text = re.sub(r"^(\xef\xbb\xbf|\s|<\?.*?\?>|<!--.*?-->)*", "", text, flags=re.S)
    lines = [line.rstrip() for line in text.split("\n")]
    while len(lines) > 1 and lines[-1] == "":
        lines.pop()
    if len(lines) < 2 or not lines[0].startswith("<"):
        return genuine, False
    end_tag = "</" + re.split(r"[\s/>]", lines[0][1:])[0] + ">"
    return genuine, lines[-1].endswith(end_tag)


def jpeg_size(data):
    assert data[:2] == b"\xff\xd8", "not a JPEG"
    i = 2
    while i + 9 < len(data):
        marker, length = data[i + 1], int.from_bytes(data[i + 2:i + 4], "big")
        if marker in (0xC0, 0xC1, 0xC2):
            return int.from_bytes(data[i + 7:i + 9], "big"), int.from_bytes(data[i + 5:i + 7], "big")
        i += 2 + length
    raise AssertionError("JPEG without a frame header")


def png_size(data):
    assert data[:8] == b"\x89PNG\r\n\x1a\n" and data[12:16] == b"IHDR", "not a PNG"
    return int.from_bytes(data[16:20], "big"), int.from_bytes(data[20:24], "big")


class ServiceTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = QuorvexServer(seed=7).start()
        cls.port = cls.server.port
        cls.host = f"127.0.0.1:{cls.port}"

    @classmethod
    def tearDownClass(cls):
        cls.server.close()

    def setUp(self):
        self.control("reset")

    # --- helpers ---

    def connect(self, timeout=5):
        sock = socket.create_connection(("127.0.0.1", self.port), timeout=timeout)
        self.addCleanup(sock.close)
        return sock

    def exchange(self, request):
        sock = self.connect()
        sock.sendall(request.encode("latin-1") if isinstance(request, str) else request)
        return receive_all(sock)

    def api_request(self, method, key=PROGRAM_KEY, **params):
        query = "".join(f"&{name}={encode(value)}" for name, value in params.items())
        return f"GET http://{self.host}/api.php?apikey={key}&method={method}{query} HTTP/1.0\r\n\r\n"

    def api(self, method, key=PROGRAM_KEY, **params):
        """The XML root of the reply, after checking the reply's framing."""
        status, headers, body = split_reply(self.exchange(self.api_request(method, key, **params)))
        self.assertEqual(status, "HTTP/1.0 200 OK")
        self.assertEqual(headers["Response-From"], "QXAPI")
        self.assertEqual(int(headers["Content-Length"]), len(body))
        self.assertEqual(headers["Content-Type"], "text/xml; charset=windows-1252")
        text = body.decode("cp1252")
        self.assertNotIn("\r", text)
        lines = text.split("\n")
        root = ET.fromstring(text)
        self.assertEqual(lines[0].split(" ")[0].rstrip(">"), "<" + root.tag)
        self.assertEqual(lines[-2:], [f"</{root.tag}>", ""])
        return root

    def get(self, path, headers="\r\n"):
        return split_reply(self.exchange(f"GET {path} HTTP/1.0\r\n{headers}"))

    def download(self, path):
        return self.get(path, DOWNLOAD_HEADERS.format(host=self.host))

    def control(self, action, upload=None, **params):
        query = urllib.parse.urlencode(params)
        method = "POST" if upload is not None else "GET"
        upload = upload or b""
        request = f"{method} /_control/{action}?{query} HTTP/1.0\r\nContent-Length: {len(upload)}\r\n\r\n"
        status, _, answer = split_reply(self.exchange(request.encode("latin-1") + upload))
        return status, json.loads(answer)

    def fault(self, name, **params):
        status, answer = self.control("fault", name=name, **params)
        self.assertEqual(status, "HTTP/1.0 200 OK", answer)

    def log(self):
        return self.control("log")[1]["requests"]

    def browse(self, method="qx.wallpapers.browse", **params):
        query = dict(withtags="yes", sort="desc", minpoints="0", order="freshness", page="1", perpage="50")
        query.update(params)
        return self.api(method, **query)

    def ids(self, root):
        return [int(w.findtext("id")) for w in root.findall("wallpaper")]


class ReplyFramingTests(ServiceTest):
    def test_api_replies_are_cut_where_a_client_decides_on_framing(self):
        head = b"HTTP/1.0 200 OK\r\nResponse-From: QXAPI\r\n\r\n"
        data = head + b"<a>\n<b/>\n<c/>\n</a>\n"
        pieces = [data[i:j] for i, j in zip([0, *framing_cuts(data, len(head))], [*framing_cuts(data, len(head)), None])]
        self.assertEqual(pieces, [b"HTTP/1.", b"0 200 OK\r\nResponse-From: QXAPI\r\n\r\n", b"<a>\n", b"<b/>\n",
                                  b"<c/>\n", b"</a>", b"\n"])
        self.assertEqual(framing_cuts(b"HTTP/1.0 200 OK\r\n\r\nx", 19), [7, 19])

    def test_login_reply_is_framed_for_the_client(self):
        reply = self.exchange(self.api_request("qx.auth.login", username="alice", md5password=digest("tulips2008")))
        head, body = reply.split(b"\r\n\r\n", 1)
        self.assertEqual(head.split(b"\r\n")[:2], [b"HTTP/1.0 200 OK", b"Server: Quorvex-Standin"])
        self.assertIn(b"\r\nResponse-From: QXAPI\r\n", head + b"\r\n")
        self.assertTrue(body.startswith(b"<auth>\n<token>"))
        self.assertTrue(body.endswith(b"</status>\n</auth>\n"))

    def test_absolute_and_path_request_forms_get_the_same_reply(self):
        absolute = self.exchange(self.api_request("qx.getGalleries", withcategories="yes"))
        relative = self.exchange(self.api_request("qx.getGalleries", withcategories="yes").replace(
            f"http://{self.host}", "", 1))
        self.assertEqual(absolute, relative)

    def test_error_reply_carries_number_and_description(self):
        root = self.api("qx.nothing")
        self.assertEqual((root.tag, root.findtext("number")), ("error", "951"))
        self.assertTrue(root.findtext("description"))

    def test_keys(self):
        self.assertEqual(self.api("qx.getGalleries", key="short").findtext("number"), "950")
        self.assertEqual(self.api("qx.getGalleries", key="").findtext("number"), "950")
        self.assertEqual(self.api("qx.getGalleries", key="Ex901Ex901Ex").findtext("number"), "901")
        self.assertEqual(self.api("qx.getGalleries", key="Ak7Tq2Wn9Xc4").tag, "galleries")
        self.assertEqual(self.api("qx.getGalleries", key="AnyOther1234").tag, "galleries")

    def test_keep_alive_serves_several_requests_on_one_connection(self):
        self.control("config", keepalive="1")
        sock = self.connect()
        for _ in range(2):
            sock.sendall(self.api_request("qx.getGalleries").encode())
            data = b""
            while not data.endswith(b"</galleries>\n"):
                data += sock.recv(65536)
            self.assertIn(b"Connection: keep-alive", data)
        self.assertEqual({e["connection"] for e in self.log()}, {self.log()[0]["connection"]})


class ClientFramingTests(ServiceTest):
    """Every ordinary reply completes in the program's framer; the framing faults break it as intended."""

    def requests(self):
        return [self.api_request("qx.auth.login", username="alice", md5password=digest("tulips2008")),
                self.api_request("qx.auth.login", username="dave_new", md5password=digest("welcome1")),
                self.api_request("qx.getGalleries", withcategories="yes"),
                self.api_request("qx.wallpapers.browse", withar="1.6", order="randomize", perpage="1"),
                self.api_request("qx.wallpapers.favorites", member="alice", order="freshness", startid="0"),
                self.api_request("qx.wallpapers.favorites", member="Bob.Smith"),
                self.api_request("qx.nothing")]

    def test_ordinary_replies_complete(self):
        for request in self.requests():
            self.assertEqual(client_judgement(self.exchange(request)), (True, True), request)

    def test_faults_break_the_framing_as_named(self):
        expected = {"crlf": (True, True), "xml_decl": (True, True), "truncated": (True, False), "lf_head": (True, True),
                    "foreign": (False, True), "unknown_root": (True, True), "upgrade": (True, True),
                    "count0": (True, True), "close_before_header": (False, False), "portal": (False, True)}
        for name, judgement in expected.items():
            self.fault(name)
            self.assertEqual(client_judgement(self.exchange(self.requests()[2])), judgement, name)


class LoginTests(ServiceTest):
    def login(self, username, password_digest):
        return self.api("qx.auth.login", username=username, md5password=password_digest)

    def test_members_log_in_and_get_their_key(self):
        keys = {"alice": "Ak7Tq2Wn9Xc4", "Bob.Smith": "Bm4Rz8Hs1Jd6", "carol-x": "Cp2Lf5Vy8Ng3",
                "Maximilian.Alexander_von-Hohenberg-1987": "Mx5Hv2Pq7Wt4"}
        for username, key in keys.items():
            root = self.login(username, digest(PASSWORDS[username]))
            self.assertEqual(root.tag, "auth")
            self.assertRegex(root.findtext("token"), "^[0-9a-f]{32}$")
            self.assertEqual((root.findtext("username"), root.findtext("apiKey")), (username, key))

    def test_user_name_case_is_ignored_and_the_reply_spells_it_right(self):
        self.assertEqual(self.login("BOB.SMITH", digest("s3cret-Pass")).findtext("username"), "Bob.Smith")

    def test_bad_logins_give_error_75(self):
        for username, password_digest in [("alice", digest("wrong")), ("alice", digest("tulips2008").upper()),
                                          ("nobody", digest("x")), ("carol-x", hashlib.md5(b"Gr\xc3\xbc\xc3\x9fe1")
                                                                     .hexdigest())]:
            root = self.login(username, password_digest)
            self.assertEqual((root.tag, root.findtext("number")), ("error", "75"), username)
        self.assertEqual(self.api("qx.auth.login").findtext("number"), "75")

    def test_unconfirmed_member_gets_empty_token_and_status(self):
        root = self.login("dave_new", digest("welcome1"))
        self.assertEqual((root.findtext("token"), root.findtext("status")), ("", "Account not activated"))
        self.assertIsNone(root.find("apiKey"))


class GalleryTests(ServiceTest):
    def test_galleries_with_categories(self):
        root = self.api("qx.getGalleries", withcategories="yes")
        galleries = {g.findtext("friendly"): {c.findtext("friendly"): c.findtext("redir")
                                              for c in g.findall("categories/category")}
                     for g in root.findall("gallery")}
        self.assertEqual(root.get("count"), str(len(galleries)))
        self.assertEqual(galleries["Fotografía"], {"Straßen": "no", "Città": "no"})
        self.assertEqual(galleries["Anime"]["Ah My Goddess"], "no")
        self.assertEqual(galleries["Anime"]["Misc Anime"], "yes")
        self.assertIn("Sci-Fi & Fantasy", galleries)
        self.assertEqual(set(galleries["Retired"].values()), {"abstract"})

    def test_galleries_without_categories(self):
        root = self.api("qx.getGalleries")
        self.assertTrue(root.findall("gallery"))
        self.assertEqual(root.findall("gallery/categories"), [])


class WallpaperQueryTests(ServiceTest):
    def test_rotation_query_as_the_client_sends_it(self):
        root = self.api("qx.wallpapers.browse", withar="1.77778", withtags="no", sort="desc", minpoints="0",
                        order="randomize", page="1", perpage="1", tag="nature,forest", VL_Version="1.0.112")
        self.assertEqual(root.get("count"), "1")
        wallpaper = root.find("wallpaper")
        self.assertIn(int(wallpaper.findtext("id")), (1001, 1008))
        self.assertEqual(wallpaper.findtext("link"), f"http://{self.host}/wallpaper/{wallpaper.findtext('id')}")
        self.assertIsNone(wallpaper.find("tags"))

    def test_tags_with_wildcards_and_lists(self):
        self.assertEqual(self.ids(self.browse(tag="dra*")), [1020, 1019])
        self.assertEqual(self.ids(self.browse(tag="NEBULA, b-ball")), [1027, 1017])
        self.assertEqual(self.ids(self.browse(tag="golden retriever")), [1008])
        self.assertEqual(self.ids(self.browse(tag="tree*")), [1001])
        self.assertEqual(self.ids(self.browse(tag="*ee*")), [1015, 1013, 1001])
        self.assertEqual(self.browse(tag=" , ").findtext("number"), "69")

    def test_query_text_is_the_western_code_page_only(self):
        def browse_raw(gallery):
            request = self.api_request("qx.wallpapers.browse", perpage="50")
            status, _, body = split_reply(self.exchange(request.replace(" HTTP", f"&gallery={gallery} HTTP")))
            return status, ET.fromstring(body.decode("cp1252")) if status.endswith(" 200 OK") else None

        self.assertEqual(self.ids(browse_raw("Fotograf%EDa")[1]), [1016, 1015, 1014, 1013])
        # UTF-8 bytes read as the code page name no gallery.
        self.assertEqual(browse_raw("Fotograf%C3%ADa")[1].findtext("number"), "69")
        for bad in ("Fotograf%81a", "Fotograf%G1a", "50%", "Fotograf\xeda", "a<b"):
            self.assertEqual(browse_raw(bad)[0], "HTTP/1.0 400 Bad Request", bad)
        self.assertEqual(self.ids(self.browse(gallery="Fotografía", category="Straßen")), [1015, 1013])
        self.assertEqual(self.ids(self.browse(gallery="Anime", category="Ah! My Goddess")), [1009])

    def test_a_request_line_longer_than_web_servers_take_is_refused(self):
        def status_with_tag_of(length):
            request = self.api_request("qx.wallpapers.browse", tag="")
            padding = length - len(request.split("\r\n")[0])
            return split_reply(self.exchange(request.replace("&tag=", "&tag=" + "a" * padding)))[0]

        self.assertEqual(status_with_tag_of(8190), "HTTP/1.0 200 OK")
        self.assertEqual(status_with_tag_of(8191), "HTTP/1.0 414 Request-URI Too Long")

    def test_rating_and_aspect_ratio(self):
        self.assertEqual(self.ids(self.browse(minpoints="30")), [1030, 1021, 1017, 1008])
        self.assertEqual(len(self.ids(self.browse(minpoints="-10"))), 32)
        wide = self.ids(self.browse(withar="1,6"))
        self.assertEqual(wide, self.ids(self.browse(withar="1.60001")))
        self.assertEqual(wide, [1026, 1021, 1018, 1014, 1011, 1005, 1002])
        self.assertEqual(len(self.ids(self.browse(withar="1.77865"))), 13)  # a 1366x768 screen
        self.assertEqual(self.browse(withar="1.5").findtext("number"), "69")
        self.assertEqual(self.browse(minpoints="lots").findtext("number"), "71")

    def test_favorites_and_uploads(self):
        self.assertEqual(self.ids(self.browse("qx.wallpapers.favorites", member="alice", minpoints="-5")),
                         [1030, 1024, 1021, 1017, 1014, 1009, 1003])
        self.assertEqual(self.ids(self.browse("qx.wallpapers.favorites", member="ALICE", minpoints="0")),
                         [1030, 1021, 1017, 1014, 1009, 1003])
        self.assertEqual(self.ids(self.browse("qx.wallpapers.favorites", member="carol-x", withar="1.6")), [1018])
        self.assertEqual(self.browse("qx.wallpapers.favorites", member="Bob.Smith").findtext("number"), "69")
        self.assertEqual(self.browse("qx.wallpapers.favorites").findtext("number"), "70")
        uploads = self.ids(self.browse(member="bob.smith"))
        self.assertEqual(uploads, [1029, 1018, 1016, 1010, 1009, 1006, 1002])

    def test_freshness_continues_after_startid_and_wraps(self):
        seen = []
        start = 0
        for _ in range(5):
            root = self.browse(tag="dragon,nebula", perpage="1", startid=str(start))
            start = int(root.findtext("wallpaper/id"))
            seen.append(start)
        self.assertEqual(seen, [1020, 1019, 1017, 1020, 1019])
        self.assertEqual(self.ids(self.browse(tag="dragon,nebula", sort="asc", startid="1017")), [1019, 1020, 1017])

    def test_randomize_picks_among_the_matches(self):
        picks = {self.ids(self.browse(order="randomize", perpage="1", gallery="Nature"))[0] for _ in range(25)}
        nature = set(self.ids(self.browse(gallery="Nature")))
        self.assertLessEqual(picks, nature)
        self.assertGreater(len(picks), 1)

    def test_pages(self):
        first, second = self.browse(tag="anime", perpage="3"), self.browse(tag="anime", perpage="3", page="2")
        self.assertEqual((first.get("count"), first.get("total")), ("3", "4"))
        self.assertEqual(self.ids(first) + self.ids(second), [1012, 1011, 1010, 1009])
        self.assertEqual(self.browse(tag="anime", perpage="3", page="3").get("count"), "0")
        self.assertEqual(self.browse(perpage="0").findtext("number"), "71")


class PictureTests(ServiceTest):
    def test_jpeg_and_png_of_the_asked_size(self):
        status, headers, body = self.download("/dl/inline/1001/640x360/misty-forest.jpg")
        self.assertEqual((status, headers["Content-Type"]), ("HTTP/1.0 200 OK", "image/jpeg"))
        self.assertEqual(int(headers["Content-Length"]), len(body))
        self.assertEqual(jpeg_size(body), (640, 360))
        status, headers, png = self.download("/dl/inline/1003/320x200/alpine-lake.png")
        self.assertEqual((headers["Content-Type"], png_size(png)), ("image/png", (320, 200)))
        self.assertEqual(png[25], 2, "RGB colour type")

    def test_pictures_differ_by_id_and_repeat_by_request(self):
        first = self.download("/dl/inline/1001/64x48/misty-forest.jpg")[2]
        self.assertEqual(first, self.download("/dl/inline/1001/64x48/misty-forest.jpg")[2])
        self.assertNotEqual(first, self.download("/dl/inline/1002/64x48/pine-ridge.jpg")[2])

    def test_bad_picture_requests(self):
        for path, status in [("/dl/inline/1001/640x360/other.jpg", 404), ("/dl/inline/9999/640x360/x.jpg", 404),
                             ("/dl/inline/1001/7681x100/misty-forest.jpg", 400),
                             ("/dl/inline/1001/0x100/misty-forest.jpg", 400),
                             # What may not stand raw in a request line's address, as a real server refuses it.
                             ("/bench/blob/10/caf\xe9.jpg", 400), ("/bench/blob/10/a\x01b.jpg", 400),
                             ("/bench/blob/10/100%.jpg", 400), ("/bench/blob/10/caf%E9%20au%20lait.jpg", 200)]:
            self.assertEqual(self.get(path)[0].split(" ")[1], str(status), path)

    def test_bench_blob_is_deterministic(self):
        status, headers, body = self.get("/bench/blob/200000")
        self.assertEqual((len(body), int(headers["Content-Length"])), (200000, 200000))
        self.assertEqual(body, self.get("/bench/blob/200000")[2])
        self.assertEqual(self.get("/bench/blob/300000000")[0], "HTTP/1.0 400 Bad Request")


class UpdateTests(ServiceTest):
    def test_archive_and_its_digest_file(self):
        for prefix in ("/vorlane/dl/", "/vorlane/"):
            archive = self.download(prefix + "Vorlane-1.0.113.zip")[2]
            self.assertIn("release.txt", zipfile.ZipFile(io.BytesIO(archive)).namelist())
            md5_file = self.download(prefix + "Vorlane-1.0.113.zip.md5")[2]
            self.assertEqual(md5_file, hashlib.md5(archive).hexdigest().encode() + b"\n")

    def test_tests_set_archive_bytes_digest_and_line_end(self):
        status, answer = self.control("update", upload=b"not really a zip", name="Vorlane-2.0.1.zip")
        self.assertEqual(answer["update"]["md5"], hashlib.md5(b"not really a zip").hexdigest())
        self.assertEqual(self.download("/vorlane/dl/Vorlane-2.0.1.zip")[2], b"not really a zip")
        self.control("update", name="Vorlane-2.0.1.zip", md5="0" * 32, md5_eol="crlf")
        self.assertEqual(self.download("/vorlane/dl/Vorlane-2.0.1.zip.md5")[2], b"0" * 32 + b"\r\n")
        self.assertEqual(self.control("update", name="../x.zip")[0], "HTTP/1.0 400 Bad Request")

    def test_corrupt_archive_fault_keeps_the_size(self):
        good = self.download("/vorlane/dl/Vorlane-1.0.113.zip")[2]
        self.fault("corrupt_archive", count="2")
        bad = self.download("/vorlane/dl/Vorlane-1.0.113.zip")[2]
        self.assertEqual(len(bad), len(good))
        self.assertNotEqual(bad, good)
        self.assertNotEqual(self.download("/vorlane/dl/Vorlane-1.0.113.zip.md5")[2][:32],
                            hashlib.md5(good).hexdigest().encode(), "the digest file is an update download too")
        self.assertEqual(self.download("/vorlane/dl/Vorlane-1.0.113.zip")[2], good)
        self.fault("corrupt_archive", match=".zip.md5")
        self.assertEqual(self.download("/vorlane/dl/Vorlane-1.0.113.zip")[2], good, "only the digest file matches")


class FaultTests(ServiceTest):
    def raw_api(self):
        return self.exchange(self.api_request("qx.getGalleries"))

    def test_upgrade_notice_is_the_next_reply_only(self):
        self.fault("upgrade")
        root = self.api("qx.wallpapers.browse", tag="anime")
        self.assertEqual((root.tag, root.findtext("action")), ("vorlane", "upgrade"))
        self.assertEqual(root.findtext("link"), f"http://{self.host}/vorlane/dl/Vorlane-1.0.113.zip")
        self.assertEqual(self.api("qx.wallpapers.browse", tag="anime").tag, "wallpapers")

    def test_api_error_and_custom_bodies(self):
        self.fault("api_error", number="901", description="Over quota")
        root = self.api("qx.getGalleries")
        self.assertEqual((root.findtext("number"), root.findtext("description")), ("901", "Over quota"))
        self.fault("custom", body="<auth>\n<token></token>\n<status></status>\n</auth>\n")
        self.assertEqual(self.api("qx.auth.login").findtext("status"), "")
        self.fault("count0")
        self.assertEqual(split_reply(self.raw_api())[2], b'<wallpapers count="0">\n</wallpapers>\n')

    def test_body_rewrites(self):
        self.fault("crlf")
        body = split_reply(self.raw_api())[2]
        self.assertTrue(body.startswith(b"<galleries count=\"6\">\r\n") and body.endswith(b"</galleries>\r\n"))
        self.assertNotIn(b"\n", body.replace(b"\r\n", b""))
        self.fault("xml_decl")
        self.assertTrue(split_reply(self.raw_api())[2].startswith(b'<?xml version="1.0" encoding="UTF-8"?>\n<gal'))
        self.fault("unknown_root", root="GALLERIES")
        body = split_reply(self.raw_api())[2]
        self.assertTrue(body.startswith(b'<GALLERIES count="6">\n') and body.endswith(b"\n</GALLERIES>\n"))
        self.fault("truncated")
        _, headers, body = split_reply(self.raw_api())
        self.assertTrue(body.endswith(b"</gallery>\n"))
        self.assertGreater(int(headers["Content-Length"]), len(body))

    def test_foreign_reply(self):
        self.fault("foreign")
        _, headers, body = split_reply(self.raw_api())
        self.assertNotIn("Response-From", headers)
        self.assertTrue(body.startswith(b"<galleries"))
        self.fault("foreign", header="Response-From:QXAPI")
        self.assertIn(b"\r\nResponse-From:QXAPI\r\n", self.raw_api())
        self.fault("lf_head")
        head, _, body = self.raw_api().partition(b"\n\n")
        self.assertTrue(head.startswith(b"HTTP/1.0 200 OK\nServer: ") and b"\r" not in head)
        self.assertIn(b"\nResponse-From: QXAPI\n", head)
        self.assertTrue(body.startswith(b"<galleries"))

    def test_close_before_header_end_and_missing_length(self):
        self.fault("close_before_header")
        reply = self.raw_api()
        self.assertNotIn(b"\r\n\r\n", reply)
        self.assertTrue(reply.startswith(b"HTTP/1.0 200 OK\r\n") and reply.endswith(b"\r\n"))
        self.fault("no_length", scope="dl")
        status, headers, body = self.download("/dl/inline/1001/64x48/misty-forest.jpg")
        self.assertNotIn("Content-Length", headers)
        self.assertEqual(jpeg_size(body), (64, 48))

    def test_redirects(self):
        path = "/dl/inline/1001/64x48/misty-forest.jpg"
        self.fault("redirect", scope="dl")
        status, headers, _ = self.download(path)
        self.assertEqual((status, headers["Location"]), ("HTTP/1.0 302 Found", f"http://{self.host}{path}"))
        self.assertEqual(jpeg_size(self.download(path)[2]), (64, 48), "the followed request is served")
        self.fault("redirect_relative", scope="dl", status="200")
        status, headers, _ = self.download(path)
        self.assertEqual((status, headers["Location"]), ("HTTP/1.0 200 OK", path))
        self.fault("redirect_loop", scope="dl")
        loop = self.download(path)[1]["Location"]
        self.assertEqual(self.download(loop.replace(f"http://{self.host}", ""))[1]["Location"], loop)

    def test_trickle_sends_single_bytes(self):
        self.fault("trickle", delay="0.005", limit="40")
        sock = self.connect()
        sock.sendall(self.api_request("qx.getGalleries").encode())
        pieces = []
        while chunk := sock.recv(65536):
            pieces.append(chunk)
        self.assertGreaterEqual(sum(len(p) == 1 for p in pieces), 10)
        self.assertTrue(b"".join(pieces).endswith(b"</galleries>\n"))

    def test_pause_holds_the_rest_after_a_text(self):
        self.fault("pause", after="</gallery>\n", seconds="0.5")
        sock = self.connect()
        sock.sendall(self.api_request("qx.getGalleries").encode())
        first = b""
        while not first.endswith(b"</gallery>\n"):
            first += sock.recv(65536)
        started = time.monotonic()
        rest = receive_all(sock)
        self.assertGreaterEqual(time.monotonic() - started, 0.4)
        self.assertEqual(first.count(b"</gallery>"), 1)
        self.assertTrue(rest.endswith(b"</galleries>\n"))
        self.fault("pause", body="<a>\nCaf\u00e9\n</a>\n", seconds="0")
        self.assertTrue(self.exchange(self.api_request("qx.getGalleries")).endswith(b"\r\n\r\n<a>\nCaf\xe9\n</a>\n"))

    def test_reset_in_mid_body_or_head(self):
        for params, kept in (({"after": "100"}, lambda data: len(data.partition(b"\r\n\r\n")[2]) <= 100),
                             ({"bytes": "20"}, lambda data: len(data) <= 20)):
            self.fault("reset", scope="dl", **params)
            sock = self.connect()
            sock.sendall(f"GET /bench/blob/100000 HTTP/1.0\r\n{DOWNLOAD_HEADERS.format(host=self.host)}".encode())
            data = b""
            with self.assertRaises(ConnectionResetError):
                while chunk := sock.recv(65536):
                    data += chunk
            self.assertTrue(kept(data), data[:100])

    def test_hang_holds_the_connection_without_a_reply(self):
        self.fault("hang", seconds="1")
        sock = self.connect()
        sock.sendall(self.api_request("qx.getGalleries").encode())
        sock.settimeout(0.5)
        with self.assertRaises(socket.timeout):
            sock.recv(1)
        sock.settimeout(5)
        started = time.monotonic()
        self.assertEqual(sock.recv(1), b"")
        self.assertLess(time.monotonic() - started, 2)
        self.fault("hang", seconds="0.3", reply="1")
        self.assertTrue(self.raw_api().endswith(b"</galleries>\n"))

    def test_picture_faults(self):
        self.fault("not_picture")
        status, headers, body = self.download("/dl/inline/1001/64x48/misty-forest.jpg")
        self.assertEqual((status, headers["Content-Type"]), ("HTTP/1.0 200 OK", "text/html; charset=utf-8"))
        self.assertTrue(body.startswith(b"<!DOCTYPE html>"))
        self.fault("truncated", scope="dl")
        _, headers, body = self.download("/bench/blob/1000")
        self.assertEqual((headers["Content-Length"], len(body)), ("1000", 500))

    def test_raw_and_drop(self):
        self.fault("raw", data="HTTP/1.0 200 OK\nno blank line")
        self.assertEqual(self.raw_api(), b"HTTP/1.0 200 OK\nno blank line")
        self.fault("drop")
        self.assertEqual(self.raw_api(), b"")

    def test_count_scope_and_match(self):
        self.fault("api_error", count="2", number="77")
        self.fault("no_length", scope="dl", match="/bench/")
        self.assertNotIn("Content-Length", self.get("/bench/blob/10")[1])
        self.assertIn("Content-Length", self.get("/bench/blob/10")[1])
        numbers = [self.api("qx.getGalleries").findtext("number") for _ in range(3)]
        self.assertEqual(numbers, ["77", "77", None])
        self.fault("api_error", count="0")
        for _ in range(3):
            self.assertEqual(self.api("qx.getGalleries").tag, "error")
        self.assertEqual(self.control("faults")[1]["faults"][-1]["used"], 3)
        self.control("reset")
        self.assertEqual(self.api("qx.getGalleries").tag, "galleries")

    def test_bad_fault_requests(self):
        self.assertEqual(self.control("fault", name="nonsense")[0], "HTTP/1.0 400 Bad Request")
        self.assertEqual(self.control("fault", name="crlf", scope="dl")[0], "HTTP/1.0 400 Bad Request")
        self.assertEqual(self.control("fault", name="hang", count="-1")[0], "HTTP/1.0 400 Bad Request")
        self.assertEqual(self.control("faults")[1]["faults"], [])


class LogAndPageTests(ServiceTest):
    def test_log_keeps_what_the_client_sent(self):
        path = "/dl/inline/1001/64x48/misty-forest.jpg"
        self.fault("no_length", scope="dl")
        self.download(path)
        entry, = self.log()
        self.assertEqual(entry["request_line"], f"GET {path} HTTP/1.0")
        self.assertEqual(entry["raw"], f"GET {path} HTTP/1.0\r\n" + DOWNLOAD_HEADERS.format(host=self.host))
        self.assertEqual(entry["headers"][2],
                         ["User-Agent", "Mozilla/4.0 (compatible; MSIE 5.5; Windows 98; Win 9x 4.90)"])
        self.assertEqual((entry["scope"], entry["fault"]), ("dl", "no_length"))
        self.api("qx.wallpapers.browse", tag="a b", gallery="Città")
        entry = self.control("log", clear="1")[1]["requests"][-1]
        self.assertIn("&tag=a+b&gallery=Citt%E0 HTTP/1.0", entry["request_line"])
        self.assertEqual(entry["params"]["gallery"], "Città")
        self.assertEqual(self.log(), [])

    def test_incomplete_request_is_logged(self):
        sock = self.connect()
        sock.sendall(b"GET /api.php?apikey=x HTTP/1.0\r\n")
        sock.shutdown(socket.SHUT_WR)
        self.assertEqual(receive_all(sock), b"")
        entry, = self.log()
        self.assertEqual((entry["complete"], entry["raw"]), (False, "GET /api.php?apikey=x HTTP/1.0\r\n"))

    def test_pages_the_program_opens(self):
        for path in ("/?source=Vorlane", "/signup?source=Vorlane", "/contact/", "/vorlane/",
                     "/alice/favorites/?source=Vorlane", "/members/Bob.Smith/uploads/?source=Vorlane",
                     "/wallpaper/1017?source=Vorlane"):
            status, headers, body = self.get(path)
            self.assertEqual(status, "HTTP/1.0 200 OK", path)
            self.assertIn(b"<html>", body)
        self.assertEqual(self.get("/nobody/favorites/")[0], "HTTP/1.0 404 Not Found")
        self.assertEqual(self.get("/wallpaper/5")[0], "HTTP/1.0 404 Not Found")


class OversizeTests(ServiceTest):
    def test_oversize_reply_never_completes(self):
        self.fault("oversize", bytes="300000")
        reply = self.exchange(self.api_request("qx.getGalleries", withcategories="yes"))
        status, headers, body = split_reply(reply)
        self.assertGreaterEqual(len(body), 300000)
        self.assertEqual(client_judgement(reply), (True, False))


class SpawnTests(ServiceTest):
    def test_spawned_instances_keep_their_faults_and_logs_apart(self):
        _, answer = self.control("spawn")
        child_port = answer["port"]
        self.assertNotEqual(child_port, self.port)
        child = f"127.0.0.1:{child_port}"

        def api_on(port, host):
            sock = socket.create_connection(("127.0.0.1", port), timeout=5)
            self.addCleanup(sock.close)
            sock.sendall(f"GET http://{host}/api.php?apikey={PROGRAM_KEY}&method=qx.getGalleries HTTP/1.0\r\n\r\n"
                         .encode("latin-1"))
            return receive_all(sock)

        sock = socket.create_connection(("127.0.0.1", child_port), timeout=5)
        sock.sendall(b"GET /_control/fault?name=foreign HTTP/1.0\r\n\r\n")
        self.assertIn(b'"ok": true', receive_all(sock))
        sock.close()

        self.assertIn(b"Response-From: QXAPI", api_on(self.port, self.host))  # the parent has no fault
        self.assertNotIn(b"Response-From: QXAPI", api_on(child_port, child))
        self.assertEqual(len(self.log()), 1)
        _, _, raw = self.get("/_control/log?format=raw")
        self.assertEqual(raw.count(b"\x1e"), 0)
        self.assertTrue(raw.startswith(b"1 "))
        self.assertIn(b"method=qx.getGalleries HTTP/1.0\r\n\r\n", raw)

        sock = socket.create_connection(("127.0.0.1", child_port), timeout=5)
        sock.sendall(b"GET /_control/shutdown HTTP/1.0\r\n\r\n")
        receive_all(sock)
        sock.close()
        deadline = time.time() + 5
        while time.time() < deadline:
            try:
                socket.create_connection(("127.0.0.1", child_port), timeout=1).close()
            except OSError:
                break
            time.sleep(0.05)
        else:
            self.fail("spawned instance still listening after shutdown")


class CommandLineTests(unittest.TestCase):
    def test_prints_port_and_arms_faults_from_the_command_line(self):
        process = subprocess.Popen([sys.executable, os.path.join(HERE, "server.py"), "--port", "0",
                                    "--fault", "api_error?number=950&count=1"],
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        try:
            line = process.stdout.readline()
            self.assertRegex(line, r"^PORT [0-9]+\n$")
            port = int(line.split()[1])
            replies = []
            for _ in range(2):
                with socket.create_connection(("127.0.0.1", port), timeout=5) as sock:
                    sock.sendall(f"GET /api.php?apikey={PROGRAM_KEY}&method=qx.getGalleries HTTP/1.0\r\n\r\n"
                                 .encode())
                    replies.append(receive_all(sock))
            self.assertIn(b"<number>950</number>", replies[0])
            self.assertIn(b"<galleries", replies[1])
        finally:
            process.terminate()
            try:
                process.wait(timeout=30)  # a loaded machine can be slow to schedule the exit
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
                raise
            process.stdout.close()
            process.stderr.close()


class DownloadFaultTests(ServiceTest):
    def fetch(self, fault, most=None, **params):
        """A blob of 1000 bytes under the fault: every byte until the server closes, or the first most bytes."""
        self.fault(fault, **params)
        sock = self.connect()
        sock.sendall(f"GET /bench/blob/1000 HTTP/1.0\r\n{DOWNLOAD_HEADERS.format(host=self.host)}".encode())
        data = b""
        while (most is None or len(data) < most) and (chunk := sock.recv(65536)):
            data += chunk
        return data

    def test_download_faults_break_the_reply_as_named(self):
        blob = self.download("/bench/blob/1000")[2]

        def dechunked(body):
            result = b""
            while True:
                size, _, body = body.partition(b"\r\n")
                if int(size, 16) == 0:
                    return result if body == b"\r\n" else None
                result, body = result + body[:int(size, 16)], body[int(size, 16) + 2:]

        cases = [
            ("length", dict(value="-5", second="7"),
             lambda head, body: "\r\nContent-Length: -5\r\n" in head and head.endswith("\r\nContent-Length: 7")
             and body == blob),
            ("overlong", dict(extra="10"), lambda head, body: "Content-Length: 1000" in head and body == blob + b"\xa5" * 10),
            ("chunked", {}, lambda head, body: "Transfer-Encoding: chunked" in head and "Content-Length" not in head
             and dechunked(body) == blob),
            ("endless_body", dict(length="10", bytes="500000"),
             lambda head, body: "Content-Length: 10" in head and body.startswith(blob) and len(body) == 501000),
        ]
        for fault, params, check in cases:
            with self.subTest(fault):
                head, _, body = self.fetch(fault, **params).partition(b"\r\n\r\n")
                self.assertTrue(check(head.decode("latin-1"), body), head)

    def test_endless_header_never_reaches_its_blank_line(self):
        data = self.fetch("endless_header", most=1 << 20)
        self.assertTrue(data.startswith(b"HTTP/1.0 200 OK\r\nX-Filler: x"))
        self.assertGreaterEqual(len(data), 1 << 20)
        self.assertNotIn(b"\r\n\r\n", data)

    def test_drip_sends_the_head_then_the_body_slowly(self):
        started = time.monotonic()
        head, _, body = self.fetch("drip", every="0.05", piece="100").partition(b"\r\n\r\n")
        self.assertEqual(body, self.download("/bench/blob/1000")[2])
        self.assertGreaterEqual(time.monotonic() - started, 0.45)  # ten pieces, 0.05 s apart
        head, _, body = self.fetch("drip", every="0.01", piece="500", length="99999999").partition(b"\r\n\r\n")
        self.assertIn(b"\r\nContent-Length: 99999999\r\n", head + b"\r\n")
        self.assertEqual(body, self.download("/bench/blob/1000")[2])


if __name__ == "__main__":
    unittest.main()
