#include "builder/databuilder.h"

#include <cstdio>
#include <fstream>
#include <new>
#include <unordered_map>

#include "builder/pagelayout.h"
#include "builder/postingwriter.h"
#include "builder/storewriter.h"
#include "builder/utf8.h"
#include "encoding/charslot.h"
#include "encoding/utf.h"
#include "textstore/storeformat.h"

namespace vyn {

namespace {

constexpr std::string_view kBaseName = "Index";
constexpr std::string_view kCatalogFile = "vyn.dir";
constexpr std::string_view kVariantFile = "yitizi.txt";
constexpr std::size_t kCatalogRecordSize = 216;
constexpr std::size_t kCatalogNameBytes = 200;

struct CatalogEntry {
    std::u16string name;
    std::int32_t level = 0;
    std::int32_t docId = 0;
    std::int32_t docNo = 0;
    std::uint16_t curFileName = 0;
};

// A volume in reading order with what its record names are built from.
struct VolumeRef {
    const CorpusVolume* volume = nullptr;
    std::uint32_t book = 0;         // 1-based over the corpus
    std::uint32_t volumeInBook = 0; // 1-based
};

std::string ToUtf8(const std::u16string& text) {
    ByteString bytes;
    Utf16ToUtf8(text, bytes, kLenientConversion);
    return std::string(AsView(bytes));
}

bool ToUtf16(const CatalogName& name, std::u16string& out) {
    if (const auto* wide = std::get_if<std::u16string>(&name)) {
        out = *wide;
        return true;
    }
    std::u32string decoded;
    if (!DecodeUtf8(std::get<std::string>(name), decoded)) return false;
    std::u16string result;
    for (char32_t c : decoded) {
        if (c >= 0x10000) {
            result.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            result.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            result.push_back(static_cast<char16_t>(c));
        }
    }
    out = std::move(result);
    return true;
}

void PutLe(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

bool WriteText(const std::filesystem::path& path, const std::string& bytes, std::string& error) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (file) file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (file) file.close();
    if (!file) {
        error = "cannot write " + path.string();
        return false;
    }
    return true;
}

std::string RecordName(const VolumeRef& ref, std::uint32_t pageNumber) {
    char name[48];
    std::snprintf(name, sizeof name, "b%04u\\v%03u\\%u.htm", ref.book, ref.volumeInBook, pageNumber);
    return name;
}

// The posting writers of the three scopes and the variant groups of each code point.
class CScopeIndexes {
public:
    explicit CScopeIndexes(const std::vector<std::vector<std::uint32_t>>& groups) {
        for (std::size_t g = 0; g < groups.size(); ++g) {
            for (std::uint32_t member : groups[g]) {
                auto& list = m_groupsOf[member];
                const auto slot = static_cast<std::int32_t>(kFirstVariantSlot + g);
                if (list.empty() || list.back() != slot) list.push_back(slot);
            }
        }
    }

    // False when an entry outgrows the posting format.
    bool Add(const Occurrence& occurrence, std::uint32_t doc, bool& indexed) {
        CPostingWriter& scoped = occurrence.kind == TextRun::kNote ? m_notes : m_main;
        const std::int32_t slot = CharSlot(occurrence.codePoint);
        indexed = slot != kNotIndexed;
        if (indexed && !AddTo(scoped, slot, doc, occurrence.position)) return false;
        auto it = m_groupsOf.find(occurrence.codePoint);
        if (it == m_groupsOf.end()) return true;
        for (std::int32_t groupSlot : it->second) {
            if (!AddTo(scoped, groupSlot, doc, occurrence.position)) return false;
        }
        return true;
    }

    bool Write(const std::filesystem::path& folder, std::string& error) {
        const std::string base(kBaseName);
        return m_whole.Write(folder, base, error) && m_main.Write(folder, base + "_content", error) &&
               m_notes.Write(folder, base + "_desc", error);
    }

private:
    bool AddTo(CPostingWriter& scoped, std::int32_t slot, std::uint32_t doc, std::uint32_t position) {
        return m_whole.Add(slot, doc, position) && scoped.Add(slot, doc, position);
    }

    CPostingWriter m_whole;
    CPostingWriter m_main;
    CPostingWriter m_notes;
    std::unordered_map<std::uint32_t, std::vector<std::int32_t>> m_groupsOf;
};

}  // namespace

bool CDataBuilder::Fail(std::string reason) {
    m_reason = std::move(reason);
    return false;
}

bool CDataBuilder::Build(const Corpus& corpus, const std::filesystem::path& folder,
                         BuildStats& stats) {
    m_reason.clear();
    try {
        return BuildFiles(corpus, folder, stats);
    } catch (const std::bad_alloc&) {
        return Fail("not enough memory");
    } catch (const std::exception& e) {
        return Fail(std::string("build stopped: ") + e.what());
    } catch (...) {
        return Fail("build stopped by an unknown error");
    }
}

bool CDataBuilder::BuildFiles(const Corpus& corpus, const std::filesystem::path& folder,
                              BuildStats& stats) {
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) {
        return Fail("not a folder: " + folder.string());
    }

    // The catalog in pre-order, with page ranges.
    std::vector<CatalogEntry> catalog;
    std::vector<VolumeRef> volumes;
    std::uint64_t pageCount = 0;
    auto addEntry = [&](const CatalogName& name, std::int32_t level, const char* what) {
        CatalogEntry entry;
        if (!ToUtf16(name, entry.name)) return Fail(std::string("the name of a ") + what + " is not valid UTF-8");
        if (entry.name.size() > kMaxNameUnits || entry.name.find(u'\0') != std::u16string::npos) {
            return Fail(std::string("the name of a ") + what + " (" + ToUtf8(entry.name) +
                        ") is longer than 99 UTF-16 units or holds U+0000");
        }
        entry.level = level;
        entry.docId = static_cast<std::int32_t>(pageCount + 1);
        catalog.push_back(std::move(entry));
        if (catalog.size() > kMaxCatalogRecords) {
            return Fail("the catalog needs more than 9999 records");
        }
        return true;
    };
    // Sets the page count and first page number of the entry at index from pageCount.
    auto closeEntry = [&](std::size_t index) {
        CatalogEntry& entry = catalog[index];
        entry.docNo = static_cast<std::int32_t>(pageCount + 1 - static_cast<std::uint64_t>(entry.docId));
        if (entry.docNo == 0) {
            return Fail("the catalog node " + ToUtf8(entry.name) + " holds no pages");
        }
        return true;
    };
    std::uint32_t bookNumber = 0;
    for (const CorpusCategory& category : corpus.categories) {
        const std::size_t categoryIndex = catalog.size();
        if (!addEntry(category.name, 1, "category")) return false;
        for (const CorpusBook& book : category.books) {
            const std::size_t bookIndex = catalog.size();
            if (!addEntry(book.name, 2, "book")) return false;
            ++bookNumber;
            std::uint32_t volumeNumber = 0;
            for (const CorpusVolume& volume : book.volumes) {
                const std::size_t volumeIndex = catalog.size();
                if (!addEntry(volume.name, 3, "volume")) return false;
                catalog[volumeIndex].curFileName = volume.firstPage;
                volumes.push_back({&volume, bookNumber, ++volumeNumber});
                pageCount += volume.pages.size();
                if (pageCount > CPostingWriter::kMaxPacked + std::uint64_t{1}) {
                    return Fail("the corpus has more pages than the index can number");
                }
                if (!closeEntry(volumeIndex)) return false;
            }
            if (!closeEntry(bookIndex)) return false;
            catalog[bookIndex].curFileName = catalog[bookIndex + 1].curFileName;
        }
        if (!closeEntry(categoryIndex)) return false;
        catalog[categoryIndex].curFileName = catalog[categoryIndex + 1].curFileName;
    }

    if (corpus.variantGroups.size() > kMaxVariantGroups) {
        return Fail("more than 11935 variant groups");
    }
    for (std::size_t g = 0; g < corpus.variantGroups.size(); ++g) {
        if (corpus.variantGroups[g].empty()) {
            return Fail("variant group " + std::to_string(g) + " is empty");
        }
    }

    // Pages: the store and the three indexes.
    const auto total = static_cast<std::uint32_t>(pageCount);
    BuildStats result;
    result.catalogRecords = static_cast<std::uint32_t>(catalog.size());
    result.volumes = static_cast<std::uint32_t>(volumes.size());
    result.pages = total;
    if (m_progress) m_progress(0, total);
    CStoreWriter store(kDefaultNameWidth);
    store.SetHeaderNumber(total);
    CScopeIndexes indexes(corpus.variantGroups);
    std::uint32_t doc = 0;
    for (const VolumeRef& ref : volumes) {
        for (std::size_t i = 0; i < ref.volume->pages.size(); ++i) {
            const auto pageNumber = static_cast<std::uint32_t>(ref.volume->firstPage + i);
            auto where = [&] {
                std::u16string name;
                ToUtf16(ref.volume->name, name);
                return "page " + std::to_string(pageNumber) + " of volume " + ToUtf8(name) + ": ";
            };
            LaidOutPage laid;
            std::string error;
            if (!LayOutPage(ref.volume->pages[i], pageNumber, laid, error)) return Fail(where() + error);
            if (!store.AddPage(RecordName(ref, pageNumber), laid.html)) {
                return Fail(where() + "the text store would pass 4 GiB");
            }
            for (const Occurrence& occurrence : laid.occurrences) {
                bool indexed = false;
                if (!indexes.Add(occurrence, doc, indexed)) {
                    return Fail(where() + "a character occurs too often for one index entry");
                }
                result.indexedCharacters += indexed ? 1 : 0;
            }
            result.characters += laid.occurrences.size();
            ++doc;
            if (m_progress) m_progress(doc, total);
        }
    }

    std::string error;
    if (!store.Write(folder, kBaseName, error) || !indexes.Write(folder, error)) return Fail(error);

    std::string catalogBytes;
    catalogBytes.reserve(catalog.size() * kCatalogRecordSize);
    for (const CatalogEntry& entry : catalog) {
        const std::size_t start = catalogBytes.size();
        for (char16_t unit : entry.name) PutLe(catalogBytes, unit, 2);
        catalogBytes.resize(start + kCatalogNameBytes, '\0');
        PutLe(catalogBytes, static_cast<std::uint32_t>(entry.level), 4);
        PutLe(catalogBytes, static_cast<std::uint32_t>(entry.docId), 4);
        PutLe(catalogBytes, static_cast<std::uint32_t>(entry.docNo), 4);
        PutLe(catalogBytes, entry.curFileName, 2);
        PutLe(catalogBytes, 0, 2);
    }
    if (!WriteText(folder / std::string(kCatalogFile), catalogBytes, error)) return Fail(error);

    std::string variants;
    for (const auto& group : corpus.variantGroups) {
        for (std::size_t m = 0; m < group.size(); ++m) {
            char hex[16];
            std::snprintf(hex, sizeof hex, m == 0 ? "%X" : ",%X", static_cast<unsigned>(group[m]));
            variants += hex;
        }
        variants += '\n';
    }
    if (!WriteText(folder / std::string(kVariantFile), variants, error)) return Fail(error);

    const std::string base(kBaseName);
    for (const std::string& name :
         {base + std::string(kDirectorySuffix), base + std::string(kContentSuffix), base + "-idx.h",
          base + "-idx.m", base + "_content-idx.h", base + "_content-idx.m", base + "_desc-idx.h",
          base + "_desc-idx.m", std::string(kCatalogFile), std::string(kVariantFile)}) {
        const auto bytes = std::filesystem::file_size(folder / name, ec);
        if (ec) return Fail("cannot read the size of " + (folder / name).string());
        result.files.push_back({name, bytes});
    }
    stats = std::move(result);
    return true;
}

}  // namespace vyn
