"""Tests of the chinese-poetry converter on small packages written by the tests."""

import io
import json
import os
import sys
import tempfile
import unittest
from contextlib import redirect_stderr

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
import convert_poetry as cp  # noqa: E402


def check_source(test, src):
    """Checks a source folder against the source format: catalog fields and
    order, names, files; in volume files no markup characters or control
    characters, balanced one-level braces per line, labels only at a page's
    start, no empty page. Returns {file: [pages as lists of lines]}."""
    volumes = {}
    with open(os.path.join(src, "catalog.txt"), encoding="utf-8") as f:
        entries = [l.rstrip("\n").split("\t") for l in f if l.strip() and not l.startswith("#")]
    test.assertLessEqual(len(entries), cp.MAX_CATALOG_ENTRIES)
    last = None
    for fields in entries:
        kind = fields[0]
        test.assertIn(kind, ("category", "book", "volume"))
        test.assertEqual(len(fields), 3 if kind == "volume" else 2, fields)
        test.assertLessEqual(len(fields[1].encode("utf-16-le")) // 2, cp.MAX_NAME_UNITS)
        expected_before = {"category": (None, "volume"), "book": ("category", "volume"),
                           "volume": ("book", "volume")}[kind]
        test.assertIn(last, expected_before, fields)
        last = kind
        if kind == "volume":
            path = fields[2]
            test.assertFalse(path.startswith("/") or ".." in path.split("/"), path)
            with open(os.path.join(src, path), encoding="utf-8") as f:
                text = f.read()
            pages = [[]]
            for n, line in enumerate(text.split("\n"), 1):
                where = f"{path}:{n}"
                for ch in line:
                    test.assertNotIn(ch, "<>&", where)
                    test.assertFalse(ord(ch) < 32 or ord(ch) == 127, where)
                if line == "---":
                    test.assertTrue(pages[-1], f"{where}: empty page")
                    pages.append([])
                    continue
                if line.startswith("# "):
                    test.assertEqual(pages[-1], [], f"{where}: label inside a page")
                depth = 0
                for ch in line:
                    depth += {"{": 1, "}": -1}.get(ch, 0)
                    test.assertIn(depth, (0, 1), where)
                test.assertEqual(depth, 0, where)
                if line.strip():
                    pages[-1].append(line)
            test.assertTrue(pages[-1], f"{path}: ends with an empty page")
            volumes[path] = pages
    test.assertEqual(last, "volume")
    return volumes


def poem(title="題", author="作者", paragraphs=("一句。",), notes=("",), biography="", volume="卷一"):
    return {"title": title, "author": author, "biography": biography,
            "paragraphs": list(paragraphs), "notes": list(notes), "volume": volume, "no#": 1}


class TempDirTest(unittest.TestCase):
    def setUp(self):
        self._tmp = tempfile.TemporaryDirectory()
        self.tmp = self._tmp.name

    def tearDown(self):
        self._tmp.cleanup()

    def write_json(self, relative, data):
        path = os.path.join(self.tmp, relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w", encoding="utf-8") as f:
            json.dump(data, f, ensure_ascii=False)

    def write_yuding(self, volumes):
        """Writes dist/yudingquantangshi/json/NNN.json, one per list of poems."""
        for i, poems in enumerate(volumes, 1):
            self.write_json(f"pkg/dist/yudingquantangshi/json/{i:03d}.json", poems)
        return os.path.join(self.tmp, "pkg")


class CleaningTest(unittest.TestCase):
    def test_clean(self):
        cases = [
            ("markup becomes full-width", "a<b>c&d", "a＜b＞c＆d"),
            ("braces become full-width", "{注}", "｛注｝"),
            ("line breaks become a space", "上家山\r\n下\u2028\x85", "上家山 下"),
            ("trailing line break goes", "題\r\n", "題"),
            ("tab becomes a space", "甲\t乙", "甲 乙"),
            ("other controls are dropped", "甲\x00\x07\x1b\x7f\x9f乙", "甲乙"),
            ("byte-order mark is dropped", "\ufeff甲", "甲"),
            ("lone surrogate is dropped", "甲\ud800乙", "甲乙"),
            ("ideographic space stays", "甲\u3000乙", "甲\u3000乙"),
            ("astral character stays", "𠀀字", "𠀀字"),
            ("not a string", None, ""),
        ]
        for label, text, expected in cases:
            with self.subTest(label):
                self.assertEqual(cp.clean(text), expected)

    def test_lines_that_would_be_structure(self):
        cases = [("---", "－－－"), ("# 題", "＃ 題"), ("#題", "＃題"),
                 ("----", "----"), ("a # b", "a # b")]
        for text, expected in cases:
            with self.subTest(text):
                self.assertEqual(cp.safe_line(text), expected)

    def test_names_are_cut_to_the_limit_in_utf16_units(self):
        cases = [
            ("short", "卷一", "卷一"),
            ("exactly the limit", "字" * 99, "字" * 99),
            ("one too many", "字" * 100, "字" * 99),
            ("surrogate pair not split", "字" * 98 + "𠀀", "字" * 98),
            ("empty name", "", "-"),
        ]
        for label, text, expected in cases:
            with self.subTest(label):
                self.assertEqual(cp.name(text), expected)

    def test_numerals_as_the_package_writes_them(self):
        cases = {1: "一", 9: "九", 10: "一十", 11: "一十一", 20: "二十", 100: "一百",
                 101: "一百零一", 110: "一百一十", 111: "一百一十一", 205: "二百零五",
                 900: "九百", 999: "九百九十九"}
        for n, expected in cases.items():
            with self.subTest(n):
                self.assertEqual(cp.numeral(n), expected)
        for n, expected in {10: "十", 15: "十五", 110: "一百一十", 1: "一"}.items():
            with self.subTest(short=n):
                self.assertEqual(cp.short_numeral(n), expected)


class PageTest(unittest.TestCase):
    def test_first_page_holds_title_author_and_biography(self):
        p = cp.Poem("帝京篇", "李世民", ["秦川雄帝宅。"], [""], "帝姓李氏。")
        self.assertEqual(cp.pages(p), [["帝京篇", "李世民{帝姓李氏。}", "秦川雄帝宅。"]])

    def test_notes_become_annotation_paragraphs_after_the_text(self):
        cases = [
            ("parentheses around a note are dropped", ["（從官賦詩）"], ["{從官賦詩}"]),
            ("inner parentheses stay", ["（甲）與（乙）"], ["{（甲）與（乙）}"]),
            ("empty notes are left out", ["", "  "], []),
            ("placeholders are left out", ["--"], []),
            ("several notes", ["一注", "二注"], ["{一注}", "{二注}"]),
            ("braces inside a note are neutralised", ["a{b}c"], ["{a｛b｝c}"]),
        ]
        for label, notes, expected in cases:
            with self.subTest(label):
                page = cp.pages(cp.Poem("題", "某", ["句。"], notes))[-1]
                self.assertEqual(page[3:], expected)

    def test_placeholder_biography_is_left_out(self):
        self.assertEqual(cp.pages(cp.Poem("題", "某", ["句。"], [], "--"))[0][1], "某")

    def test_long_poems_are_split_between_paragraphs(self):
        cases = [
            ("many short lines", ["句%d。" % i for i in range(95)]),
            ("long lines", ["字" * 300 + str(i) for i in range(7)]),
            ("one paragraph over the limit", ["甲。", "字" * 2500, "乙。"]),
            ("exactly one page", ["句%d" % i for i in range(cp.MAX_PAGE_LINES)]),
        ]
        for label, paragraphs in cases:
            with self.subTest(label):
                result = cp.pages(cp.Poem("題", "某", paragraphs))
                self.assertEqual(result[0][:2], ["題", "某"])
                body = [result[0][2:]] + result[1:]
                self.assertEqual([l for page in body for l in page], paragraphs)
                for page in body:
                    self.assertTrue(page)
                    self.assertLessEqual(len(page), cp.MAX_PAGE_LINES)
                    if len(page) > 1:
                        self.assertLessEqual(sum(map(len, page)), cp.MAX_PAGE_CHARS)
                for page in result[1:]:
                    self.assertNotIn("題", page)

    def test_split_points(self):
        per_page = [len(p) for p in cp.pages(cp.Poem("", "", ["句"] * (2 * cp.MAX_PAGE_LINES + 1)))]
        self.assertEqual(per_page, [cp.MAX_PAGE_LINES, cp.MAX_PAGE_LINES, 1])

    def test_empty_poems(self):
        cases = [
            ("nothing at all", cp.Poem(), []),
            ("title only", cp.Poem("題"), [["題"]]),
            ("notes only", cp.Poem("", "", [], ["注"]), [["{注}"]]),
        ]
        for label, p, expected in cases:
            with self.subTest(label):
                self.assertEqual(cp.pages(p), expected)


class DemoConversionTest(TempDirTest):
    def convert(self, volumes):
        package = self.write_yuding(volumes)
        out = os.path.join(self.tmp, "src")
        with redirect_stderr(io.StringIO()) as err:
            rc = cp.main(["--package", package, "--out", out])
        return rc, out, err.getvalue()

    def test_catalog_lists_the_volumes_in_order(self):
        rc, out, _ = self.convert([[poem(volume="卷" + cp.numeral(i))] for i in range(1, 12)])
        self.assertEqual(rc, 0)
        with open(os.path.join(out, "catalog.txt"), encoding="utf-8") as f:
            lines = [l.rstrip("\n") for l in f if not l.startswith("#")]
        expected = ["category\t唐詩", "book\t御定全唐詩"] + [
            f"volume\t卷{cp.numeral(i)}\tyuding/{i:04d}.txt" for i in range(1, 12)]
        self.assertEqual(lines, expected)

    def test_volume_file_pages_and_labels(self):
        rc, out, _ = self.convert([[
            poem("甲", "某", ["一。"] * 3, ["（注）"], "傳"),
            poem("乙", "某", ["二。"] * (cp.MAX_PAGE_LINES + 1)),
        ]])
        self.assertEqual(rc, 0)
        pages = check_source(self, out)["yuding/0001.txt"]
        self.assertEqual([p[0] for p in pages],
                         ["# 御定全唐詩 卷一 第1頁", "# 御定全唐詩 卷一 第2頁", "# 御定全唐詩 卷一 第3頁"])
        self.assertEqual(pages[0][1:], ["甲", "某{傳}", "一。", "一。", "一。", "{注}"])
        self.assertEqual(pages[1][1:3], ["乙", "某"])
        self.assertEqual(pages[2][1:], ["二。"])

    def test_hostile_text_still_follows_the_format(self):
        rc, out, _ = self.convert([[
            poem("# 題\r\n", "a<b>&c", ["---", "{不是注}", "甲}乙{", "\x00\x01"], ["注{x}"], "傳<記>"),
            poem("", "", [], [""]),
            poem("---", "", ["#"]),
        ]])
        self.assertEqual(rc, 0)
        pages = check_source(self, out)["yuding/0001.txt"]
        self.assertEqual(len(pages), 2)
        self.assertEqual(pages[0][1:], ["＃ 題", "a＜b＞＆c{傳＜記＞}", "－－－", "｛不是注｝",
                                        "甲｝乙｛", "{注｛x｝}"])
        self.assertEqual(pages[1][1:], ["－－－", "＃"])

    def test_volumes_out_of_order_are_refused(self):
        cases = [
            ("swapped", ["卷一", "卷三", "卷二"]),
            ("mixed in one file", ["卷一", ["卷二", "卷三"]]),
            ("not starting at one", ["卷二"]),
        ]
        for label, names in cases:
            with self.subTest(label):
                self._tmp.cleanup()
                os.makedirs(self.tmp)
                volumes = [[poem(volume=v) for v in (n if isinstance(n, list) else [n])]
                           for n in names]
                rc, out, err = self.convert(volumes)
                self.assertEqual(rc, 1)
                self.assertIn("expected 卷", err)
                self.assertFalse(os.path.exists(os.path.join(out, "catalog.txt")))


class WriterTest(TempDirTest):
    def test_empty_books_and_categories_are_left_out(self):
        collections = [
            ("空", [("無頁", "a", lambda: [("卷一", [cp.Poem()])])]),
            ("有", [("無頁", "b", lambda: [("卷一", [])]),
                    ("有頁", "c", lambda: [("卷一", [cp.Poem("題")]), ("卷二", [])])]),
        ]
        writer = cp.convert(collections, self.tmp)
        self.assertEqual(writer.catalog, ["category\t有", "book\t有頁", "volume\t卷一\tc/0001.txt"])
        check_source(self, self.tmp)

    def test_too_many_catalog_entries_are_refused(self):
        many = lambda: [(f"卷{i}", [cp.Poem("題")]) for i in range(cp.MAX_CATALOG_ENTRIES)]
        with self.assertRaises(ValueError):
            cp.convert([("類", [("書", "a", many)])], self.tmp)


class LargeCollectionsTest(TempDirTest):
    def test_a_small_package_converts_into_a_valid_source(self):
        w = self.write_json
        w("pkg/dist/yudingquantangshi/json/001.json", [poem()])
        for n in (0, 1000, 2000):
            w(f"pkg/dist/quantangshi/poet.tang.{n}.json",
              [{"author": "甲", "paragraphs": [f"唐{n}。"], "title": "t"}])
        w("pkg/dist/quantangshi/poet.song.0.json", [{"author": "乙", "paragraphs": ["宋。"], "title": "s"}])
        w("pkg/dist/quantangshi/authors.tang.json", [{"name": "甲", "desc": "甲傳"}])
        w("pkg/dist/quantangshi/唐诗补录.json", [{"author": "佚名", "paragraphs": ["補。"], "title": ""}])
        w("pkg/dist/shuimotangshi/shuimotangshi.json", [{"author": "丙", "title": "水", "paragraphs": ["墨。"], "prologue": "序"}])
        w("pkg/dist/songci/ci.song.0.json", [{"author": "丁", "paragraphs": ["詞。"], "rhythmic": "調"}])
        w("pkg/dist/songci/ci.song.2019y.json", [{"author": "丁", "paragraphs": ["補詞。"], "rhythmic": "調"}])
        w("pkg/dist/songci/宋词三百首.json", [{"author": "丁", "paragraphs": ["選。"], "rhythmic": "調"}])
        w("pkg/dist/songci/author.song.json", [{"name": "丁", "description": "丁傳"}])
        w("pkg/dist/wudaishici/huajianji/huajianji-0-preface.json", [{"rhythmic": "花间集", "notes": ["序注"]}])
        w("pkg/dist/wudaishici/huajianji/huajianji-1-juan.json", [{"title": "一", "author": "戊", "paragraphs": ["花。"]}])
        w("pkg/dist/wudaishici/huajianji/huajianji-x-juan.json", [{"title": "十", "author": "戊", "paragraphs": ["間。"]}])
        w("pkg/dist/wudaishici/nantang/intro.json", {"title": "南唐", "desc": ["介"]})
        w("pkg/dist/wudaishici/nantang/authors.json", [{"name": "己", "desc": "己傳"}])
        w("pkg/dist/wudaishici/nantang/poetrys.json", [{"title": "南", "author": "己", "paragraphs": ["唐。"]}])
        w("pkg/dist/nalanxingde/纳兰性德诗集.json", [{"title": "納", "author": "庚", "para": ["蘭。"]}])
        w("pkg/dist/yuanqu/yuanqu.json", [{"title": f"曲{i}", "author": "辛", "paragraphs": ["元。"]} for i in range(501)])
        w("pkg/dist/shijing/shijing.json", [{"title": "关雎", "chapter": "国风", "section": "周南", "content": ["詩。"]},
                                            {"title": "鹿鸣", "chapter": "小雅", "section": "鹿鸣之什", "content": ["經。"]}])
        w("pkg/dist/chuci/chuci.json", [{"title": "离骚", "section": "离骚", "author": "屈原", "content": ["楚。"]}])
        w("pkg/dist/sishuwujing/daxue.json", {"chapter": "大學", "paragraphs": ["大。"]})
        w("pkg/dist/sishuwujing/zhongyong.json", {"chapter": "中庸", "paragraphs": ["中。"]})
        w("pkg/dist/sishuwujing/mengzi.json", [{"chapter": "梁惠王上", "paragraphs": ["孟。"]}])
        w("pkg/dist/lunyu/lunyu.json", [{"chapter": "学而篇", "paragraphs": ["論。"]}])
        w("pkg/dist/mengxue/tangshisanbaishou.json", {"title": "唐詩三百首", "content": [
            {"type": "五言絕句", "content": [{"chapter": "行宮", "subchapter": None, "author": "元稹", "paragraphs": ["宮。"]}]}]})
        w("pkg/dist/mengxue/guwenguanzhi.json", {"title": "古文觀止", "abstract": ["提要"], "content": [
            {"title": "卷一", "content": [{"chapter": "鄭伯", "source": "《左傳》", "author": "左丘明", "paragraphs": ["文。"]}]},
            {"title": "卷二", "content": [{"chapter": "曹劌", "author": "左丘明", "paragraphs": ["論。"]}]}]})
        w("pkg/dist/mengxue/wenzimengqiu.json", {"title": "文字蒙求", "author": "王筠", "content": [
            {"title": "卷一", "paragraphs": ["象形"]}]})
        w("pkg/dist/mengxue/qianziwen.json", {"title": "千字文", "author": "周興嗣", "paragraphs": ["天地玄黃"]})
        w("pkg/dist/caocaoshiji/caocao.json", [{"title": "度关山", "paragraphs": ["天地间。"]}])
        w("pkg/dist/youmengying/youmengying.json", [{"content": "读经宜冬。", "comment": ["评一"]}])

        writer = cp.convert(cp.large_collections(os.path.join(self.tmp, "pkg", "dist")),
                            os.path.join(self.tmp, "src"))
        volumes = check_source(self, os.path.join(self.tmp, "src"))
        catalog = writer.catalog
        books = [l.split("\t")[1] for l in catalog if l.startswith("book")]
        self.assertEqual(books.count("唐詩三百首"), 1)
        for expected in ("全唐詩", "全宋詩", "全宋詞", "花間集", "元曲", "詩經", "四書", "古文觀止", "幽夢影"):
            self.assertIn(expected, books)

        def text(path):
            return [l for page in volumes[path] for l in page]

        self.assertEqual([l for l in catalog if "\ttang/" in l],
                         [f"volume\t第{i}冊\ttang/000{i}.txt" for i in (1, 2, 3)])
        self.assertIn("甲{甲傳}", text("tang/0001.txt"))
        self.assertEqual([l for l in catalog if "\tyuanqu/" in l],
                         ["volume\t第1冊\tyuanqu/0001.txt", "volume\t第2冊\tyuanqu/0002.txt"])
        self.assertIn("volume\t卷十\thuajianji/0003.txt", catalog)
        self.assertEqual(text("songci/0002.txt")[1:4], ["調", "丁{丁傳}", "補詞。"])
        self.assertEqual([l.split("\t")[1] for l in catalog if "\tsishu/" in l], ["大學", "中庸", "論語", "孟子"])
        self.assertIn("{《左傳》}", text("mengxue/guwenguanzhi/0001.txt"))
        self.assertIn("{提要}", text("mengxue/guwenguanzhi/0001.txt"))
        self.assertIn("{評一}".replace("評", "评"), text("youmengying/0001.txt"))
        self.assertLessEqual(len(catalog), cp.MAX_CATALOG_ENTRIES)


if __name__ == "__main__":
    unittest.main()
