"""Signed self-extractors: a signer appends a certificate table after the
trailer (after zero bytes that align it), and the self-extractor, qpk and a
signed builder must still work. Signing uses osslsigncode and a throw-away
certificate made here."""
import os
import struct
import subprocess
import types

import pytest

from shipped import fresh
from support.archive_format import BLOCK_COMMAND, BLOCK_SIZE, OPTION_SIGNATURE, SIGNATURE_SIZE, TRAILER_SIZE
PAYLOAD = {
    "readme.txt": b"Signed and sealed.\r\n",
    "docs/guide.txt": b"step by step\n" * 700,
    "bin/table.bin": bytes(range(256)) * 9,
}


def header_fields(path):
    """File offsets of a PE file's checksum and security directory entry."""
    with open(path, "rb") as f:
        data = f.read(4096)
    optional = struct.unpack_from("<I", data, 0x3C)[0] + 24
    wide = struct.unpack_from("<H", data, optional)[0] == 0x20B
    return optional + 64, optional + (112 if wide else 96) + 4 * 8


def security_directory(path):
    """(table offset, table size, checksum) from a PE file's headers."""
    checksum, entry = header_fields(path)
    with open(path, "rb") as f:
        data = f.read(4096)
    return struct.unpack_from("<II", data, entry) + struct.unpack_from("<I", data, checksum)


@pytest.fixture(scope="module")
def kit(build):
    """A scratch folder, a throw-away signing key and certificate, and the
    programs run as a user would (under Wine for a Windows build)."""
    root = fresh(build.work)
    key, cert = os.path.join(root, "key.pem"), os.path.join(root, "cert.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                    "-days", "2", "-subj", "/CN=qpk throw-away signer"], check=True, capture_output=True)

    def run(program, *words, cwd=root):
        command = [program, *words]
        if build.win32:
            command = [build.wine_run, build.prefix] + command
        env = dict(os.environ, QORLOG32_FILE=os.path.join(root, "qorlog32.log"))
        done = subprocess.run(command, cwd=cwd, env=env, stdin=subprocess.DEVNULL, capture_output=True,
                              start_new_session=True, timeout=120)
        return done.returncode, done.stdout.decode(errors="replace") + done.stderr.decode(errors="replace")

    def sign(source, target):
        if os.path.exists(target):
            os.remove(target)  # the signer never overwrites
        done = subprocess.run(["osslsigncode", "sign", "-certs", cert, "-key", key, "-n", "qpk test",
                               "-in", source, "-out", target], capture_output=True, text=True)
        assert done.returncode == 0, "osslsigncode sign: %s%s" % (done.stdout, done.stderr)
        offset, size, _ = security_directory(target)
        assert offset + size == os.path.getsize(target), "the certificate table ends the signed file"
        return offset - os.path.getsize(source)  # the signer's alignment

    def verified(path):
        return subprocess.run(["osslsigncode", "verify", "-in", path, "-CAfile", cert],
                              capture_output=True).returncode == 0

    def archive(name, padding_for=None):
        """A stored archive of PAYLOAD in root; with padding_for=(stub size,
        padding), a filler file sizes it so that a self-extractor of that stub
        needs that many zero bytes to align a table after it."""
        folder = fresh(os.path.join(root, name + "-payload"))
        files = dict(PAYLOAD, **({"filler.bin": b""} if padding_for else {}))
        for _ in (0, 1):
            for relative, data in files.items():
                os.makedirs(os.path.join(folder, os.path.dirname(relative)), exist_ok=True)
                with open(os.path.join(folder, relative), "wb") as f:
                    f.write(data)
            path = os.path.join(root, name + ".qpk")
            if os.path.exists(path):
                os.remove(path)
            status, text = run(build.qpk, "create", "--store", os.path.relpath(path, folder), ".", cwd=folder)
            assert status == 0, "qpk create: " + text
            if padding_for is None:
                break
            stub, padding = padding_for
            length = stub + BLOCK_SIZE + os.path.getsize(path) + TRAILER_SIZE
            files["filler.bin"] = b"f" * ((-padding - length) % 8)
        return path

    def extracted_whole(exe, destination):
        status, text = run(exe, destination)
        assert status == 0, "the signed self-extractor should extract silently: " + text
        for relative, data in PAYLOAD.items():
            with open(os.path.join(root, destination, *relative.split("/")), "rb") as f:
                assert f.read() == data, relative + " should be extracted whole"

    def reads(path, entries):
        for command in ("list", "test", "info"):
            status, text = run(build.qpk, command, os.path.basename(path))
            assert status == 0, "qpk %s of a signed file: %s" % (command, text)
            if command == "list":
                separator = "\\" if build.win32 else "/"
                assert all(name.replace("/", separator) in text for name in PAYLOAD), text
            if command == "test":
                assert "OK %d entries" % entries in text, text

    return types.SimpleNamespace(root=root, run=run, sign=sign, verified=verified, archive=archive,
                                 extracted_whole=extracted_whole, reads=reads)


def windows_only(build):
    if not build.win32:
        pytest.skip("the builder here makes ELF self-extractors, which are not signed")


def test_signed_self_extractor_verifies_extracts_and_reads(build, kit):
    windows_only(build)
    kit.archive("setup", padding_for=(os.path.getsize(build.program), 5))
    status, text = kit.run(build.program, "/nosplash", "/nostatus", "/q1", "setup.qpk")
    assert status == 0, "build: " + text
    setup, signed = (os.path.join(kit.root, name) for name in ("setup.exe", "setup-signed.exe"))
    assert kit.sign(setup, signed) == 5, "the archive was sized for 5 bytes of alignment"
    assert kit.verified(signed), "osslsigncode verify should accept the signed self-extractor"
    tampered = os.path.join(kit.root, "tampered.exe")
    data = bytearray(open(signed, "rb").read())
    data[data.index(b"Signed and sealed")] ^= 0x20
    open(tampered, "wb").write(data)
    assert not kit.verified(tampered), "a changed byte of the archive must fail verification"
    kit.extracted_whole(signed, "dest")
    kit.reads(signed, len(PAYLOAD) + 1)


def test_signed_builder_builds_self_extractors_that_sign_afresh(build, kit):
    windows_only(build)
    builder = os.path.join(kit.root, "QPK2EXE-signed.exe")
    kit.sign(build.program, builder)
    assert kit.verified(builder)
    kit.archive("data")
    status, text = kit.run(builder, "/nosplash", "/nostatus", "/q1", "data.qpk", "built.exe")
    assert status == 0 and "Damaged" not in text, "a signed builder is still the builder: " + text
    built = os.path.join(kit.root, "built.exe")
    assert security_directory(built) == (0, 0, 0), "the stub names no certificate table and carries no checksum"
    with open(build.program, "rb") as original, open(built, "rb") as copy:
        unsigned = bytearray(original.read())
        checksum, _ = header_fields(build.program)
        unsigned[checksum:checksum + 4] = bytes(4)
        assert copy.read(len(unsigned)) == unsigned, "the stub is the builder as it was before signing"
    resigned = os.path.join(kit.root, "built-signed.exe")
    kit.sign(built, resigned)
    assert kit.verified(resigned)
    kit.extracted_whole(resigned, "dest-resigned")


def crafted_stub(image_end):
    """The fewest PE headers a signer accepts: one section ending the image."""
    data = bytearray(image_end)
    data[0:2] = b"MZ"
    struct.pack_into("<I", data, 0x3C, 0x40)
    data[0x40:0x44] = b"PE\0\0"
    struct.pack_into("<HHHH", data, 0x44, 0x14C, 1, 0, 0)
    struct.pack_into("<HH", data, 0x54, 224, 0x0102)
    optional = 0x58
    struct.pack_into("<H", data, optional, 0x10B)
    struct.pack_into("<II", data, optional + 32, 0x1000, 0x200)  # section and file alignment
    struct.pack_into("<II", data, optional + 56, 0x2000, 0x200)  # image and header sizes
    struct.pack_into("<H", data, optional + 68, 2)
    struct.pack_into("<I", data, optional + 92, 16)
    section = optional + 224
    data[section:section + 5] = b".text"
    struct.pack_into("<IIII", data, section + 8, 0x200, 0x1000, image_end - 0x200, 0x200)
    return bytes(data)


@pytest.mark.parametrize("padding", range(8))
def test_qpk_reads_signed_files_whatever_the_alignment(build, kit, padding):
    if build.win32:
        pytest.skip("the Windows build reads builder-made signed files in the tests above")
    archive = open(kit.archive("plain"), "rb").read()
    image_end = 0x400 + (-padding - (0x400 + BLOCK_SIZE + len(archive) + TRAILER_SIZE)) % 8
    block = OPTION_SIGNATURE.ljust(SIGNATURE_SIZE, b"\0") + struct.pack("<I", 1) + bytes(BLOCK_SIZE - BLOCK_COMMAND)
    exe = crafted_stub(image_end) + block + archive + struct.pack("<I", image_end + BLOCK_SIZE)
    path, signed = (os.path.join(kit.root, "crafted%s.exe" % suffix) for suffix in ("", "-signed"))
    open(path, "wb").write(exe)
    assert kit.sign(path, signed) == padding
    assert kit.verified(signed)
    kit.reads(signed, len(PAYLOAD))
