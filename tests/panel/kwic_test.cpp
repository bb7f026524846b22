// The hit rows of searches on a small built corpus, checked against the pages the
// reader renders for them, the same rows read away from the panel, and their export
// formats read back.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "builder/databuilder.h"
#include "encoding/utf.h"
#include "index/datageneration.h"
#include "index/index.h"
#include "textstore/catalog.h"
#include "panel/export.h"
#include "panel/fixture.h"
#include "panel/kwicrows.h"
#include "panel/kwictable.h"
#include "panel/panellogic.h"
#include "panel/searchhits.h"
#include "support/corpustext.h"
#include "support/tempdir.h"
#include "textstore/storeformat.h"

namespace vyn {
namespace {

using test::Para;
using test::U16;
using test::U8;

// 詩 > 全唐詩 > 卷一 (pages 1-4), 卷二 (pages 5-6); 明 and 朙, 國 and 国 are variants.
void BuildCorpus(const std::filesystem::path& folder) {
    CorpusVolume one{"卷一", 1,
                     {{"一", {Para("床前明月光"), Para("疑是地上霜")}},
                      {"二", {Para("明月幾時有"), Para("朙月照人")}},
                      {"三", {Para("秦川雄帝宅", "注明月")}},
                      {"四", {Para("長安一片月"), Para("萬戶擣衣聲")}}}};
    CorpusVolume two{"卷二", 5, {{"五", {Para("國破山河在")}}, {"六", {Para("国明月")}}}};
    Corpus corpus;
    corpus.categories.push_back({"詩", {{"全唐詩", {one, two}}}});
    corpus.variantGroups = {{0x660E, 0x6719}, {0x570B, 0x56FD}};
    CDataBuilder builder;
    BuildStats stats;
    ASSERT_TRUE(builder.Build(corpus, folder, stats)) << builder.GetReason();
}

// The page's text as an independent reading gives it: paragraph joins as one mark,
// tags dropped (the corpus holds no character references).
std::u16string PageText(const ByteString& page) {
    std::string text(page.begin(), page.end()), plain;
    for (std::size_t at; (at = text.find("</p><p>")) != std::string::npos;) {
        text.replace(at, 7, "／");
    }
    bool inTag = false;
    for (char c : text) {
        if (c == '<') inTag = true;
        if (!inTag) plain += c;
        if (c == '>') inTag = false;
    }
    return U16(plain);
}

// The highlighted text that anchor n opens, found by plain string search.
std::u16string Highlighted(const ByteString& page, int n) {
    const std::string text(page.begin(), page.end());
    char anchor[32];
    std::snprintf(anchor, sizeof anchor, "<a name=\"%04d\"></a>", n);
    std::size_t at = text.find(std::string(anchor) + std::string(kHighlightOpen));
    if (at == std::string::npos) return u"<no highlight>";
    at += std::string(anchor).size() + kHighlightOpen.size();
    return U16(text.substr(at, text.find(kHighlightClose, at) - at));
}

std::vector<std::string> ParseCsvRecord(std::string_view text, std::size_t& at) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    while (at < text.size()) {
        const char c = text[at++];
        if (quoted) {
            if (c == '"' && at < text.size() && text[at] == '"') {
                fields.back() += '"';
                ++at;
            } else if (c == '"') {
                quoted = false;
            } else {
                fields.back() += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields.emplace_back();
        } else if (c == '\r' && at < text.size() && text[at] == '\n') {
            ++at;
            return fields;
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

KwicRow RowOf(const std::map<std::string, std::string>& f) {
    KwicRow row;
    row.record = static_cast<std::uint32_t>(std::stoul(f.at("record")));
    row.anchor = std::stoi(f.at("anchor"));
    row.category = U16(f.at("category"));
    row.book = U16(f.at("book"));
    row.volume = U16(f.at("volume"));
    row.page = static_cast<std::uint32_t>(std::stoul(f.at("page")));
    row.left = U16(f.at("left"));
    row.hit = U16(f.at("hit"));
    row.right = U16(f.at("right"));
    return row;
}

std::vector<KwicRow> ReadCsv(const std::string& csv) {
    EXPECT_EQ(csv.substr(0, 3), kUtf8ByteOrderMark);
    const std::string_view text = std::string_view(csv).substr(3);
    std::size_t at = 0;
    const std::vector<std::string> header = ParseCsvRecord(text, at);
    EXPECT_EQ(header, (std::vector<std::string>{"レコード", "アンカー", "類別", "書名", "巻", "頁",
                                                "前", "語", "後"}));
    const char* keys[] = {"record", "anchor", "category", "book", "volume", "page", "left", "hit", "right"};
    std::vector<KwicRow> rows;
    while (at < text.size()) {
        const std::vector<std::string> fields = ParseCsvRecord(text, at);
        std::map<std::string, std::string> named;
        for (std::size_t i = 0; i < fields.size() && i < 9; ++i) named[keys[i]] = fields[i];
        EXPECT_EQ(fields.size(), 9u);
        rows.push_back(RowOf(named));
    }
    return rows;
}

// An array of flat objects whose values are strings or numbers.
std::vector<KwicRow> ReadJson(const std::string& json) {
    std::vector<KwicRow> rows;
    std::size_t at = json.find('[') + 1;
    auto skip = [&] { while (at < json.size() && std::isspace(static_cast<unsigned char>(json[at]))) ++at; };
    auto string = [&] {
        std::string out;
        ++at;  // opening quote
        while (json[at] != '"') {
            if (json[at] == '\\') {
                ++at;
                if (json[at] == 'u') {
                    out += static_cast<char>(std::stoi(json.substr(at + 1, 4), nullptr, 16));
                    at += 4;
                } else {
                    out += json[at];
                }
            } else {
                out += json[at];
            }
            ++at;
        }
        ++at;
        return out;
    };
    for (skip(); json[at] == '{'; skip()) {
        ++at;
        std::map<std::string, std::string> fields;
        for (skip(); json[at] == '"'; skip()) {
            const std::string key = string();
            skip();
            EXPECT_EQ(json[at], ':');
            ++at;
            skip();
            if (json[at] == '"') {
                fields[key] = string();
            } else {
                const std::size_t end = json.find_first_of(",}", at);
                fields[key] = json.substr(at, end - at);
                at = end;
            }
            skip();
            if (json[at] == ',') ++at;
        }
        EXPECT_EQ(json[at], '}');
        ++at;
        rows.push_back(RowOf(fields));
        skip();
        if (json[at] == ',') ++at;
    }
    EXPECT_EQ(json[at], ']');
    return rows;
}

void ExpectSameRows(const std::vector<KwicRow>& a, const std::vector<KwicRow>& b) {
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(a[i].record, b[i].record);
        EXPECT_EQ(a[i].anchor, b[i].anchor);
        EXPECT_EQ(a[i].category, b[i].category);
        EXPECT_EQ(a[i].book, b[i].book);
        EXPECT_EQ(a[i].volume, b[i].volume);
        EXPECT_EQ(a[i].page, b[i].page);
        EXPECT_EQ(a[i].left, b[i].left);
        EXPECT_EQ(a[i].hit, b[i].hit);
        EXPECT_EQ(a[i].right, b[i].right);
    }
}

std::size_t Characters(const std::u16string& text) {
    std::size_t count = 0;
    for (char16_t unit : text) count += (unit & 0xFC00) == 0xDC00 ? 0 : 1;
    return count;
}

TEST(KwicRows, AgreeWithTheRenderedPagesAndSurviveExport) {
    test::TempDir dir;
    BuildCorpus(dir.path());
    struct Case {
        const char* name;
        std::u16string query;
        int andOr;
        TextPart part;
        bool variants;
        std::size_t context;
        std::vector<std::pair<std::u16string, std::size_t>> forms;  // the hit forms
        std::u16string firstRight;  // the right context of the first row
    } const cases[] = {
        {"PlainWord", u"明月", 0, TextPart::kWhole, false, 10,
         {{u"明月", 4}}, u"光／疑是地上霜"},
        {"VariantForms", u"明月", 0, TextPart::kWhole, true, 10,
         {{u"明月", 4}, {u"朙月", 1}}, u"光／疑是地上霜"},
        {"VariantOfAnotherCharacter", u"国", 0, TextPart::kWhole, true, 2,
         {{u"國", 1}, {u"国", 1}}, u"破山"},
        {"QuestionMark", u"長?", 0, TextPart::kWhole, false, 3, {{u"長安", 1}}, u"一片月"},
        {"Star", u"長*月", 0, TextPart::kWhole, false, 3, {{u"長安一片月", 1}}, u"／萬戶"},
        {"ContextCutShort", u"明月", 0, TextPart::kWhole, false, 1, {{u"明月", 4}}, u"光"},
        {"AndOfTwoWords", u"明月 霜", 0, TextPart::kWhole, false, 10,
         {{u"明月", 1}, {u"霜", 1}}, u"光／疑是地上霜"},
        {"OrOfTwoWords", u"秦川 國", 1, TextPart::kWhole, false, 10,
         {{u"秦川", 1}, {u"國", 1}}, u"雄帝宅注明月"},
        {"NotesOnly", u"明月", 0, TextPart::kNotes, false, 10, {{u"明月", 1}}, u""},
        {"MainOnly", u"明月", 0, TextPart::kMain, false, 10, {{u"明月", 3}}, u"光／疑是地上霜"},
        {"NoHit", u"山月", 0, TextPart::kWhole, false, 10, {}, u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CIndex index;
        CSearchCommand command;
        ASSERT_TRUE(command.SelectTextPart(index, dir.path(), c.part));
        CCatalog catalog;
        ASSERT_TRUE(catalog.LoadCatalog(dir.path() / "vyn.dir", {}));
        command.SetAndOr(c.andOr);
        command.SetVariants(c.variants);
        const std::optional<std::u16string> field = c.query;
        ASSERT_EQ(command.OnSearch(index, catalog, 1, u"", {&field, 1}),
                  CSearchCommand::Outcome::kSearched);

        const std::vector<KwicRow> rows = KwicRows(index, command, c.context);
        EXPECT_EQ(HitForms(rows), c.forms);
        EXPECT_EQ(rows.empty() ? u"" : rows.front().right, c.firstRight);

        ExpectSameRows(ReadCsv(ExportKwic(rows, ExportFormat::kCsv)), rows);
        ExpectSameRows(ReadJson(ExportKwic(rows, ExportFormat::kJson)), rows);
        // A wildcard word gives a row per match (kwicwild_test.cpp).
        if (c.query.find_first_of(u"?*") != std::u16string::npos) continue;

        // Every anchor of every result page is one row, in list and anchor order.
        std::size_t next = 0;
        for (const SearchNodeTag& entry : command.Results()) {
            ByteString page;
            const int anchors = index.RenderHitPage(entry.pageIndex, page, command.Keyword(),
                                                    command.ScopeKind(), command.Variants());
            const std::u16string text = PageText(page);
            for (int n = 0; n < anchors; ++n, ++next) {
                SCOPED_TRACE(n);
                ASSERT_LT(next, rows.size());
                const KwicRow& row = rows[next];
                EXPECT_EQ(row.record, entry.pageIndex);
                EXPECT_EQ(row.anchor, n);
                EXPECT_EQ(row.page, entry.pageNo);
                EXPECT_EQ(row.volume, entry.volume);
                EXPECT_EQ(row.hit, Highlighted(page, n));
                EXPECT_LE(Characters(row.left), c.context);
                EXPECT_LE(Characters(row.right), c.context);
                EXPECT_NE(text.find(row.left + row.hit + row.right), std::u16string::npos)
                    << U8(row.left + u"|" + row.hit + u"|" + row.right);
            }
        }
        EXPECT_EQ(next, rows.size());
    }
}

TEST(SearchHits, AreTheRowsOfThePanelsLastSearchReadOnAThreadOfTheirOwn) {
    test::TempDir dir;
    BuildCorpus(dir.path());
    const struct {
        const char* name;
        std::u16string query;
        TextPart part;
        std::size_t rows;
    } cases[] = {
        {"Whole", u"明月", TextPart::kWhole, 5},
        {"NotesOnly", u"明月", TextPart::kNotes, 1},
        {"MainOnly", u"明月", TextPart::kMain, 4},
        {"NoHit", u"山月", TextPart::kWhole, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CPanelLogic panel;
        ASSERT_TRUE(panel.OpenIndex(dir.path()));
        ASSERT_TRUE(panel.LoadCatalog(dir.path(), {}));
        EXPECT_TRUE(panel.HitsOfSearch().Entries().empty());  // before a search
        ASSERT_TRUE(panel.Search().SelectTextPart(panel.Index(), dir.path(), c.part));
        std::optional<std::u16string> field = c.query;
        ASSERT_EQ(panel.OnSearch(u"", {&field, 1}), CSearchCommand::Outcome::kSearched);
        const std::vector<KwicRow> expected = KwicRows(panel.Index(), panel.Search(), kDefaultKwicContext);
        EXPECT_EQ(expected.size(), c.rows);

        CSearchHits hits = panel.HitsOfSearch();
        const std::size_t entries = hits.Entries().size();
        EXPECT_EQ(entries, panel.Search().Results().size());
        std::vector<KwicRow> rows;
        EXPECT_EQ(hits.AppendRows(0, entries, kDefaultKwicContext, rows), 0u);  // not open yet
        bool opened = false;
        std::thread reader([&] {
            opened = hits.Open();
            for (std::size_t i = 0; i < entries; ++i) hits.AppendRows(i, i + 1, kDefaultKwicContext, rows);
            hits.AppendRows(entries, entries + 3, kDefaultKwicContext, rows);  // past the end
        });
        // The panel searches on meanwhile.
        field = u"國";
        panel.OnSearch(u"", {&field, 1});
        reader.join();
        EXPECT_TRUE(opened);
        ExpectSameRows(rows, expected);
    }
}

// The result list's tool tips are each page's first hit row, for each text part.
TEST(ListPageRows, CarryTheFirstHitOfTheirPageInContext) {
    test::TempDir dir;
    BuildCorpus(dir.path());
    for (TextPart part : {TextPart::kWhole, TextPart::kMain, TextPart::kNotes}) {
        SCOPED_TRACE(static_cast<int>(part));
        CPanelLogic panel;
        ASSERT_TRUE(panel.OpenIndex(dir.path()));
        ASSERT_TRUE(panel.LoadCatalog(dir.path(), {}));
        std::vector<ResultRow> rows;
        EXPECT_FALSE(panel.ListPageRows(rows));  // no list page before a search
        ASSERT_TRUE(panel.Search().SelectTextPart(panel.Index(), dir.path(), part));
        const std::optional<std::u16string> field = u"明月";
        ASSERT_EQ(panel.OnSearch(u"", {&field, 1}), CSearchCommand::Outcome::kSearched);
        ASSERT_TRUE(panel.ListPageRows(rows));
        ASSERT_EQ(rows.size(), panel.Search().Results().size());
        const std::vector<KwicRow> hits = KwicRows(panel.Index(), panel.Search(), kDefaultKwicContext);
        for (const ResultRow& row : rows) {
            const auto first = std::find_if(hits.begin(), hits.end(),
                                            [&](const KwicRow& hit) { return hit.record == row.pageIndex; });
            ASSERT_NE(first, hits.end());
            EXPECT_EQ(row.firstHit, first->left + u"【" + first->hit + u"】" + first->right);
        }
    }
}

// The hits read the generation of the data the panel searched, also once the folder
// is gone from its place.
TEST(SearchHits, KeepReadingTheirDataAfterTheFolderIsMovedAway) {
    test::TempDir dir;
    std::filesystem::create_directory(dir.path() / "data");
    BuildCorpus(dir.path() / "data");
    CPanelLogic panel;
    ASSERT_TRUE(panel.OpenIndex(dir.path() / "data"));
    ASSERT_TRUE(panel.LoadCatalog(dir.path() / "data", {}));
    const std::optional<std::u16string> field = u"明月";
    ASSERT_EQ(panel.OnSearch(u"", {&field, 1}), CSearchCommand::Outcome::kSearched);
    const std::vector<KwicRow> expected = KwicRows(panel.Index(), panel.Search(), kDefaultKwicContext);
    ASSERT_FALSE(expected.empty());
    CSearchHits hits = panel.HitsOfSearch();
    std::filesystem::rename(dir.path() / "data", dir.path() / "moved");
    ASSERT_TRUE(hits.Open());
    std::vector<KwicRow> rows;
    hits.AppendRows(0, hits.Entries().size(), kDefaultKwicContext, rows);
    ExpectSameRows(rows, expected);
}

TEST(SearchHits, DataThatCannotBeOpenedGivesNoRows) {
    test::TempDir dir;
    BuildCorpus(dir.path());
    CPanelLogic panel;
    ASSERT_TRUE(panel.OpenIndex(dir.path()));
    ASSERT_TRUE(panel.LoadCatalog(dir.path(), {}));
    const std::optional<std::u16string> field = u"明月";
    ASSERT_EQ(panel.OnSearch(u"", {&field, 1}), CSearchCommand::Outcome::kSearched);
    ASSERT_FALSE(panel.Search().Results().empty());

    // The store and the catalog without the index files.
    const std::filesystem::path storeOnly = dir.path() / "store-only";
    std::filesystem::create_directory(storeOnly);
    for (const char* name : {"Index-fl.h", "Index-fl.cnt", "vyn.dir"}) {
        std::filesystem::copy_file(dir.path() / name, storeOnly / name);
    }
    auto neverOpened = std::make_shared<CDataGeneration>();
    auto folderMissing = std::make_shared<CDataGeneration>();
    EXPECT_FALSE(folderMissing->Open(dir.path() / "absent"));
    auto noIndex = std::make_shared<CDataGeneration>();
    ASSERT_TRUE(noIndex->Open(storeOnly));
    const struct {
        const char* name;
        std::shared_ptr<const CDataGeneration> data;
    } cases[] = {
        {"NoGeneration", nullptr},
        {"NeverOpened", neverOpened},
        {"FolderMissing", folderMissing},
        {"NoIndexFiles", noIndex},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CSearchHits hits(c.data, TextPart::kWhole, KwicQuery::Of(panel.Search()), panel.Search().Results());
        EXPECT_FALSE(hits.Open());
        std::vector<KwicRow> rows;
        EXPECT_EQ(hits.AppendRows(0, hits.Entries().size(), kDefaultKwicContext, rows), 0u);
        EXPECT_TRUE(rows.empty());
    }
    EXPECT_FALSE(CSearchHits().Open());
}

TEST(KwicExport, FieldsThatNeedQuotingOrEscapingComeBackWhole) {
    KwicRow row;
    row.record = 7;
    row.anchor = 12;
    row.category = u"詩,\"選\"";
    row.book = u"全唐詩\r\n續";
    row.volume = u"卷\\一\t";
    row.page = 3;
    row.left = u"\U00020001前";
    row.hit = u"語";
    row.right = u"\x01後";
    const std::vector<KwicRow> rows = {row, KwicRow{}};
    ExpectSameRows(ReadCsv(ExportKwic(rows, ExportFormat::kCsv)), rows);
    ExpectSameRows(ReadJson(ExportKwic(rows, ExportFormat::kJson)), rows);
    EXPECT_EQ(ExportKwic({row}, ExportFormat::kTsv),
              "7\t12\t詩,\"選\"\t全唐詩  續\t卷\\一 \t3\t語\t\xF0\xA0\x80\x81前\t\x01後\n");
}

// What a spreadsheet would run opens as text; what a UTF-8 reader refuses never
// reaches the file.
TEST(KwicExport, CellsOpenAsTheTextTheyAre) {
    const struct {
        std::u16string name;
        const char* cell;  // in CSV and in TSV
    } cases[] = {
        {u"=SUM(A1)", "'=SUM(A1)"},
        {u"+1", "'+1"},
        {u"-2", "'-2"},
        {u"@cmd", "'@cmd"},
        {u"卷=一", "卷=一"},
        {std::u16string(1, char16_t(0xD800)) + u"卷", "\xEF\xBF\xBD卷"},
        {u"卷" + std::u16string(1, char16_t(0xDC00)), "卷\xEF\xBF\xBD"},
        {u"\U00020001", "\xF0\xA0\x80\x81"},
    };
    for (const auto& c : cases) {
        const std::vector<SearchNodeTag> entries = {{u"詩", c.name, u"卷一", 0, 1, 2, {}}};
        EXPECT_EQ(ExportResults(entries, 2, ExportFormat::kCsv),
                  std::string("\xEF\xBB\xBF類別,書名,巻,頁,箇所\r\n詩,") + c.cell + ",卷一,1,2\r\n");
        EXPECT_EQ(ExportResults(entries, 2, ExportFormat::kTsv),
                  std::string("詩\t") + c.cell + "\t卷一\t1\t2\t0\n全部で 1 頁で、2 箇所でした。\n");
        KwicRow row;
        row.hit = c.name;
        EXPECT_NE(ExportKwic({row}, ExportFormat::kCsv).find(c.cell), std::string::npos);
    }
    // A leading tab or carriage return is a formula to some programs too.
    KwicRow row;
    row.left = u"\t=1";
    row.right = u"\r=1";
    const std::string csv = ExportKwic({row}, ExportFormat::kCsv);
    EXPECT_NE(csv.find(",'\t=1,"), std::string::npos) << csv;
    EXPECT_NE(csv.find(",\"'\r=1\"\r\n"), std::string::npos) << csv;
}

TEST(KwicExport, ResultsInEachFormat) {
    const std::vector<SearchNodeTag> entries = {{u"詩", u"全唐詩", u"卷一", 0, 1, 2, {}},
                                                {u"詩", u"全唐詩", u"卷,二", 5, 6, 1, {}}};
    EXPECT_EQ(ExportResults(entries, 3, ExportFormat::kTsv),
              "詩\t全唐詩\t卷一\t1\t2\t0\n詩\t全唐詩\t卷,二\t6\t1\t5\n"
              "全部で 2 頁で、3 箇所でした。\n");
    EXPECT_EQ(ExportResults(entries, 3, ExportFormat::kCsv),
              "\xEF\xBB\xBF類別,書名,巻,頁,箇所\r\n詩,全唐詩,卷一,1,2\r\n詩,全唐詩,\"卷,二\",6,1\r\n");
    EXPECT_EQ(ExportResults(entries, 3, ExportFormat::kJson),
              "{\"entries\": [\n"
              "  {\"category\": \"詩\", \"book\": \"全唐詩\", \"volume\": \"卷一\", \"page\": 1, "
              "\"hits\": 2, \"record\": 0},\n"
              "  {\"category\": \"詩\", \"book\": \"全唐詩\", \"volume\": \"卷,二\", \"page\": 6, "
              "\"hits\": 1, \"record\": 5}\n"
              "], \"pages\": 2, \"hits\": 3}\n");
    EXPECT_EQ(ExportResults({}, 0, ExportFormat::kJson), "{\"entries\": [], \"pages\": 0, \"hits\": 0}\n");
}

}  // namespace
}  // namespace vyn
