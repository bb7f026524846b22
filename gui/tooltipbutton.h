// CToolTipButton: a push button with its own tool tip, made the first time it is
// needed. User-interface thread only.
#pragma once

#include <QPushButton>
#include <memory>

namespace vyn {

class CToolTipCtrl;

class CToolTipButton : public QPushButton {
    Q_OBJECT

public:
    explicit CToolTipButton(QWidget* parent = nullptr);
    ~CToolTipButton() override;

    // Makes text the tool tip of the whole button and shows it while activate is
    // true; an empty text changes nothing. The text also names the button for
    // accessibility when it has no name yet.
    void SetToolTipText(const QString& text, bool activate = true);

protected:
    // Lets the tool tip see the mouse before the button does.
    bool event(QEvent* event) override;

private:
    void InitToolTip();

    std::unique_ptr<CToolTipCtrl> m_ToolTip;
};

}  // namespace vyn
