#include "panelui/htmlctrl.h"

#include <QLineEdit>
#include <QPalette>

#include "gui/qtstrings.h"

namespace vyn {

namespace {

// "input.htm": body background #ECE9D8, text #666666, margins 0; one input
// "textfield" in 14-pixel type. The input fills the control, which is narrower than
// the page's 35 characters.
const QColor kPageBackground(0xEC, 0xE9, 0xD8);
const QColor kPageText(0x66, 0x66, 0x66);
constexpr int kFieldFontPixels = 14;

}  // namespace

CHtmlCtrl::CHtmlCtrl(QWidget* parent) : QWidget(parent) {
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, kPageBackground);
    colours.setColor(QPalette::WindowText, kPageText);
    setPalette(colours);
}

bool CHtmlCtrl::CreateInPlaceOf(int controlId, QWidget* parent) {
    if (!parent) return false;
    QWidget* placeholder = nullptr;
    for (QWidget* child : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child != this && child->property("controlId").toInt() == controlId) {
            placeholder = child;
            break;
        }
    }
    if (!placeholder) return false;
    const QRect place = placeholder->geometry();
    delete placeholder;
    setParent(parent);
    setProperty("controlId", controlId);
    setGeometry(place);
    show();
    return true;
}

bool CHtmlCtrl::LoadFromResource(std::string_view name) {
    if (name != kKeywordPage) return false;
    delete m_textField;
    m_textField = new QLineEdit(this);
    m_textField->setObjectName(QStringLiteral("textfield"));
    m_textField->setAccessibleName(QStringLiteral("キーワード"));
    QFont font = m_textField->font();
    font.setPixelSize(kFieldFontPixels);
    m_textField->setFont(font);
    m_textField->setGeometry(rect());
    m_textField->show();
    setFocusProxy(m_textField);
    return true;
}

std::vector<std::optional<std::u16string>> CHtmlCtrl::InputValues() const {
    std::vector<std::optional<std::u16string>> values;
    if (m_textField) values.emplace_back(ToUtf16(m_textField->text()));
    return values;
}

void CHtmlCtrl::resizeEvent(QResizeEvent* event) {
    if (m_textField) m_textField->setGeometry(rect());
    QWidget::resizeEvent(event);
}

}  // namespace vyn
