#!/usr/bin/env python3
"""Builds, or removes, a chain of nested folders deeper than any path may be.

usage: make_deep_tree.py [--empty-beside] ROOT DEPTH [NAME]
       make_deep_tree.py --remove ROOT

ROOT/NAME/NAME/... DEPTH folders deep (NAME "d" unless given). The first ten
levels and the deepest one each hold two files with the same few bytes, so a
scan has duplicates to find near the top and a pair that lies past the path
limit at the bottom. With --empty-beside every folder of the chain also holds
an empty folder "e", for the empty-folder cleaner. Every folder is made and
removed relative to its parent's descriptor: the paths soon exceed what the
system takes in one call, and `rm -rf` cannot remove such a tree either.
"""

import os
import sys

FLAGS = os.O_RDONLY | os.O_DIRECTORY | os.O_NOFOLLOW


def write_pair(folder, level):
    for name in ("a.txt", "b.txt"):
        fd = os.open(name, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644, dir_fd=folder)
        os.write(fd, b"level %d\n" % level)
        os.close(fd)


def make(root, depth, name, empty_beside):
    os.makedirs(root, exist_ok=True)
    folder = os.open(root, FLAGS)
    for level in range(1, depth + 1):
        if empty_beside:
            os.mkdir("e", dir_fd=folder)
        os.mkdir(name, dir_fd=folder)
        child = os.open(name, FLAGS, dir_fd=folder)
        os.close(folder)
        folder = child
        if level <= 10 or level == depth:
            write_pair(folder, level)
    os.close(folder)


def remove(root):
    # Depth first, keeping only the current folder's descriptor and the names
    # on the way down; back up through "..".
    folder = os.open(root, FLAGS)
    names = []
    while True:
        sub = None
        with os.scandir(folder) as entries:
            for entry in entries:
                if entry.is_dir(follow_symlinks=False):
                    sub = entry.name
                    break
                os.unlink(entry.name, dir_fd=folder)
        if sub is not None:
            child = os.open(sub, FLAGS, dir_fd=folder)
            os.close(folder)
            folder = child
            names.append(sub)
            continue
        if not names:
            break
        parent = os.open("..", FLAGS, dir_fd=folder)
        os.close(folder)
        folder = parent
        os.rmdir(names.pop(), dir_fd=folder)
    os.close(folder)
    os.rmdir(root)


def main():
    args = sys.argv[1:]
    if len(args) == 2 and args[0] == "--remove":
        remove(args[1])
        return
    empty_beside = bool(args) and args[0] == "--empty-beside"
    if empty_beside:
        args = args[1:]
    if len(args) not in (2, 3):
        sys.exit(__doc__)
    make(args[0], int(args[1]), args[2] if len(args) == 3 else "d", empty_beside)


if __name__ == "__main__":
    main()
