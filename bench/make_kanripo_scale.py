#!/usr/bin/env python3
"""Writes a large Kanseki Repository import from a few texts, and the same text in the
corpus source format, for timing `vyn-tool build --kanripo` beside `build --source`.

    make_kanripo_scale.py TEXTS OUT --copies C --repeats R

TEXTS holds text folders (KR1a0002/ ...) and optionally KR-Catalog/README.org.
OUT/kanripo gets C copies of each text under new KR numbers, each file's text
repeated R times (so that volumes grow but the catalog stays small);
OUT/source gets the same pages in the source format: one paragraph per line
(printed lines joined), notes in braces, a glyph as 〓, pages split by "---".
"""
import argparse
import os
import re
import shutil

PAGE_BREAK = re.compile(r"<pb:[^>]*>")
NOTE = re.compile(r"\(([^()]*)\)")
GLYPH = re.compile(r"&[A-Za-z0-9_-]+;")


def body_of(text):
    lines = text.split("\n")
    header = [l for l in lines if l.startswith("#")][:8]
    return header, [l for l in lines if not l.startswith("#")]


def source_pages(lines):
    """The pages of a text file's body lines as the importer reads them."""
    pages, page, paragraph = [], [], []

    def end_paragraph():
        if paragraph:
            joined = "".join(paragraph)
            if joined:
                page.append(joined)
            paragraph.clear()

    def end_page():
        end_paragraph()
        if page:
            pages.append(list(page))
            page.clear()

    for line in lines:
        if not line.strip():
            end_paragraph()
            continue
        headline = re.match(r"^\*+ (.*)$", line)
        if headline:
            end_paragraph()
            line = headline.group(1)
        pieces = PAGE_BREAK.split(line)
        for i, piece in enumerate(pieces):
            if i > 0:
                end_page()
            piece = GLYPH.sub("〓", piece.replace("¶", ""))
            piece = NOTE.sub(lambda m: "{" + m.group(1).replace("/", "") + "}", piece)
            if piece:
                paragraph.append(piece.lstrip("\u3000") if paragraph else piece)
        if headline:
            end_paragraph()
    end_page()
    return pages


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("texts")
    parser.add_argument("out")
    parser.add_argument("--copies", type=int, default=12)  # at most 99
    parser.add_argument("--repeats", type=int, default=100)
    args = parser.parse_args()
    kanripo = os.path.join(args.out, "kanripo")
    source = os.path.join(args.out, "source")
    os.makedirs(kanripo)
    os.makedirs(source)
    catalog = os.path.join(args.texts, "KR-Catalog")
    if os.path.isdir(catalog):
        shutil.copytree(catalog, os.path.join(kanripo, "KR-Catalog"))
    texts = sorted(d for d in os.listdir(args.texts) if re.fullmatch(r"KR\d[a-z]\d{4}", d))
    entries = []
    for copy in range(args.copies):
        for text in texts:
            number = "%s%04d" % (text[:4], int(text[4:]) + 100 * (copy + 1))
            folder = os.path.join(kanripo, number)
            os.makedirs(folder)
            names = sorted(f for f in os.listdir(os.path.join(args.texts, text))
                           if re.fullmatch(text + r"_\d+\.txt", f))
            book = []
            for name in names:
                with open(os.path.join(args.texts, text, name), encoding="utf-8") as f:
                    header, lines = body_of(f.read())
                title = next(l[8:].strip() for l in header if l.startswith("#+TITLE:"))
                new_name = number + name[len(text):]
                with open(os.path.join(folder, new_name), "w", encoding="utf-8") as f:
                    f.write("\n".join(header) + "\n")
                    for _ in range(args.repeats):
                        f.write("\n".join(lines) + "\n")
                pages = source_pages(lines) * args.repeats
                rel = "%s/%s" % (number, new_name)
                os.makedirs(os.path.join(source, number), exist_ok=True)
                with open(os.path.join(source, rel), "w", encoding="utf-8") as f:
                    f.write("\n---\n".join("\n".join(p) for p in pages) + "\n")
                book.append((name[len(text) + 1:-4], rel))
            entries.append((number[:4], title, book))
    with open(os.path.join(source, "catalog.txt"), "w", encoding="utf-8") as f:
        category = None
        for kind, title, book in sorted(entries, key=lambda e: e[0]):
            if kind != category:
                f.write("category\t%s\n" % kind)
                category = kind
            f.write("book\t%s\n" % title)
            for volume, rel in book:
                f.write("volume\t%s\t%s\n" % (volume, rel))


if __name__ == "__main__":
    main()
