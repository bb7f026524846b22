#include "gui/tooltipbutton.h"

#include <QHelpEvent>
#include <QToolTip>
#include <map>

namespace vyn {

// A tool-tip control of the button: tools with their texts, shown while active.
class CToolTipCtrl {
public:
    bool HasTool(int id) const { return m_tools.contains(id); }
    void AddTool(int id, const QString& text) { m_tools[id] = text; }
    void UpdateTipText(int id, const QString& text) { m_tools[id] = text; }
    void Activate(bool active) {
        m_bActive = active;
        if (!active) QToolTip::hideText();
    }

    // Shows the tip of tool 1, which covers the whole button, for a tool-tip request.
    // True when the event was the tool tip's.
    bool RelayEvent(QWidget* owner, QEvent* event) {
        if (event->type() != QEvent::ToolTip) return false;
        const auto it = m_tools.find(1);
        if (!m_bActive || it == m_tools.end() || it->second.isEmpty()) {
            QToolTip::hideText();
        } else {
            const auto* help = static_cast<QHelpEvent*>(event);
            QToolTip::showText(help->globalPos(), it->second, owner, owner->rect());
        }
        return true;
    }

private:
    std::map<int, QString> m_tools;
    bool m_bActive = true;
};

CToolTipButton::CToolTipButton(QWidget* parent) : QPushButton(parent) {}

CToolTipButton::~CToolTipButton() = default;

void CToolTipButton::InitToolTip() {
    if (m_ToolTip) return;
    m_ToolTip = std::make_unique<CToolTipCtrl>();
    m_ToolTip->Activate(false);
}

void CToolTipButton::SetToolTipText(const QString& text, bool activate) {
    if (text.isEmpty()) return;
    InitToolTip();
    if (!m_ToolTip->HasTool(1)) m_ToolTip->AddTool(1, text);
    m_ToolTip->UpdateTipText(1, text);
    m_ToolTip->Activate(activate);
    if (accessibleName().isEmpty()) setAccessibleName(text);
    setAccessibleDescription(text);
}

bool CToolTipButton::event(QEvent* event) {
    InitToolTip();
    if (m_ToolTip->RelayEvent(this, event)) return true;
    return QPushButton::event(event);
}

}  // namespace vyn
