// Names of a shown page from the catalog: its book, volume and page number, and the
// file name a saved copy of it gets.
#pragma once

#include <string>

#include "panel/catalog.h"

namespace vyn {

struct PageName {
    std::u16string category;
    std::u16string book;
    std::u16string volume;
    int page = 0;
};

// The names of page number `page` of the volume in slot: the volume's record name,
// its book's (the nearest level-2 record among its tree ancestors) and category's
// (level 1). False, out untouched, when the slot holds no volume record.
bool NamePage(const CCatalog& catalog, int volumeSlot, int page, PageName& out);

// "<book>_<volume>_第<page>頁.pdf", with every character a file name cannot hold
// ("/", NUL, control characters) and "\" made "_"; parts that are empty are left out.
std::u16string PdfFileName(const PageName& name);

}  // namespace vyn
