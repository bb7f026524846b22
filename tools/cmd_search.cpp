// vyn-tool search and render: the engine seen from outside, as the reader uses it.
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "encoding/utf.h"
#include "index/datageneration.h"
#include "index/index.h"
#include "textstore/storeformat.h"
#include "tools/toolcommon.h"

namespace vyn::tool {

namespace {

// Prints the engine's warnings to stderr.
class CStderrSink : public CMessageSink {
public:
    void Warning(std::string_view utf8) override { Complain(std::string(utf8)); }
};


}  // namespace

int CommandSearch(int argc, char** argv) {
    Options options;
    std::string problem;
    if (!options.Parse(argc, argv, 2, {"--data", "--part"}, {"--or", "--no-variants"}, problem)) {
        return Usage(problem);
    }
    auto data = options.Text("--data");
    SearchScope part{};
    if (!data) return Usage("search needs --data DIR");
    if (!ParsePart(options.Text("--part"), part)) return Usage("--part is whole, main or notes");
    std::u16string query;
    if (!JoinedText(options.Positional(), query)) return Usage("the query is not valid UTF-8");
    if (CIndex::CountWords(query) == 0) {
        Complain("the query holds no searchable word (letters, digits and ASCII signs "
                 "other than ? and * cannot be searched)");
        return kExitNotFound;
    }
    CStderrSink sink;
    CIndex index(&sink);
    // A library of several data folders names each page's folder and its record there.
    const DataArgument argument = ReadDataArgument(*data);
    std::vector<std::string> names;
    if (argument.Several()) {
        CDataGeneration generation;
        generation.Open(*data);  // a failure fails the index's open, which says so
        for (const auto& member : generation.Members()) names.push_back(FolderName(member->Folder()));
        if (!index.Open(generation, IndexScopeFor(part))) return kExitError;
    } else if (!index.Open(argument.folder, kIndexBaseName, IndexScopeFor(part))) {
        return kExitError;
    }
    if (options.Flag("--or")) {
        index.SearchAnyWord(query, true, !options.Flag("--no-variants"));
    } else {
        index.SearchAllWords(query, true, !options.Flag("--no-variants"));
    }
    const auto& pages = index.GetHitPages();
    const auto& counts = index.GetHitCounts();
    // Written in chunks: a folder name (a file name, at most a few hundred bytes), two
    // numbers of at most 10 digits, tabs and a newline per page.
    const std::size_t lines = std::min<std::size_t>(index.GetHitTotal(), pages.size());
    static char chunk[1 << 16];
    char* at = chunk;
    char* const end = chunk + sizeof chunk;
    const auto flush = [&] {
        const auto size = static_cast<std::size_t>(at - chunk);
        at = chunk;
        return std::fwrite(chunk, 1, size, stdout) == size;
    };
    bool written = true;
    for (std::size_t i = 0; i < lines && written; ++i) {
        std::uint32_t record = pages[i];
        std::string_view name;
        if (const std::size_t m = index.MemberOf(record); m < names.size()) {
            name = names[m];
            record -= index.MemberBase(m);
        }
        if (static_cast<std::size_t>(end - at) < 32 + name.size()) written = flush();
        if (!name.empty()) {
            at = std::copy(name.begin(), name.end(), at);
            *at++ = '\t';
        }
        char line[24];
        char* next = std::to_chars(line, line + 11, record).ptr;
        *next++ = '\t';
        next = std::to_chars(next, next + 11, i < counts.size() ? counts[i] : 0).ptr;
        *next++ = '\n';
        at = std::copy(line, next, at);
    }
    if (!written || !flush() || std::fflush(stdout) != 0) {
        Complain("cannot write to stdout");
        return kExitError;
    }
    return 0;
}

int CommandRender(int argc, char** argv) {
    Options options;
    std::string problem;
    if (!options.Parse(argc, argv, 2, {"--data", "--record", "--part", "--folder"}, {"--no-variants"},
                       problem)) {
        return Usage(problem);
    }
    auto data = options.Text("--data");
    auto record = options.Number("--record");
    SearchScope part{};
    if (!data || !record) return Usage("render needs --data DIR and --record N");
    if (!ParsePart(options.Text("--part"), part)) return Usage("--part is whole, main or notes");
    std::u16string keywords;
    if (!JoinedText(options.Positional(), keywords)) return Usage("the keywords are not valid UTF-8");
    std::string folder;
    if (!OneDataFolder(options, folder)) return kExitError;
    CStderrSink sink;
    CIndex index(&sink);
    if (!index.Open(folder, kIndexBaseName, IndexScopeFor(part))) return kExitError;
    std::uint32_t length = 0;
    if (!index.GetPageLength(*record, length)) {
        Complain("record " + std::to_string(*record) + " is not a readable record of the store");
        return kExitError;
    }
    ByteString page;
    int anchors = index.RenderHitPage(*record, page, keywords, part,
                                      !options.Flag("--no-variants"));
    if ((!page.empty() && std::fwrite(page.data(), 1, page.size(), stdout) != page.size()) ||
        std::fflush(stdout) != 0) {
        Complain("cannot write to stdout");
        return kExitError;
    }
    std::fprintf(stderr, "anchors: %d\n", anchors);
    return 0;
}

}  // namespace vyn::tool
