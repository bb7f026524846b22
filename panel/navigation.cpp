#include "panel/navigation.h"

#include <algorithm>
#include <cstdio>
#include <limits>

namespace vyn {

namespace {

constexpr std::int64_t kIntMax = std::numeric_limits<int>::max();

}  // namespace

void CNavigator::ResetScopePath() { m_scopePath = m_catalog.ScopePath(m_scopeItem); }

void CNavigator::Reset() {
    m_scopeItem = 1;
    m_curItem = 0;
    m_curPage = 0;
    m_curHit = 0;
    m_hitCount = 0;
    m_resultFile = {};
    ResetScopePath();
}

bool CNavigator::SetScopeItem(int slot) {
    if (!m_catalog.HasRecord(slot)) return false;
    m_scopeItem = static_cast<std::uint16_t>(slot);
    m_scopePath = m_catalog.ScopePath(slot);
    return true;
}

CNavigator::Selection CNavigator::SelectCatalogItem(int slot) {
    if (!SetScopeItem(slot)) return Selection::kInvalid;
    if (m_catalog.HasTreeChildren(slot)) return Selection::kScope;
    OpenVolume(slot);
    return Selection::kVolumeOpened;
}

bool CNavigator::OpenVolumePage(int slot, int page) {
    if (!SetScopeItem(slot)) return false;
    m_curItem = slot;
    m_curPage = page;
    return true;
}

void CNavigator::OpenVolume(int slot) {
    m_curItem = slot;
    m_curPage = m_catalog.Record(slot).curFileName;
}

bool CNavigator::IsEnabled(NavCommand command) const {
    const CatalogRecord& volume = m_catalog.Record(m_curItem);
    const std::int64_t offset = std::int64_t{m_curPage} - volume.curFileName;
    auto volumeBetween = [&](int first, int last) {
        for (int slot = std::max(first, 1); slot <= last; ++slot) {
            if (m_catalog.Record(slot).level == kLevelVolume) return true;
        }
        return false;
    };
    switch (command) {
        case NavCommand::kPrevPage:
            return m_curItem != 0 && offset >= 1;
        case NavCommand::kNextPage:
            return m_curItem != 0 && offset >= 0 && offset + 1 < volume.docNo && m_curPage < kIntMax;
        case NavCommand::kPrevVolume:
            return m_curItem != 0 && volumeBetween(1, m_curItem - 1);
        case NavCommand::kNextVolume:
            return m_curItem != 0 && volumeBetween(m_curItem + 1, m_catalog.NodeItemCount() - 1);
        case NavCommand::kPrevHit:
            return m_curHit - 1 >= 0;
        case NavCommand::kNextHit:
            return m_curHit + 1 < m_hitCount;
    }
    return false;
}

bool CNavigator::OnPrevPage() {
    if (!IsEnabled(NavCommand::kPrevPage)) return false;
    --m_curPage;
    return true;
}

bool CNavigator::OnNextPage() {
    if (!IsEnabled(NavCommand::kNextPage)) return false;
    ++m_curPage;
    return true;
}

bool CNavigator::OnPageSliderEnd(int position) {
    if (m_curItem == 0) return false;
    m_curPage = position;
    return true;
}

bool CNavigator::StepVolume(int direction) {
    const int count = m_catalog.NodeItemCount();
    for (int slot = m_curItem + direction; slot >= 1 && slot < count; slot += direction) {
        if (m_catalog.Record(slot).level == kLevelVolume) {
            OpenVolume(slot);
            return true;
        }
    }
    if (m_sink) m_sink->Warning(direction > 0 ? kLastVolumeMessage : kFirstVolumeMessage);
    return false;
}

bool CNavigator::OnNextVolume() { return StepVolume(+1); }

bool CNavigator::OnPrevVolume() { return StepVolume(-1); }

bool CNavigator::OnPrevHit() {
    if (!IsEnabled(NavCommand::kPrevHit)) return false;
    --m_curHit;
    return true;
}

bool CNavigator::OnNextHit() {
    if (!IsEnabled(NavCommand::kNextHit)) return false;
    ++m_curHit;
    return true;
}

std::pair<int, int> CNavigator::SliderRange() const {
    if (m_curItem == 0) return {0, 0};
    const CatalogRecord& volume = m_catalog.Record(m_curItem);
    const std::int64_t last = std::int64_t{volume.curFileName} + std::max(volume.docNo, 1) - 1;
    return {volume.curFileName, static_cast<int>(std::min(last, kIntMax))};
}

std::string CNavigator::PositionText(std::uint32_t headerNumber) const {
    return std::to_string(static_cast<std::int32_t>(headerNumber)) + "/" + std::to_string(m_curPage);
}

std::string CNavigator::Fragment(int hit) {
    char text[16];
    std::snprintf(text, sizeof text, "#%04d", hit);
    return text;
}

PageTarget CNavigator::HitTarget() const { return {m_resultFile, Fragment(m_curHit)}; }

bool CNavigator::ReadCatalogPage(CIndex& index, int slot, int mode, int pageNumber,
                                 ByteString& out) const {
    if (!m_catalog.HasRecord(slot)) return false;
    const CatalogRecord& node = m_catalog.Record(slot);
    std::int64_t record = 0;
    if (!FindNodePage(index, node, mode == 1 ? node.curFileName : pageNumber, record)) return false;
    ByteString bytes;
    if (!index.ReadPage(static_cast<std::uint32_t>(record), bytes)) return false;
    out = std::move(bytes);
    return true;
}

ResultPage CNavigator::PrepareResultPage(CIndex& index, std::uint32_t pageIndex,
                                         std::u16string_view keyword, SearchScope scopeKind,
                                         bool variants) const {
    ResultPage page;
    page.file = kResultPageFiles[m_useFirstFile ? 0 : 1];
    page.hitCount = index.RenderHitPage(pageIndex, page.bytes, keyword, scopeKind, variants);
    page.fragment = Fragment(0);
    page.pageIndex = pageIndex;
    return page;
}

void CNavigator::CommitResultPage(const ResultPage& page) {
    m_hitCount = page.hitCount;
    m_curHit = 0;
    m_resultFile = page.file;
    m_useFirstFile = !m_useFirstFile;
}

}  // namespace vyn
