// vyn-tool catalog and results: the panel's catalog listing and search command
// without a window.
#include <cstdio>
#include <string>

#include "encoding/utf.h"
#include "index/index.h"
#include "panel/catalog.h"
#include "panel/searchcommand.h"
#include "tools/toolcommon.h"

namespace vyn::tool {

namespace {

class CStderrSink : public CMessageSink {
public:
    void Warning(std::string_view utf8) override { Complain(std::string(utf8)); }
};

bool ParsePart(const std::optional<std::string>& name, TextPart& part) {
    if (!name || *name == "whole") {
        part = TextPart::kWhole;
    } else if (*name == "main") {
        part = TextPart::kMain;
    } else if (*name == "notes") {
        part = TextPart::kNotes;
    } else {
        return false;
    }
    return true;
}

void AppendUtf8Of(std::string& out, std::u16string_view text) {
    ByteString bytes;
    Utf16ToUtf8(text, bytes, kLenientConversion);
    out += AsView(bytes);
}

int WriteOut(const std::string& out) {
    if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() || std::fflush(stdout) != 0) {
        Complain("cannot write to stdout");
        return kExitError;
    }
    return 0;
}

}  // namespace

int CommandCatalog(int argc, char** argv) {
    Options options;
    std::string problem;
    if (!options.Parse(argc, argv, 2, {"--data"}, {}, problem)) return Usage(problem);
    auto data = options.Text("--data");
    if (!data) return Usage("catalog needs --data DIR");
    if (!options.Positional().empty()) return Usage("catalog takes no arguments");
    CStderrSink sink;
    CCatalog catalog(&sink);
    if (!catalog.LoadCatalog(std::filesystem::path(*data) / "vyn.dir", {})) return kExitError;
    return WriteOut(catalog.Listing());
}

int CommandResults(int argc, char** argv) {
    Options options;
    std::string problem;
    if (!options.Parse(argc, argv, 2, {"--data", "--scope-slot", "--part"}, {"--or", "--no-variants"},
                       problem)) {
        return Usage(problem);
    }
    auto data = options.Text("--data");
    auto slot = options.Number("--scope-slot");
    TextPart part{};
    if (!data || !slot) return Usage("results needs --data DIR and --scope-slot I");
    if (!ParsePart(options.Text("--part"), part)) return Usage("--part is whole, main or notes");
    std::u16string typed;
    if (!JoinedText(options.Positional(), typed)) return Usage("the query is not valid UTF-8");
    const std::optional<std::u16string> field = typed;
    auto keyword = CSearchCommand::ReadKeyword(u"", {&field, 1});
    if (CIndex::CountWords(*keyword) == 0) {
        Complain("the query holds no searchable word (letters, digits and ASCII signs "
                 "other than ? and * cannot be searched)");
        return kExitNotFound;
    }
    CStderrSink sink;
    CIndex index(&sink);
    if (!index.Open(*data, kBaseName, IndexScopeOf(part))) return kExitError;
    CCatalog catalog(&sink);
    if (!catalog.LoadCatalog(std::filesystem::path(*data) / "vyn.dir", {})) return kExitError;
    if (!catalog.HasRecord(static_cast<int>(std::min<std::uint32_t>(*slot, CCatalog::kSlotCount)))) {
        Complain("scope slot " + std::to_string(*slot) + " holds no catalog record (the catalog has slots 1 to " +
                 std::to_string(catalog.NodeItemCount() - 1) + ")");
        return kExitError;
    }
    CSearchCommand command(&sink);
    command.SetAndOr(options.Flag("--or") ? 1 : 0);
    command.SetVariants(!options.Flag("--no-variants"));
    command.OnSearch(index, catalog, static_cast<int>(*slot), u"", {&field, 1});
    std::string out;
    for (const SearchNodeTag& entry : command.Results()) {
        AppendUtf8Of(out, entry.category);
        out += '\t';
        AppendUtf8Of(out, entry.book);
        out += '\t';
        AppendUtf8Of(out, entry.volume);
        out += '\t' + std::to_string(entry.pageNo) + '\t' + std::to_string(entry.hits) + '\t' +
               std::to_string(entry.pageIndex) + '\n';
    }
    out += command.LastCountLine() + "\n";
    return WriteOut(out);
}

}  // namespace vyn::tool
