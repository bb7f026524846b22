// CLeftForm: the search and catalog panel, the left pane of the main frame. It owns
// the search engine (opened on the whole text at construction) and the temporary
// folder of the page files, and asks the page view to show pages through
// navigateRequested.
#pragma once

#include <QWidget>
#include <cstdint>
#include <span>
#include <string_view>

#include "index/index.h"
#include "index/messagesink.h"
#include "shell/paneview.h"
#include "shell/tempfolder.h"

class QTabWidget;

namespace vyn {

class CLeftForm : public QWidget, public CPaneView {
    Q_OBJECT

public:
    // Page files written into the temporary folder.
    static constexpr std::string_view kCatalogPageFile = "windows.html";
    static constexpr std::string_view kResultPageFiles[2] = {"windows1.html", "windows2.html"};

    // Opens the index "Index" beside the executable for the whole text; a failure is
    // shown to the user as "データを開けませんでした。" and leaves the index closed.
    explicit CLeftForm(QWidget* parent = nullptr);
    // Closes the index and removes the temporary folder with its page files.
    ~CLeftForm() override;

    bool OnCmdMsg(int id, CmdCode code, CCmdUI* ui) override;

    CIndex& Index() { return m_index; }
    // Replaces page file name (one of the names above) with bytes; false on failure.
    bool WritePageFile(std::string_view name, std::span<const std::uint8_t> bytes);
    // The full path of page file name; empty when the temporary folder is missing.
    QString PageFilePath(std::string_view name) const;

signals:
    // Asks the page view to open target: a page file path, optionally "#" fragment.
    void navigateRequested(const QString& target);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Shows the core's warnings in the reader's message box.
    class CWarningSink : public CMessageSink {
    public:
        explicit CWarningSink(QWidget* owner) : m_owner(owner) {}
        void Warning(std::string_view utf8) override;

    private:
        QWidget* m_owner;
    };

    CWarningSink m_sink;
    CIndex m_index;
    CTempFolder m_tempFolder;
    QTabWidget* m_tabs = nullptr;
};

}  // namespace vyn
