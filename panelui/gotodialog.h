// CGotoDialog: 一覧 > 移動…, a line for a citation ("卷三十 第12頁") and the reason
// when it leads nowhere. User-interface thread only.
#pragma once

#include <QDialog>
#include <functional>

class QLabel;
class QLineEdit;

namespace vyn {

class CGotoDialog : public QDialog {
    Q_OBJECT

public:
    // go opens the page of a text and returns "" or, when it cannot, why; the dialog
    // closes on "" and shows the reason otherwise.
    using GoFunction = std::function<QString(const QString& text)>;

    CGotoDialog(QWidget* parent, GoFunction go);

    QLineEdit* Field() const { return m_field; }
    QLabel* Problem() const { return m_problem; }

    void accept() override;

private:
    GoFunction m_go;
    QLineEdit* m_field;
    QLabel* m_problem;
};

}  // namespace vyn
