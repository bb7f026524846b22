#!/usr/bin/env python3
"""Writes a corpus source folder that repeats another one with shuffled pages.

    make_scale_source.py [--merge] SRC OUT COPIES [SEED]

Every copy repeats the catalog of SRC (category and book names get the copy's
number), and each of its volumes holds the pages of the original volume in a
shuffled order. With --merge the catalog is kept once instead and each volume holds
the shuffled pages of every copy, one copy after the other, which keeps the catalog
within its 9,999 records. The variant table is taken over once. Pages keep their
text, so the copies have the characters and page sizes of SRC.
"""
import os
import random
import sys


def read_pages(path):
    with open(path, encoding="utf-8") as f:
        text = f.read()
    pages, current = [], []
    for line in text.split("\n"):
        if line == "---":
            if any(l.strip() for l in current):
                pages.append("\n".join(current).strip("\n"))
            current = []
        else:
            current.append(line)
    if any(l.strip() for l in current):
        pages.append("\n".join(current).strip("\n"))
    return pages


def main():
    args = sys.argv[1:]
    merge = "--merge" in args
    args = [a for a in args if a != "--merge"]
    if len(args) < 3:
        sys.exit(__doc__)
    src, out, copies = args[0], args[1], int(args[2])
    rng = random.Random(int(args[3]) if len(args) > 3 else 1)
    os.makedirs(out, exist_ok=True)
    with open(os.path.join(src, "catalog.txt"), encoding="utf-8") as f:
        catalog = [line.rstrip("\n") for line in f]
    lines = []
    if merge:
        for line in catalog:
            fields = line.split("\t")
            if fields[0] == "volume":
                source = fields[2]
                target = f"merged/{source}"
                original = read_pages(os.path.join(src, source))
                pages = []
                for _ in range(copies):
                    shuffled = list(original)
                    rng.shuffle(shuffled)
                    pages += shuffled
                os.makedirs(os.path.dirname(os.path.join(out, target)), exist_ok=True)
                with open(os.path.join(out, target), "w", encoding="utf-8") as f:
                    f.write("\n---\n".join(pages) + "\n")
                fields[2] = target
            lines.append("\t".join(fields))
    for copy in range(1, 0 if merge else copies + 1):
        for line in catalog:
            fields = line.split("\t")
            if fields[0] in ("category", "book"):
                fields[1] = f"{fields[1]} {copy}"
            elif fields[0] == "volume":
                source = fields[2]
                target = f"c{copy:03d}/{source}"
                pages = read_pages(os.path.join(src, source))
                rng.shuffle(pages)
                os.makedirs(os.path.dirname(os.path.join(out, target)), exist_ok=True)
                with open(os.path.join(out, target), "w", encoding="utf-8") as f:
                    f.write("\n---\n".join(pages) + "\n")
                fields[2] = target
            elif copy > 1:
                continue  # comments once
            lines.append("\t".join(fields))
    with open(os.path.join(out, "catalog.txt"), "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")
    variants = os.path.join(src, "variants.txt")
    if os.path.exists(variants):
        with open(variants, encoding="utf-8") as f, open(
            os.path.join(out, "variants.txt"), "w", encoding="utf-8"
        ) as g:
            g.write(f.read())


if __name__ == "__main__":
    main()
