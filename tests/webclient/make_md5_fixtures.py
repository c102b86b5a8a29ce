#!/usr/bin/env python3
"""Writes files of the lengths where MD5's padding changes, plus one of several
megabytes, and records the host's md5sum of each in expected.txt."""
import os
import subprocess
import sys

SIZES = [0, 1, 55, 56, 63, 64, 65, 119, 120, 4096, 5 * 1024 * 1024 + 7]


def content(size):
    # Every byte value, in an order that is not a plain count.
    return bytes((i * 131 + (i >> 8) * 7 + 3) & 0xFF for i in range(size))


def main(folder):
    os.makedirs(folder, exist_ok=True)
    lines = []
    for size in SIZES:
        name = f"len{size}.bin"
        path = os.path.join(folder, name)
        with open(path, "wb") as out:
            out.write(content(size))
        digest = subprocess.run(["md5sum", path], check=True, capture_output=True, text=True).stdout.split()[0]
        lines.append(f"{name} {digest}\n")
    with open(os.path.join(folder, "expected.txt"), "w") as out:
        out.writelines(lines)


if __name__ == "__main__":
    main(sys.argv[1])
