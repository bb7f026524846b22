#include "fuzz/seedcorpus.h"

#include <cstdlib>
#include <cstdio>

#include "builder/databuilder.h"

namespace vyn::fuzz {

namespace {

CorpusPage Page(std::string title, std::string text, std::string note = {}) {
    CorpusPage page;
    page.title = std::move(title);
    Paragraph paragraph;
    paragraph.runs.push_back({TextRun::kMain, std::move(text)});
    if (!note.empty()) paragraph.runs.push_back({TextRun::kNote, std::move(note)});
    page.paragraphs.push_back(std::move(paragraph));
    page.paragraphs.push_back({{{TextRun::kMain, "天地玄黃，宇宙洪荒。"}}});
    return page;
}

}  // namespace

Corpus SeedCorpus() {
    Corpus corpus;
    CorpusVolume first{std::string("卷一"), 1, {}};
    first.pages.push_back(Page("一", "學而時習之，不亦說乎", "說音悅"));
    first.pages.push_back(Page("二", "有朋自遠方來，不亦樂乎"));
    first.pages.push_back(Page("三", "國體萬與廣氣澤讀發鐵", "𠀀𠀁 ＜a＞ & x"));
    CorpusVolume second{std::string("卷二"), 7, {}};
    second.pages.push_back(Page("七", "体国学万学而学", "学而"));
    second.pages.push_back(Page("八", "かなカナ　丽丽豈更"));
    CorpusBook book{std::string("論語"), {}};
    book.volumes.push_back(std::move(first));
    book.volumes.push_back(std::move(second));
    CorpusVolume third{std::u16string(u"卷上"), 3, {}};
    third.pages.push_back(Page("三", "道可道，非常道。名可名，非常名。", "王弼注"));
    CorpusBook other{std::string("老子"), {}};
    other.volumes.push_back(std::move(third));
    CorpusCategory classics{std::string("經部"), {}};
    classics.books.push_back(std::move(book));
    CorpusCategory masters{std::string("子部"), {}};
    masters.books.push_back(std::move(other));
    corpus.categories.push_back(std::move(classics));
    corpus.categories.push_back(std::move(masters));
    corpus.variantGroups = {{0x9AD4, 0x4F53}, {0x570B, 0x56FD}, {0x5B78, 0x5B66},
                            {0x842C, 0x4E07}, {0x8AAA, 0x8BF4, 0x6085}};
    return corpus;
}

Corpus TinyCorpus() {
    CorpusVolume volume{std::string("卷"), 1, {}};
    volume.pages.push_back(Page("一", "學而學", "而"));
    volume.pages.push_back(Page("二", "学而体"));
    volume.pages.push_back(Page("三", "體學"));
    for (CorpusPage& page : volume.pages) page.paragraphs.pop_back();
    CorpusBook book{std::string("書"), {}};
    book.volumes.push_back(std::move(volume));
    CorpusCategory category{std::string("部"), {}};
    category.books.push_back(std::move(book));
    Corpus corpus;
    corpus.categories.push_back(std::move(category));
    corpus.variantGroups = {{0x5B78, 0x5B66}, {0x9AD4, 0x4F53}};
    return corpus;
}

void BuildSeedData(const std::filesystem::path& folder, const Corpus& corpus) {
    std::filesystem::create_directories(folder);
    CDataBuilder builder;
    BuildStats stats;
    if (!builder.Build(corpus, folder, stats)) {
        std::fprintf(stderr, "seed corpus: %s\n", builder.GetReason().c_str());
        std::abort();
    }
}

}  // namespace vyn::fuzz
