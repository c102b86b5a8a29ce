#!/usr/bin/env python3
"""Zip archives for the update engine's tests, made with Python's zipfile and
checked by reading them back. Usage: make_zip_fixtures.py OUTDIR FAKE_VORLANE_EXE

The tests know the contents below; keep the two in step.
"""
import io
import os
import struct
import sys
import zipfile
import zlib

STAMP = (2008, 7, 4, 9, 5, 30)
README = b"line one\nline two\r\nline three\n"
CONFIG = b"[main]\r\nvalue=1\r\n"
UMLAUT_NAME = "gr\u00fc\u00dfe.txt"
WESTERN_NAME = "S\u00e3o Paulo/pra\u00e7a.jpg"


def pattern(length, seed):
    """The bytes the tests regenerate: an LCG's high bytes in a 997-byte block,
    repeated, with every byte raised by one after each 64 repeats."""
    block = bytearray()
    x = seed
    for _ in range(997):
        x = (x * 1103515245 + 12345) % 2**31
        block.append((x >> 16) & 0xFF)
    out = bytearray()
    round_ = 0
    while len(out) < length:
        out += bytes((b + round_) & 0xFF for b in block) * 64
        round_ += 1
    return bytes(out[:length])


def info(name, method, date_time=STAMP, text=False):
    entry = zipfile.ZipInfo(name, date_time)
    entry.compress_type = method
    entry.external_attr = (0o40755 << 16) | 0x10 if name.endswith("/") else 0o100644 << 16
    if text:
        entry.internal_attr = 1
    return entry


def write_good(path):
    with zipfile.ZipFile(path, "w") as archive:
        archive.comment = b"Vorlane test archive"
        archive.writestr(info("docs/", zipfile.ZIP_STORED), b"")
        archive.writestr(info("docs/readme.txt", zipfile.ZIP_DEFLATED, text=True), README)
        archive.writestr(info("config.ini", zipfile.ZIP_STORED, (2010, 12, 31, 23, 59, 58)), CONFIG)
        archive.writestr(info("data/images/pixel.bin", zipfile.ZIP_DEFLATED), pattern(3000, 7))
        archive.writestr(info("empty.txt", zipfile.ZIP_STORED), b"")
        archive.writestr(info("read me.txt", zipfile.ZIP_DEFLATED), b"spaces")
        archive.writestr(info(UMLAUT_NAME, zipfile.ZIP_DEFLATED), b"umlaut")


def write_slips(out):
    for fixture, name in [("slip-parent.zip", "../evil.txt"), ("slip-nested.zip", "a/../../evil.txt"),
                          ("slip-backslash.zip", "..\\evil.txt"), ("slip-absolute.zip", "/evil.txt"),
                          ("dotname.zip", ".")]:
        with zipfile.ZipFile(os.path.join(out, fixture), "w") as archive:
            archive.writestr(info("safe.txt", zipfile.ZIP_STORED), b"safe")
            archive.writestr(info(name, zipfile.ZIP_STORED), b"evil")


def patch(path, old, new):
    with open(path, "rb") as f:
        data = f.read()
    at = data.index(old)
    with open(path, "wb") as f:
        f.write(data[:at] + new + data[at + len(old):])


def write_damaged(out, good):
    bad_crc = os.path.join(out, "badcrc.zip")
    with zipfile.ZipFile(bad_crc, "w") as archive:
        archive.writestr(info("first.txt", zipfile.ZIP_STORED), b"first")
        archive.writestr(info("second.txt", zipfile.ZIP_STORED), b"AAAA-second-member-BBBB")
    patch(bad_crc, b"-second-", b"-SECOND-")

    bad_deflate = os.path.join(out, "baddeflate.zip")
    text = b"".join(b"row %05d of a long compressible text\n" % i for i in range(2000))
    with zipfile.ZipFile(bad_deflate, "w") as archive:
        archive.writestr(info("long.txt", zipfile.ZIP_DEFLATED), text)
    with open(bad_deflate, "r+b") as f:
        f.seek(30 + len("long.txt") + 40)
        f.write(b"\xff" * 64)

    with open(good, "rb") as f:
        data = f.read()
    with open(os.path.join(out, "truncated.zip"), "wb") as f:
        f.write(data[: len(data) // 2])
    with open(os.path.join(out, "truncated-tail.zip"), "wb") as f:
        f.write(data[:-5])
    with open(os.path.join(out, "notzip.zip"), "wb") as f:
        f.write(b"This is a text file, not an archive.\n" * 10)

    # The directory claims more packed data than lies before it.
    oversize = os.path.join(out, "oversize.zip")
    with zipfile.ZipFile(oversize, "w") as archive:
        archive.writestr(info("only.txt", zipfile.ZIP_STORED), b"only")
    with open(oversize, "rb") as f:
        data = bytearray(f.read())
    central = data.index(b"PK\x01\x02")
    struct.pack_into("<I", data, central + 20, 0x00100000)
    with open(oversize, "wb") as f:
        f.write(data)


def write_large(out):
    with zipfile.ZipFile(os.path.join(out, "large.zip"), "w") as archive:
        with archive.open(info("big.bin", zipfile.ZIP_DEFLATED), "w", force_zip64=True) as member:
            member.write(pattern(24 * 1024 * 1024, 11))
        archive.writestr(info("after.txt", zipfile.ZIP_STORED), b"after the big one")


def write_zip64(out):
    """Small limits make zipfile write the 64-bit records for a small archive."""
    saved = zipfile.ZIP64_LIMIT, zipfile.ZIP_FILECOUNT_LIMIT
    zipfile.ZIP64_LIMIT, zipfile.ZIP_FILECOUNT_LIMIT = 100, 1
    try:
        with zipfile.ZipFile(os.path.join(out, "zip64.zip"), "w", allowZip64=True) as archive:
            archive.writestr(info("one.bin", zipfile.ZIP_STORED), pattern(500, 3))
            archive.writestr(info("two.bin", zipfile.ZIP_DEFLATED), pattern(700, 5))
    finally:
        zipfile.ZIP64_LIMIT, zipfile.ZIP_FILECOUNT_LIMIT = saved


# ---- the traditional cipher, which zipfile reads but does not write

CRC_TABLE = [0] * 256
for n in range(256):
    c = n
    for _ in range(8):
        c = 0xEDB88320 ^ (c >> 1) if c & 1 else c >> 1
    CRC_TABLE[n] = c


class Cipher:
    def __init__(self, password):
        self.keys = [0x12345678, 0x23456789, 0x34567890]
        for b in password:
            self.turn(b)

    def turn(self, plain):
        k = self.keys
        k[0] = CRC_TABLE[(k[0] ^ plain) & 0xFF] ^ (k[0] >> 8)
        k[1] = ((k[1] + (k[0] & 0xFF)) * 134775813 + 1) & 0xFFFFFFFF
        k[2] = CRC_TABLE[(k[2] ^ (k[1] >> 24)) & 0xFF] ^ (k[2] >> 8)

    def encrypt(self, data):
        out = bytearray()
        for plain in data:
            t = (self.keys[2] | 2) & 0xFFFF
            out.append(plain ^ (((t * (t ^ 1)) >> 8) & 0xFF))
            self.turn(plain)
        return bytes(out)


def dos_stamp():
    dos_time = (STAMP[3] << 11) | (STAMP[4] << 5) | (STAMP[5] // 2)
    dos_date = ((STAMP[0] - 1980) << 9) | (STAMP[1] << 5) | STAMP[2]
    return dos_time, dos_date


def header_fields(flags, method, crc, packed, size, name, extra):
    dos_time, dos_date = dos_stamp()
    return (20, flags, method, dos_time, dos_date, crc, packed, size, len(name), len(extra))


def local_header(name, flags, method, crc, packed, size, extra=b""):
    return b"PK\x03\x04" + struct.pack("<HHHHHIIIHH", *header_fields(flags, method, crc, packed, size, name,
                                                                       extra)) + name + extra


def stored(name, data, offset, flags=0, central_extra=b""):
    """A stored member's local header with its data, and its central record."""
    crc = zlib.crc32(data)
    return (local_header(name, flags, 0, crc, len(data), len(data)) + data,
            central_record(name, flags, 0, crc, len(data), len(data), offset, central_extra))


def central_record(name, flags, method, crc, packed, size, offset, extra=b"", made_by=20, external=0):
    fields = header_fields(flags, method, crc, packed, size, name, extra)
    return (b"PK\x01\x02" + struct.pack("<HHHHHHIIIHHHHHII", made_by, *fields, 0, 0, 0, external, offset) +
            name + extra)


def end_record(count, size, start, comment=b"", on_disk=None):
    on_disk = count if on_disk is None else on_disk
    return b"PK\x05\x06" + struct.pack("<HHHHIIH", 0, 0, on_disk, count, size, start, len(comment)) + comment


def unicode_path(name, unicode_name):
    """The Unicode path extra field: version 1, the CRC of the stored name, the name in UTF-8."""
    data = b"\x01" + struct.pack("<I", zlib.crc32(name)) + unicode_name.encode()
    return struct.pack("<HH", 0x7075, len(data)) + data


def raw_zip(members):
    """A zip archive from (name, data, method, password or None) and optionally a dict of
    local_name, extra (both headers), local_extra, made_by, external, packed (the data as written),
    descriptor (sizes after the data, without their signature); names as text or bytes."""
    body, directory = io.BytesIO(), io.BytesIO()
    for name, data, method, password, *more in members:
        more = more[0] if more else {}
        flags = more.get("flags", 0)
        if not isinstance(name, bytes):
            flags = 0 if name.isascii() else 0x800  # the name is UTF-8
            name = name.encode()
        crc = zlib.crc32(data)
        packed = data
        if method == zipfile.ZIP_DEFLATED:
            squeezer = zlib.compressobj(9, zlib.DEFLATED, -15)
            packed = squeezer.compress(data) + squeezer.flush()
        packed = more.get("packed", packed)
        descriptor = more.get("descriptor", False)
        flags |= 8 if descriptor else 0
        if password:
            flags |= 1
            header = bytes(range(11)) + bytes([crc >> 24])
            packed = Cipher(password).encrypt(header + packed)
        offset = body.tell()
        extra = more.get("extra", b"")
        local_sizes = (0, 0, 0) if descriptor else (crc, len(packed), len(data))
        body.write(local_header(more.get("local_name", name), flags, method, *local_sizes, more.get("local_extra", extra)))
        body.write(packed)
        if descriptor:
            body.write(struct.pack("<III", crc, len(packed), len(data)))
        directory.write(central_record(name, flags, method, crc, len(packed), len(data), offset, extra,
                                       more.get("made_by", 20), more.get("external", 0)))
    return body.getvalue() + directory.getvalue() + end_record(len(members), directory.tell(), body.tell())


def write_encrypted(out):
    path = os.path.join(out, "encrypted.zip")
    with open(path, "wb") as f:
        f.write(raw_zip([("plain.txt", b"not secret", zipfile.ZIP_STORED, None),
                         ("secret.txt", b"the secret text", zipfile.ZIP_DEFLATED, b"tulips2008"),
                         ("secret2.txt", b"another secret", zipfile.ZIP_STORED, b"tulips2008")]))
    with zipfile.ZipFile(path) as archive:
        assert archive.read("secret.txt", pwd=b"tulips2008") == b"the secret text"
        assert archive.read("secret2.txt", pwd=b"tulips2008") == b"another secret"


def write_update(out, fake_vorlane):
    with zipfile.ZipFile(os.path.join(out, "update.zip"), "w") as archive:
        archive.write(fake_vorlane, "Vorlane.exe", zipfile.ZIP_DEFLATED)
        archive.writestr(info("Updater/update.exe", zipfile.ZIP_DEFLATED), b"the new update engine")
        archive.writestr(info("docs/readme.txt", zipfile.ZIP_DEFLATED, text=True), README)


def write_raw(out, name, members):
    with open(os.path.join(out, name), "wb") as f:
        f.write(raw_zip(members))


def write_ambiguous(out):
    """Archives that readers could take in more than one way."""
    for fixture, names in [("case-ascii.zip", ["App.exe", "app.exe"]),
                           ("case-unicode.zip", ["\u00c4rger.txt", "\u00e4rger.txt"]),
                           ("slashes.zip", ["docs/a.txt", "docs\\a.txt"]),
                           ("same-name.zip", ["a.txt", "a.txt"]),
                           ("file-and-folder.zip", ["docs", "docs/readme.txt"])]:
        write_raw(out, fixture, [(name, b"one of two", zipfile.ZIP_STORED, None) for name in names])
    write_raw(out, "local-name.zip", [("readme.txt", b"text", zipfile.ZIP_STORED, None,
                                       {"local_name": b"Vorlane.exe"})])
    # A name stored as UTF-8, and a Unicode name that says otherwise.
    write_raw(out, "unicode-path.zip", [(b"readme.txt", b"text", zipfile.ZIP_STORED, None,
                                         {"flags": 0x800, "extra": unicode_path(b"readme.txt", "Vorlane.exe")})])
    write_raw(out, "unicode-folder.zip", [("plugins", b"a file to one, a folder to the next", zipfile.ZIP_STORED, None,
                                           {"extra": unicode_path(b"plugins", "plugins/")})])
    # Unicode names made for the stored ones, each barred as a name.
    for fixture, unicode_name in [("unicode-slip.zip", "../Vorlane.exe"), ("unicode-device.zip", "docs/CON.txt"),
                                  ("unicode-drive.zip", "C:Vorlane.exe"), ("unicode-case.zip", "README.TXT"),
                                  ("unicode-long.zip", "long/" + "d" * 200 + "/" + "f" * 100 + ".txt")]:
        write_raw(out, fixture, [("readme.txt", b"text", zipfile.ZIP_STORED, None),
                                 ("docs.txt", b"text", zipfile.ZIP_STORED, None,
                                  {"extra": unicode_path(b"docs.txt", unicode_name)})])
    # Bytes that are no UTF-8, though the archive says they are: an overlong "/".
    write_raw(out, "bad-utf8.zip", [(b"docs\xc0\xafVorlane.exe", b"text", zipfile.ZIP_STORED, None, {"flags": 0x800})])
    write_raw(out, "unicode-stale.zip", [("readme.txt", b"text", zipfile.ZIP_STORED, None,
                                          {"extra": unicode_path(b"other.txt", "readme.txt")})])
    # The same name in code page 437 and in the Unicode field: one meaning.
    write_raw(out, "unicode-agrees.zip", [(UMLAUT_NAME.encode("cp437"), b"umlaut", zipfile.ZIP_STORED, None,
                                           {"extra": unicode_path(UMLAUT_NAME.encode("cp437"), UMLAUT_NAME)})])

    # Three records of one member's bytes.
    data = b"shared bytes"
    shared = local_header(b"a.txt", 0, 0, zlib.crc32(data), len(data), len(data)) + data
    records = b"".join(central_record(b"a.txt", 0, 0, zlib.crc32(data), len(data), len(data), 0) for _ in range(3))
    with open(os.path.join(out, "shared-data.zip"), "wb") as f:
        f.write(shared + records + end_record(3, len(records), len(shared)))

    # A stored member whose data is a whole second member, listed as well.
    inner = local_header(b"inner.txt", 0, 0, zlib.crc32(data), len(data), len(data)) + data
    outer_head = local_header(b"outer.bin", 0, 0, zlib.crc32(inner), len(inner), len(inner))
    records = (central_record(b"outer.bin", 0, 0, zlib.crc32(inner), len(inner), len(inner), 0) +
               central_record(b"inner.txt", 0, 0, zlib.crc32(data), len(data), len(data), len(outer_head)))
    body = outer_head + inner
    with open(os.path.join(out, "overlap.zip"), "wb") as f:
        f.write(body + records + end_record(2, len(records), len(body)))


def write_two_readings(out):
    """Archives whose structure itself tells one reader one thing and the next another."""
    def save(fixture, data):
        with open(os.path.join(out, fixture), "wb") as f:
            f.write(data)

    readme, readme_record = stored(b"readme.txt", b"the readme", 0)
    exe, exe_record = stored(b"Vorlane.exe", b"another program", len(readme))
    body = readme + exe
    directory = readme_record + exe_record

    with open(os.path.join(out, "good.zip"), "rb") as f:
        save("trailing.zip", f.read() + b"more bytes")

    # A reader that takes the first end record sees the readme; one that takes
    # the last, the comment's own directory and its program.
    end_at = len(body) + len(readme_record)
    inner = exe_record + end_record(1, len(exe_record), end_at + 22)
    save("two-ends.zip", body + readme_record + end_record(1, len(readme_record), len(body), inner))

    # The 64-bit end record counts both members; the old fields only the first.
    zip64_at = len(body) + len(directory)
    zip64_end = b"PK\x06\x06" + struct.pack("<QHHIIQQQQ", 44, 45, 45, 0, 0, 2, 2, len(directory), len(body))
    locator = b"PK\x06\x07" + struct.pack("<IQI", 0, zip64_at, 1)
    save("zip64-end-disagrees.zip", body + directory + zip64_end + locator +
         end_record(1, len(readme_record), len(body)))

    # A 64-bit field that a reader taking every value it holds would read as
    # other sizes and the program's place.
    values = struct.pack("<QQQ", 15, 15, len(readme))
    _, lying_record = stored(b"readme.txt", b"the readme", 0, 0, struct.pack("<HH", 1, len(values)) + values)
    lying = lying_record + exe_record
    save("zip64-extra-disagrees.zip", body + lying + end_record(2, len(lying), len(body)))

    save("extra-record.zip", body + directory + end_record(1, len(directory), len(body)))
    # A member that only a reader going by the local headers finds.
    save("hidden-member.zip", body + readme_record + end_record(1, len(readme_record), len(body)))

    # Packed bytes after the end of the compressed stream: another member, to
    # a reader that finds the member's end by its stream.
    squeezer = zlib.compressobj(9, zlib.DEFLATED, -15)
    packed = squeezer.compress(README) + squeezer.flush() + exe
    member = local_header(b"readme.txt", 0, 8, zlib.crc32(README), len(packed), len(README)) + packed
    record = central_record(b"readme.txt", 0, 8, zlib.crc32(README), len(packed), len(README), 0)
    save("deflate-trailing.zip", member + record + end_record(1, len(record), len(member)))
    save("disk-count.zip", body + directory + end_record(2, len(directory), len(body), on_disk=1))

    # A local header whose sizes end the member early: a reader going by the
    # local headers finds other data where the directory's member goes on.
    data = b"the readme, all of it"
    short = local_header(b"readme.txt", 0, 0, zlib.crc32(data[:4]), 4, 4) + data
    record = central_record(b"readme.txt", 0, 0, zlib.crc32(data), len(data), len(data), 0)
    save("local-sizes.zip", short + record + end_record(1, len(record), len(short)))

    # Sizes and checksum after the data that are not the directory's.
    descriptor = struct.pack("<IIII", 0x08074B50, zlib.crc32(data[:4]), 4, 4)
    member = local_header(b"readme.txt", 8, 0, 0, 0, 0) + data + descriptor
    record = central_record(b"readme.txt", 8, 0, zlib.crc32(data), len(data), len(data), 0)
    save("descriptor-disagrees.zip", member + record + end_record(1, len(record), len(member)))

    # Sizes that agree, written after the data by a writer that cannot seek back.
    class Unseekable(io.RawIOBase):
        def __init__(self):
            self.data = bytearray()

        def writable(self):
            return True

        def write(self, b):
            self.data += b
            return len(b)

    stream = Unseekable()
    with zipfile.ZipFile(stream, "w") as archive:
        archive.writestr(info("readme.txt", zipfile.ZIP_DEFLATED), README)
        archive.writestr(info("config.ini", zipfile.ZIP_STORED), CONFIG)
        with archive.open(info("zip64.txt", zipfile.ZIP_DEFLATED), "w", force_zip64=True) as member:
            member.write(b"sizes after the data in 64 bits")
    save("descriptors.zip", bytes(stream.data))

    # More members than any release, all on one header: refused before any
    # of them is looked at.
    records = b"".join(central_record(b"a%05d.txt" % i, 0, 0, zlib.crc32(b""), 0, 0, 0) for i in range(10001))
    empty = local_header(b"a00000.txt", 0, 0, zlib.crc32(b""), 0, 0)
    save("many-records.zip", empty + records + end_record(10001, len(records), len(empty)))


def write_long_names(out):
    """Names longer than a path of the platform may be."""
    deep = "a/" * 20000 + "x.txt"
    long = "long/" + "d" * 200 + "/" + "f" * 100 + ".txt"
    longest = "long/" + "d" * 100 + "/" + "f" * 80 + ".txt"  # fits below a short enough target
    for fixture, name in [("deep-name.zip", deep), ("long-path.zip", long), ("long-name.zip", longest)]:
        write_raw(out, fixture, [("safe.txt", b"safe", zipfile.ZIP_STORED, None),
                                 (name, b"far down", zipfile.ZIP_STORED, None)])


def write_real_world(out):
    """Archives as archivers on several systems write them: all install."""
    read_only = info("My Settings v2.0.ini", zipfile.ZIP_DEFLATED)
    read_only.external_attr = (0o100444 << 16) | 0x01
    read_only.extra = (struct.pack("<HHBI", 0x5455, 5, 1, 1215162330) +  # modification time
                       struct.pack("<HHBBIBI", 0x7875, 11, 1, 4, 1000, 4, 1000) +  # owner and group
                       struct.pack("<HHIHHQQQ", 0x000A, 32, 0, 1, 24, *[128600000000000000] * 3))  # NTFS times
    with zipfile.ZipFile(os.path.join(out, "real-world.zip"), "w") as archive:
        archive.comment = b"Vorlane 2.1 release"
        archive.writestr(info("tools\\bin\\", zipfile.ZIP_STORED), b"")  # folders as some Windows tools name them
        archive.writestr(info("tools\\bin\\run.cmd", zipfile.ZIP_DEFLATED), CONFIG)
        archive.writestr(read_only, CONFIG)
        for level in range(10):
            archive.writestr(info("level%d.txt" % level, zipfile.ZIP_DEFLATED), README * 50, compresslevel=level)
    name = "unix/" + UMLAUT_NAME
    write_raw(out, "raw-real-world.zip", [
        # UTF-8 bytes without the flag, and the same bytes as the Unicode name.
        (name.encode(), b"utf-8", zipfile.ZIP_STORED, None,
         {"extra": unicode_path(name.encode(), name), "made_by": 0x031E, "external": 0o100644 << 16}),
        (("oem/" + UMLAUT_NAME).encode("cp437"), b"code page 437", zipfile.ZIP_STORED, None),
        ("empty.bin", b"", zipfile.ZIP_DEFLATED, None, {"packed": b""}),
        ("streamed.txt", README, zipfile.ZIP_DEFLATED, None, {"descriptor": True}),
        # An empty 64-bit field in the local header, the sizes after the data in 32 bits all the same.
        ("marked.txt", README, zipfile.ZIP_DEFLATED, None, {"descriptor": True, "local_extra": b"\x01\x00\x00\x00"}),
        # Read from a folder a cloud service keeps: reparse points, to the file system.
        ("synced/", b"", zipfile.ZIP_STORED, None, {"made_by": 0x003F, "external": 0x430}),
        ("synced/cloud.txt", b"cloud", zipfile.ZIP_DEFLATED, None, {"made_by": 0x003F, "external": 0x420}),
        # A Western European Windows: the name in code page 850, the Unicode name beside it.
        (WESTERN_NAME.encode("cp850"), b"code page 850", zipfile.ZIP_DEFLATED, None,
         {"extra": unicode_path(WESTERN_NAME.encode("cp850"), WESTERN_NAME), "made_by": 0x003F, "external": 0x20})])


def write_refused(out):
    """Archives the engine will not unpack, for reasons other than ambiguity."""
    write_raw(out, "symlink.zip", [("safe.txt", b"safe", zipfile.ZIP_STORED, None),
                                   ("plugins", b"../outside", zipfile.ZIP_STORED, None,
                                    {"made_by": 0x031E, "external": 0o120777 << 16})])
    write_raw(out, "nul-name.zip", [("safe.txt", b"safe", zipfile.ZIP_STORED, None),
                                    (b"evil\x00.txt", b"evil", zipfile.ZIP_STORED, None)])
    # Named as the engine names the copies it keeps beside a file.
    write_raw(out, "side-name.zip", [("app.exe", b"app", zipfile.ZIP_STORED, None),
                                     ("app.exe.12-3.old", b"taken for an old app", zipfile.ZIP_STORED, None)])
    # Folders as one reader sees them, files as the next: by the name or by the attributes.
    write_raw(out, "folder-data.zip", [("plugins/", b"a program no reader lists", zipfile.ZIP_STORED, None)])
    write_raw(out, "folder-attribute.zip", [("plugins", b"", zipfile.ZIP_STORED, None, {"external": 0x10})])
    write_raw(out, "folder-mode.zip", [("plugins", b"", zipfile.ZIP_STORED, None,
                                        {"made_by": 0x031E, "external": 0o040755 << 16})])
    write_raw(out, "method-after-password.zip", [("secret.txt", b"the secret text", zipfile.ZIP_DEFLATED,
                                                  b"tulips2008"),
                                                 ("packed.bin", b"not really bzip2", zipfile.ZIP_BZIP2, None)])


def write_oversized(out):
    """Beyond the limits of an update: members, ratio, total."""
    write_many(os.path.join(out, "many-members.zip"), 10001, b"")
    mib = b"\0" * 2**20
    squeezer = zlib.compressobj(9, zlib.DEFLATED, -15)
    packed_mib = squeezer.compress(mib) + squeezer.flush()
    with zipfile.ZipFile(os.path.join(out, "ratio.zip"), "w") as archive:
        archive.writestr(info("zeros.bin", zipfile.ZIP_DEFLATED), mib * 20)
    # 1,100 members of 1 MiB: each within what small members may pack to.
    body, directory = io.BytesIO(), io.BytesIO()
    for i in range(1100):
        name = b"zeros/%04d.bin" % i
        offset = body.tell()
        body.write(local_header(name, 0, 8, zlib.crc32(mib), len(packed_mib), len(mib)) + packed_mib)
        directory.write(central_record(name, 0, 8, zlib.crc32(mib), len(packed_mib), len(mib), offset))
    with open(os.path.join(out, "total-size.zip"), "wb") as f:
        f.write(body.getvalue() + directory.getvalue() + end_record(1100, directory.tell(), body.tell()))


def write_many(path, count, content, per_folder=100):
    """count small members, per_folder of them in each folder."""
    with zipfile.ZipFile(path, "w") as archive:
        for i in range(count):
            archive.writestr(info("f%03d/m%05d.txt" % (i // per_folder, i), zipfile.ZIP_DEFLATED), content)


def write_leftovers(out):
    with zipfile.ZipFile(os.path.join(out, "leftovers.zip"), "w") as archive:
        archive.writestr(info("app.exe", zipfile.ZIP_STORED), b"the new app")


def main():
    out, fake_vorlane = sys.argv[1], sys.argv[2]
    os.makedirs(out, exist_ok=True)
    good = os.path.join(out, "good.zip")
    write_good(good)
    write_slips(out)
    write_damaged(out, good)
    write_large(out)
    write_zip64(out)
    write_encrypted(out)
    write_update(out, fake_vorlane)
    write_ambiguous(out)
    write_two_readings(out)
    write_long_names(out)
    write_refused(out)
    write_real_world(out)
    write_oversized(out)
    write_leftovers(out)
    for count in [1000, 10000]:
        write_many(os.path.join(out, "bench-%d.zip" % count), count, b"a small member of a release\n" * 4)
    with zipfile.ZipFile(os.path.join(out, "bzip2.zip"), "w") as archive:
        archive.writestr(info("packed.txt", zipfile.ZIP_BZIP2), b"bzip2 is not supported" * 10)

    for name in ["good.zip", "large.zip", "zip64.zip", "update.zip", "unicode-agrees.zip", "descriptors.zip",
                 "bench-1000.zip", "real-world.zip", "raw-real-world.zip"]:
        with zipfile.ZipFile(os.path.join(out, name)) as archive:
            assert archive.testzip() is None, name
    with open(os.path.join(out, "stamp"), "w") as f:
        f.write("made\n")


if __name__ == "__main__":
    main()
