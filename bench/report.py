"""Markdown tables for the benchmark's results. A ratio is always the other
program's time over ours, so above 1 means we are faster."""


def seconds(value):
    if value is None:
        return "-"
    return f"{value * 1000:.1f} ms" if value < 1 else f"{value:.2f} s"


def mib(value):
    return "-" if value is None else f"{value / (1 << 20):.1f} MiB"


def kib_as_mib(value):
    return "-" if value is None else f"{value / 1024:.1f} MiB"


def ratio(peer, ours):
    if peer is None or ours is None or ours <= 0:
        return "-"
    return f"{peer / ours:.2f}x"


def table(header, rows):
    lines = ["| " + " | ".join(header) + " |", "|" + "---|" * len(header)]
    lines += ["| " + " | ".join(str(cell) for cell in row) + " |" for row in rows]
    return "\n".join(lines)


class Report:
    def __init__(self):
        self.parts = []

    def heading(self, text):
        self.parts.append(f"## {text}")

    def text(self, text):
        self.parts.append(text)

    def table(self, header, rows):
        self.parts.append(table(header, rows))

    def markdown(self):
        return "\n\n".join(self.parts) + "\n"
