#include "panelui/gotodialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace vyn {

CGotoDialog::CGotoDialog(QWidget* parent, GoFunction go)
    : QDialog(parent), m_go(std::move(go)), m_field(new QLineEdit(this)), m_problem(new QLabel(this)) {
    setObjectName(QStringLiteral("gotoDialog"));
    setWindowTitle(QStringLiteral("移動"));
    setAccessibleName(QStringLiteral("移動"));

    auto* prompt = new QLabel(QStringLiteral("開く巻と頁を入力して下さい："), this);
    prompt->setBuddy(m_field);
    m_field->setObjectName(QStringLiteral("gotoField"));
    m_field->setAccessibleName(QStringLiteral("移動先"));
    m_field->setPlaceholderText(QStringLiteral("卷三十 第12頁"));
    m_field->setMinimumWidth(320);
    auto* hint = new QLabel(
        QStringLiteral("例：「卷三十 12」「卷三十 第12頁」「御定全唐詩 卷三十 第12頁」\n"
                       "書名を省くと表示中の書、頁を省くと巻の最初の頁になります。"),
        this);
    hint->setObjectName(QStringLiteral("gotoHint"));
    m_problem->setObjectName(QStringLiteral("gotoProblem"));
    m_problem->setAccessibleName(QStringLiteral("移動できない理由"));
    m_problem->setWordWrap(true);
    m_problem->setTextFormat(Qt::PlainText);  // the reason quotes what was typed
    QPalette red = m_problem->palette();
    red.setColor(QPalette::WindowText, QColor(192, 0, 0));
    m_problem->setPalette(red);
    m_problem->hide();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("移動"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CGotoDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CGotoDialog::reject);
    // A new try clears the last reason.
    connect(m_field, &QLineEdit::textEdited, m_problem, &QLabel::hide);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addWidget(m_field);
    layout->addWidget(hint);
    layout->addWidget(m_problem);
    layout->addWidget(buttons);
}

void CGotoDialog::accept() {
    const QString problem = m_go ? m_go(m_field->text()) : QString();
    if (problem.isEmpty()) {
        QDialog::accept();
        return;
    }
    m_problem->setText(problem);
    m_problem->show();
    m_field->setFocus();
    m_field->selectAll();
}

}  // namespace vyn
