// vyn-tool catalog, results and kwic: the panel's catalog listing, search command and
// hit rows without a window.
#include <algorithm>
#include <cstdio>
#include <string>

#include "encoding/utf.h"
#include "index/index.h"
#include "textstore/catalog.h"
#include "panel/citation.h"
#include "panel/export.h"
#include "panel/kwicrows.h"
#include "panel/kwictable.h"
#include "panel/navigation.h"
#include "panel/searchcommand.h"
#include "textstore/filelist.h"
#include "tools/toolcommon.h"

namespace vyn::tool {

namespace {

class CStderrSink : public CMessageSink {
public:
    void Warning(std::string_view utf8) override { Complain(std::string(utf8)); }
};

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
    if (!catalog.LoadCatalog(std::filesystem::path(*data) / kCatalogFile, {})) return kExitError;
    return WriteOut(catalog.Listing());
}

namespace {

// The reader's search command on --data with the scope slot and options of results
// and kwic: exit code 0 with command holding the results, else the code to exit with.
int RunSearchCommand(const Options& options, CMessageSink& sink, CIndex& index,
                     CSearchCommand& command) {
    auto data = options.Text("--data");
    auto slot = options.Number("--scope-slot");
    TextPart part{};
    if (!data || !slot) return Usage("the command needs --data DIR and --scope-slot I");
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
    if (!command.SelectTextPart(index, *data, part)) return kExitError;
    CCatalog catalog(&sink);
    if (!catalog.LoadCatalog(std::filesystem::path(*data) / kCatalogFile, {})) return kExitError;
    if (!catalog.HasRecord(static_cast<int>(std::min<std::uint32_t>(*slot, CCatalog::kSlotCount)))) {
        Complain("scope slot " + std::to_string(*slot) + " holds no catalog record (the catalog has slots 1 to " +
                 std::to_string(catalog.NodeItemCount() - 1) + ")");
        return kExitError;
    }
    command.SetAndOr(options.Flag("--or") ? 1 : 0);
    command.SetVariants(!options.Flag("--no-variants"));
    command.OnSearch(index, catalog, static_cast<int>(*slot), u"", {&field, 1});
    return 0;
}

bool ParseFormat(const Options& options, ExportFormat& format) {
    format = ExportFormat::kTsv;
    const auto name = options.Text("--format");
    return !name || ParseExportFormat(*name, format);
}

}  // namespace

int CommandResults(int argc, char** argv) {
    Options options;
    std::string problem;
    if (!options.Parse(argc, argv, 2, {"--data", "--scope-slot", "--part", "--format"},
                       {"--or", "--no-variants"}, problem)) {
        return Usage(problem);
    }
    ExportFormat format{};
    if (!ParseFormat(options, format)) return Usage("--format is tsv, csv or json");
    CStderrSink sink;
    CIndex index(&sink);
    CSearchCommand command(&sink);
    if (int code = RunSearchCommand(options, sink, index, command); code != 0) return code;
    return WriteOut(ExportResults(command.Results(), command.Total(), format));
}

int CommandKwic(int argc, char** argv) {
    Options options;
    std::string problem;
    if (!options.Parse(argc, argv, 2, {"--data", "--scope-slot", "--part", "--format", "--context"},
                       {"--or", "--no-variants", "--forms"}, problem)) {
        return Usage(problem);
    }
    ExportFormat format{};
    if (!ParseFormat(options, format)) return Usage("--format is tsv, csv or json");
    std::size_t context = kDefaultKwicContext;
    if (options.Text("--context")) {
        const auto number = options.Number("--context");
        if (!number || *number > 1000) return Usage("--context is a number of characters, 0 to 1000");
        context = *number;
    }
    CStderrSink sink;
    CIndex index(&sink);
    CSearchCommand command(&sink);
    if (int code = RunSearchCommand(options, sink, index, command); code != 0) return code;
    const std::vector<KwicRow> rows = KwicRows(index, command, context);
    if (options.Flag("--forms")) return WriteOut(ExportForms(HitForms(rows)));
    return WriteOut(ExportKwic(rows, format));
}

int CommandGoto(int argc, char** argv) {
    Options options;
    std::string problem;
    if (!options.Parse(argc, argv, 2, {"--data"}, {}, problem)) return Usage(problem);
    auto data = options.Text("--data");
    if (!data) return Usage("goto needs --data DIR");
    std::u16string text;
    if (!JoinedText(options.Positional(), text)) return Usage("the text is not valid UTF-8");
    CStderrSink sink;
    CCatalog catalog(&sink);
    if (!catalog.LoadCatalog(std::filesystem::path(*data) / kCatalogFile, {})) return kExitError;
    CFileList store;
    if (!store.Open(*data, kIndexBaseName)) {
        Complain("cannot open the text store in " + *data);
        return kExitError;
    }
    const CitationTarget target = ResolveCitation(catalog, text, 0, [&store](std::uint32_t record) {
        ByteString page;
        return store.ReadPage(record, page) ? FolioOfPage(page) : std::u16string();
    });
    if (!target.Found()) {
        Complain(target.error);
        return kExitNotFound;
    }
    // The record the reader shows for the page: found in the store among the volume's.
    std::int64_t record = 0;
    if (!FindNodePage(store, catalog.Record(target.place.volumeSlot), target.place.pageNumber, record)) {
        Complain("page " + std::to_string(target.place.pageNumber) + " of slot " +
                 std::to_string(target.place.volumeSlot) + " is not in the text store");
        return kExitNotFound;
    }
    return WriteOut(std::to_string(record) + "\t" + std::to_string(target.place.volumeSlot) + "\n");
}

}  // namespace vyn::tool
