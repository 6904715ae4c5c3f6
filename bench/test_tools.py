"""Checks the benchmark's own tools, so that a wrong baseline or skewed data
cannot pass for a result: raw_inflate must do all the work on exactly the
deflated entries and refuse damage; datagen must be reproducible and give
data that compresses as the benchmark claims.
Usage: python3 bench/test_tools.py TOOLS_FOLDER"""
import os
import struct
import subprocess
import sys
import tempfile
import unittest
import zlib

TOOLS = None
DEFLATED, STORED = 1, 2


def signature_field():
    return b"QOR ARCHIVE FORMAT 2.0".ljust(32, b"\0")


def entry(name, method, content, data=None):
    if data is None:
        data = content if method == STORED else zlib.compress(content, 9)
    header = struct.pack("<128sHHHIII", name.encode(), 0x5A21, 0x6000, method, len(content), len(data), 0)
    return header + data


def streams(*blocks):
    return b"".join(zlib.compress(b, 9) for b in blocks)


def self_extractor(archive, stub=b"\x7fELF stub bytes" * 10):
    block = b"QOR SE ARCHIVE FORMAT 2.0".ljust(32, b"\0").ljust(324, b"\0")
    return stub + block + archive + struct.pack("<I", len(stub) + 324)


def run_raw(data, *options):
    with tempfile.NamedTemporaryFile(suffix=".qpk") as f:
        f.write(data)
        f.flush()
        return subprocess.run([os.path.join(TOOLS, "raw_inflate"), *options, f.name],
                              capture_output=True, text=True)


def fields(stdout):
    return dict(word.split("=", 1) for word in stdout.split())


class RawInflateTest(unittest.TestCase):
    def test_inflates_exactly_the_deflated_entries(self):
        a, b, c = os.urandom(1000) * 60, b"x" * 64000, b"tail" * 999
        archive = signature_field() + entry("one\\three.txt", DEFLATED, a + b + c, streams(a, b, c)) \
            + entry("stored.bin", STORED, b"plain" * 100) + entry("empty.txt", DEFLATED, b"", b"") \
            + entry("small.txt", DEFLATED, b"hello")
        for layout, data in [("plain archive", archive), ("self-extractor", self_extractor(archive))]:
            for options in [(), ("--libdeflate",)]:
                with self.subTest(layout=layout, options=options):
                    done = run_raw(data, *options)
                    self.assertEqual(0, done.returncode, done.stderr)
                    got = fields(done.stdout)
                    self.assertEqual(str(len(a + b + c) + 5), got["bytes"],
                                     "every deflated byte must be inflated, stored ones skipped")
                    self.assertEqual("4", got["streams"], "three streams in one entry plus one")
                    self.assertEqual("3", got["entries"])

    def test_refuses_damaged_or_inconsistent_entries(self):
        good = zlib.compress(b"some text " * 500, 9)
        damaged = good[:20] + bytes([good[20] ^ 0xFF]) + good[21:]
        cases = [
            ("damaged stream", entry("d.txt", DEFLATED, b"some text " * 500, damaged)),
            ("content size too large", entry("d.txt", DEFLATED, b"some text " * 501, good)),
            ("stream inflating past 64000 bytes", entry("big.txt", DEFLATED, b"y" * 64001)),
            ("stored size past the end", entry("d.txt", STORED, b"abc")[:-1]),
        ]
        for name, body in cases:
            with self.subTest(name):
                done = run_raw(signature_field() + body)
                self.assertEqual(1, done.returncode, f"{name} must be refused, not counted as inflated")

    def test_refuses_a_file_without_archive(self):
        done = run_raw(b"\x7fELF no archive here" * 20)
        self.assertEqual(1, done.returncode, "a file without archive must be refused")


class DataGenTest(unittest.TestCase):
    def make(self, kind, amount, seed, folder):
        path = os.path.join(folder, f"{kind}-{seed}")
        subprocess.run([os.path.join(TOOLS, "datagen"), kind, path, str(amount), str(seed)], check=True)
        return path

    def read(self, path):
        with open(path, "rb") as f:
            return f.read()

    def test_same_seed_same_bytes(self):
        with tempfile.TemporaryDirectory() as folder:
            for kind in ["text", "random"]:
                with self.subTest(kind):
                    first = self.read(self.make(kind, 300000, 5, folder))
                    os.rename(os.path.join(folder, f"{kind}-5"), os.path.join(folder, "first"))
                    again = self.read(self.make(kind, 300000, 5, folder))
                    other = self.read(self.make(kind, 300000, 6, folder))
                    self.assertEqual(300000, len(first), "the size asked for, exactly")
                    self.assertEqual(first, again, "a seed must always give the same data")
                    self.assertNotEqual(first, other, "another seed must give other data")

    def test_text_compresses_like_prose_and_random_does_not(self):
        with tempfile.TemporaryDirectory() as folder:
            text = self.read(self.make("text", 4 << 20, 1, folder))
            noise = self.read(self.make("random", 1 << 20, 1, folder))
            text_ratio = len(text) / len(zlib.compress(text, 9))
            self.assertTrue(3.0 <= text_ratio <= 4.0, f"text should compress 3-4x, got {text_ratio:.2f}x")
            self.assertTrue(text.isascii() and b"\0" not in text, "text must be plain text")
            self.assertLess(len(noise) / len(zlib.compress(noise, 9)), 1.01, "random data must not compress")

    def test_tree_holds_the_files_asked_for(self):
        with tempfile.TemporaryDirectory() as folder:
            root = self.make("tree", 300, 9, folder)
            files = [os.path.join(d, n) for d, _, names in os.walk(root) for n in names]
            self.assertEqual(300, len(files))
            sizes = [os.path.getsize(f) for f in files]
            self.assertTrue(all(1024 <= s <= 8192 for s in sizes), "every file 1 to 8 KiB")
            depths = {os.path.relpath(f, root).count(os.sep) for f in files}
            self.assertEqual({1, 2, 3}, depths, "files at three folder levels")
            self.assertTrue(all(len(os.path.relpath(f, root)) < 127 for f in files),
                            "names must fit an entry header")


if __name__ == "__main__":
    TOOLS = sys.argv.pop(1)
    unittest.main()
