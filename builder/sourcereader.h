// CSourceReader: reads a corpus source folder (docs/corpus.md) into a Corpus.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "builder/corpus.h"

namespace vyn {

// Reads SRC/catalog.txt, the volume files it names and the optional
// SRC/variants.txt. Holds only the reason of the last failure; one object per
// thread.
class CSourceReader {
public:
    static constexpr std::size_t kMaxLineBytes = std::size_t{16} << 20;

    // Reads the source in folder. True with the corpus in corpus, as much of it as
    // scope keeps (by default all of it), names and text in UTF-8, every page
    // labelled. False with one line in GetReason(), of the form "FILE:LINE: message"
    // ("FILE: message" when the fault lies with a whole file), FILE relative to
    // folder as the catalog writes it; corpus is then untouched. The catalog is
    // checked whole; the files of books left out are not read. Nothing is thrown;
    // any bytes are safe to read.
    bool Read(const std::filesystem::path& folder, Corpus& corpus, const ReadScope& scope = {});

    const std::string& GetReason() const { return m_reason; }

private:
    std::string m_reason;
};

}  // namespace vyn
