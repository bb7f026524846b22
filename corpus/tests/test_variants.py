"""Tests of the variant table builder on small relation tables."""

import contextlib
import io
import os
import shutil
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
import variants as v  # noqa: E402


def table(text):
    """OpenCC text lines "source<TAB>targets" from "发:發 髮; 髮:发"."""
    return list(v.parse_opencc(
        f"{entry.split(':')[0]}\t{entry.split(':')[1]}\n" for entry in text.split("; ") if entry))


def unihan(*entries):
    """Unihan_Variants.txt lines from (character, field, targets) triples."""
    return [f"U+{ord(c):04X}\t{field}\t" + " ".join(f"U+{ord(t):04X}" for t in targets) + "\n"
            for c, field, targets in entries]


def grouped(tables, st="", ts=""):
    st_table, ts_table = table(st), table(ts)
    chinese = [st_table, ts_table]
    pairs = v.links([(st_table, False), (ts_table, False)] + tables, st_table + ts_table, chinese)
    return sorted("".join(sorted(g)) for g in v.groups(pairs))


def normal(group_strings):
    return sorted("".join(sorted(g)) for g in group_strings)


class ParseTest(unittest.TestCase):
    def test_unihan_lines(self):
        lines = ["# comment\n", "\n",
                 "U+53D1\tkTraditionalVariant\tU+767C U+9AEE\n",
                 "U+5F8C\tkSemanticVariant\tU+540E<kMatthews,kMeyerWempe\n",
                 "U+20000\tkZVariant\tU+4E00\n",
                 "U+4E00\tkSpoofingVariant\tU+4E01\n",
                 "U+4E00\tkTraditionalVariant\n"]
        self.assertEqual(list(v.parse_unihan(lines, ("kTraditionalVariant", "kZVariant"))),
                         [("发", ["發", "髮"]), ("\U00020000", ["一"])])
        self.assertEqual(list(v.parse_unihan(lines, ("kSemanticVariant",))), [("後", ["后"])])

    def test_opencc_lines_keep_single_characters(self):
        lines = ["发\t發 髮\n", "词汇\t詞彙\n", "面\t面 麪 麵條\n", "broken line\n"]
        self.assertEqual(list(v.parse_opencc(lines)), [("发", ["發", "髮"]), ("面", ["面", "麪"])])


class GroupingTest(unittest.TestCase):
    def test_relations_join_into_groups(self):
        cases = [
            ("chain across tables", [(table("龍:竜"), True)], "龙:龍", "龍:龙", ["竜龍龙"]),
            ("one source, several targets: the default only",
             [(table("發:発; 髮:髪"), True)], "发:發 髮", "發:发; 髮:发", ["发發発", "髪髮"]),
            ("self among the targets does not make it ambiguous",
             [(table("廣:広"), True)], "广:廣 广", "廣:广", ["广広廣"]),
            ("several sources, one target, no default: left alone",
             [(table("辨:弁; 辯:弁; 瓣:弁"), True)], "辩:辯", "辯:辩", ["辩辯"]),
            ("Japanese form that is another Chinese character",
             [(table("聯:連"), True)], "联:聯; 连:連", "聯:联; 連:连", ["联聯", "连連"]),
            ("Japanese form that is the simplified form",
             [(table("國:国"), True)], "国:國", "國:国", ["国國"]),
            ("non-Han characters are ignored", [(table("A:B; 甲:b"), False)], "", "", []),
        ]
        for label, tables, st, ts, expected in cases:
            with self.subTest(label):
                self.assertEqual(grouped(tables, st, ts), normal(expected))

    def test_unihan_many_to_one_does_not_merge_through_the_simplified_form(self):
        rows = unihan(("发", "kTraditionalVariant", "發髮"), ("發", "kSimplifiedVariant", "发"),
                      ("髮", "kSimplifiedVariant", "发"), ("説", "kZVariant", "說"))
        tables = [(list(v.parse_unihan(rows, (f,))), False) for f in v.UNIHAN_FIELDS]
        self.assertEqual(grouped(tables, st="发:發 髮"), normal(["发發", "說説"]))

    def test_semantic_variants_only_when_asked(self):
        rows = unihan(("峯", "kSemanticVariant", "峰"), ("國", "kSimplifiedVariant", "国"))
        for semantic, expected in ((False, ["国國"]), (True, ["国國", "峯峰"])):
            with self.subTest(semantic=semantic):
                lines, found = v.build(rows, {}, semantic=semantic)
                self.assertEqual(normal(lines), normal(expected))
                self.assertEqual(found, len(expected))


class OrderTest(unittest.TestCase):
    groups = [{"國", "国"}, {"龍", "龙", "竜"}, {"發", "发"}, {"䶮", "龑"}]

    def test_most_frequent_groups_and_members_first(self):
        counts = {"國": 5, "龍": 50, "龙": 1, "竜": 2, "發": 20, "发": 1}
        self.assertEqual(v.order_and_cap(self.groups, counts), ["龍竜龙", "發发", "國国", "䶮龑"])

    def test_without_counts_by_code_point(self):
        self.assertEqual(v.order_and_cap(self.groups, {}), ["䶮龑", "发發", "国國", "竜龍龙"])

    def test_cap_drops_the_least_frequent(self):
        counts = {"國": 5, "龍": 50, "發": 20}
        cases = [(0, []), (1, ["龍竜龙"]), (3, ["龍竜龙", "發发", "國国"]), (10, None)]
        for cap, expected in cases:
            with self.subTest(cap=cap):
                result = v.order_and_cap(self.groups, counts, cap)
                if expected is None:
                    self.assertEqual(len(result), len(self.groups))
                else:
                    self.assertEqual(result, expected)

    def test_counts_come_from_the_volume_files(self):
        with tempfile.TemporaryDirectory() as src:
            os.makedirs(os.path.join(src, "a"))
            with open(os.path.join(src, "catalog.txt"), "w", encoding="utf-8") as f:
                f.write("category\t類\nbook\t書\nvolume\t卷一\ta/1.txt\n")
            with open(os.path.join(src, "a", "1.txt"), "w", encoding="utf-8") as f:
                f.write("國國国\n")
            counts = v.count_source(src)
            self.assertEqual((counts["國"], counts["国"], counts["類"]), (2, 1, 0))


REQUIRED = ["國国", "龍竜龙", "學学", "體体", "萬万", "與与", "廣広广", "氣気气", "澤沢泽",
            "讀読读", "發発发", "鐵鉄铁"]


@unittest.skipUnless(os.path.exists(v.UNIHAN) and os.path.isdir(v.OPENCC_DIR)
                     and shutil.which("opencc_dict"), "needs unicode-data, opencc and libopencc-data")
class DebianDataTest(unittest.TestCase):
    """The table built from the data Debian ships."""

    @classmethod
    def setUpClass(cls):
        with tempfile.TemporaryDirectory() as tmp:
            out = os.path.join(tmp, "variants.txt")
            with contextlib.redirect_stderr(io.StringIO()):
                v.main(["--out", out])
            with open(out, encoding="utf-8") as f:
                cls.lines = [l.rstrip("\n") for l in f if not l.startswith("#")]
        cls.group_of = {ch: line for line in cls.lines for ch in line}

    def test_required_groups(self):
        for chars in REQUIRED:
            with self.subTest(chars):
                self.assertEqual(set(self.group_of.get(chars[0], "")), set(chars))

    def test_distinct_characters_stay_apart(self):
        for a, b in (("發", "髮"), ("聯", "連"), ("乾", "幹"), ("辯", "瓣")):
            with self.subTest(a + b):
                self.assertNotEqual(self.group_of.get(a, a), self.group_of.get(b, b))

    def test_groups_fit_the_format(self):
        self.assertLessEqual(len(self.lines), v.MAX_GROUPS)
        seen = set()
        for line in self.lines:
            self.assertGreaterEqual(len(line), 2, line)
            self.assertFalse(seen & set(line), line)
            seen |= set(line)


if __name__ == "__main__":
    unittest.main()
