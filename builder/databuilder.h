// CDataBuilder: writes every data file of the reader from an in-memory corpus.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "builder/corpus.h"
#include "textstore/catalogformat.h"

namespace vyn {

struct BuiltFile {
    std::string name;
    std::uint64_t bytes = 0;
};

struct BuildStats {
    std::uint32_t catalogRecords = 0;
    std::uint32_t volumes = 0;
    std::uint32_t pages = 0;
    std::uint64_t characters = 0;         // characters given an index position
    std::uint64_t indexedCharacters = 0;  // of these, the ones with a character slot
    std::vector<BuiltFile> files;         // in the order written
};

// Called after each page is laid out and indexed, and once before the first, with
// the number of pages done and the total.
using BuildProgress = std::function<void(std::uint32_t pagesDone, std::uint32_t pagesTotal)>;

// Builds, for one corpus, the text store (Index-fl.h, Index-fl.cnt), the index
// files of the three scopes (Index-idx.*, Index_content-idx.*, Index_desc-idx.*),
// the catalog "vyn.dir" and the variant table "yitizi.txt". Pages are stored and
// numbered in catalog order: record i is document i of the index and page docID
// i + 1 of the catalog. Keeps the whole index in memory until it is written. One
// object per thread.
class CDataBuilder {
public:
    explicit CDataBuilder(BuildProgress progress = {}) : m_progress(std::move(progress)) {}

    // Writes every data file into folder, which must exist; files of the same names
    // are replaced. True with stats on success. False with a one-line reason in
    // GetReason() on a corpus the reader cannot hold (a name over 99 UTF-16 units or
    // holding U+0000, more than 9,999 catalog records, a category, book or volume
    // without pages, malformed UTF-8, a page too large for the index or the store,
    // an empty variant group or more than 11,935 groups) or when a file cannot be
    // written;
    // stats is then untouched, and files already written may remain. Nothing is
    // thrown, not even by the progress callback.
    bool Build(const Corpus& corpus, const std::filesystem::path& folder, BuildStats& stats);

    const std::string& GetReason() const { return m_reason; }

private:
    bool BuildFiles(const Corpus& corpus, const std::filesystem::path& folder, BuildStats& stats);
    bool Fail(std::string reason);

    BuildProgress m_progress;
    std::string m_reason;
};

// The one-line reason a build gives for the exception being handled: "not enough
// memory", "build stopped: " and the exception's text, or "build stopped by an
// unknown error". Requires: called inside a catch block.
std::string BuildStopReason();

}  // namespace vyn
