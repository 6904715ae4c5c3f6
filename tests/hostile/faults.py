"""What the fault and limit tests share: self-extractors of plain entries
with the usual flags and a look into the key store."""
import os

from support import craft
from support.archive_format import SEF_NO_SPLASH, SEF_SILENT, SEF_USE_PATHS
from support.craft import Entry

SILENT = SEF_USE_PATHS | SEF_SILENT | SEF_NO_SPLASH
NORMAL = SEF_USE_PATHS | SEF_NO_SPLASH


def sfx(platform, stub, entries, flags=SILENT, command=None):
    command = platform.marker_command() if command is None else command
    return craft.self_extractor(stub, craft.option_block(flags, command=command), craft.archive(entries))


def key_values(run):
    """{key name: {value name: recorded path}} of the run's key store."""
    folder = os.path.join(run.root, "state", "qpk2exe", "Software", "QOR", "QPK2EXE")
    found = {}
    for key in sorted(os.listdir(folder)) if os.path.isdir(folder) else []:
        values = {}
        for value in os.listdir(os.path.join(folder, key)):
            with open(os.path.join(folder, key, value), "rb") as f:
                values[value] = f.read().rstrip(b"\0").decode()
        found[key] = values
    return found


def filler(count, size):
    return [Entry("f%02d.bin" % i, bytes([i]) * size) for i in range(count)]
