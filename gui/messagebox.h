// The reader's modal message boxes: OK button, warning icon, the application name as
// caption. Everything the user is told goes through ShowWarning, so tests can record
// the messages instead of blocking on a box.
#pragma once

#include <QString>

class QWidget;

namespace vyn {

class CMessagePresenter {
public:
    virtual ~CMessagePresenter() = default;
    virtual void Warning(QWidget* parent, const QString& text) = 0;
};

// Shows text through the installed presenter; by default a modal QMessageBox that
// returns when the user closes it.
void ShowWarning(QWidget* parent, const QString& text);

// Installs presenter (not owned; nullptr restores the message box) and returns the
// one installed before.
CMessagePresenter* SetMessagePresenter(CMessagePresenter* presenter);

}  // namespace vyn
