#!/usr/bin/env python3
"""Builds the variant table (variants.txt of the corpus source format).

Joins the variant relations of Unihan (unicode-data) and OpenCC (libopencc-data)
into groups of characters; docs/corpus.md explains which relations count and why.
"""

import argparse
import bz2
import collections
import os
import re
import subprocess
import sys
import tempfile

UNIHAN = "/usr/share/unicode/Unihan_Variants.txt.bz2"
OPENCC_DIR = "/usr/share/opencc"
# Simplified/traditional tables and the Japanese, Taiwan and Hong Kong forms.
OPENCC_TABLES = ("STCharacters", "TSCharacters", "JPVariants", "TWVariants", "HKVariants")
UNIHAN_FIELDS = ("kTraditionalVariant", "kSimplifiedVariant", "kZVariant")
SEMANTIC_FIELD = "kSemanticVariant"
MAX_GROUPS = 11935

_CODE_POINT = re.compile(r"U\+([0-9A-F]{4,6})")


def parse_unihan(lines, fields):
    """Yields (source, [targets]) for the lines of Unihan_Variants.txt whose field
    is in fields. Source annotations such as "<kMatthews" are ignored."""
    for line in lines:
        if not line.startswith("U+"):
            continue
        parts = line.rstrip("\n").split("\t")
        if len(parts) < 3 or parts[1] not in fields:
            continue
        source = _CODE_POINT.match(parts[0])
        targets = [chr(int(h, 16)) for h in _CODE_POINT.findall(parts[2])]
        if source and targets:
            yield chr(int(source.group(1), 16)), targets


def parse_opencc(lines):
    """Yields (source, [targets]) for the lines of an OpenCC text dictionary
    ("source<TAB>target target..."), keeping single-character entries only."""
    for line in lines:
        parts = line.rstrip("\n").split("\t")
        if len(parts) != 2 or len(parts[0]) != 1:
            continue
        targets = [t for t in parts[1].split(" ") if len(t) == 1]
        if targets:
            yield parts[0], targets


def _is_han(ch):
    cp = ord(ch)
    return (0x3400 <= cp <= 0x4DBF or 0x4E00 <= cp <= 0x9FFF or 0xF900 <= cp <= 0xFAFF
            or 0x20000 <= cp <= 0x3FFFF or cp == 0x3007)


def links(tables, defaults=(), chinese=()):
    """Returns the set of character pairs to join.

    tables: pairs (relations, japanese), one per relation table; relations is a
      list of (source, [targets]), japanese says the targets are Japanese forms.
    defaults: one-to-many entries (source, [targets]) whose first target is the
      usual one (OpenCC's simplified/traditional tables).
    chinese: the tables whose characters count as Chinese simplified or
      traditional forms, for the Japanese check below.

    A character that stands for several others in one table, either as the
    source of several targets (发 -> 發 髮) or as the target of several sources
    (弁 <- 辨 辯 瓣), is joined with one of them only: the first one its default
    entry names, or none without such an entry. The pairs left out stay apart
    whichever table names them, so that distinct characters such as 發 and 髮 are
    not folded together through 发.

    A Japanese form that is itself a Chinese character for something else
    (聯 -> 連, whose own counterpart is 连) is not joined.
    """
    counterparts = collections.defaultdict(set)
    for source, targets in [m for table in chinese for m in table]:
        counterparts[source].update(targets)
    ambiguous = collections.defaultdict(set)
    for table, _ in tables:
        reached = collections.defaultdict(set)
        for source, targets in table:
            others = {t for t in targets if t != source}
            if len(others) > 1:
                ambiguous[source] |= others
            for t in others:
                reached[t].add(source)
        for target, sources in reached.items():
            if len(sources) > 1:
                ambiguous[target] |= sources
    default = {}
    for source, targets in defaults:
        default.setdefault(source, targets)
    blocked = set()
    for ch, others in ambiguous.items():
        keep = next((t for t in default.get(ch, ()) if t in others), None)
        blocked.update((ch, o) for o in others if o != keep)

    pairs = set()
    for table, japanese in tables:
        for source, targets in table:
            for target in targets:
                if target == source or not (_is_han(source) and _is_han(target)):
                    continue
                if (source, target) in blocked or (target, source) in blocked:
                    continue
                if japanese and target in counterparts and source not in counterparts[target]:
                    continue
                pairs.add((min(source, target), max(source, target)))
    return pairs


def groups(pairs):
    """Joins pairs into groups (union-find); returns a list of sets."""
    parent = {}

    def find(x):
        parent.setdefault(x, x)
        while parent[x] != x:
            parent[x] = parent[parent[x]]
            x = parent[x]
        return x

    for a, b in pairs:
        ra, rb = find(a), find(b)
        if ra != rb:
            parent[max(ra, rb)] = min(ra, rb)
    members = collections.defaultdict(set)
    for x in parent:
        members[find(x)].add(x)
    return [m for m in members.values() if len(m) > 1]


def order_and_cap(group_list, counts, cap=MAX_GROUPS):
    """Orders the groups and their members and keeps at most cap groups.

    With character counts of the corpus, groups are ordered by how often their
    members occur, most frequent first, and members likewise; without counts
    (or on ties) by code point. Beyond cap the least frequent groups are dropped.
    Returns a list of strings, one per group.
    """
    def weight(ch):
        return (-counts.get(ch, 0), ord(ch))

    ordered = [sorted(g, key=weight) for g in group_list]
    ordered.sort(key=lambda g: (-sum(counts.get(ch, 0) for ch in g), ord(g[0])))
    return ["".join(g) for g in ordered[:cap]]


def count_source(source_dir):
    """Counts the characters of the volume files listed in SRC/catalog.txt."""
    counts = collections.Counter()
    with open(os.path.join(source_dir, "catalog.txt"), encoding="utf-8") as catalog:
        for line in catalog:
            fields = line.rstrip("\n").split("\t")
            if len(fields) >= 3 and fields[0] == "volume":
                with open(os.path.join(source_dir, fields[2]), encoding="utf-8") as f:
                    counts.update(f.read())
    return counts


def read_opencc_tables(opencc_dir, names):
    """Returns {name: [(source, [targets])]} for the binary OpenCC dictionaries,
    converted to text with opencc_dict."""
    tables = {}
    with tempfile.TemporaryDirectory() as tmp:
        for name in names:
            out = os.path.join(tmp, name + ".txt")
            subprocess.run(["opencc_dict", "-i", os.path.join(opencc_dir, name + ".ocd2"),
                            "-o", out, "-f", "ocd2", "-t", "text"], check=True)
            with open(out, encoding="utf-8") as f:
                tables[name] = list(parse_opencc(f))
    return tables


def build(unihan_lines, opencc_tables, semantic=False, counts=None, cap=MAX_GROUPS):
    """Returns (lines of variants.txt, number of groups before the cap)."""
    fields = UNIHAN_FIELDS + ((SEMANTIC_FIELD,) if semantic else ())
    tables = [(list(parse_unihan(unihan_lines, (field,))), False) for field in fields]
    tables += [(table, name.startswith("JP")) for name, table in opencc_tables.items()]
    chinese = [opencc_tables.get(name, []) for name in ("STCharacters", "TSCharacters")]
    defaults = [m for table in chinese for m in table]
    found = groups(links(tables, defaults, chinese))
    return order_and_cap(found, counts or {}, cap), len(found)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", required=True, help="variants.txt to write")
    parser.add_argument("--unihan", default=UNIHAN)
    parser.add_argument("--opencc-dir", default=OPENCC_DIR)
    parser.add_argument("--counts-from", metavar="SRC",
                        help="corpus source folder whose character counts order the groups")
    parser.add_argument("--semantic", action="store_true",
                        help="also join Unihan's semantic variants")
    args = parser.parse_args(argv)

    with bz2.open(args.unihan, "rt", encoding="utf-8") as f:
        unihan_lines = f.readlines()
    tables = read_opencc_tables(args.opencc_dir, OPENCC_TABLES)
    counts = count_source(args.counts_from) if args.counts_from else None
    lines, found = build(unihan_lines, tables, args.semantic, counts)
    with open(args.out, "w", encoding="utf-8") as f:
        f.write("# Variant groups from Unihan and OpenCC, most frequent first.\n")
        f.write("".join(line + "\n" for line in lines))
    print(f"variants: {len(lines)} groups ({found} found)", file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main())
