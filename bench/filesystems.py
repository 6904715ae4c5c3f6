"""File systems that extraction rounds write into, each round on one made for
it: a round that creates files right after another round deleted as many in
the same place pays for those deletions (ext4's inode allocator re-checks each
recently freed inode), so no round ever sees another's deletions.

Mounts need root and, for ext4, a loop device. Where mounting fails, a place
falls back to a fresh folder under the scratch directory and says so in its
label. Every mount lies below one folder made for this run, and close()
unmounts them all, also after a failure or an interrupt."""
import os
import shutil
import subprocess
import sys
import tempfile

EXT4_IMAGE_BYTES = 1 << 30  # sparse: holds the 20,000-file set several times over


class MountFailed(Exception):
    pass


def command(argv):
    done = subprocess.run(argv, stdin=subprocess.DEVNULL, capture_output=True, text=True)
    if done.returncode != 0:
        reason = done.stderr.strip().splitlines()  # the first line says why; mount adds a hint on dmesg
        raise MountFailed(f"{' '.join(argv)}: {reason[0] if reason else f'exit {done.returncode}'}")
    return done.stdout


class Mounts:
    """Every mount this run made, unmounted last first."""

    def __init__(self, scratch):
        parent = os.path.join(scratch, "mounts")
        os.makedirs(parent, exist_ok=True)
        self.root = tempfile.mkdtemp(prefix="run-", dir=parent)  # never over an existing path
        self.active = []

    def mount(self, argv, point):
        os.makedirs(point)
        try:
            command(argv + [point])
        except MountFailed:
            os.rmdir(point)
            raise
        self.active.append(point)
        return point

    def unmount(self, point):
        try:
            command(["umount", point])
        except MountFailed:
            # A process that outlived its round (a Wine server, say) may hold it: detach.
            command(["umount", "-l", point])
        self.active.remove(point)
        os.rmdir(point)

    def close(self):
        for point in reversed(list(self.active)):
            try:
                self.unmount(point)
            except MountFailed as e:
                print(f"could not unmount {point}: {e}", file=sys.stderr, flush=True)
        if not self.active:  # removing a folder that is still mounted would empty that file system
            shutil.rmtree(self.root, ignore_errors=True)


class Tmpfs:
    kind = "tmpfs"
    label = "tmpfs"

    def __init__(self, mounts):
        self.mounts = mounts
        self.count = 0

    def make(self):
        self.count += 1
        point = os.path.join(self.mounts.root, f"tmpfs-{self.count}")
        return self.mounts.mount(["mount", "-t", "tmpfs", "tmpfs"], point)

    def release(self, point):
        self.mounts.unmount(point)


class JournaledExt4:
    """ext4 with its default journal on a loop device. The images lie on a
    tmpfs of their own, so the disk under the scratch folder stays out of the
    figures and a spent image costs nothing to drop."""
    kind = "ext4"
    label = "ext4, journaled (loop)"

    def __init__(self, mounts):
        self.mounts = mounts
        self.images = mounts.mount(["mount", "-t", "tmpfs", "tmpfs"], os.path.join(mounts.root, "images"))
        self.image_of = {}
        self.count = 0

    def make(self):
        self.count += 1
        image = os.path.join(self.images, f"{self.count}.img")
        with open(image, "wb") as f:
            f.truncate(EXT4_IMAGE_BYTES)
        # Inode tables and journal are written now, not by a kernel thread during the round.
        command(["mkfs.ext4", "-q", "-F", "-E", "lazy_itable_init=0,lazy_journal_init=0", image])
        if "has_journal" not in command(["dumpe2fs", "-h", image]):
            raise MountFailed(f"mkfs.ext4 made {image} without a journal")
        point = self.mounts.mount(["mount", "-o", "loop", image], os.path.join(self.mounts.root, f"ext4-{self.count}"))
        self.image_of[point] = image
        return point

    def release(self, point):
        self.mounts.unmount(point)
        os.remove(self.image_of.pop(point))


class ScratchFolder:
    """The fallback: a new folder per round on the scratch directory's own file system."""
    kind = "folder"

    def __init__(self, scratch, reason):
        self.parent = os.path.join(scratch, "out")
        self.label = f"a folder of {scratch} (no mount)"
        self.reason = reason
        self.count = 0

    def make(self):
        self.count += 1
        point = os.path.join(self.parent, f"round-{self.count}")
        shutil.rmtree(point, ignore_errors=True)
        os.makedirs(point)
        return point

    def release(self, point):
        subprocess.run(["chmod", "-R", "u+rwX", point], check=False)  # read-only entries
        shutil.rmtree(point)


def probe(place):
    """The place, if one round's file system can be made and dropped."""
    place.release(place.make())
    return place


def places(mounts, scratch, log):
    """[tmpfs, journaled ext4]; where either cannot be mounted, a scratch folder takes the
    place of the first that failed (one folder at most: two would measure the same thing)."""
    made, refused = [], []
    for kind in (Tmpfs, JournaledExt4):
        try:
            made.append(probe(kind(mounts)))
        except (MountFailed, OSError) as e:
            log(f"cannot mount {kind.kind}, measuring in a folder of the scratch directory instead: {e}")
            if not refused:
                made.append(None)
            refused.append(f"{kind.kind}: {e}")
    return [p or ScratchFolder(scratch, "; ".join(refused)) for p in made]
