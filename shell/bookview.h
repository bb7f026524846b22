// CBookView: the page view, the right pane of the main frame. It shows the page files
// the panel writes, starts on "about:blank", replaces the browser's right-click menu
// by its own two-item menu and limits copying.
#pragma once

#include <QPrinter>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <QMenu>
#include <functional>
#include <optional>

#include "gui/paneview.h"

namespace vyn {

// Accepts loads of local files and "about:" pages only; a link to anything else is
// refused.
class CBookPage : public QWebEnginePage {
    Q_OBJECT

public:
    explicit CBookPage(QObject* parent = nullptr);

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
};

// Browser commands of ExecWB.
enum OleCmdId : int {
    OLECMDID_PRINT = 6,
    OLECMDID_PRINTPREVIEW = 7,
    OLECMDID_PAGESETUP = 8,
    OLECMDID_COPY = 12,
    OLECMDID_SELECTALL = 17,
};
enum OleCmdExecOpt : int {
    OLECMDEXECOPT_DODEFAULT = 0,
    OLECMDEXECOPT_PROMPTUSER = 1,
    OLECMDEXECOPT_DONTPROMPTUSER = 2,
};

class CBookView : public QWebEngineView, public CPaneView {
    Q_OBJECT

public:
    explicit CBookView(QWidget* parent = nullptr);
    ~CBookView() override;

    static constexpr const char* kBlank = "about:blank";

    // Navigates to "about:blank".
    void OnInitialUpdate() override;

    // Opens target: a URL with a scheme ("about:blank", "file:///...") or a local file
    // path, optionally followed by "#" and a fragment ("/x/windows1.html#0003"). The
    // load runs on its own; nothing waits for it.
    void Navigate2(const QString& target);
    // The URL of the document shown (or being opened), "about:blank" at start.
    QString GetLocationURL() const;

    // Runs a browser command: print, print preview, page setup, copy, select all.
    void ExecWB(int cmd, int option);

    // Copies the selection (text and HTML) and leaves at most kCopyLimitBytes
    // counted bytes on the clipboard, cut at a character boundary; a longer text
    // replaces every format by the shortened plain text. The page answers
    // asynchronously: the limit is applied once the copied text has arrived, or at
    // once to whatever text the clipboard holds when nothing is selected. Emits
    // limitedCopyFinished afterwards.
    void CopyLimited();
    // The limited copy followed by a line with the citation (see WithCitation); the
    // citation alone when nothing is selected.
    void CopyWithCitation(const QString& citation);
    void SelectAll();

    // The citation of the page shown ("（御定全唐詩・卷一・第1頁）"), empty when it has
    // none; the page menu offers 出典付きでコピー while it gives one.
    void SetCitationSource(std::function<QString()> source) { m_citationSource = std::move(source); }
    // The frame's commands that the context menu offers after its own items: whether
    // one is enabled, and running it.
    void SetFrameCommands(std::function<bool(int)> enabled, std::function<void(int)> run) {
        m_commandEnabled = std::move(enabled);
        m_runCommand = std::move(run);
    }

    // Page zoom in percent (see gui/zoom.h); kept in the profile.
    int ZoomPercent() const { return m_zoomPercent; }
    // Zooms in (1), out (-1) or back to the standard size (0); false at either end.
    bool StepZoom(int direction);
    bool CanStepZoom(int direction) const;
    // The face pages are shown in by default: a Mincho/Song design.
    static constexpr const char* kPageFontFamily = "Noto Serif CJK JP";

    // Printing. Without an installed printer the user is told so and nothing happens.
    void PrintNow();          // at once, no dialog
    void PrintWithDialog();   // the print dialog first
    void PageSetup();
    void PrintPreview();

    bool OnCmdMsg(int id, CmdCode code, CCmdUI* ui) override;

    // Called by the frame for every event of a widget inside this view before it is
    // delivered; true means handled and not delivered. Right-button presses open the
    // page menu (only while a page is shown) and never reach the browser; a key with
    // Ctrl is refused with a message.
    bool PreTranslateMessage(QObject* receiver, QEvent* event);

    // The right-click menu at globalPos; it stays open on its own (not modal).
    void ShowContextMenu(const QPoint& globalPos);

signals:
    void limitedCopyFinished(bool shortened);
    // A page saved as PDF (printing without a printer) was written, or not.
    void pdfSaved(bool written);
    void contextMenuShown(QMenu* menu);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // Takes the page's selection and then limits the copy, with citation after it
    // when there is one.
    void CopySelection(std::optional<QString> citation);
    // selected: the page's selection was just put on the clipboard.
    void FinishLimitedCopy(bool selected, const std::optional<QString>& citation);
    // True with a printer chosen; false, the printer set to write PDF, without one.
    bool HasPrinter();
    // Without a printer the print commands offer to save the page as PDF.
    void SaveAsPdf();
    // "<title with _ for spaces>.pdf", e.g. "御定全唐詩_卷一_第1頁.pdf".
    QString PdfFileName() const;
    void OnViewCommand(int id);

    void ApplyZoom();

    QPrinter m_printer;
    std::function<QString()> m_citationSource;
    std::function<bool(int)> m_commandEnabled;
    std::function<void(int)> m_runCommand;
    int m_zoomPercent;
};

}  // namespace vyn
