"""Files the service hands out: wallpaper pictures made on request, benchmark blobs and update archives."""

import collections
import hashlib
import io
import os
import shutil
import subprocess
import tempfile
import threading
import zipfile

MAX_WIDTH, MAX_HEIGHT = 7680, 4320
MAX_BLOB = 256 * 1024 * 1024
ZIP_DATE = (2008, 1, 1, 0, 0, 0)


class PictureError(Exception):
    pass


class PictureMaker:
    """Pictures of any asked size, made by ImageMagick and kept on disk by (id, width, height, kind).

    Each id gets its own gradient colours and circle position, so two wallpapers never look alike.
    """

    def __init__(self, cache_dir=None, convert=None):
        self.own_dir = cache_dir is None
        self.dir = cache_dir or tempfile.mkdtemp(prefix="quorvex-pictures-")
        os.makedirs(self.dir, exist_ok=True)
        self.convert = convert or shutil.which("convert")
        self.locks = collections.defaultdict(threading.Lock)
        self.locks_guard = threading.Lock()

    def picture(self, wallpaper_id, width, height, kind):
        """The bytes of a "jpg" or "png" picture of the given size."""
        if not (1 <= width <= MAX_WIDTH and 1 <= height <= MAX_HEIGHT):
            raise ValueError(f"picture size {width}x{height} outside 1x1 to {MAX_WIDTH}x{MAX_HEIGHT}")
        path = os.path.join(self.dir, f"{wallpaper_id}_{width}x{height}.{kind}")
        with self.locks_guard:
            lock = self.locks[path]
        with lock:
            if not os.path.exists(path):
                self._make(path, wallpaper_id, width, height, kind)
        with open(path, "rb") as f:
            return f.read()

    def _make(self, path, wallpaper_id, width, height, kind):
        if not self.convert:
            raise PictureError("ImageMagick's convert is not installed")
        h = hashlib.md5(str(wallpaper_id).encode()).digest()
        top, bottom = "#%02x%02x%02x" % tuple(h[0:3]), "#%02x%02x%02x" % tuple(h[3:6])
        cx, cy = width * (0.2 + 0.6 * h[6] / 255), height * (0.2 + 0.6 * h[7] / 255)
        radius = max(1, min(width, height) // 5)
        partial = path + ".part"
        command = [self.convert, "-size", f"{width}x{height}", f"gradient:{top}-{bottom}",
                   "-fill", "#ffffffa0", "-draw", f"circle {cx:.0f},{cy:.0f} {cx + radius:.0f},{cy:.0f}",
                   "-alpha", "off", "-strip", "-depth", "8"]
        command += ["-quality", "85", f"jpg:{partial}"] if kind == "jpg" else [f"png:{partial}"]
        result = subprocess.run(command, capture_output=True, timeout=120)
        if result.returncode != 0:
            raise PictureError(result.stderr.decode(errors="replace").strip() or "convert failed")
        os.replace(partial, path)

    def close(self):
        if self.own_dir:
            shutil.rmtree(self.dir, ignore_errors=True)


class BlobStore:
    """Deterministic bodies of any size for download benchmarks, made once and kept in memory."""

    KEEP = 3

    def __init__(self):
        self.blobs = collections.OrderedDict()
        self.lock = threading.Lock()
        self.block = b"".join(hashlib.sha256(i.to_bytes(4, "big")).digest() for i in range(2048))  # 64 KiB

    def blob(self, size):
        if not 0 <= size <= MAX_BLOB:
            raise ValueError(f"blob size {size} outside 0 to {MAX_BLOB}")
        with self.lock:
            if size not in self.blobs:
                whole, rest = divmod(size, len(self.block))
                self.blobs[size] = self.block * whole + self.block[:rest]
                while len(self.blobs) > self.KEEP:
                    self.blobs.popitem(last=False)
            self.blobs.move_to_end(size)
            return self.blobs[size]


def zip_folder(folder):
    """A zip of the folder's files with fixed dates, so the same folder always gives the same bytes."""
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", zipfile.ZIP_DEFLATED) as archive:
        for root, dirs, files in os.walk(folder):
            dirs.sort()
            for name in sorted(files):
                path = os.path.join(root, name)
                info = zipfile.ZipInfo(os.path.relpath(path, folder).replace(os.sep, "/"), ZIP_DATE)
                info.compress_type = zipfile.ZIP_DEFLATED
                info.external_attr = 0o644 << 16
                with open(path, "rb") as f:
                    archive.writestr(info, f.read())
    return buffer.getvalue()


class UpdateStore:
    """Update archives by file name, and their published digest files.

    Every well-formed name serves the default archive until a test sets its own bytes, digest text or line end.
    """

    def __init__(self, fixture_folder):
        self.default = zip_folder(fixture_folder)
        self.lock = threading.Lock()
        self.reset()

    def reset(self):
        with self.lock:
            self.settings = {}

    def set(self, name, data=None, md5=None, eol=None):
        with self.lock:
            entry = self.settings.setdefault(name, {})
            if data is not None:
                entry["data"] = data
            if md5 is not None:
                entry["md5"] = md5
            if eol is not None:
                entry["eol"] = eol
        return self.describe(name)

    def archive(self, name):
        with self.lock:
            return self.settings.get(name, {}).get("data", self.default)

    def digest_file(self, name):
        """First line: the archive's MD5 as lowercase hexadecimal, unless a test published another text."""
        data = self.archive(name)
        with self.lock:
            entry = self.settings.get(name, {})
            text = entry.get("md5", hashlib.md5(data).hexdigest())
            eol = entry.get("eol", "\n")
        return (text + eol).encode("latin-1")

    def describe(self, name):
        data = self.archive(name)
        return {"name": name, "size": len(data), "md5": hashlib.md5(data).hexdigest(),
                "md5_file": self.digest_file(name).decode("latin-1")}
