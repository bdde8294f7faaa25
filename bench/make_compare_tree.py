#!/usr/bin/env python3
"""Builds the reproducible file tree of compare-scan.sh.

usage: make_compare_tree.py ROOT FILES SEED [mixed|small|tiny|million]

The same FILES, SEED and profile always give the same names, sizes and bytes. Of the
files, a fifth are copies of other files (some under the same name in another
folder), one in forty has the size and all but its last bytes of another file
(so only a full read tells them apart, half of them beyond the first 64 KiB),
and the rest have random contents. Sizes run from a few bytes to 4 MiB, most
of them small, as in a home folder (profile "mixed", the default); "small"
keeps them under 256 KiB, "tiny" between 1 and 16 KiB, 500 files to a
folder, and "million" (meant for a million files) between 200 bytes and 2 KiB,
1,000 files to a folder. No hidden names, links or empty files:
the finders compared treat those differently.
"""

import math
import os
import random
import sys

EXTENSIONS = [".txt", ".dat", ".bin", ".log", ".csv", ".doc", ".pdf", ".zip", ".mp3", ".mov"]


def log_uniform(rng, low, high):
    return int(math.exp(rng.uniform(math.log(low), math.log(high))))


def file_size(rng, profile):
    if profile == "tiny":
        return rng.randint(1 << 10, 16 << 10)
    if profile == "million":
        return rng.randint(200, 2 << 10)
    r = rng.random()
    if profile == "small":
        return log_uniform(rng, 4, 16 << 10) if r < 0.70 else log_uniform(rng, 16 << 10, 256 << 10)
    if r < 0.70:
        return log_uniform(rng, 4, 16 << 10)
    if r < 0.97:
        return log_uniform(rng, 16 << 10, 512 << 10)
    return log_uniform(rng, 512 << 10, 4 << 20)


def main():
    if len(sys.argv) not in (4, 5) or (len(sys.argv) == 5 and sys.argv[4] not in ("mixed", "small", "tiny", "million")):
        sys.exit(__doc__.strip().splitlines()[2])
    root, files, seed = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    profile = sys.argv[4] if len(sys.argv) == 5 else "mixed"
    rng = random.Random(seed)
    if profile == "tiny":
        folders = [f"d{a:04d}" for a in range(max(1, files // 500))]
    elif profile == "million":
        folders = [f"d{a:04d}" for a in range(max(1, files // 1000))]
    else:
        folders = [f"d{a:02d}/s{b:02d}" for a in range(20) for b in range(10)]
    taken = set()

    def place(folder, name, data):
        path = os.path.join(folder, name)
        taken.add(path)
        os.makedirs(os.path.join(root, folder), exist_ok=True)
        with open(os.path.join(root, path), "wb") as out:
            out.write(data)
        return path

    copies = files // 5
    near_misses = files // 40
    originals = []  # (folder, name, size)
    for index in range(files - copies - near_misses):
        folder = rng.choice(folders)
        name = f"f{index:05d}{rng.choice(EXTENSIONS)}"
        size = file_size(rng, profile)
        place(folder, name, rng.randbytes(size))
        originals.append((folder, name, size))

    def read(folder, name):
        with open(os.path.join(root, folder, name), "rb") as f:
            return f.read()

    for index in range(copies):
        folder, name, _ = rng.choice(originals)
        target = rng.choice(folders)
        copy_name = name if rng.random() < 0.5 else f"copy{index:05d}{os.path.splitext(name)[1]}"
        if os.path.join(target, copy_name) in taken:
            copy_name = f"copy{index:05d}{os.path.splitext(name)[1]}"
        place(target, copy_name, read(folder, name))

    # Each near miss from another original, so no two of them agree.
    larger = [o for o in originals if o[2] > 128 << 10]
    used = set()
    for index in range(near_misses):
        pool = larger if index % 2 == 0 and len(larger) > len(used) else originals
        folder, name, size = rng.choice(pool)
        while (folder, name) in used:
            folder, name, size = rng.choice(pool)
        used.add((folder, name))
        data = bytearray(read(folder, name))
        data[-1] ^= 0xFF
        place(rng.choice(folders), f"near{index:05d}{os.path.splitext(name)[1]}", bytes(data))


if __name__ == "__main__":
    main()
