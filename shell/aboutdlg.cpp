#include "shell/aboutdlg.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>

#include "gui/images.h"
#include "gui/resource.h"

namespace vyn {

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("CAboutDlg"));
    setAccessibleName(QStringLiteral("バージョン情報"));
    setModal(true);
    setFixedSize(kWidth, kHeight);
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("aboutBitmap"));
    picture->setAccessibleName(QStringLiteral("バージョン情報"));
    picture->setGeometry(rect());
    picture->setPixmap(LoadBitmap(IDB_ABOUT, size(), devicePixelRatioF()));
    picture->setAttribute(Qt::WA_TransparentForMouseEvents);
}

void CAboutDlg::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        accept();
        return;
    }
    QDialog::mouseReleaseEvent(event);
}

void CAboutDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            accept();
            return;
        case Qt::Key_Escape:
            reject();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

}  // namespace vyn
