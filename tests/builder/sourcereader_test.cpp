#include "builder/sourcereader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "builder/pagelayout.h"
#include "index/indexformat.h"
#include "support/filetree.h"
#include "support/tempdir.h"

namespace vyn {
namespace {

namespace fs = std::filesystem;
using test::Files;
using test::NameText;
using test::TempDir;
using test::WriteTree;

std::string Hex(std::uint32_t codePoint) {
    char text[16];
    std::snprintf(text, sizeof text, "%X", codePoint);
    return text;
}

// The corpus as text, one node per line, so that a mismatch shows where.
std::string Dump(const Corpus& corpus) {
    std::string out;
    for (const CorpusCategory& category : corpus.categories) {
        out += "category " + NameText(category.name) + "\n";
        for (const CorpusBook& book : category.books) {
            out += " book " + NameText(book.name) + "\n";
            for (const CorpusVolume& volume : book.volumes) {
                out += "  volume " + NameText(volume.name) + " from " +
                       std::to_string(volume.firstPage) + "\n";
                for (const CorpusPage& page : volume.pages) out += "   page [" + page.title + "]\n";
            }
        }
    }
    for (const auto& group : corpus.variantGroups) {
        out += "variants";
        for (std::uint32_t c : group) out += " " + Hex(c);
        out += "\n";
    }
    return out;
}

// One page's paragraphs: "|" between paragraphs, notes in braces.
std::string DumpPage(const CorpusPage& page) {
    std::string out;
    for (const Paragraph& paragraph : page.paragraphs) {
        if (!out.empty()) out += "|";
        for (const TextRun& run : paragraph.runs) {
            out += run.kind == TextRun::kNote ? "{" + run.text + "}" : "(" + run.text + ")";
        }
    }
    return out;
}

std::string Repeat(const std::string& text, std::size_t times) {
    std::string out;
    for (std::size_t i = 0; i < times; ++i) out += text;
    return out;
}

constexpr const char* kCatalog = "category\t集部\nbook\t全唐詩\nvolume\t卷一\ttang/001.txt\n";

TEST(SourceReaderTest, ReadsTheCatalogVolumesAndVariants) {
    TempDir src;
    WriteTree(src.path(),
              {{"catalog.txt",
                "\xEF\xBB\xBF# a comment\r\n"
                "category\t集部\r\n"
                "\r\n"
                "book\t全唐詩\r\n"
                "volume\t卷一\ttang/001.txt\r\n"
                "volume\t卷二\ttang/002.txt\t7  \r\n"
                "   \r\n"
                "book\t楚辭\n"
                "volume\t離騷 上\tchu ci/li sao.txt\t65535\n"
                "category\t史部\n"
                "book\t史記\n"
                "volume\t本紀\tshi/ji.txt\t1\n"
                "volume\t" + Repeat("𠀀", 49) + "乙\tshi/ji.txt\n"},
               {"tang/001.txt",
                "# 全唐詩 卷一 第1頁\n"
                "帝京篇十首\n"
                "李世民{太宗皇帝}撰\n"
                "---\n"
                "飲馬長城窟行\n"},
               {"tang/002.txt", "\xEF\xBB\xBF塞外悲風切\r\n\r\n---\r\n# 第8頁 \r\n交河冰已結\r\n"},
               {"chu ci/li sao.txt", "帝高陽之苗裔兮\n"},
               {"shi/ji.txt", "---\n五帝本紀\n---\n"},
               {"variants.txt", "# groups\n龍竜龙\n\n體 体\t躰\n𠀀\u3000𠀁\n"}});
    Corpus corpus;
    CSourceReader reader;
    ASSERT_TRUE(reader.Read(src.path(), corpus)) << reader.GetReason();
    EXPECT_EQ(Dump(corpus),
              "category 集部\n"
              " book 全唐詩\n"
              "  volume 卷一 from 1\n"
              "   page [全唐詩 卷一 第1頁]\n"
              "   page [全唐詩 卷一 2]\n"
              "  volume 卷二 from 7\n"
              "   page [全唐詩 卷二 7]\n"
              "   page [第8頁]\n"
              " book 楚辭\n"
              "  volume 離騷 上 from 65535\n"
              "   page [楚辭 離騷 上 65535]\n"
              "category 史部\n"
              " book 史記\n"
              "  volume 本紀 from 1\n"
              "   page [史記 本紀 1]\n"
              "  volume " + Repeat("𠀀", 49) + "乙 from 1\n"
              "   page [史記 " + Repeat("𠀀", 49) + "乙 1]\n"
              "variants 9F8D 7ADC 9F99\n"
              "variants 9AD4 4F53 8EB0\n"
              "variants 20000 20001\n");
    const CorpusVolume& first = corpus.categories[0].books[0].volumes[0];
    EXPECT_EQ(DumpPage(first.pages[0]), "(帝京篇十首)|(李世民){太宗皇帝}(撰)");
    EXPECT_EQ(DumpPage(first.pages[1]), "(飲馬長城窟行)");
    EXPECT_EQ(DumpPage(corpus.categories[0].books[0].volumes[1].pages[0]), "(塞外悲風切)");
}

// How one volume file is cut into pages, labels, paragraphs and runs.
TEST(SourceReaderTest, VolumeTextBecomesPagesAndRuns) {
    const struct {
        const char* name;
        std::string text;
        std::string pages;  // pages joined by "\n", each "[label] paragraphs"
    } cases[] = {
        {"one line, no break", "甲", "[書 卷 1] (甲)"},
        {"no final newline and trailing blanks", "甲 \t\n乙", "[書 卷 1] (甲)|(乙)"},
        {"leading blanks are kept", "  甲", "[書 卷 1] (  甲)"},
        {"break before the first page", "\n---\n甲\n", "[書 卷 1] (甲)"},
        {"break after the last page", "甲\n---\n\n", "[書 卷 1] (甲)"},
        {"label needs the space", "#甲\n", "[書 卷 1] (#甲)"},
        {"label only at the start of a page", "甲\n# 乙\n", "[書 卷 1] (甲)|(# 乙)"},
        {"second label line is text", "# 甲\n# 乙\n", "[甲] (# 乙)"},
        {"label after blank lines", "\n\n#   標 題\n甲", "[標 題] (甲)"},
        {"label may hold a TAB", "# 甲\t乙\n丙", "[甲\t乙] (丙)"},
        {"annotation only", "{注}", "[書 卷 1] {注}"},
        {"annotations around text", "{注}甲{疏}", "[書 卷 1] {注}(甲){疏}"},
        {"empty annotation joins the text", "甲{}乙\n", "[書 卷 1] (甲乙)"},
        {"paragraph of an empty annotation is dropped", "甲\n{}\n", "[書 卷 1] (甲)"},
        {"TAB inside text", "甲\t乙", "[書 卷 1] (甲\t乙)"},
        {"full-width marks are text", "｛甲｝＜", "[書 卷 1] (｛甲｝＜)"},
        {"pages numbered on", "甲\n---\n乙\n---\n# 丙\n丁", "[書 卷 1] (甲)\n[書 卷 2] (乙)\n[丙] (丁)"},
        {"CR LF page break", "甲\r\n---\r\n乙\r\n", "[書 卷 1] (甲)\n[書 卷 2] (乙)"},
        {"break with trailing blanks", "甲\n--- \n乙", "[書 卷 1] (甲)\n[書 卷 2] (乙)"},
        {"four dashes are text", "----", "[書 卷 1] (----)"},
        {"a bare # is text", "# \n甲", "[書 卷 1] (#)|(甲)"},
        {"byte-order mark only opens the file", "\xEF\xBB\xBF甲\n\xEF\xBB\xBF乙",
         "[書 卷 1] (甲)|(\xEF\xBB\xBF乙)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir src;
        WriteTree(src.path(),
                  {{"catalog.txt", "category\t部\nbook\t書\nvolume\t卷\tv.txt\n"}, {"v.txt", c.text}});
        Corpus corpus;
        CSourceReader reader;
        ASSERT_TRUE(reader.Read(src.path(), corpus)) << reader.GetReason();
        std::string pages;
        for (const CorpusPage& page : corpus.categories.at(0).books.at(0).volumes.at(0).pages) {
            if (!pages.empty()) pages += "\n";
            pages += "[" + page.title + "] " + DumpPage(page);
        }
        EXPECT_EQ(pages, c.pages);
    }
}

TEST(SourceReaderTest, MalformedSourcesNameTheFileAndLine) {
    std::string catalogOf10000 = "category\t部\nbook\t書\n";
    for (int i = 0; i < 9998; ++i) catalogOf10000 += "volume\t卷\ttang/001.txt\n";
    std::string binary;
    for (int b = 0; b < 256; ++b) binary.push_back(static_cast<char>(b));
    std::string groups;
    for (std::uint32_t g = 0; g <= kMaxVariantGroups; ++g) groups += "甲乙\n";

    const struct {
        const char* name;
        Files files;  // written over the good source: kCatalog and "甲\n" in tang/001.txt
        std::string reason;
    } cases[] = {
        // The catalog.
        {"no catalog", {{"catalog.txt/", ""}}, "catalog.txt: is not a regular file"},
        {"empty catalog", {{"catalog.txt", ""}}, "catalog.txt: no category"},
        {"comments only", {{"catalog.txt", "# x\n\n"}}, "catalog.txt: no category"},
        {"unknown entry", {{"catalog.txt", "category\t部\nBook\t書\n"}},
         "catalog.txt:2: unknown entry \"Book\"; expected category, book or volume"},
        {"long unknown entry is cut short", {{"catalog.txt", Repeat("甲", 100) + "\n"}},
         "catalog.txt:1: unknown entry \"" + Repeat("甲", 20) + "...\"; expected category, book or volume"},
        {"name with spaces for TAB", {{"catalog.txt", "category 部\n"}},
         "catalog.txt:1: unknown entry \"category 部\"; expected category, book or volume"},
        {"category with two names", {{"catalog.txt", "category\t部\t二\n"}},
         "catalog.txt:1: expected category<TAB>NAME"},
        {"book without a name", {{"catalog.txt", "category\t部\nbook\t \n"}},
         "catalog.txt:2: expected book<TAB>NAME"},
        {"volume without a file", {{"catalog.txt", "category\t部\nbook\t書\nvolume\t卷\n"}},
         "catalog.txt:3: expected volume<TAB>NAME<TAB>FILE[<TAB>FIRST-PAGE]"},
        {"volume with five fields", {{"catalog.txt", "category\t部\nbook\t書\nvolume\t卷\ttang/001.txt\t1\t2\n"}},
         "catalog.txt:3: expected volume<TAB>NAME<TAB>FILE[<TAB>FIRST-PAGE]"},
        {"empty name between TABs", {{"catalog.txt", "category\t部\nbook\t書\nvolume\t\ttang/001.txt\n"}},
         "catalog.txt:3: empty name"},
        {"book before any category", {{"catalog.txt", "# c\nbook\t書\n"}},
         "catalog.txt:2: book before any category"},
        {"volume before any book", {{"catalog.txt", "category\t部\nvolume\t卷\ttang/001.txt\n"}},
         "catalog.txt:2: volume before any book"},
        {"category without a book", {{"catalog.txt", "category\t甲\n\ncategory\t部\nbook\t書\n"}},
         "catalog.txt:1: category \"甲\" has no book"},
        {"last category without a book", {{"catalog.txt", std::string(kCatalog) + "category\t乙\n"}},
         "catalog.txt:4: category \"乙\" has no book"},
        {"book without a volume", {{"catalog.txt", "category\t部\nbook\t甲\nbook\t書\nvolume\t卷\ttang/001.txt\n"}},
         "catalog.txt:2: book \"甲\" has no volume"},
        {"last book without a volume", {{"catalog.txt", std::string(kCatalog) + "book\t乙\n"}},
         "catalog.txt:4: book \"乙\" has no volume"},
        {"name of 100 UTF-16 units", {{"catalog.txt", "category\t" + Repeat("𠀀", 50) + "\n"}},
         "catalog.txt:1: name longer than 99 UTF-16 code units"},
        {"10000 catalog entries", {{"catalog.txt", catalogOf10000}},
         "catalog.txt:10000: more than 9999 catalog entries"},
        {"catalog not UTF-8", {{"catalog.txt", "category\t\xE9\n"}}, "catalog.txt:1: not valid UTF-8"},
        {"control character in a name", {{"catalog.txt", "category\t部\x01\n"}},
         "catalog.txt:1: control character U+0001"},
        // First pages.
        {"first page 0", {{"catalog.txt", std::string(kCatalog) + "volume\t二\ttang/001.txt\t0\n"}},
         "catalog.txt:4: first page \"0\" is not a number from 1 to 65535"},
        {"first page 65536", {{"catalog.txt", std::string(kCatalog) + "volume\t二\ttang/001.txt\t65536\n"}},
         "catalog.txt:4: first page \"65536\" is not a number from 1 to 65535"},
        {"first page beyond 32 bits",
         {{"catalog.txt", std::string(kCatalog) + "volume\t二\ttang/001.txt\t99999999999999999999\n"}},
         "catalog.txt:4: first page \"99999999999999999999\" is not a number from 1 to 65535"},
        {"first page signed", {{"catalog.txt", std::string(kCatalog) + "volume\t二\ttang/001.txt\t+3\n"}},
         "catalog.txt:4: first page \"+3\" is not a number from 1 to 65535"},
        {"first page with a letter", {{"catalog.txt", std::string(kCatalog) + "volume\t二\ttang/001.txt\t3a\n"}},
         "catalog.txt:4: first page \"3a\" is not a number from 1 to 65535"},
        // Volume paths.
        {"file climbing out", {{"catalog.txt", std::string(kCatalog) + "volume\t二\t../001.txt\n"}},
         "catalog.txt:4: file \"../001.txt\" is not a relative path of names joined by \"/\" inside "
         "the source folder"},
        {"absolute file", {{"catalog.txt", std::string(kCatalog) + "volume\t二\t/etc/hostname\n"}},
         "catalog.txt:4: file \"/etc/hostname\" is not a relative path of names joined by \"/\" inside "
         "the source folder"},
        {"climbing inside the path", {{"catalog.txt", std::string(kCatalog) + "volume\t二\ttang/../tang/001.txt\n"}},
         "catalog.txt:4: file \"tang/../tang/001.txt\" is not a relative path of names joined by \"/\" "
         "inside the source folder"},
        {"backslash", {{"catalog.txt", std::string(kCatalog) + "volume\t二\ttang\\001.txt\n"}},
         "catalog.txt:4: file \"tang\\001.txt\" is not a relative path of names joined by \"/\" inside "
         "the source folder"},
        {"double slash", {{"catalog.txt", std::string(kCatalog) + "volume\t二\ttang//001.txt\n"}},
         "catalog.txt:4: file \"tang//001.txt\" is not a relative path of names joined by \"/\" inside "
         "the source folder"},
        {"missing file", {{"catalog.txt", std::string(kCatalog) + "volume\t二\ttang/002.txt\n"}},
         "catalog.txt:4: \"tang/002.txt\" does not exist"},
        {"file is a folder", {{"catalog.txt", std::string(kCatalog) + "volume\t二\ttang\n"}},
         "catalog.txt:4: \"tang\" is not a regular file"},
        // Volume text.
        {"empty volume file", {{"tang/001.txt", ""}}, "tang/001.txt: holds no page"},
        {"blank volume file", {{"tang/001.txt", "\n \n\t\n"}}, "tang/001.txt: holds no page"},
        {"breaks only", {{"tang/001.txt", "---\n"}}, "tang/001.txt: holds no page"},
        {"two breaks in a row", {{"tang/001.txt", "甲\n---\n\n---\n乙\n"}}, "tang/001.txt:4: empty page"},
        {"two leading breaks", {{"tang/001.txt", "---\n---\n甲\n"}}, "tang/001.txt:2: empty page"},
        {"two trailing breaks", {{"tang/001.txt", "甲\n---\n---\n"}}, "tang/001.txt:3: empty page"},
        {"label without text", {{"tang/001.txt", "甲\n---\n# 標\n---\n乙\n"}},
         "tang/001.txt:3: page label without text"},
        {"label at the end without text", {{"tang/001.txt", "甲\n---\n\n# 標\n"}},
         "tang/001.txt:4: page label without text"},
        {"brace in a label", {{"tang/001.txt", "# 標{注}\n甲\n"}}, "tang/001.txt:1: \"{\" in a page label"},
        {"markup in a label", {{"tang/001.txt", "# a&b\n甲\n"}}, "tang/001.txt:1: \"&\" in a page label"},
        {"unclosed brace", {{"tang/001.txt", "甲\n乙{注\n丙}\n"}}, "tang/001.txt:2: \"{\" without \"}\""},
        {"nested brace", {{"tang/001.txt", "甲{注{疏}}\n"}}, "tang/001.txt:1: \"{\" inside an annotation"},
        {"stray closing brace", {{"tang/001.txt", "甲\n\n乙}丙\n"}}, "tang/001.txt:3: \"}\" without \"{\""},
        {"less-than", {{"tang/001.txt", "甲<b>\n"}}, "tang/001.txt:1: \"<\" in the text"},
        {"greater-than in a note", {{"tang/001.txt", "甲{>}\n"}}, "tang/001.txt:1: \">\" in the text"},
        {"ampersand", {{"tang/001.txt", "甲\n&nbsp;\n"}}, "tang/001.txt:2: \"&\" in the text"},
        {"NUL byte", {{"tang/001.txt", std::string("甲\n乙\0丙\n", 12)}},
         "tang/001.txt:2: control character U+0000"},
        {"lone CR", {{"tang/001.txt", "甲\r乙\n"}}, "tang/001.txt:1: control character U+000D"},
        {"DEL", {{"tang/001.txt", "甲\x7F\n"}}, "tang/001.txt:1: control character U+007F"},
        {"C1 control", {{"tang/001.txt", "甲\xC2\x85\n"}}, "tang/001.txt:1: control character U+0085"},
        {"control character on a blank-looking line", {{"tang/001.txt", "甲\n\x0C\n"}},
         "tang/001.txt:2: control character U+000C"},
        {"binary file", {{"tang/001.txt", binary}}, "tang/001.txt:1: control character U+0000"},
        {"truncated UTF-8", {{"tang/001.txt", "甲\n\xE4\xB9\n"}}, "tang/001.txt:2: not valid UTF-8"},
        {"overlong UTF-8", {{"tang/001.txt", "\xC0\xBC\n"}}, "tang/001.txt:1: not valid UTF-8"},
        {"encoded surrogate", {{"tang/001.txt", "\xED\xA0\x80\n"}}, "tang/001.txt:1: not valid UTF-8"},
        {"page number past 65535",
         {{"catalog.txt", "category\t部\nbook\t書\nvolume\t卷\ttang/001.txt\t65535\n"},
          {"tang/001.txt", "甲\n---\n\n乙\n"}},
         "tang/001.txt:4: page number 65536 is over 65535"},
        {"line over the limit", {{"tang/001.txt", "甲\n" + std::string(CSourceReader::kMaxLineBytes + 1, 'a')}},
         "tang/001.txt:2: line longer than 16777216 bytes"},
        // The variant table.
        {"variant group of one", {{"variants.txt", "龍竜\n# x\n 龍 \n"}},
         "variants.txt:3: a variant group needs at least two characters"},
        {"variant group of spaces", {{"variants.txt", "龍竜\n\u3000 \u3000\n"}},
         "variants.txt:2: a variant group needs at least two characters"},
        {"variant twice in a group", {{"variants.txt", "龍竜 龍\n"}}, "variants.txt:1: \"龍\" twice in one group"},
        {"variants not UTF-8", {{"variants.txt", "龍\xFF\n"}}, "variants.txt:1: not valid UTF-8"},
        {"control character in variants", {{"variants.txt", "龍\x1B竜\n"}},
         "variants.txt:1: control character U+001B"},
        {"too many variant groups", {{"variants.txt", groups}}, "variants.txt:11936: more than 11935 variant groups"},
        {"variant table a folder", {{"variants.txt/", ""}}, "variants.txt: is not a regular file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir src;
        Files files = {{"catalog.txt", kCatalog}, {"tang/001.txt", "甲\n"}};
        for (const auto& [name, bytes] : c.files) {
            files.erase(name.ends_with("/") ? name.substr(0, name.size() - 1) : name);
            files[name] = bytes;
        }
        WriteTree(src.path(), files);
        Corpus corpus;
        corpus.categories.push_back({std::string("untouched"), {}});
        CSourceReader reader;
        EXPECT_FALSE(reader.Read(src.path(), corpus));
        EXPECT_EQ(reader.GetReason(), c.reason);
        EXPECT_EQ(Dump(corpus), "category untouched\n");
    }
}

// A read keeps the books its scope keeps, and reads only their files: a volume of
// another book may be missing or malformed.
TEST(SourceReaderTest, ScopeKeepsTheChosenBooksAndShowsEachVolume) {
    TempDir src;
    WriteTree(src.path(),
              {{"catalog.txt",
                "category\t經部\nbook\t周易\nvolume\t上\ta.txt\nvolume\t下\tmissing.txt\n"
                "book\t尚書\nvolume\t一\tb.txt\n"
                "category\t史部\nbook\t史記\nvolume\t一\tbad.txt\nbook\t漢書\nvolume\t一\tc.txt\n"
                "category\t子部\nbook\t老子\nvolume\t一\ta.txt\n"},
               {"a.txt", "甲\n"},
               {"b.txt", "乙\n---\n丙\n"},
               {"bad.txt", "甲{\n"},
               {"c.txt", "丁\n---\n戊\n"},
               {"variants.txt", "龍竜\n"}});
    std::string seen;
    ReadScope scope;
    scope.keepBook = [](std::size_t category, std::size_t book) {
        return category < 2 && book == 1;
    };
    scope.onVolume = [&](std::size_t category, std::size_t book, CorpusVolume& volume) {
        seen += std::to_string(category) + "." + std::to_string(book) + " " +
                NameText(volume.name) + " " + std::to_string(volume.pages.size()) + "\n";
        volume.pages.pop_back();
    };
    Corpus corpus;
    CSourceReader reader;
    ASSERT_TRUE(reader.Read(src.path(), corpus, scope)) << reader.GetReason();
    EXPECT_EQ(seen, "0.1 一 2\n1.1 一 2\n");
    EXPECT_EQ(Dump(corpus),
              "category 經部\n"
              " book 尚書\n"
              "  volume 一 from 1\n"
              "   page [尚書 一 1]\n"
              "category 史部\n"
              " book 漢書\n"
              "  volume 一 from 1\n"
              "   page [漢書 一 1]\n"
              "variants 9F8D 7ADC\n");

    // A kept book's files are read and checked.
    scope.keepBook = [](std::size_t category, std::size_t book) {
        return category == 1 && book == 0;
    };
    EXPECT_FALSE(reader.Read(src.path(), corpus, scope));
    EXPECT_EQ(reader.GetReason(), "bad.txt:1: \"{\" without \"}\"");
}

// One data folder's catalog holds 9,999 entries; a read for a library takes more.
TEST(SourceReaderTest, ALibraryReadPassesTheCatalogCapOfOneFolder) {
    std::string catalog = "category\t部\nbook\t書\n";
    for (int i = 0; i < 9998; ++i) catalog += "volume\t卷\tv.txt\n";
    TempDir src;
    WriteTree(src.path(), {{"catalog.txt", catalog}, {"v.txt", "甲\n"}});
    Corpus corpus;
    CSourceReader reader;
    EXPECT_FALSE(reader.Read(src.path(), corpus));
    EXPECT_EQ(reader.GetReason(), "catalog.txt:10000: more than 9999 catalog entries");
    ReadScope scope;
    scope.oneFolder = false;
    ASSERT_TRUE(reader.Read(src.path(), corpus, scope)) << reader.GetReason();
    EXPECT_EQ(corpus.categories.at(0).books.at(0).volumes.size(), 9998u);
}

TEST(SourceReaderTest, SymbolicLinksMustStayInsideTheSource) {
    TempDir outside;
    test::WriteFile(outside / "secret.txt", "甲\n");
    TempDir src;
    WriteTree(src.path(), {{"catalog.txt", std::string(kCatalog) + "volume\t二\tlinked/secret.txt\n"
                                                                    "volume\t三\tinner.txt\n"},
                           {"tang/001.txt", "甲\n"}});
    fs::create_directory_symlink(outside.path(), src / "linked");
    fs::create_symlink("tang/001.txt", src / "inner.txt");
    CSourceReader reader;
    Corpus corpus;
    EXPECT_FALSE(reader.Read(src.path(), corpus));
    EXPECT_EQ(reader.GetReason(), "catalog.txt:4: \"linked/secret.txt\" leads outside the source folder");

    fs::remove(src / "linked");
    WriteTree(src.path(), {{"linked/secret.txt", "乙\n"}});
    ASSERT_TRUE(reader.Read(src.path(), corpus)) << reader.GetReason();
    EXPECT_EQ(DumpPage(corpus.categories[0].books[0].volumes[2].pages[0]), "(甲)");
}

TEST(SourceReaderTest, MissingSourceFolderOrCatalog) {
    TempDir parent;
    test::WriteFile(parent / "file", "x");
    fs::create_directory(parent / "empty");
    const struct {
        fs::path folder;
        std::string reason;
    } cases[] = {
        {parent / "none", (parent / "none").string() + ": not a folder"},
        {parent / "file", (parent / "file").string() + ": not a folder"},
        {parent / "empty", "catalog.txt: does not exist"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder.string());
        CSourceReader reader;
        Corpus corpus;
        EXPECT_FALSE(reader.Read(c.folder, corpus));
        EXPECT_EQ(reader.GetReason(), c.reason);
    }
}

// The reader refuses a page exactly when the layout could not position it, so
// the build never fails on a page without naming its line.
TEST(SourceReaderTest, PageSizeLimitAgreesWithTheLayout) {
    const std::size_t lastGap = (kMaxPosition / kBoundaryGap) * kBoundaryGap;
    const std::size_t paragraphs = kMaxPosition / kBoundaryGap + 1;  // the last starts at lastGap
    const struct {
        const char* name;
        std::size_t paragraphs;
        std::size_t lastParagraphCharacters;
        bool withNote;
    } cases[] = {
        {"last position exactly at the limit", paragraphs, kMaxPosition - lastGap + 1, false},
        {"one past the limit", paragraphs, kMaxPosition - lastGap + 2, false},
        {"one paragraph more", paragraphs + 1, 1, false},
        {"a note adds a gap", paragraphs - 2, 1, true},
        {"a note adds a gap, past the limit", paragraphs - 1, 1, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string text = Repeat("甲\n", c.paragraphs - 1);
        if (c.withNote) text += "乙{注}\n";
        text += Repeat("丙", c.lastParagraphCharacters) + "\n";
        TempDir src;
        WriteTree(src.path(), {{"catalog.txt", kCatalog}, {"tang/001.txt", "甲\n---\n" + text}});
        CSourceReader reader;
        Corpus corpus;
        const bool read = reader.Read(src.path(), corpus);

        CorpusPage page;
        for (std::size_t i = 0; i + 1 < c.paragraphs; ++i) page.paragraphs.push_back({{{TextRun::kMain, "甲"}}});
        if (c.withNote) page.paragraphs.push_back({{{TextRun::kMain, "乙"}, {TextRun::kNote, "注"}}});
        page.paragraphs.push_back({{{TextRun::kMain, Repeat("丙", c.lastParagraphCharacters)}}});
        LaidOutPage laid;
        std::string error;
        const bool fits = LayOutPage(page, 2, laid, error);

        EXPECT_EQ(read, fits);
        if (!read) {
            EXPECT_EQ(reader.GetReason(), "tang/001.txt:3: page too long for the index");
        }
    }
}

}  // namespace
}  // namespace vyn
