#include "gui/messagebox.h"

#include <QMessageBox>

#include "gui/resources.h"

namespace vyn {

namespace {

class CMessageBoxPresenter : public CMessagePresenter {
public:
    void Warning(QWidget* parent, const QString& text) override {
        QMessageBox box(QMessageBox::Warning, AppName(), text, QMessageBox::Ok, parent);
        box.setObjectName(QStringLiteral("warningBox"));
        box.setAccessibleName(AppName());
        box.exec();
    }
};

CMessageBoxPresenter g_messageBox;
CMessagePresenter* g_presenter = &g_messageBox;

}  // namespace

void ShowWarning(QWidget* parent, const QString& text) { g_presenter->Warning(parent, text); }

CMessagePresenter* SetMessagePresenter(CMessagePresenter* presenter) {
    CMessagePresenter* previous = g_presenter;
    g_presenter = presenter ? presenter : &g_messageBox;
    return previous;
}

}  // namespace vyn
