#!/usr/bin/env python3
"""Builds a reproducible directory tree for the speed comparisons.

The same arguments and seed always give the same names, sizes, owners and
times. Files are sparse unless --dense is given, so a million files fit on
any disk; walks cost the same either way.

Example: bench/make_tree.py /tmp/bench-tree --files 1000000 --dirs 40000
"""
import argparse
import os
import random
import sys


def parse_args():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("root", help="folder to create (must not exist)")
    p.add_argument("--files", type=int, default=100000)
    p.add_argument("--dirs", type=int, default=4000)
    p.add_argument("--depth", type=int, default=6, help="deepest directory level below the root")
    p.add_argument("--min-size", type=int, default=0, help="smallest file in bytes")
    p.add_argument("--max-size", type=int, default=4 * 1048576, help="largest file in bytes (sizes spread log-uniformly)")
    p.add_argument("--owners", type=int, default=20, help="number of owner uids from --first-uid (root only)")
    p.add_argument("--first-uid", type=int, default=20001)
    p.add_argument("--extensions", default="txt,doc,log,dat,jpg,pdf,xls,c,h,tmp")
    p.add_argument("--years", type=float, default=10.0, help="modify times spread over this many years back")
    p.add_argument("--dense", action="store_true", help="write real bytes instead of sparse files")
    p.add_argument("--seed", type=int, default=1)
    return p.parse_args()


def make_dirs(rng, root, count, depth):
    dirs = [root]
    levels = {root: 0}
    for i in range(count):
        parent = rng.choice([d for d in dirs[-200:] if levels[d] < depth] or [root])
        path = os.path.join(parent, "dir%06d" % i)
        os.mkdir(path)
        levels[path] = levels[parent] + 1
        dirs.append(path)
    return dirs


def file_size(rng, low, high):
    if high <= max(low, 1):
        return low
    value = int(round(2 ** rng.uniform(0, (high - max(low, 1)).bit_length())))
    return max(low, min(high, value))


def make_file(path, size, dense):
    fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o644)
    try:
        if dense and size:
            os.write(fd, b"q" * size)
        elif size:
            os.ftruncate(fd, size)
    finally:
        os.close(fd)


def main():
    args = parse_args()
    rng = random.Random(args.seed)
    os.makedirs(args.root)
    dirs = make_dirs(rng, args.root, args.dirs, args.depth)
    extensions = args.extensions.split(",")
    owners = [args.first_uid + i for i in range(args.owners)] if os.geteuid() == 0 and args.owners else []
    now = 1_765_000_000  # fixed "now", so times are reproducible
    for i in range(args.files):
        path = os.path.join(rng.choice(dirs), "file%07d.%s" % (i, rng.choice(extensions)))
        make_file(path, file_size(rng, args.min_size, args.max_size), args.dense)
        when = now - int(rng.uniform(0, args.years * 365.25 * 86400))
        os.utime(path, (when, when))
        if owners:
            uid = rng.choice(owners)
            os.chown(path, uid, uid)
        if i % 100000 == 99999:
            print("%d files" % (i + 1), file=sys.stderr)
    print("%s: %d files in %d directories" % (args.root, args.files, len(dirs)), file=sys.stderr)


if __name__ == "__main__":
    main()
