#include "panel/hitmarks.h"

#include <algorithm>
#include <cstdint>

#include "panel/citation.h"

namespace vyn {

std::vector<PageMark> HitMarks(const CCatalog& catalog, int volumeSlot,
                               std::span<const SearchNodeTag> entries) {
    std::vector<PageMark> marks;
    if (VolumePageRange(catalog, volumeSlot).second < 0) return marks;
    const CatalogRecord& volume = catalog.Record(volumeSlot);
    const std::int64_t first = std::int64_t{volume.docID} - 1;
    for (const SearchNodeTag& entry : entries) {
        const std::int64_t offset = std::int64_t{entry.pageIndex} - first;
        if (offset < 0 || offset >= volume.docNo) continue;
        const std::int64_t page = volume.curFileName + offset;
        marks.push_back({static_cast<int>(std::min<std::int64_t>(page, INT32_MAX)), entry.hits});
    }
    std::sort(marks.begin(), marks.end(),
              [](const PageMark& a, const PageMark& b) { return a.pageNumber < b.pageNumber; });
    return marks;
}

std::u16string HitMarkToolTip(const PageMark& mark) {
    return u"第" + DecimalText(std::max(mark.pageNumber, 0)) + u"頁（" + DecimalText(mark.hits) + u"箇所）";
}

}  // namespace vyn
