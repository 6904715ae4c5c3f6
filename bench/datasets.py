"""The three data sets, made once per size from fixed seeds, and the digest
that tells whether an extracted tree holds exactly the source's files."""
import hashlib
import os
import shutil
import subprocess

MIB = 1 << 20


class DataSet:
    def __init__(self, name, title, root, deflated, small_files=False):
        self.name = name          # short word used in file names
        self.title = title        # what the table shows
        self.root = root          # folder whose contents are archived
        self.deflated = deflated  # whether qpk deflates its entries
        self.small_files = small_files  # many small files, where the file system shows


def sizes(quick):
    return (32 * MIB, 2000) if quick else (256 * MIB, 20000)


def make_all(datagen, scratch, quick):
    """Makes the data sets under scratch/src unless a finished copy is there."""
    size, count = sizes(quick)
    mib = size // MIB
    plans = [
        (DataSet(f"text{mib}", f"text {mib} MiB", None, True),
         ["text", "text.txt", size, 11]),
        (DataSet(f"random{mib}", f"random {mib} MiB (stored)", None, False),
         ["random", "random.bin", size, 12]),
        (DataSet(f"files{count}", f"{count} files 1-8 KiB", None, True, small_files=True),
         ["tree", "files", count, 13]),
    ]
    made = []
    for data_set, (kind, item, amount, seed) in plans:
        data_set.root = os.path.join(scratch, "src", data_set.name)
        done = data_set.root + ".done"
        if not os.path.exists(done):
            shutil.rmtree(data_set.root, ignore_errors=True)
            os.makedirs(data_set.root)
            subprocess.run([datagen, kind, os.path.join(data_set.root, item), str(amount), str(seed)],
                           check=True)
            open(done, "w").close()
        made.append(data_set)
    return made


def tree_digest(root):
    """Relative path, size and SHA-1 of every file below root, sorted."""
    entries = []
    for folder, _, files in os.walk(root):
        for name in files:
            path = os.path.join(folder, name)
            sha = hashlib.sha1()
            with open(path, "rb") as f:
                for block in iter(lambda: f.read(1 << 20), b""):
                    sha.update(block)
            entries.append((os.path.relpath(path, root), os.path.getsize(path), sha.hexdigest()))
    return sorted(entries)


def total_bytes(root):
    return sum(os.path.getsize(os.path.join(folder, name))
               for folder, _, files in os.walk(root) for name in files)
