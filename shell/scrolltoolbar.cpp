#include "shell/scrolltoolbar.h"

#include <QDebug>
#include <QHBoxLayout>

#include "gui/bitmaps.h"
#include "gui/resource.h"
#include "gui/toolbarres.h"

namespace vyn {

namespace {

constexpr int kImageSide = 40;
constexpr int kImageCount = 10;
constexpr int kSliderWidth = 300;
constexpr int kPageBoxWidth = 100;

// Puts control into place, filling it.
void FillPlace(QWidget* place, QWidget* control) {
    auto* layout = new QHBoxLayout(place);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(control);
}

}  // namespace

CSCrollToolBar::CSCrollToolBar(QWidget* parent) : CXToolBar(parent) {}

CSCrollToolBar::~CSCrollToolBar() = default;

bool CSCrollToolBar::Create() {
    if (!LoadToolBar(IDR_MAINFRAME)) return false;
    SetImageSize(kImageSide, kImageSide);
    if (!SetBackgroundBitmap(IDB_TOOLBAR_BACK)) return false;
    if (!SetTrueColorImages(kImageCount, kMaskColour, IDB_TOOLBAR_NORMAL, IDB_TOOLBAR_DISABLED,
                            IDB_TOOLBAR_HOT)) {
        return false;
    }
    connect(this, &QToolBar::orientationChanged, this, [this] { update(); });

    const int sliderItem = CommandToIndex(ID_SLIDER_PLACE);
    QWidget* sliderPlace = SetSeparator(sliderItem, kSliderWidth);
    if (!sliderPlace || !CreateSlider(sliderPlace)) {
        qDebug("Failed to create slider\n");
        // No box either; its place shows no empty button.
        SetSeparator(CommandToIndex(ID_PAGEBOX_PLACE, sliderItem), kPageBoxWidth);
        return true;
    }
    m_bSlider = true;
    m_wndSlider.SetBackgroundBitmap(IDB_TOOLBAR_BACK);
    m_wndSlider.show();
    m_wndSlider.SetRange(0, 0, true);
    connect(&m_wndSlider, &CXSliderCtrl::scrolled, this, &CSCrollToolBar::OnHScroll);

    QWidget* boxPlace = SetSeparator(CommandToIndex(ID_PAGEBOX_PLACE, sliderItem), kPageBoxWidth);
    if (!boxPlace || !CreatePageBox(boxPlace)) {
        qDebug("Failed to create edit\n");
        return true;
    }
    m_bPageBox = true;
    m_wndPageBox.SetBackgroundBitmap(IDB_TOOLBAR_BACK);
    m_wndPageBox.show();
    return true;
}

bool CSCrollToolBar::CreateSlider(QWidget* place) {
    m_wndSlider.setObjectName(QStringLiteral("pageSlider"));
    m_wndSlider.setAccessibleName(QStringLiteral("頁スライダー"));
    m_wndSlider.setProperty("controlId", IDC_PAGE_SLIDER);
    FillPlace(place, &m_wndSlider);
    return true;
}

bool CSCrollToolBar::CreatePageBox(QWidget* place) {
    m_wndPageBox.setObjectName(QStringLiteral("pagePositionBox"));
    m_wndPageBox.setAccessibleName(QStringLiteral("頁位置"));
    m_wndPageBox.setProperty("controlId", IDC_PAGE_BOX);
    m_wndPageBox.setReadOnly(true);
    FillPlace(place, &m_wndPageBox);
    return true;
}

// Every notification of the slider. Only the end of a move shows a page: dragging
// alone shows nothing.
void CSCrollToolBar::OnHScroll(int code, int position) {
    m_wndSlider.setCursor(LoadCursorResource(IDC_SLIDER_CURSOR));
    if (code == CXSliderCtrl::TB_ENDTRACK && m_pLeftForm && m_pLeftForm->HasCurrentVolume()) {
        m_pLeftForm->OnPageSliderEnd(position);
    }
}

void CSCrollToolBar::SetPageRange(int first, int last) {
    if (m_bSlider) m_wndSlider.SetRange(first, last, true);
}

void CSCrollToolBar::SetPageMarks(const QList<PageSliderMark>& marks) {
    if (m_bSlider) m_wndSlider.SetMarks(marks);
}

void CSCrollToolBar::SetPagePos(int page) {
    if (m_bSlider) m_wndSlider.SetPos(page);
}


void CSCrollToolBar::SetPageText(const QString& text) {
    if (m_bPageBox) m_wndPageBox.setText(text);
}

}  // namespace vyn
