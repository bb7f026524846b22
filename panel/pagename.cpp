#include "panel/pagename.h"

namespace vyn {

namespace {

std::u16string FileSafe(std::u16string text) {
    for (char16_t& unit : text) {
        if (unit < 0x20 || unit == u'/' || unit == u'\\' || unit == 0x7F) unit = u'_';
    }
    return text;
}

std::u16string Ascii(const std::string& text) { return {text.begin(), text.end()}; }

}  // namespace

bool NamePage(const CCatalog& catalog, int volumeSlot, int page, PageName& out) {
    if (!catalog.HasRecord(volumeSlot) || catalog.Record(volumeSlot).level != kLevelVolume) {
        return false;
    }
    PageName name;
    name.volume = catalog.Record(volumeSlot).Name();
    name.page = page;
    // Tree parents form a chain to the top level; the catalog caps its depth.
    for (int slot = catalog.TreeParent(volumeSlot), steps = 0;
         slot != 0 && catalog.HasRecord(slot) && steps < CCatalog::kMaxLevel;
         slot = catalog.TreeParent(slot), ++steps) {
        const CatalogRecord& record = catalog.Record(slot);
        if (record.level == kLevelBook && name.book.empty()) name.book = record.Name();
        if (record.level == kLevelCategory && name.category.empty()) name.category = record.Name();
    }
    out = std::move(name);
    return true;
}

std::u16string PdfFileName(const PageName& name) {
    std::u16string file;
    for (const std::u16string* part : {&name.book, &name.volume}) {
        if (part->empty()) continue;
        file += FileSafe(*part);
        file += u'_';
    }
    file += u"第" + Ascii(std::to_string(name.page)) + u"頁.pdf";
    return file;
}

}  // namespace vyn
