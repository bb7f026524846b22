// CKanripoReader: reads texts of the Kanseki Repository (docs/corpus.md, "Kanseki
// Repository texts") into a Corpus.
#pragma once

#include <filesystem>
#include <string>

#include "builder/corpus.h"

namespace vyn {

// Reads the text folders in a folder (each named by its KR number, directly in it
// or one level down) and the optional catalog KR-Catalog/README.org. Holds only the
// reason of the last failure; one object per thread.
class CKanripoReader {
public:
    // Reads the texts in folder. True with the corpus in KR order (categories by
    // their KR class, books by KR number, volumes by file number), as much of it as
    // scope keeps (by default all of it), names and text in UTF-8, every page
    // labelled "book volume folio". False with one line in GetReason(),
    // "FILE:LINE: message" ("FILE: message" when the fault lies with a whole file or
    // folder), FILE relative to folder; corpus is then untouched. The folders of
    // books left out are not read. Nothing is thrown; any bytes are safe to read.
    bool Read(const std::filesystem::path& folder, Corpus& corpus, const ReadScope& scope = {});

    const std::string& GetReason() const { return m_reason; }

private:
    std::string m_reason;
};

// The catalog's limits, checked before anything is written: at most
// kMaxCatalogRecords catalog entries and as many pages as the index can number.
// False with a reason naming the limit and how far corpus goes past it.
bool CheckCorpusLimits(const Corpus& corpus, std::string& reason);

// n in Chinese numerals as volume names write it: 一, 十, 十一, 二十, 一百, 一百零一.
// Requires: 0 < n < 10000.
std::string ChineseNumeral(unsigned n);

}  // namespace vyn
