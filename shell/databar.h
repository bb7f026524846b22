// CDataBar: the bar that tells the reader its data folder holds a newer build, with
// the button that reopens it.
#pragma once

#include <QTimer>
#include <QToolBar>
#include <functional>

class QLabel;
class QPushButton;

namespace vyn {

// A fixed bar, hidden until Check finds a newer build; not listed among the
// toolbars the user can show or hide. User-interface thread only.
class CDataBar : public QToolBar {
    Q_OBJECT

public:
    static constexpr int kPollMs = 2000;
    static constexpr const char* kText =
        "データが新しくなりました。開き直すまでは元のデータのまま表示します。";

    explicit CDataBar(QWidget* parent = nullptr);

    // Asks newer every kPollMs whether the data folder holds a newer build; the bar
    // shows when it does. newer must stay callable while the bar lives.
    void Watch(std::function<bool()> newer);
    // Asks newer now: shows the bar when it answers true, hides it otherwise.
    void Check();

signals:
    // The button was pressed; the bar is hidden already.
    void reopenRequested();

private:
    std::function<bool()> m_newer;
    QTimer m_poll;
    QLabel* m_label = nullptr;
    QPushButton* m_reopen = nullptr;
};

}  // namespace vyn
