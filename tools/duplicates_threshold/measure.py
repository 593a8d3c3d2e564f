#!/usr/bin/env python3
"""Measures the miniature distance between real photos and copies of them.

For the tile photos of a sample list (plain files only), makes copies the way
duplicates arise in a photo library (JPEG recompression, rescaling, crops,
small shifts), builds one collection per kind of copy with
`tesserix-cli collection build-folder` in a private user folder, and reads
the miniatures back from the tile-set indexes. It prints the distances of
each photo to its own copies and of distinct photos to each other, and checks
`tesserix-cli collection duplicates` at a threshold against the expected
groups.

    measure.py --cli BUILD/bin/tesserix-cli [--list data/sample/sample-photos.tsv]
               [--work DIR] [--threshold T] [--keep]

Needs ImageMagick's `convert` for the copies. The distance is the one of
`collection duplicates --help`: the sum over the 144 cell bytes of the
squared differences, divided by 144.
"""

import argparse
import json
import os
import shutil
import statistics
import struct
import subprocess
import sys
import tempfile

HEADER = 16
RECORD = 168
CELLS = 24
CELL_BYTES = 144

# name: ImageMagick arguments between the input and the output file.
VARIANTS = {
    "q60": ["-quality", "60"],
    "q75": ["-quality", "75"],
    "q90": ["-quality", "90"],
    "scale97": ["-resize", "97%", "-quality", "85"],
    "scale90": ["-resize", "90%", "-quality", "85"],
    "crop96": ["-gravity", "center", "-crop", "96%x96%+0+0", "+repage", "-quality", "85"],
    "shift2nw": ["-gravity", "northwest", "-crop", "98%x98%+0+0", "+repage", "-quality", "85"],
    "shift2se": ["-gravity", "southeast", "-crop", "98%x98%+0+0", "+repage", "-quality", "85"],
    "mixed": ["-gravity", "center", "-crop", "97%x97%+0+0", "+repage", "-resize", "93%",
              "-quality", "70"],
}


def tile_photos(list_file):
    photos = []
    with open(list_file, encoding="utf-8") as rows:
        for row in rows:
            if row.startswith("#") or not row.strip():
                continue
            fields = row.rstrip("\n").split("\t")
            if len(fields) >= 4 and fields[0] == "tile" and fields[2] == "-":
                if os.path.isfile(fields[3]):
                    photos.append(fields[3])
    return photos


def run(command, env):
    result = subprocess.run(command, env=env, capture_output=True, text=True)
    if result.returncode != 0:
        sys.exit("failed: %s\n%s%s" % (" ".join(command), result.stdout, result.stderr))
    return result.stdout


def read_miniatures(index_file):
    with open(index_file, "rb") as index:
        data = index.read()
    if data[:4] != b"TXSF":
        sys.exit(index_file + " is not a tile-set index")
    count = struct.unpack_from("<I", data, 8)[0]
    return [data[HEADER + RECORD * i + CELLS:HEADER + RECORD * i + CELLS + CELL_BYTES]
            for i in range(count)]


def distance(a, b):
    return sum((x - y) * (x - y) for x, y in zip(a, b)) / CELL_BYTES


def summary(name, values):
    values = sorted(values)
    def at(q):
        return values[min(len(values) - 1, int(q * len(values)))]
    print("%-22s n=%5d  min %9.1f  p5 %9.1f  median %9.1f  p95 %9.1f  max %9.1f"
          % (name, len(values), values[0], at(0.05), statistics.median(values), at(0.95),
             values[-1]))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--list", default=os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "..", "data", "sample",
        "sample-photos.tsv"))
    parser.add_argument("--work")
    parser.add_argument("--threshold", type=float, default=None,
                        help="check the command's groups at this threshold (default: its own)")
    parser.add_argument("--keep", action="store_true", help="keep the work folder")
    args = parser.parse_args()

    photos = tile_photos(args.list)
    if len(photos) < 2:
        sys.exit("fewer than two tile photos of the list are on this machine")
    work = args.work or tempfile.mkdtemp(prefix="duplicates_threshold.")
    user = os.path.join(work, "U")
    env = dict(os.environ, TESSERIX_USER_DIR=user)
    print("%d photos, work folder %s" % (len(photos), work))

    # One folder per kind of copy; file i of every folder is a copy of photo i,
    # so tile i of every collection comes from the same photo.
    titles = ["Originals"] + list(VARIANTS)
    for title in titles:
        folder = os.path.join(work, "photos", title)
        os.makedirs(folder, exist_ok=True)
        for i, photo in enumerate(photos):
            out = os.path.join(folder, "p%03d.jpg" % i)
            if os.path.exists(out):
                continue
            if title == "Originals":
                shutil.copyfile(photo, out)
            else:
                run(["convert", photo] + VARIANTS[title] + [out], env)
        index = os.path.join(user, "TXS", "MyCollection", title + ".TXS")
        if not os.path.exists(index):
            run([args.cli, "collection", "build-folder", folder, "--title", title], env)

    tiles = {}
    for title in titles:
        tiles[title] = read_miniatures(os.path.join(user, "TXS", "MyCollection", title + ".TXS"))
        if len(tiles[title]) != len(photos):
            sys.exit("%s made %d tiles of %d photos" % (title, len(tiles[title]), len(photos)))

    same = {title: [distance(tiles["Originals"][i], tiles[title][i]) for i in range(len(photos))]
            for title in VARIANTS}
    all_same = [d for values in same.values() for d in values]
    distinct = [distance(tiles["Originals"][i], tiles["Originals"][j])
                for i in range(len(photos)) for j in range(i + 1, len(photos))]
    # Every pair of tiles of different photos, over all collections.
    every = [(t, i) for t in titles for i in range(len(photos))]
    distinct_all = [distance(tiles[a][i], tiles[b][j])
                    for n, (a, i) in enumerate(every) for (b, j) in every[n + 1:] if i != j]

    print("\ndistance of each photo to its own copy")
    for title, values in same.items():
        summary("  " + title, values)
    summary("  all copies", all_same)
    print("\ndistance between distinct photos")
    summary("  originals", distinct)
    summary("  all tiles", distinct_all)
    worst_same = max(all_same)
    closest = min(distinct_all)
    print("\nlargest copy distance %.1f, smallest distinct distance %.1f, ratio %.1f"
          % (worst_same, closest, closest / max(worst_same, 1e-9)))

    # The command's groups: each photo with all its copies, nothing else.
    command = [args.cli, "collection", "duplicates", "--json"]
    command += [title + ".TXS" for title in titles]
    if args.threshold is not None:
        command += ["--threshold", repr(args.threshold)]
    groups = json.loads(run(command, env))["groups"]
    expected = [sorted((title + ".TXS", i) for title in titles) for i in range(len(photos))]
    found = sorted(sorted((t["key"], t["tile"]) for t in g["tiles"]) for g in groups)
    ok = found == sorted(expected)
    print("collection duplicates: %d groups, %s" % (
        len(groups), "each photo with exactly its copies" if ok else "NOT the expected groups"))
    if not args.keep and not args.work:
        shutil.rmtree(work)
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
