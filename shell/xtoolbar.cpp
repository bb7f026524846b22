#include "shell/xtoolbar.h"

#include <QPainter>
#include <QStyleOptionToolBar>
#include <QToolButton>
#include <span>

#include "gui/bitmaps.h"
#include "gui/resource.h"
#include "gui/resources.h"
#include "gui/toolbarres.h"

namespace vyn {

namespace {

// Room around a button's image, as the toolbar spaces its buttons.
constexpr QSize kButtonMargin(7, 6);

struct ToolBarItem {
    int command;  // 0: separator
    int image;
};

// Toolbar 128: 40 x 40 buttons over bitmap 128. The last two places are taken by the
// page slider and the page-position box.
constexpr ToolBarItem kToolBar128[] = {
    {ID_SELECT_ALL, 0}, {ID_EDIT_COPY, 1},   {0, -1},           {ID_PRINT_NOW, 2},
    {0, -1},            {ID_PREV_VOLUME, 3}, {ID_PREV_PAGE, 4}, {ID_NEXT_PAGE, 5},
    {ID_NEXT_VOLUME, 6}, {0, -1},            {ID_PREV_HIT, 7},  {ID_NEXT_HIT, 8},
    {0, -1},            {ID_APP_ABOUT, 9},   {0, -1},           {ID_SLIDER_PLACE, 10},
    {ID_PAGEBOX_PLACE, 11},
};
constexpr QSize kToolBar128Button(40, 40);

std::span<const ToolBarItem> ToolBarResource(int id) {
    if (id == IDR_MAINFRAME) return kToolBar128;
    return {};
}

// A toolbar button that draws only its image: the toolbar's texture shows around it
// and through the image's transparent pixels. Pressed, the hot image sinks a pixel.
class CXToolButton : public QToolButton {
public:
    explicit CXToolButton(QWidget* parent) : QToolButton(parent) {
        setAutoRaise(true);
        setAttribute(Qt::WA_Hover);
    }
    void SetImages(const QPixmap& normal, const QPixmap& disabled, const QPixmap& hot) {
        m_normal = normal;
        m_disabled = disabled;
        m_hot = hot;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        const QPixmap& hot = m_hot.isNull() ? m_normal : m_hot;
        const QPixmap* image = &m_normal;
        QPoint at((width() - m_normal.width()) / 2, (height() - m_normal.height()) / 2);
        if (!isEnabled()) {
            image = &m_disabled;
        } else if (isDown() || isChecked()) {
            image = &hot;
            at += QPoint(1, 1);
        } else if (m_bHot) {
            image = &hot;
        }
        if (image->isNull()) return;
        QPainter painter(this);
        painter.drawPixmap(at, *image);
    }
    void enterEvent(QEnterEvent* event) override {
        m_bHot = true;
        update();
        QToolButton::enterEvent(event);
    }
    void leaveEvent(QEvent* event) override {
        m_bHot = false;
        update();
        QToolButton::leaveEvent(event);
    }

private:
    QPixmap m_normal;
    QPixmap m_disabled;
    QPixmap m_hot;
    bool m_bHot = false;
};

// Image n of strip, with the mask colour made transparent: drawn over the toolbar's
// texture this is the same picture as blending the texture into the strip at the
// place of the button, wherever the toolbar's layout puts it.
QPixmap CutImage(const QImage& strip, int n, QSize size, QRgb mask) {
    QImage image = strip.copy(QRect(QPoint(n * size.width(), 0), size))
                       .convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if ((line[x] & 0xFFFFFF) == (mask & 0xFFFFFF)) line[x] = 0;
        }
    }
    return QPixmap::fromImage(image);
}

std::vector<QPixmap> CutStrip(int id, int count, QSize size, QRgb mask) {
    const QImage strip = LoadBitmapResource(id);
    if (strip.isNull()) return {};
    Q_ASSERT(strip.format() == QImage::Format_RGB888);
    Q_ASSERT(strip.width() >= count * size.width() && strip.height() == size.height());
    std::vector<QPixmap> images;
    for (int n = 0; n < count; ++n) images.push_back(CutImage(strip, n, size, mask));
    return images;
}

}  // namespace

CXToolBar::CXToolBar(QWidget* parent) : QToolBar(parent) {}

CXToolBar::~CXToolBar() = default;

bool CXToolBar::LoadToolBar(int id) {
    const std::span<const ToolBarItem> resource = ToolBarResource(id);
    const QImage bitmap = LoadBitmapResource(id);
    if (resource.empty() || bitmap.isNull()) return false;

    clear();
    m_items.clear();
    int image = 0;
    for (const ToolBarItem& entry : resource) {
        Item item;
        item.command = entry.command;
        if (entry.command == 0) {
            item.place = addSeparator();
        } else {
            item.image = image;
            auto* button = new CXToolButton(this);
            const QString tip = PromptOf(entry.command).toolTip;
            item.action = new QAction(tip, button);
            item.action->setObjectName(QStringLiteral("command_%1").arg(entry.command));
            item.action->setToolTip(tip);
            button->setDefaultAction(item.action);
            button->setObjectName(QStringLiteral("toolButton_%1").arg(entry.command));
            button->setAccessibleName(tip);
            button->setFixedSize(kToolBar128Button + kButtonMargin);
            // The resource's own images, until true-colour ones replace them.
            const QPixmap own = QPixmap::fromImage(
                bitmap.copy(QRect(QPoint(image * kToolBar128Button.width(), 0), kToolBar128Button)));
            button->SetImages(own, own, own);
            const int command = entry.command;
            connect(item.action, &QAction::triggered, this, [this, command] { emit commandIssued(command); });
            item.place = addWidget(button);
            ++image;
        }
        m_items.push_back(item);
    }
    return true;
}

bool CXToolBar::SetBackgroundBitmap(int id) {
    if (!m_background.Load(id)) return false;
    update();
    return true;
}

bool CXToolBar::SetTrueColorImages(int count, QRgb mask, int normalId, int disabledId, int hotId) {
    std::vector<QPixmap> normal = CutStrip(normalId, count, m_sizeTrueImage, mask);
    std::vector<QPixmap> disabled = CutStrip(disabledId, count, m_sizeTrueImage, mask);
    std::vector<QPixmap> hot;
    if (hotId != 0) hot = CutStrip(hotId, count, m_sizeTrueImage, mask);
    if (normal.empty() || disabled.empty() || (hotId != 0 && hot.empty())) return false;

    m_nImageCount = count;
    m_ilNormal = std::move(normal);
    m_ilDisabled = std::move(disabled);
    m_ilHot = std::move(hot);
    for (const Item& item : m_items) {
        if (item.image < 0 || !item.action) continue;
        auto* button = static_cast<CXToolButton*>(widgetForAction(item.place));
        if (!button) continue;
        const auto n = static_cast<std::size_t>(item.image);
        if (n >= m_ilNormal.size()) {
            button->SetImages({}, {}, {});
            continue;
        }
        button->SetImages(m_ilNormal[n], m_ilDisabled[n], m_ilHot.empty() ? QPixmap() : m_ilHot[n]);
    }
    return true;
}

int CXToolBar::GetItemID(int index) const {
    if (index < 0 || index >= GetCount()) return 0;
    return m_items[static_cast<std::size_t>(index)].command;
}

int CXToolBar::CommandToIndex(int id, int from) const {
    for (int i = std::max(from, 0); i < GetCount(); ++i) {
        if (m_items[static_cast<std::size_t>(i)].command == id) return i;
    }
    return -1;
}

QWidget* CXToolBar::ItemWidget(int index) const {
    if (index < 0 || index >= GetCount()) return nullptr;
    return widgetForAction(m_items[static_cast<std::size_t>(index)].place);
}

QAction* CXToolBar::CommandAction(int id) const {
    for (const Item& item : m_items) {
        if (item.command == id && item.action) return item.action;
    }
    return nullptr;
}

QWidget* CXToolBar::SetSeparator(int index, int width) {
    if (index < 0 || index >= GetCount()) return nullptr;
    Item& item = m_items[static_cast<std::size_t>(index)];
    const auto next = static_cast<std::size_t>(index) + 1;
    QAction* before = next < m_items.size() ? m_items[next].place : nullptr;
    // The button goes with its action.
    removeAction(item.place);
    delete item.place;
    auto* gap = new QWidget(this);
    gap->setFixedWidth(width);
    item.place = insertWidget(before, gap);
    item.image = -1;
    item.action = nullptr;
    return gap;
}

void CXToolBar::paintEvent(QPaintEvent* event) {
    if (!m_background.IsSet()) {
        QToolBar::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.setBrushOrigin(0, 0);
    painter.fillRect(rect(), m_background.Brush());
    QStyleOptionToolBar option;
    initStyleOption(&option);
    if (isMovable()) {
        option.rect = style()->subElementRect(QStyle::SE_ToolBarHandle, &option, this);
        if (option.rect.isValid()) style()->drawPrimitive(QStyle::PE_IndicatorToolBarHandle, &option, &painter, this);
    }
}

}  // namespace vyn
