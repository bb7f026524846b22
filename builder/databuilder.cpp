#include "builder/databuilder.h"

#include <algorithm>
#include <cassert>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <fstream>
#include <mutex>
#include <new>
#include <optional>
#include <span>
#include <thread>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "builder/pagelayout.h"
#include "builder/postingwriter.h"
#include "builder/storewriter.h"
#include "encoding/charslot.h"
#include "encoding/utf.h"
#include "index/indexformat.h"
#include "textstore/storeformat.h"

namespace vyn {

namespace {


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
    return Utf8ToUtf16(std::get<std::string>(name), out);
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

// The variant slots of each code point, looked up without hashing.
class CVariantSlots {
public:
    explicit CVariantSlots(const std::vector<std::vector<std::uint32_t>>& groups) {
        std::unordered_map<std::uint32_t, std::vector<std::int32_t>> groupsOf;
        std::uint32_t largest = 0;
        for (std::size_t g = 0; g < groups.size(); ++g) {
            for (std::uint32_t member : groups[g]) {
                // Laid-out text holds no code point above U+10FFFF.
                if (member > 0x10FFFF) continue;
                auto& list = groupsOf[member];
                const auto slot = static_cast<std::int32_t>(kFirstVariantSlot + g);
                if (list.empty() || list.back() != slot) list.push_back(slot);
                largest = std::max(largest, member);
            }
        }
        if (groupsOf.empty()) return;
        m_start.assign(std::size_t{largest} + 2, 0);
        for (const auto& [member, list] : groupsOf) {
            m_start[member + 1] = static_cast<std::uint32_t>(list.size());
        }
        for (std::size_t i = 1; i < m_start.size(); ++i) m_start[i] += m_start[i - 1];
        m_slots.resize(m_start.back());
        for (const auto& [member, list] : groupsOf) {
            std::copy(list.begin(), list.end(), m_slots.begin() + m_start[member]);
        }
    }

    // The slots of the groups that hold codePoint, in group order.
    std::span<const std::int32_t> Of(char32_t codePoint) const {
        if (std::size_t{codePoint} + 1 >= m_start.size()) return {};
        return {m_slots.data() + m_start[codePoint], m_slots.data() + m_start[codePoint + 1]};
    }

private:
    std::vector<std::uint32_t> m_start;  // per code point up to the largest member, and one more
    std::vector<std::int32_t> m_slots;
};

// One call of CPostingWriter::Add, with the scope it goes to besides the whole.
struct Posting {
    std::int32_t slot = 0;
    std::uint32_t doc = 0;
    std::uint32_t position = 0;
    TextRun::Kind kind = TextRun::kMain;
};

// The posting writers of the three scopes, filled and written on two threads of
// their own: one for the whole text, one for the main text and the annotations.
// The building thread hands postings over in batches through a ring of kRing,
// waiting while the ring is full. The threads live as long as this object: Join
// waits for them and, at the latest, the destructor abandons what is left and
// joins them. Add, Failed, Close and Join belong to the building thread.
class CScopeIndexes {
public:
    CScopeIndexes() {
        for (Batch& batch : m_ring) batch.reserve(kBatchPostings);
        try {
            for (int w = 0; w < kWorkers; ++w) m_threads[w] = std::thread([this, w] { Run(w); });
        } catch (...) {
            Stop();
            throw;
        }
    }
    ~CScopeIndexes() { Stop(); }
    CScopeIndexes(const CScopeIndexes&) = delete;
    CScopeIndexes& operator=(const CScopeIndexes&) = delete;

    void Add(const Posting& posting) {
        Batch& batch = m_ring[m_submitted % kRing];
        batch.push_back(posting);
        if (batch.size() == kBatchPostings) Submit();
    }

    // True once a thread has refused a posting or thrown; Join tells more.
    bool Failed() const { return m_workers[0].failed || m_workers[1].failed; }

    // Ends the input. With folder, which must outlive Join, the threads then write
    // their scopes' files into it unless a posting was refused.
    void Close(const std::filesystem::path* folder) {
        if (!m_ring[m_submitted % kRing].empty()) Submit();
        {
            std::lock_guard lock(m_mutex);
            m_closed = true;
            m_writeTo = folder;
        }
        m_ready.notify_all();
    }

    // Requires: Close. Waits for both threads and rethrows what one threw. Returns
    // the first document with a posting that outgrows the posting format, if any;
    // otherwise sets error to the first write failure, if any, in the order the
    // files are listed.
    std::optional<std::uint32_t> Join(std::string& error) {
        for (std::thread& thread : m_threads) {
            if (thread.joinable()) thread.join();
        }
        for (Worker& worker : m_workers) {
            if (worker.exception) std::rethrow_exception(worker.exception);
        }
        std::optional<std::uint32_t> failedDoc;
        for (Worker& worker : m_workers) {
            if (worker.failedDoc && (!failedDoc || *worker.failedDoc < *failedDoc)) {
                failedDoc = worker.failedDoc;
            }
        }
        if (failedDoc) return failedDoc;
        for (Worker& worker : m_workers) {
            if (!worker.error.empty()) {
                error = worker.error;
                break;
            }
        }
        return std::nullopt;
    }

private:
    using Batch = std::vector<Posting>;
    static constexpr int kWorkers = 2;
    static constexpr std::size_t kRing = 8;
    static constexpr std::size_t kBatchPostings = std::size_t{1} << 16;

    struct Worker {
        std::size_t consumed = 0;  // batches done; guarded by m_mutex
        std::atomic<bool> failed{false};
        std::optional<std::uint32_t> failedDoc;
        std::exception_ptr exception;
        std::string error;
    };

    // Hands the current batch to the threads and waits until the next one is free.
    void Submit() {
        std::unique_lock lock(m_mutex);
        ++m_submitted;
        m_ready.notify_all();
        m_free.wait(lock, [this] {
            return m_submitted - std::min(m_workers[0].consumed, m_workers[1].consumed) < kRing;
        });
        m_ring[m_submitted % kRing].clear();
    }

    // Adds the batch to thread w's scopes. False at a refused posting.
    bool Index(int w, const Batch& batch) {
        for (const Posting& posting : batch) {
            CPostingWriter& writer =
                w == 0 ? m_whole : posting.kind == TextRun::kNote ? m_notes : m_main;
            if (!writer.Add(posting.slot, posting.doc, posting.position)) {
                m_workers[w].failedDoc = posting.doc;
                return false;
            }
        }
        return true;
    }

    bool Write(int w, const std::filesystem::path& folder, std::string& error) {
        const std::string base(kIndexBaseName);
        if (w == 0) return m_whole.Write(folder, base, error);
        return m_main.Write(folder, base + std::string(IndexFileSuffix(IndexScope::kMain)), error) &&
               m_notes.Write(folder, base + std::string(IndexFileSuffix(IndexScope::kNotes)), error);
    }

    // Thread w's life: every batch, indexed or, after a failure or a stop, skipped
    // so that the building thread never waits in vain; then the files.
    void Run(int w) {
        Worker& worker = m_workers[w];
        std::size_t next = 0;
        const std::filesystem::path* folder = nullptr;
        for (;;) {
            const Batch* batch = nullptr;
            {
                std::unique_lock lock(m_mutex);
                m_ready.wait(lock, [&] { return m_submitted > next || m_closed; });
                if (m_submitted == next) {
                    folder = m_writeTo;
                    break;
                }
                batch = &m_ring[next % kRing];
            }
            if (!worker.failed && !m_stopped) {
                try {
                    if (!Index(w, *batch)) worker.failed = true;
                } catch (...) {
                    worker.exception = std::current_exception();
                    worker.failed = true;
                }
            }
            {
                std::lock_guard lock(m_mutex);
                worker.consumed = ++next;
            }
            m_free.notify_one();
        }
        if (!folder || worker.failed || m_stopped) return;
        try {
            Write(w, *folder, worker.error);
        } catch (...) {
            worker.exception = std::current_exception();
        }
    }

    // Abandons the input and joins the threads.
    void Stop() noexcept {
        m_stopped = true;
        {
            std::lock_guard lock(m_mutex);
            m_closed = true;
        }
        m_ready.notify_all();
        for (std::thread& thread : m_threads) {
            if (thread.joinable()) thread.join();
        }
    }

    CPostingWriter m_whole;
    CPostingWriter m_main;
    CPostingWriter m_notes;
    std::array<Batch, kRing> m_ring;
    std::size_t m_submitted = 0;  // batches handed over; changed under m_mutex
    bool m_closed = false;        // guarded by m_mutex
    const std::filesystem::path* m_writeTo = nullptr;  // guarded by m_mutex
    std::atomic<bool> m_stopped{false};
    std::array<Worker, kWorkers> m_workers;
    std::mutex m_mutex;
    std::condition_variable m_ready;  // a batch was handed over or the input ended
    std::condition_variable m_free;   // a thread finished a batch
    std::array<std::thread, kWorkers> m_threads;
};

// The catalog in pre-order with page ranges, and the volumes in page order.
struct CatalogPlan {
    std::vector<CatalogEntry> entries;
    std::vector<VolumeRef> volumes;
    std::uint64_t pageCount = 0;
};

// One build of one corpus into one folder, phase by phase: the catalog plan, the
// variant groups checked, the pages laid out into the store and the indexes (written
// on their threads while the store is written), the catalog, the variant table and
// the list of files written. Each phase answers false with the reason in Reason().
class CFolderBuild {
public:
    CFolderBuild(const Corpus& corpus, const std::filesystem::path& folder, const BuildProgress& progress)
        : m_corpus(corpus), m_folder(folder), m_progress(progress) {}

    bool PlanCatalog();
    bool CheckVariantGroups();
    bool StorePages(BuildStats& result);
    bool WriteCatalog();
    bool WriteVariantTable();
    bool ListFiles(BuildStats& result);

    const std::string& Reason() const { return m_reason; }

private:
    bool Fail(std::string reason) {
        m_reason = std::move(reason);
        return false;
    }
    bool AddEntry(const CatalogName& name, std::int32_t level, const char* what);
    // Sets the page count of the entry at index from the pages planned so far.
    bool CloseEntry(std::size_t index);
    bool AddPages(CStoreWriter& store, CScopeIndexes& indexes, BuildStats& result);
    bool WriteStoreAndIndexes(CStoreWriter& store, CScopeIndexes& indexes);
    // ": it would hold N bytes, M more than …": the whole store's size when page doc
    // did not fit.
    std::string StoreOverrun(const CStoreWriter& store, std::uint32_t doc) const;
    // "page N of volume V: " for document doc.
    std::string Where(std::uint32_t doc) const;
    // Fails with reason for document doc, unless an earlier page has a character
    // that occurs too often, which is reported as the sequential build would.
    bool FailAt(CScopeIndexes& indexes, std::uint32_t doc, const std::string& reason);

    const Corpus& m_corpus;
    const std::filesystem::path& m_folder;
    const BuildProgress& m_progress;
    CatalogPlan m_plan;
    std::string m_reason;
};

bool CFolderBuild::AddEntry(const CatalogName& name, std::int32_t level, const char* what) {
    CatalogEntry entry;
    if (!ToUtf16(name, entry.name)) return Fail(std::string("the name of a ") + what + " is not valid UTF-8");
    if (entry.name.size() > kMaxCatalogNameUnits || entry.name.find(u'\0') != std::u16string::npos) {
        return Fail(std::string("the name of a ") + what + " (" + ToUtf8(entry.name) + ") is longer than " +
                    std::to_string(kMaxCatalogNameUnits) + " UTF-16 units or holds U+0000");
    }
    entry.level = level;
    entry.docId = static_cast<std::int32_t>(m_plan.pageCount + 1);
    m_plan.entries.push_back(std::move(entry));
    if (m_plan.entries.size() > kMaxCatalogRecords) {
        return Fail("the catalog needs more than " + std::to_string(kMaxCatalogRecords) + " records");
    }
    return true;
}

bool CFolderBuild::CloseEntry(std::size_t index) {
    CatalogEntry& entry = m_plan.entries[index];
    entry.docNo = static_cast<std::int32_t>(m_plan.pageCount + 1 - static_cast<std::uint64_t>(entry.docId));
    if (entry.docNo == 0) return Fail("the catalog node " + ToUtf8(entry.name) + " holds no pages");
    return true;
}

bool CFolderBuild::PlanCatalog() {
    std::vector<CatalogEntry>& catalog = m_plan.entries;
    std::uint32_t bookNumber = 0;
    for (const CorpusCategory& category : m_corpus.categories) {
        const std::size_t categoryIndex = catalog.size();
        if (!AddEntry(category.name, kLevelCategory, "category")) return false;
        for (const CorpusBook& book : category.books) {
            const std::size_t bookIndex = catalog.size();
            if (!AddEntry(book.name, kLevelBook, "book")) return false;
            ++bookNumber;
            std::uint32_t volumeNumber = 0;
            for (const CorpusVolume& volume : book.volumes) {
                const std::size_t volumeIndex = catalog.size();
                if (!AddEntry(volume.name, kLevelVolume, "volume")) return false;
                catalog[volumeIndex].curFileName = volume.firstPage;
                m_plan.volumes.push_back({&volume, bookNumber, ++volumeNumber});
                m_plan.pageCount += volume.pages.size();
                if (m_plan.pageCount > kMaxPacked + std::uint64_t{1}) {
                    return Fail("the corpus has more pages than the index can number");
                }
                if (!CloseEntry(volumeIndex)) return false;
            }
            if (!CloseEntry(bookIndex)) return false;
            catalog[bookIndex].curFileName = catalog[bookIndex + 1].curFileName;
        }
        if (!CloseEntry(categoryIndex)) return false;
        catalog[categoryIndex].curFileName = catalog[categoryIndex + 1].curFileName;
    }
    return true;
}

bool CFolderBuild::CheckVariantGroups() {
    if (m_corpus.variantGroups.size() > kMaxVariantGroups) {
        return Fail("more than " + std::to_string(kMaxVariantGroups) + " variant groups");
    }
    for (std::size_t g = 0; g < m_corpus.variantGroups.size(); ++g) {
        if (m_corpus.variantGroups[g].empty()) return Fail("variant group " + std::to_string(g) + " is empty");
    }
    return true;
}

std::string CFolderBuild::Where(std::uint32_t doc) const {
    std::size_t v = 0;
    for (; doc >= m_plan.volumes[v].volume->pages.size(); ++v) {
        doc -= static_cast<std::uint32_t>(m_plan.volumes[v].volume->pages.size());
    }
    const CorpusVolume& volume = *m_plan.volumes[v].volume;
    std::u16string name;
    ToUtf16(volume.name, name);
    return "page " + std::to_string(volume.firstPage + doc) + " of volume " + ToUtf8(name) + ": ";
}

bool CFolderBuild::FailAt(CScopeIndexes& indexes, std::uint32_t doc, const std::string& reason) {
    std::string ignored;
    indexes.Close(nullptr);
    if (auto tooOften = indexes.Join(ignored)) {
        return Fail(Where(*tooOften) + "a character occurs too often for one index entry");
    }
    return Fail(Where(doc) + reason);
}

bool CFolderBuild::StorePages(BuildStats& result) {
    const auto total = static_cast<std::uint32_t>(m_plan.pageCount);
    result.catalogRecords = static_cast<std::uint32_t>(m_plan.entries.size());
    result.volumes = static_cast<std::uint32_t>(m_plan.volumes.size());
    result.pages = total;
    if (m_progress) m_progress(0, total);
    CStoreWriter store(kDefaultNameWidth);
    store.SetHeaderNumber(total);
    CScopeIndexes indexes;
    return AddPages(store, indexes, result) && WriteStoreAndIndexes(store, indexes);
}

bool CFolderBuild::AddPages(CStoreWriter& store, CScopeIndexes& indexes, BuildStats& result) {
    const CVariantSlots variantSlots(m_corpus.variantGroups);
    std::uint32_t doc = 0;
    for (const VolumeRef& ref : m_plan.volumes) {
        for (std::size_t i = 0; i < ref.volume->pages.size(); ++i) {
            const auto pageNumber = static_cast<std::uint32_t>(ref.volume->firstPage + i);
            LaidOutPage laid;
            std::string error;
            if (!LayOutPage(ref.volume->pages[i], pageNumber, laid, error)) return FailAt(indexes, doc, error);
            if (!store.AddPage(RecordName(ref, pageNumber), laid.html)) {
                return FailAt(indexes, doc, "the text store would pass 4 GiB" + StoreOverrun(store, doc));
            }
            for (const Occurrence& occurrence : laid.occurrences) {
                const std::int32_t slot = CharSlot(occurrence.codePoint);
                if (slot != kNotIndexed) {
                    indexes.Add({slot, doc, occurrence.position, occurrence.kind});
                    ++result.indexedCharacters;
                }
                for (std::int32_t groupSlot : variantSlots.Of(occurrence.codePoint)) {
                    indexes.Add({groupSlot, doc, occurrence.position, occurrence.kind});
                }
            }
            result.characters += laid.occurrences.size();
            if (indexes.Failed()) return FailAt(indexes, doc, "");
            ++doc;
            if (m_progress) m_progress(doc, result.pages);
        }
    }
    return true;
}

std::string CFolderBuild::StoreOverrun(const CStoreWriter& store, std::uint32_t doc) const {
    // The pages from doc on are laid out once more, only to be measured.
    std::uint64_t bytes = store.ContentSize();
    std::uint32_t at = 0;
    for (const VolumeRef& ref : m_plan.volumes) {
        for (std::size_t i = 0; i < ref.volume->pages.size(); ++i, ++at) {
            if (at < doc) continue;
            LaidOutPage laid;
            std::string error;
            if (!LayOutPage(ref.volume->pages[i], static_cast<std::uint32_t>(ref.volume->firstPage + i), laid, error)) {
                return {};
            }
            bytes += laid.html.size();
        }
    }
    constexpr std::uint64_t kMaxStore = 0xFFFFFFFFu;
    return ": it would hold " + std::to_string(bytes) + " bytes, " + std::to_string(bytes - kMaxStore) +
           " more than the " + std::to_string(kMaxStore) + " it can";
}

bool CFolderBuild::WriteStoreAndIndexes(CStoreWriter& store, CScopeIndexes& indexes) {
    // The store is written while the threads write the indexes.
    std::string indexError;
    std::string storeError;
    indexes.Close(&m_folder);
    const bool storeWritten = store.Write(m_folder, kIndexBaseName, storeError);
    if (auto tooOften = indexes.Join(indexError)) {
        return Fail(Where(*tooOften) + "a character occurs too often for one index entry");
    }
    if (!storeWritten) return Fail(storeError);
    if (!indexError.empty()) return Fail(indexError);
    return true;
}

bool CFolderBuild::WriteCatalog() {
    std::string catalogBytes;
    catalogBytes.reserve(m_plan.entries.size() * kCatalogRecordSize);
    for (const CatalogEntry& entry : m_plan.entries) {
        const std::size_t start = catalogBytes.size();
        for (char16_t unit : entry.name) PutLe(catalogBytes, unit, 2);
        catalogBytes.resize(start + kCatalogLevelOffset, '\0');
        PutLe(catalogBytes, static_cast<std::uint32_t>(entry.level), 4);
        PutLe(catalogBytes, static_cast<std::uint32_t>(entry.docId), 4);
        PutLe(catalogBytes, static_cast<std::uint32_t>(entry.docNo), 4);
        PutLe(catalogBytes, entry.curFileName, 2);
        PutLe(catalogBytes, 0, 2);
        assert(catalogBytes.size() == start + kCatalogRecordSize);
    }
    std::string error;
    if (!WriteText(m_folder / std::string(kCatalogFile), catalogBytes, error)) return Fail(error);
    return true;
}

bool CFolderBuild::WriteVariantTable() {
    std::string variants;
    for (const auto& group : m_corpus.variantGroups) {
        for (std::size_t m = 0; m < group.size(); ++m) {
            char hex[16];
            std::snprintf(hex, sizeof hex, m == 0 ? "%X" : ",%X", static_cast<unsigned>(group[m]));
            variants += hex;
        }
        variants += '\n';
    }
    std::string error;
    if (!WriteText(m_folder / std::string(kVariantFile), variants, error)) return Fail(error);
    return true;
}

bool CFolderBuild::ListFiles(BuildStats& result) {
    const std::string base(kIndexBaseName);
    std::vector<std::string> names = {base + std::string(kDirectorySuffix), base + std::string(kContentSuffix)};
    for (IndexScope scope : {IndexScope::kWhole, IndexScope::kMain, IndexScope::kNotes}) {
        for (std::string_view file : {kHeaderFileSuffix, kPostingFileSuffix}) {
            names.push_back(base + std::string(IndexFileSuffix(scope)) + std::string(file));
        }
    }
    names.push_back(std::string(kCatalogFile));
    names.push_back(std::string(kVariantFile));
    for (const std::string& name : names) {
        std::error_code ec;
        const auto bytes = std::filesystem::file_size(m_folder / name, ec);
        if (ec) return Fail("cannot read the size of " + (m_folder / name).string());
        result.files.push_back({name, bytes});
    }
    return true;
}

}  // namespace

std::string BuildStopReason() {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        return "not enough memory";
    } catch (const std::exception& e) {
        return std::string("build stopped: ") + e.what();
    } catch (...) {
        return "build stopped by an unknown error";
    }
}

bool CDataBuilder::Fail(std::string reason) {
    m_reason = std::move(reason);
    return false;
}

bool CDataBuilder::Build(const Corpus& corpus, const std::filesystem::path& folder,
                         BuildStats& stats) {
    m_reason.clear();
    try {
        return BuildFiles(corpus, folder, stats);
    } catch (...) {
        return Fail(BuildStopReason());
    }
}

bool CDataBuilder::BuildFiles(const Corpus& corpus, const std::filesystem::path& folder,
                              BuildStats& stats) {
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) {
        return Fail("not a folder: " + folder.string());
    }
    CFolderBuild build(corpus, folder, m_progress);
    BuildStats result;
    const bool built = build.PlanCatalog() && build.CheckVariantGroups() && build.StorePages(result) &&
                       build.WriteCatalog() && build.WriteVariantTable() && build.ListFiles(result);
    if (!built) return Fail(build.Reason());
    stats = std::move(result);
    return true;
}

}  // namespace vyn
