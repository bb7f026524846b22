#!/usr/bin/env python3
"""Converts the chinese-poetry npm package into the corpus source format.

Reads the unpacked package (the folder holding dist/) and writes a source folder
for `vyn-tool build --source`: catalog.txt and one text file per volume
(docs/corpus.md). Two selections:

  demo   the imperial Complete Tang Poems, 900 volumes (category 唐詩 >
         book 御定全唐詩 > 卷一 ... 卷九百);
  large  every text collection of the package.

One poem begins a page; long poems go on over further pages, split between
paragraphs. Titles and authors are main text, biographies and notes annotations.
"""

import argparse
import json
import os
import re
import sys
import unicodedata

# A page holds at most this many paragraphs and characters of text; a single
# longer paragraph gets a page of its own.
MAX_PAGE_LINES = 40
MAX_PAGE_CHARS = 1000
# Limits of the reader (docs/corpus.md).
MAX_CATALOG_ENTRIES = 9999
MAX_PAGE_NUMBER = 65535
MAX_NAME_UNITS = 99

# Characters that would be markup or structure in a volume file, replaced by
# their full-width forms so that the text reads the same.
_REPLACE = str.maketrans({"<": "＜", ">": "＞", "&": "＆", "{": "｛", "}": "｝"})
_SPACES = re.compile(r"[\t\r\n\u2028\u2029\u0085]+")
_DIGITS = "零一二三四五六七八九"


def clean(text):
    """Returns text fit for a volume file: ASCII < > & { } become full-width,
    tabs and line breaks a space, other control characters, lone surrogates and
    byte-order marks are dropped; outer spaces are stripped."""
    if not isinstance(text, str):
        return ""
    text = _SPACES.sub(" ", text.translate(_REPLACE))
    kept = []
    for ch in text:
        cat = unicodedata.category(ch)
        if cat in ("Cc", "Cs") or ch == "\ufeff":
            continue
        kept.append(ch)
    return "".join(kept).strip()


def safe_line(text):
    """Keeps a cleaned paragraph from reading as a page break or a label."""
    if text == "---":
        return "－－－"
    if text.startswith("#"):
        return "＃" + text[1:]
    return text


def name(text):
    """Cleans a catalog name and cuts it to the reader's length limit."""
    text = clean(text) or "-"
    units = 0
    for i, ch in enumerate(text):
        units += 2 if ord(ch) > 0xFFFF else 1
        if units > MAX_NAME_UNITS:
            return text[:i]
    return text


def numeral(n):
    """Chinese numeral as the package writes volume numbers (1 <= n <= 999):
    一, 一十, 一十一, 一百, 一百零一, 一百一十."""
    hundreds, tens, units = n // 100, n // 10 % 10, n % 10
    out = ""
    if hundreds:
        out += _DIGITS[hundreds] + "百"
    if tens:
        out += _DIGITS[tens] + "十"
    elif hundreds and units:
        out += "零"
    if units:
        out += _DIGITS[units]
    return out


def short_numeral(n):
    """numeral(n) in the usual short form for our own names: 十, 十一."""
    text = numeral(n)
    return text[1:] if text.startswith("一十") else text


class Poem:
    """One text of the corpus: a title, an author with an optional biography,
    paragraphs of main text and notes."""

    def __init__(self, title="", author="", paragraphs=(), notes=(), biography=""):
        self.title = clean(title)
        self.author = clean(author)
        self.biography = clean(biography)
        self.paragraphs = [p for p in (clean(x) for x in _strings(paragraphs)) if p]
        self.notes = [n for n in (_unwrap(clean(x)) for x in _strings(notes)) if n]


def _strings(value):
    if isinstance(value, str):
        return [value]
    if isinstance(value, list):
        return [x for x in value if isinstance(x, str)]
    return []


def _unwrap(note):
    # Notes often come as "（...）"; the annotation mark says as much already.
    if len(note) > 2 and note[0] == "（" and note[-1] == "）" and "（" not in note[1:-1]:
        return note[1:-1].strip()
    return note


def _has_letters(text):
    return any(unicodedata.category(ch).startswith("L") for ch in text)


def _annotation(text):
    # Placeholders such as "--" carry nothing to read.
    return "{" + text + "}" if _has_letters(text) else ""


def _text_length(line):
    return len(line) - 2 if line.startswith("{") and line.endswith("}") else len(line)


def pages(poem):
    """Splits a poem into pages, each a list of lines (paragraphs). The first
    page starts with the title and the author (with the biography as an
    annotation); notes follow the paragraphs as annotation paragraphs. Empty
    poems give no page."""
    header = []
    if poem.title:
        header.append(safe_line(poem.title))
    if poem.author or _has_letters(poem.biography):
        header.append(safe_line(poem.author + _annotation(poem.biography)))
    items = [safe_line(p) for p in poem.paragraphs]
    items += [a for a in (_annotation(n) for n in poem.notes) if a]
    if not items:
        return [header] if header else []
    result = []
    page, lines, chars = list(header), 0, sum(_text_length(h) for h in header[:1])
    for item in items:
        size = _text_length(item)
        if lines and (lines + 1 > MAX_PAGE_LINES or chars + size > MAX_PAGE_CHARS):
            result.append(page)
            page, lines, chars = [], 0, 0
        page.append(item)
        lines += 1
        chars += size
    result.append(page)
    return result


class SourceWriter:
    """Writes catalog.txt and the volume files of a source folder."""

    def __init__(self, out_dir):
        self.out_dir = out_dir
        self.catalog = []
        self.volumes = 0
        self.pages = 0
        self.chars = 0
        os.makedirs(out_dir, exist_ok=True)

    def category(self, title):
        self.catalog.append("category\t" + name(title))

    def book(self, title):
        self.catalog.append("book\t" + name(title))
        self._book = name(title)

    def volume(self, title, path, poems):
        """Writes one volume file from poems; a volume without any page is left
        out of the catalog. Returns the number of pages written."""
        title = name(title)
        parts = []
        number = 0
        for poem in poems:
            for lines in pages(poem):
                number += 1
                label = f"# {self._book} {title} 第{number}頁"
                parts.append(label + "\n" + "".join(line + "\n" for line in lines))
                self.chars += sum(len(line) for line in lines)
        if number == 0:
            return 0
        if number > MAX_PAGE_NUMBER:
            raise ValueError(f"{path}: {number} pages, more than {MAX_PAGE_NUMBER}")
        full = os.path.join(self.out_dir, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "w", encoding="utf-8", newline="\n") as f:
            f.write("---\n".join(parts))
        self.catalog.append(f"volume\t{title}\t{path}")
        self.volumes += 1
        self.pages += number
        return number

    def finish(self):
        """Drops categories and books left without volumes, checks the entry
        limit and writes catalog.txt."""
        kept = []
        for i, line in enumerate(self.catalog):
            kind = line.split("\t", 1)[0]
            if kind != "volume":
                rest = [l.split("\t", 1)[0] for l in self.catalog[i + 1:]]
                upto = next((j for j, k in enumerate(rest)
                             if k == "category" or (kind == "book" and k == "book")), len(rest))
                if "volume" not in rest[:upto]:
                    continue
            kept.append(line)
        if len(kept) > MAX_CATALOG_ENTRIES:
            raise ValueError(f"{len(kept)} catalog entries, more than {MAX_CATALOG_ENTRIES}")
        with open(os.path.join(self.out_dir, "catalog.txt"), "w", encoding="utf-8") as f:
            f.write("# Converted from the chinese-poetry package.\n")
            f.write("".join(line + "\n" for line in kept))
        self.catalog = kept


# --- Readers of the package's collections ------------------------------------

def _load(path):
    with open(path, encoding="utf-8") as f:
        return json.load(f)


def _numbered(folder, prefix):
    """Files PREFIX.N.json of folder in the order of N."""
    pattern = re.compile(re.escape(prefix) + r"\.(\d+)\.json$")
    found = [(int(m.group(1)), f) for f in os.listdir(folder) if (m := pattern.match(f))]
    return [os.path.join(folder, f) for _, f in sorted(found)]


def yuding_volumes(dist):
    """Yields (volume name, poems) of dist/yudingquantangshi/json/001 ... 900.json.
    Raises ValueError unless the volumes run 卷一 ... 卷N in file order."""
    folder = os.path.join(dist, "yudingquantangshi", "json")
    files = sorted(f for f in os.listdir(folder) if re.fullmatch(r"\d+\.json", f))
    for index, filename in enumerate(files, 1):
        data = _load(os.path.join(folder, filename))
        names = {clean(p.get("volume", "")) for p in data}
        expected = "卷" + numeral(index)
        if names != {expected}:
            raise ValueError(f"{filename}: volume {sorted(names)}, expected {expected}")
        yield expected, [Poem(p.get("title"), p.get("author"), p.get("paragraphs"),
                              p.get("notes"), p.get("biography")) for p in data]


def _biographies(path, name_key, text_key):
    if not os.path.exists(path):
        return {}
    return {clean(a.get(name_key)): a.get(text_key, "") for a in _load(path)
            if isinstance(a, dict)}


def _with_biographies(items, bios, title_key="title"):
    """Poems of items, each author's biography given on their first poem."""
    seen = set()
    for p in items:
        author = clean(p.get("author"))
        bio = ""
        if author and author not in seen:
            seen.add(author)
            bio = bios.get(author, "")
        title = p.get(title_key) or p.get("rhythmic") or ""
        yield Poem(title, author, p.get("paragraphs") or p.get("para"),
                   p.get("notes") or p.get("prologue"), bio)


def _chunks(items, size):
    for start in range(0, len(items), size):
        yield start // size + 1, items[start:start + size]


def _structured(doc):
    """Poems of a nested document (the primers, the Four Books): dicts with
    paragraphs are texts, dicts with content hold further ones."""
    if isinstance(doc, list):
        for item in doc:
            yield from _structured(item)
        return
    if not isinstance(doc, dict):
        return
    paragraphs = doc.get("paragraphs")
    if paragraphs is None and isinstance(doc.get("content"), str):
        paragraphs = doc["content"]
    if paragraphs is not None:
        title = doc.get("chapter") or doc.get("title") or ""
        if doc.get("subchapter"):
            title = doc["subchapter"]
        notes = _strings(doc.get("source")) + _strings(doc.get("comment"))
        yield Poem(title, doc.get("author", ""), paragraphs, notes)
    elif isinstance(doc.get("content"), list):
        yield from _structured(doc["content"])


def _intro(doc):
    """A page introducing a book from its abstract or preface, if it has one."""
    text = _strings(doc.get("abstract")) + _strings(doc.get("preface")) + _strings(doc.get("desc"))
    if not text:
        return []
    author = doc.get("author", "") if len(doc.get("author", "")) < 20 else ""
    return [Poem(doc.get("title", ""), author, [], text)]


def structured_volumes(doc):
    """Yields (volume name, poems) of a nested document: one volume per part
    when its content is divided into parts, else a single volume."""
    content = doc.get("content") if isinstance(doc, dict) else None
    parts = isinstance(content, list) and content and all(
        isinstance(c, dict) and (isinstance(c.get("content"), list) or "title" in c)
        and "chapter" not in c for c in content)
    intro = _intro(doc) if isinstance(doc, dict) else []
    if not parts:
        yield "全一卷", intro + list(_structured(doc))
        return
    for i, part in enumerate(content):
        title = part.get("title") or part.get("type") or f"卷{short_numeral(i + 1)}"
        poems = list(_structured(part if "paragraphs" in part else part.get("content", [])))
        if "paragraphs" in part:
            poems = [Poem(title, "", part["paragraphs"])]
        yield title, (intro if i == 0 else []) + poems


def _grouped(items, key):
    """(value of key, items) in order of first appearance."""
    groups = {}
    for item in items:
        groups.setdefault(clean(item.get(key, "")), []).append(item)
    return groups.items()


def large_collections(dist):
    """Yields (category, [(book, slug, volumes)]) for every text collection of
    the package; volumes yield (name, poems) lazily."""
    path = lambda *p: os.path.join(dist, *p)
    qts = path("quantangshi")
    tang_bios = _biographies(path("quantangshi", "authors.tang.json"), "name", "desc")
    song_bios = _biographies(path("quantangshi", "authors.song.json"), "name", "desc")
    ci_bios = _biographies(path("songci", "author.song.json"), "name", "description")

    def per_file(files, bios, title_key="title"):
        for i, f in enumerate(files, 1):
            yield f"第{i}冊", list(_with_biographies(_load(f), bios, title_key))

    def one(name_, items, bios=None):
        yield name_, list(_with_biographies(items, bios or {}))

    def grouped(items, key, make):
        for value, group in _grouped(items, key):
            yield value, [make(p) for p in group]

    def chunked(items, size, bios=None):
        for i, chunk in _chunks(items, size):
            yield f"第{i}冊", list(_with_biographies(chunk, bios or {}))

    def huajian():
        folder = path("wudaishici", "huajianji")
        # huajianji-N-juan.json holds volume N, "x" standing for ten.
        files = sorted((10 if m.group(1) == "x" else int(m.group(1)), f) for f in os.listdir(folder)
                       if (m := re.fullmatch(r"huajianji-(\d+|x)-juan\.json", f)))
        yield "序", [Poem(p.get("rhythmic"), "", [], p.get("notes"))
                     for p in _load(os.path.join(folder, "huajianji-0-preface.json"))]
        for number, f in files:
            yield f"卷{short_numeral(number)}", list(_with_biographies(_load(os.path.join(folder, f)), {}))

    def nantang():
        intro = _load(path("wudaishici", "nantang", "intro.json"))
        bios = _biographies(path("wudaishici", "nantang", "authors.json"), "name", "desc")
        yield "全一卷", ([Poem(intro.get("title"), "", [], intro.get("desc"))]
                        + list(_with_biographies(_load(path("wudaishici", "nantang", "poetrys.json")), bios)))

    def mengxue_books():
        folder = path("mengxue")
        for f in sorted(os.listdir(folder)):
            if f == "tangshisanbaishou.json":  # under 唐詩
                continue
            doc = _load(os.path.join(folder, f))
            title = doc.get("title", f)
            if f.startswith("sanzijing") and doc.get("tags"):
                title += f"（{doc['tags']}）"
            yield title, "mengxue/" + f[:-5], lambda doc=doc: structured_volumes(doc)

    def sishu():
        for f, title in (("daxue", "大學"), ("zhongyong", "中庸")):
            yield title, list(_structured(_load(path("sishuwujing", f + ".json"))))
        yield "論語", list(_structured(_load(path("lunyu", "lunyu.json"))))
        yield "孟子", list(_structured(_load(path("sishuwujing", "mengzi.json"))))

    shijing = _load(path("shijing", "shijing.json"))
    chuci = _load(path("chuci", "chuci.json"))
    yield "唐詩", [
        ("御定全唐詩", "yuding", lambda: yuding_volumes(dist)),
        ("全唐詩", "tang", lambda: per_file(_numbered(qts, "poet.tang"), tang_bios)),
        ("唐詩三百首", "tang300", lambda: structured_volumes(_load(path("mengxue", "tangshisanbaishou.json")))),
        ("水墨唐詩", "shuimo", lambda: one("全一卷", _load(path("shuimotangshi", "shuimotangshi.json")))),
        ("唐詩補錄", "tangbulu", lambda: one("全一卷", _load(path("quantangshi", "唐诗补录.json")))),
    ]
    yield "宋詩", [
        ("全宋詩", "song", lambda: per_file(_numbered(qts, "poet.song"), song_bios)),
    ]
    yield "詞", [
        ("全宋詞", "songci", lambda: per_file(
            _numbered(path("songci"), "ci.song") + [path("songci", "ci.song.2019y.json")],
            ci_bios, "rhythmic")),
        ("宋詞三百首", "songci300", lambda: one("全一卷", _load(path("songci", "宋词三百首.json")), ci_bios)),
        ("花間集", "huajianji", huajian),
        ("南唐二主詞", "nantang", nantang),
        ("納蘭性德詩集", "nalan", lambda: one("全一卷", _load(path("nalanxingde", "纳兰性德诗集.json")))),
    ]
    yield "元曲", [
        ("元曲", "yuanqu", lambda: chunked(_load(path("yuanqu", "yuanqu.json")), 500)),
    ]
    yield "經部", [
        ("詩經", "shijing", lambda: grouped(shijing, "chapter", lambda p: Poem(
            f"{p.get('section', '')}·{p.get('title', '')}", "", p.get("content")))),
        ("楚辭", "chuci", lambda: grouped(chuci, "section", lambda p: Poem(
            p.get("title"), p.get("author"), p.get("content")))),
        ("四書", "sishu", sishu),
    ]
    yield "蒙學", list(mengxue_books())
    yield "雜著", [
        ("曹操詩集", "caocao", lambda: one("全一卷", [dict(p, author="曹操") for p in
                                                  _load(path("caocaoshiji", "caocao.json"))])),
        ("幽夢影", "youmengying", lambda: [("全一卷", list(_structured(
            _load(path("youmengying", "youmengying.json")))))]),
    ]


def demo_collections(dist):
    yield "唐詩", [("御定全唐詩", "yuding", lambda: yuding_volumes(dist))]


def convert(collections, out_dir, progress=None):
    """Writes a source folder from collections; returns the SourceWriter."""
    writer = SourceWriter(out_dir)
    for category, books in collections:
        writer.category(category)
        for book, slug, volumes in books:
            writer.book(book)
            for i, (title, poems) in enumerate(volumes(), 1):
                writer.volume(title, f"{slug}/{i:04d}.txt", poems)
            if progress:
                progress(f"{category} > {book}: {writer.volumes} volumes, {writer.pages} pages")
    writer.finish()
    return writer


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--package", required=True,
                        help="unpacked chinese-poetry package (the folder holding dist/)")
    parser.add_argument("--out", required=True, help="source folder to write")
    parser.add_argument("--corpus", choices=("demo", "large"), default="demo")
    parser.add_argument("--verbose", action="store_true")
    args = parser.parse_args(argv)

    dist = os.path.join(args.package, "dist")
    make = demo_collections if args.corpus == "demo" else large_collections
    report = (lambda s: print(s, file=sys.stderr)) if args.verbose else None
    try:
        writer = convert(make(dist), args.out, report)
    except (OSError, ValueError) as e:
        print(f"convert_poetry: {e}", file=sys.stderr)
        return 1
    print(f"{args.corpus}: {writer.volumes} volumes, {writer.pages} pages, "
          f"{writer.chars} characters", file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main())
