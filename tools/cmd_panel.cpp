// vyn-tool catalog, results and kwic: the panel's catalog listing, search command and
// hit rows without a window.
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "encoding/utf.h"
#include "index/datageneration.h"
#include "index/index.h"
#include "index/library.h"
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
    if (!options.Parse(argc, argv, 2, {"--data", "--folder"}, {}, problem)) return Usage(problem);
    auto data = options.Text("--data");
    if (!data) return Usage("catalog needs --data DIR");
    if (!options.Positional().empty()) return Usage("catalog takes no arguments");
    CStderrSink sink;
    CCatalog catalog(&sink);
    const DataArgument argument = ReadDataArgument(*data);
    if (argument.Several() && !options.Text("--folder")) {
        // Each data folder's line, then its own listing.
        std::string out;
        for (const auto& member : argument.members) {
            if (!catalog.LoadCatalog(member / kCatalogFile, {})) return kExitError;
            out += "folder=" + FolderName(member) + "\ttitle=" +
                   Utf16ToUtf8String(FolderTitle(member)) + "\n";
            out += catalog.Listing();
        }
        return WriteOut(out);
    }
    std::string folder;
    if (!OneDataFolder(options, folder)) return kExitError;
    if (!catalog.LoadCatalog(std::filesystem::path(folder) / kCatalogFile, {})) return kExitError;
    return WriteOut(catalog.Listing());
}

namespace {

// The scope of results and kwic in a library: --scope FOLDER or FOLDER:SLOT, or
// none for the whole library.
struct LibraryScope {
    std::size_t folder = 0;
    bool wholeLibrary = true;
    std::optional<std::uint32_t> localSlot;  // the slot in the folder's own catalog
};

// Reads --scope against the library's folders: 0 with scope set, else the code to
// exit with.
int ParseLibraryScope(const Options& options, const std::vector<std::filesystem::path>& folders,
                      LibraryScope& scope) {
    const auto text = options.Text("--scope");
    if (!text) return 0;
    const std::string data = options.Text("--data").value_or("");
    std::string name = *text;
    std::optional<std::uint32_t> slot;
    const bool named = std::any_of(folders.begin(), folders.end(),
                                   [&](const auto& folder) { return FolderName(folder) == name; });
    if (const std::size_t colon = name.rfind(':'); !named && colon != std::string::npos) {
        const std::string digits = name.substr(colon + 1);
        std::uint32_t value = 0;
        const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size()) {
            return Usage("--scope is FOLDER or FOLDER:SLOT, SLOT a catalog slot of the data folder");
        }
        name.erase(colon);
        slot = value;
    }
    const std::size_t folder = FindFolder(data, folders, name);
    if (folder == folders.size()) return kExitError;
    scope = {folder, false, slot};
    return 0;
}

// The reader's search command on --data with the scope and options of results and
// kwic: exit code 0 with command holding the results, else the code to exit with.
// On a library of several data folders, folderNames gets their names, the entries'
// records stay the library's (CIndex::MemberOf tells their folders).
int RunSearchCommand(const Options& options, CMessageSink& sink, CIndex& index,
                     CSearchCommand& command, std::vector<std::u16string>& folderNames) {
    auto data = options.Text("--data");
    if (!data) return Usage("the command needs --data DIR and --scope-slot I");
    if (options.Text("--scope") && options.Text("--scope-slot")) {
        return Usage("give --scope or --scope-slot, not both");
    }
    const DataArgument argument = ReadDataArgument(*data);
    if (!argument.IsLibrary() && options.Text("--scope")) {
        return Usage("--scope FOLDER:SLOT names a slot of a library's data folder; " + *data +
                     " is no library: give --scope-slot I");
    }
    if (argument.Several() && options.Text("--scope-slot")) {
        Complain(*data + " is a library of " + std::to_string(argument.members.size()) +
                 " data folders, and --scope-slot names a slot of one: give --scope "
                 "FOLDER:SLOT (the slot as catalog --data " + *data + "/FOLDER lists it), "
                 "--scope FOLDER for a whole folder, or no scope for the whole library");
        return kExitError;
    }
    // A library of one data folder takes its folder's slots as they are.
    const bool asFolder = !argument.IsLibrary() || options.Text("--scope-slot");
    auto slot = options.Number("--scope-slot");
    if (asFolder && !slot) return Usage("the command needs --data DIR and --scope-slot I");
    TextPart part{};
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
    CCatalog catalog(&sink);
    int scopeSlot = 0;
    if (asFolder) {
        if (!command.SelectTextPart(index, argument.folder, part)) return kExitError;
        const std::filesystem::path catalogFile = std::filesystem::path(argument.folder) / kCatalogFile;
        if (!catalog.LoadCatalog(catalogFile, {})) return kExitError;
        if (!catalog.HasRecord(static_cast<int>(std::min<std::uint32_t>(*slot, CCatalog::kSlotCount)))) {
            Complain("scope slot " + std::to_string(*slot) +
                     " holds no catalog record (the catalog has slots 1 to " +
                     std::to_string(catalog.NodeItemCount() - 1) + ")");
            return kExitError;
        }
        scopeSlot = static_cast<int>(*slot);
    } else {
        CDataGeneration generation;
        generation.Open(*data);  // a failure fails the index's open, which says so
        if (!command.SelectTextPart(index, generation, part)) return kExitError;
        if (!LoadCatalogOf(generation, catalog, {})) return kExitError;
        std::vector<std::filesystem::path> folders;
        for (const auto& member : generation.Members()) folders.push_back(member->Folder());
        if (folders.empty()) {
            Complain(*data + " is no library any more");
            return kExitError;
        }
        LibraryScope scope;
        if (int code = ParseLibraryScope(options, folders, scope); code != 0) return code;
        const std::size_t m = scope.folder;
        if (scope.wholeLibrary) {
            scopeSlot = 1;  // the library's item
        } else if (!scope.localSlot) {
            scopeSlot = catalog.FolderSlots()[m];
        } else {
            const auto local = static_cast<int>(std::min<std::uint32_t>(*scope.localSlot, INT32_MAX));
            scopeSlot = catalog.LibrarySlot(m, local);
            if (scopeSlot == 0) {
                const std::vector<int>& items = catalog.FolderSlots();
                const int end = m + 1 < items.size() ? items[m + 1] : catalog.NodeItemCount();
                Complain("scope slot " + std::to_string(*scope.localSlot) +
                         " holds no catalog record of data folder " + FolderName(folders[m]) +
                         " (its catalog has slots 1 to " + std::to_string(end - items[m] - 1) + ")");
                return kExitError;
            }
        }
        if (folders.size() > 1) {
            for (const auto& folder : folders) folderNames.push_back(FolderNameText(folder));
        }
    }
    command.SetAndOr(options.Flag("--or") ? 1 : 0);
    command.SetVariants(!options.Flag("--no-variants"));
    command.OnSearch(index, catalog, scopeSlot, u"", {&field, 1});
    return 0;
}

// A library record's folder name and its record in that folder: record becomes the
// one in the folder. Requires: folderNames has a name per member of index.
const std::u16string& LocalRecord(const CIndex& index,
                                  const std::vector<std::u16string>& folderNames,
                                  std::uint32_t& record) {
    const std::size_t m = std::min(index.MemberOf(record), folderNames.size() - 1);
    record -= index.MemberBase(m);
    return folderNames[m];
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
    if (!options.Parse(argc, argv, 2, {"--data", "--scope-slot", "--scope", "--part", "--format"},
                       {"--or", "--no-variants"}, problem)) {
        return Usage(problem);
    }
    ExportFormat format{};
    if (!ParseFormat(options, format)) return Usage("--format is tsv, csv or json");
    CStderrSink sink;
    CIndex index(&sink);
    CSearchCommand command(&sink);
    std::vector<std::u16string> folderNames;
    if (int code = RunSearchCommand(options, sink, index, command, folderNames); code != 0) return code;
    std::vector<SearchNodeTag> entries = command.Results();
    // A library of one folder answers as that folder: no folder column.
    for (SearchNodeTag& entry : entries) {
        entry.folder = folderNames.empty() ? std::u16string() : LocalRecord(index, folderNames, entry.pageIndex);
    }
    return WriteOut(ExportResults(entries, command.Total(), format));
}

int CommandKwic(int argc, char** argv) {
    Options options;
    std::string problem;
    if (!options.Parse(argc, argv, 2,
                       {"--data", "--scope-slot", "--scope", "--part", "--format", "--context"},
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
    std::vector<std::u16string> folderNames;
    if (int code = RunSearchCommand(options, sink, index, command, folderNames); code != 0) return code;
    std::vector<KwicRow> rows = KwicRows(index, command, context);
    if (options.Flag("--forms")) return WriteOut(ExportForms(HitForms(rows)));
    for (KwicRow& row : rows) {
        row.folder = folderNames.empty() ? std::u16string() : LocalRecord(index, folderNames, row.record);
    }
    return WriteOut(ExportKwic(rows, format));
}

namespace {

// The text stores of a library's data folders, each opened when first read.
class CFolderStores {
public:
    explicit CFolderStores(const CDataGeneration& library)
        : m_library(library), m_stores(library.Members().size()) {}

    // The store of folder m; null when it cannot be opened.
    CFileList* Store(std::size_t m) {
        if (!m_stores[m]) {
            const CDataGeneration& folder = *m_library.Members()[m];
            auto store = std::make_unique<CFileList>();
            if (!store->Open(folder.FileOf(CDataGeneration::File::kDirectory),
                             folder.FileOf(CDataGeneration::File::kContent))) {
                return nullptr;
            }
            m_stores[m] = std::move(store);
        }
        return m_stores[m].get();
    }

    // The folio of a library record (see FolioOfPage).
    std::u16string Folio(std::uint32_t record) {
        std::size_t m = 0;
        while (m + 1 < m_stores.size() && m_library.MemberBase(m + 1) <= record) ++m;
        ByteString page;
        CFileList* store = Store(m);
        return store && store->ReadPage(record - m_library.MemberBase(m), page) ? FolioOfPage(page)
                                                                                : std::u16string();
    }

private:
    const CDataGeneration& m_library;
    std::vector<std::unique_ptr<CFileList>> m_stores;
};

// goto over a library of several data folders: the page's folder name, its record
// there and its volume's slot in the folder's own catalog.
int GotoInLibrary(const std::string& data, std::u16string_view text, CMessageSink& sink) {
    CDataGeneration library;
    if (!library.Open(data) || !library.IsLibrary()) {
        Complain("cannot open the data folders of the library " + data);
        return kExitError;
    }
    CCatalog catalog(&sink);
    if (!LoadCatalogOf(library, catalog, {})) return kExitError;
    CFolderStores stores(library);
    const CitationTarget target = ResolveCitation(
        catalog, text, 0, [&stores](std::uint32_t record) { return stores.Folio(record); });
    if (!target.Found()) {
        Complain(target.error);
        return kExitNotFound;
    }
    const int folder = catalog.FolderOf(target.place.volumeSlot);
    const int localSlot = catalog.LocalSlot(target.place.volumeSlot);
    // The volume's record as the folder's own catalog holds it.
    CatalogRecord volume = catalog.Record(target.place.volumeSlot);
    if (folder < 0 || volume.docID < 1) {
        Complain("slot " + std::to_string(target.place.volumeSlot) + " of the library holds no pages");
        return kExitNotFound;
    }
    const auto m = static_cast<std::size_t>(folder);
    volume.docID -= static_cast<std::int32_t>(library.MemberBase(m));
    const std::filesystem::path& path = library.Members()[m]->Folder();
    CFileList* store = stores.Store(m);
    if (!store) {
        Complain("cannot open the text store in " + path.string());
        return kExitError;
    }
    std::int64_t record = 0;
    if (!FindNodePage(*store, volume, target.place.pageNumber, record)) {
        Complain("page " + std::to_string(target.place.pageNumber) + " of slot " +
                 std::to_string(localSlot) + " of data folder " + FolderName(path) +
                 " is not in its text store");
        return kExitNotFound;
    }
    return WriteOut(FolderName(path) + "\t" + std::to_string(record) + "\t" +
                    std::to_string(localSlot) + "\n");
}

}  // namespace

int CommandGoto(int argc, char** argv) {
    Options options;
    std::string problem;
    if (!options.Parse(argc, argv, 2, {"--data"}, {}, problem)) return Usage(problem);
    auto data = options.Text("--data");
    if (!data) return Usage("goto needs --data DIR");
    std::u16string text;
    if (!JoinedText(options.Positional(), text)) return Usage("the text is not valid UTF-8");
    const DataArgument argument = ReadDataArgument(*data);
    CStderrSink sink;
    if (argument.Several()) return GotoInLibrary(*data, text, sink);
    CCatalog catalog(&sink);
    if (!catalog.LoadCatalog(std::filesystem::path(argument.folder) / kCatalogFile, {})) {
        return kExitError;
    }
    CFileList store;
    if (!store.Open(argument.folder, kIndexBaseName)) {
        Complain("cannot open the text store in " + argument.folder);
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
