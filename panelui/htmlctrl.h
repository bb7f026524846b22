// CHtmlCtrl: the keyword page of the search tab. It takes the place of a placeholder
// child of the panel and hosts the page "input.htm": a plain ground holding one text
// input, "textfield". The input is a native line edit, so input methods, pasting and
// reading its value need no browser. User-interface thread only.
#pragma once

#include <QWidget>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QLineEdit;

namespace vyn {

class CHtmlCtrl : public QWidget {
    Q_OBJECT

public:
    // The one page the control knows.
    static constexpr std::string_view kKeywordPage = "input.htm";

    explicit CHtmlCtrl(QWidget* parent = nullptr);

    // Finds the child of parent whose "controlId" property is controlId, takes its
    // geometry, deletes it and shows this control there with the same id. False, and
    // nothing changed, when parent has no such child.
    bool CreateInPlaceOf(int controlId, QWidget* parent);

    // Loads the page resource name, replacing the page shown. False, and the page
    // left as it was, for an unknown name.
    bool LoadFromResource(std::string_view name);

    // The values of the page's input elements in document order; empty when no page
    // is loaded. A value is nullopt when the element has none.
    std::vector<std::optional<std::u16string>> InputValues() const;

    // The text input of the page; nullptr when no page is loaded.
    QLineEdit* TextField() const { return m_textField; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QLineEdit* m_textField = nullptr;
};

}  // namespace vyn
