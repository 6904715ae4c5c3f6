"""The item numbers and window class names of ui/resource_ids.h, read from
the header itself so that the window tests never keep a copy of their own.

    ids = resource_ids.load()
    ids.ITEM_CONTINUE        # 1007
    ids.STATUS_WINDOW_CLASS  # "StatusClass"

A name the header does not define is an error, not a default.
"""
import os
import re
import types

HEADER = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, os.pardir, "ui", "resource_ids.h")

# "#define NAME VALUE", the value a number, a quoted string or a bare word;
# function-like macros (a "(" right after the name) are skipped.
DEFINE = re.compile(r'#\s*define\s+([A-Za-z_]\w*)\s+(-?\d+|"[^"\\]*"|[A-Za-z_]\w*)\s*(?:/[*/].*)?')


def parse(text):
    values = {}
    for line in text.splitlines():
        match = DEFINE.fullmatch(line.strip())
        if not match:
            continue
        name, value = match.groups()
        if value.startswith('"'):
            values[name] = value[1:-1]
        elif value.lstrip("-").isdigit():
            values[name] = int(value)
        else:
            values[name] = value
    return values


def load(path=HEADER):
    with open(path, encoding="utf-8") as f:
        return types.SimpleNamespace(**parse(f.read()))
