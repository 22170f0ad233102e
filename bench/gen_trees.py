#!/usr/bin/env python3
"""Generates the benchmark trees, deterministically from a fixed seed.

Usage: gen_trees.py SCRATCH SCALE WORKLOAD...
WORKLOAD is one of w1 w2 w3 w4 w5:N (N files on each side). A tree that is
already complete (its stamp file exists) is left as it is.

Every count and size is multiplied by SCALE (at least one of each thing).
All times are fixed, so two generations give the same trees.
"""
import os
import random
import subprocess
import sys

SEED = 20240607
BASE_TIME = 1700000000          # 2023-11-14, a fixed "now" for every tree
DAY = 86400
TRASH = None
SYLLABLES = ["ka", "ro", "mi", "te", "su", "Lan", "vor", "ex", "Pi", "dat",
             "log", "img", "src", "Net", "q", "zu", "bel", "fo", "RA", "ti"]
EXTENSIONS = [".txt", ".c", ".h", ".dat", ".png", ".log", ".cfg", "", ".tar.gz"]


def scaled(count, scale):
    return max(1, int(round(count * scale)))


def make_name(rng, used):
    while True:
        word = "".join(rng.choice(SYLLABLES) for _ in range(rng.randint(1, 5)))
        sep = rng.choice(["", "_", "-"])
        name = f"{word}{sep}{rng.randint(0, 99999)}{rng.choice(EXTENSIONS)}"
        if name.upper() not in used:  # names differ beyond letter case
            used.add(name.upper())
            return name


def directories(rng, count):
    """About count directories three levels deep, as relative paths."""
    branch = 1
    while branch + branch ** 2 + branch ** 3 < count:
        branch += 1
    dirs, used = [], set()
    level1 = [make_name(rng, used).replace(".", "_") for _ in range(branch)]
    for d1 in level1:
        dirs.append(d1)
        for _ in range(branch):
            d2 = os.path.join(d1, make_name(rng, used).replace(".", "_"))
            dirs.append(d2)
            for _ in range(branch):
                dirs.append(os.path.join(d2, make_name(rng, used).replace(".", "_")))
    return dirs[:count]


def write_file(path, data, mtime):
    with open(path, "wb") as f:
        f.write(data)
    os.utime(path, (mtime, mtime))


def stamp_path(scratch, name):
    return os.path.join(scratch, f".done-{name}")


def done(scratch, name):
    return os.path.exists(stamp_path(scratch, name))


def mark_done(scratch, name):
    open(stamp_path(scratch, name), "w").close()


def fresh(path):
    """An empty directory at path; an old one is moved aside, not deleted,
    so that no deletion slows the creation that follows."""
    if os.path.exists(path):
        os.makedirs(TRASH, exist_ok=True)
        os.rename(path, os.path.join(TRASH, f"{os.path.basename(path)}.{os.getpid()}"))
    os.makedirs(path)


def small_tree(root, rng, files, dirs):
    """files files of 1-16 KiB spread over dirs directories and the root.
    Returns the relative paths of the files."""
    paths = [""] + directories(rng, dirs)
    for d in paths:
        os.makedirs(os.path.join(root, d), exist_ok=True)
    used = {d: set() for d in paths}
    made = []
    for _ in range(files):
        d = rng.choice(paths)
        rel = os.path.join(d, make_name(rng, used[d]))
        size = rng.randint(1024, 16384)
        write_file(os.path.join(root, rel), rng.randbytes(size),
                   BASE_TIME - rng.randint(DAY, 365 * DAY))
        made.append(rel)
    # Directory times are set last: creating files changed them.
    for d in reversed(paths):
        os.utime(os.path.join(root, d), (BASE_TIME, BASE_TIME))
    return paths, made


def gen_w1(scratch, scale):
    """src: 20,000 files of 1-16 KiB in ~400 directories three levels deep,
    plus 20 files of 8-32 MiB."""
    if done(scratch, "w1"):
        return
    rng = random.Random(SEED + 1)
    root = os.path.join(scratch, "w1", "src")
    fresh(root)
    paths, _ = small_tree(root, rng, scaled(20000, scale), scaled(400, scale))
    for i in range(scaled(20, scale)):
        d = rng.choice(paths)
        size = rng.randint(8 << 20, 32 << 20)
        block = rng.randbytes(1 << 20)
        path = os.path.join(root, d, f"big{i:02d}.bin")
        with open(path, "wb") as f:
            for offset in range(0, size, 1 << 20):
                f.write(block[: min(1 << 20, size - offset)])
        os.utime(path, (BASE_TIME - DAY, BASE_TIME - DAY))
        os.utime(os.path.join(root, d), (BASE_TIME, BASE_TIME))
    mark_done(scratch, "w1")


def gen_w2(scratch, scale):
    """a and b: two identical copies of the W1 source tree."""
    if done(scratch, "w2"):
        return
    gen_w1(scratch, scale)
    top = os.path.join(scratch, "w2")
    for side in ("a", "b"):
        fresh(os.path.join(top, side))
        subprocess.run(["cp", "-a", os.path.join(scratch, "w1", "src") + "/.",
                        os.path.join(top, side)], check=True)
    mark_done(scratch, "w2")


def gen_w3(scratch, scale):
    """a and b: 20,000 files each, equal sizes and times; 1% of b's files
    differ from a's in one byte. want.txt lists those files."""
    if done(scratch, "w3"):
        return
    rng = random.Random(SEED + 3)
    top = os.path.join(scratch, "w3")
    a, b = os.path.join(top, "a"), os.path.join(top, "b")
    fresh(a)
    _, made = small_tree(a, rng, scaled(20000, scale), scaled(400, scale))
    fresh(b)
    subprocess.run(["cp", "-a", a + "/.", b], check=True)
    changed = sorted(rng.sample(made, max(1, len(made) // 100)))
    for rel in changed:
        path = os.path.join(b, rel)
        info = os.stat(path)
        offset = rng.randrange(info.st_size)
        with open(path, "r+b") as f:
            f.seek(offset)
            byte = f.read(1)[0]
            f.seek(offset)
            f.write(bytes([byte ^ 0x5A]))
        os.utime(path, ns=(info.st_atime_ns, info.st_mtime_ns))
    for d, _, _ in os.walk(a):
        info = os.stat(d)
        os.utime(os.path.join(b, os.path.relpath(d, a)), ns=(info.st_atime_ns, info.st_mtime_ns))
    with open(os.path.join(top, "want.txt"), "w") as f:
        f.write("".join(rel + "\n" for rel in changed))
    mark_done(scratch, "w3")


def gen_w4(scratch, scale):
    """a/big.bin and b/big.bin: two identical files of 1 GiB."""
    if done(scratch, "w4"):
        return
    rng = random.Random(SEED + 4)
    top = os.path.join(scratch, "w4")
    size = scaled(1 << 30, scale)
    block = bytearray(rng.randbytes(1 << 20))
    for side in ("a", "b"):
        fresh(os.path.join(top, side))
        with open(os.path.join(top, side, "big.bin"), "wb") as f:
            for offset in range(0, size, 1 << 20):
                block[0:8] = offset.to_bytes(8, "little")  # no two MiB alike
                f.write(block[: min(1 << 20, size - offset)])
        os.utime(os.path.join(top, side, "big.bin"), (BASE_TIME, BASE_TIME))
    mark_done(scratch, "w4")


def gen_w5(scratch, count):
    """a and b: one directory of count small files each; 1% of b's files are
    a day newer than a's. want.txt lists those files."""
    name = f"w5-{count}"
    if done(scratch, name):
        return
    rng = random.Random(SEED + 5)
    top = os.path.join(scratch, name)
    a, b = os.path.join(top, "a"), os.path.join(top, "b")
    fresh(a)
    fresh(b)
    used, newer = set(), []
    for i in range(count):
        file_name = make_name(rng, used)
        data = rng.randbytes(rng.randint(1, 64))
        mtime = BASE_TIME - rng.randint(DAY, 365 * DAY)
        write_file(os.path.join(a, file_name), data, mtime)
        if i % 100 == 37:
            newer.append(file_name)
            mtime += DAY
        write_file(os.path.join(b, file_name), data, mtime)
    for d in (a, b):
        os.utime(d, (BASE_TIME, BASE_TIME))
    with open(os.path.join(top, "want.txt"), "w") as f:
        f.write("".join(n + "\n" for n in sorted(newer)))
    mark_done(scratch, name)


def main():
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    scratch, scale = sys.argv[1], float(sys.argv[2])
    global TRASH
    TRASH = os.path.join(scratch, ".trash")  # emptied by the harness at its end
    os.makedirs(scratch, exist_ok=True)
    for workload in sys.argv[3:]:
        if workload.startswith("w5:"):
            gen_w5(scratch, int(workload[3:]))
        else:
            {"w1": gen_w1, "w2": gen_w2, "w3": gen_w3, "w4": gen_w4}[workload](scratch, scale)


if __name__ == "__main__":
    main()
