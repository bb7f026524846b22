#include "shell/databar.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>

namespace vyn {

CDataBar::CDataBar(QWidget* parent) : QToolBar(parent) {
    setObjectName(QStringLiteral("dataBar"));
    setAccessibleName(QStringLiteral("データの更新"));
    setWindowTitle(QStringLiteral("データの更新"));
    setMovable(false);
    setFloatable(false);
    // Not one of the toolbars of the frame's context menu: it shows when it has news.
    toggleViewAction()->setVisible(false);
    m_label = new QLabel(QString::fromUtf8(kText), this);
    m_label->setObjectName(QStringLiteral("dataBarText"));
    m_label->setAccessibleName(m_label->text());
    m_label->setContentsMargins(6, 0, 6, 0);
    addWidget(m_label);
    m_reopen = new QPushButton(QStringLiteral("開き直す"), this);
    m_reopen->setObjectName(QStringLiteral("dataBarReopen"));
    m_reopen->setAccessibleName(QStringLiteral("データを開き直す"));
    addWidget(m_reopen);
    connect(m_reopen, &QPushButton::clicked, this, [this] {
        hide();
        emit reopenRequested();
    });
    m_poll.setInterval(kPollMs);
    connect(&m_poll, &QTimer::timeout, this, &CDataBar::Check);
    hide();
}

void CDataBar::Watch(std::function<bool()> newer) {
    m_newer = std::move(newer);
    m_poll.start();
}

void CDataBar::Check() {
    const bool newer = m_newer && m_newer();
    if (newer == isHidden()) setVisible(newer);
}

}  // namespace vyn
