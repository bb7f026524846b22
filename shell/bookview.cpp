#include "shell/bookview.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QMouseEvent>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QFileDialog>
#include <QPrinterInfo>
#include <QStandardPaths>
#include <QWebEngineScript>
#include <QWebEngineSettings>

#include "gui/copylimit.h"
#include "shell/exportdialog.h"
#include "gui/messagebox.h"
#include "gui/profile.h"
#include "gui/qtstrings.h"
#include "gui/resource.h"
#include "gui/resources.h"
#include "gui/savefolder.h"
#include "gui/zoom.h"

namespace vyn {

namespace {

// The page's selection as [text, HTML], or null without one.
constexpr const char* kSelectionScript =
    "(function(){var s=window.getSelection();if(!s||s.rangeCount==0)return null;"
    "var d=document.createElement('div');"
    "for(var i=0;i<s.rangeCount;i++)d.appendChild(s.getRangeAt(i).cloneContents());"
    "return [s.toString(),d.innerHTML];})()";

const QString kZoomSection = QStringLiteral("Page");
const QString kZoomEntry = QStringLiteral("Zoom");

bool IsLocalScheme(const QUrl& url) {
    return url.isLocalFile() || url.scheme() == QLatin1String("about");
}

}  // namespace

CBookPage::CBookPage(QObject* parent) : QWebEnginePage(parent) {}

bool CBookPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
    (void)type;
    (void)isMainFrame;
    return IsLocalScheme(url);
}

CBookView::CBookView(QWidget* parent)
    : QWebEngineView(parent),
      m_printer(QPrinter::HighResolution),
      m_zoomPercent(ValidZoom(CProfile::GetProfileString(kZoomSection, kZoomEntry).toInt())) {
    setObjectName(QStringLiteral("CBookView"));
    setAccessibleName(QStringLiteral("頁"));
    setPage(new CBookPage(this));
    // The default faces only: the page bytes name none for the text.
    for (auto family : {QWebEngineSettings::StandardFont, QWebEngineSettings::SerifFont}) {
        settings()->setFontFamily(family, QString::fromLatin1(kPageFontFamily));
    }
    ApplyZoom();
    // The engine may forget the zoom when a new document comes.
    connect(this, &QWebEngineView::loadFinished, this, [this] { ApplyZoom(); });
    connect(page(), &QWebEnginePage::pdfPrintingFinished, this, [this](const QString& path, bool written) {
        // The engine writes the file owner-only; a saved file gets the user's usual mode.
        if (written) GiveUsualMode(path);
        if (!written) ShowWarning(window(), QStringLiteral("PDFに書き出せませんでした。"));
        emit pdfSaved(written);
    });
}

CBookView::~CBookView() = default;

void CBookView::OnInitialUpdate() { Navigate2(QString::fromLatin1(kBlank)); }

void CBookView::Navigate2(const QString& target) {
    QUrl url;
    if (target.startsWith(QLatin1String("about:")) || target.startsWith(QLatin1String("file:"))) {
        url = QUrl(target);
    } else {
        QString path = target;
        QString fragment;
        const qsizetype hash = target.lastIndexOf(u'#');
        const bool hasFragment = hash >= 0 && !target.mid(hash + 1).contains(u'/');
        if (hasFragment) {
            path = target.left(hash);
            fragment = target.mid(hash + 1);
        }
        url = QUrl::fromLocalFile(path);
        if (hasFragment) url.setFragment(fragment);
    }
    load(url);
}

QString CBookView::GetLocationURL() const {
    const QUrl location = url();
    return location.isEmpty() ? QString::fromLatin1(kBlank) : location.toString();
}

void CBookView::ExecWB(int cmd, int option) {
    switch (cmd) {
        case OLECMDID_PRINT:
            if (option == OLECMDEXECOPT_DONTPROMPTUSER) {
                PrintNow();
            } else {
                PrintWithDialog();
            }
            break;
        case OLECMDID_PRINTPREVIEW:
            PrintPreview();
            break;
        case OLECMDID_PAGESETUP:
            PageSetup();
            break;
        case OLECMDID_COPY:
            triggerPageAction(QWebEnginePage::Copy);
            break;
        case OLECMDID_SELECTALL:
            // The browser's own select-all acts on the focused frame only, and a page
            // that never had the focus has none.
            page()->runJavaScript(QStringLiteral(
                                      "(function(){var r=document.body||document.documentElement;"
                                      "if(r)window.getSelection().selectAllChildren(r);})()"),
                                  QWebEngineScript::ApplicationWorld);
            break;
        default:
            break;
    }
}

void CBookView::CopyLimited() { CopySelection(std::nullopt); }

void CBookView::CopyWithCitation(const QString& citation) { CopySelection(citation); }

void CBookView::CopySelection(std::optional<QString> citation) {
    // The browser's own copy acts on the focused frame only, which a page the user
    // never clicked into does not have; the selection is taken from the page instead,
    // as text and as HTML, the formats the browser would have put there. The page is
    // asked even when the view reports no selection: that report is not renewed when
    // a new page's selection has the same text as the last one.
    const QPointer<CBookView> self(this);
    page()->runJavaScript(QString::fromLatin1(kSelectionScript), QWebEngineScript::ApplicationWorld,
                          [self, citation](const QVariant& result) {
                              if (!self) return;
                              const QStringList parts = result.toStringList();
                              const bool selected = parts.size() == 2 && !parts[0].isEmpty();
                              if (selected) {
                                  auto* data = new QMimeData;
                                  data->setText(parts[0]);
                                  data->setHtml(parts[1]);
                                  QGuiApplication::clipboard()->setMimeData(data);
                              }
                              self->FinishLimitedCopy(selected, citation);
                          });
}

void CBookView::FinishLimitedCopy(bool selected, const std::optional<QString>& citation) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    const std::u16string text = ToUtf16(clipboard->text());
    if (citation) {
        // Plain text only: a rich copy would paste without the citation. Without a
        // selection, the citation alone.
        const std::u16string copied = selected ? text : std::u16string();
        clipboard->setText(FromUtf16(WithCitation(copied, ToUtf16(*citation))));
        emit limitedCopyFinished(CodePageByteCount(copied) > kCopyLimitBytes);
        return;
    }
    bool shortened = false;
    if (!text.empty() && CodePageByteCount(text) > kCopyLimitBytes) {
        const std::size_t keep = LimitedPrefixLength(text, kCopyLimitBytes);
        clipboard->setText(FromUtf16(std::u16string_view(text).substr(0, keep)));
        shortened = true;
    }
    emit limitedCopyFinished(shortened);
}

void CBookView::SelectAll() { ExecWB(OLECMDID_SELECTALL, OLECMDEXECOPT_PROMPTUSER); }

bool CBookView::CanStepZoom(int direction) const {
    return NextZoom(m_zoomPercent, direction) != m_zoomPercent;
}

bool CBookView::StepZoom(int direction) {
    if (!CanStepZoom(direction)) return false;
    m_zoomPercent = NextZoom(m_zoomPercent, direction);
    ApplyZoom();
    CProfile::WriteProfileString(kZoomSection, kZoomEntry, QString::number(m_zoomPercent));
    return true;
}

void CBookView::ApplyZoom() {
    const qreal factor = m_zoomPercent / 100.0;
    if (!qFuzzyCompare(zoomFactor(), factor)) setZoomFactor(factor);
}

bool CBookView::HasPrinter() {
    if (!QPrinterInfo::availablePrinterNames().isEmpty()) {
        if (m_printer.printerName().isEmpty()) {
            m_printer.setPrinterName(QPrinterInfo::defaultPrinterName());
        }
        return true;
    }
    // Page setup and preview work on a PDF printer when there is no other.
    m_printer.setOutputFormat(QPrinter::PdfFormat);
    return false;
}

QString CBookView::PdfFileName() const {
    // The page's title names its book, volume and page: "御定全唐詩 卷一 第1頁".
    return FitFileName(FileNameStem(title(), QStringLiteral("頁")), QStringLiteral(".pdf"));
}

void CBookView::SaveAsPdf() {
    QFileDialog dialog(window(), QStringLiteral("プリンターがありません。PDFとして保存"));
    dialog.setObjectName(QStringLiteral("pdfSaveDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(QStringLiteral("PDF (*.pdf)"));
    dialog.setDefaultSuffix(QStringLiteral("pdf"));
    dialog.setDirectory(SaveFolder());
    dialog.selectFile(PdfFileName());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    RememberSaveFolder(dialog.selectedFiles().front());
    page()->printToPdf(dialog.selectedFiles().front(), m_printer.pageLayout());
}

void CBookView::PrintNow() {
    if (HasPrinter()) {
        print(&m_printer);
    } else {
        SaveAsPdf();
    }
}

void CBookView::PrintWithDialog() {
    if (!HasPrinter()) {
        SaveAsPdf();
        return;
    }
    QPrintDialog dialog(&m_printer, this);
    dialog.setObjectName(QStringLiteral("printDialog"));
    if (dialog.exec() == QDialog::Accepted) print(&m_printer);
}

void CBookView::PageSetup() {
    HasPrinter();
    QPageSetupDialog dialog(&m_printer, this);
    dialog.setObjectName(QStringLiteral("pageSetupDialog"));
    dialog.exec();
}

void CBookView::PrintPreview() {
    QPrintPreviewDialog dialog(&m_printer, this);
    dialog.setObjectName(QStringLiteral("printPreviewDialog"));
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* printer) {
        // The preview wants its pages painted before this returns.
        QEventLoop loop;
        connect(this, &QWebEngineView::printFinished, &loop, &QEventLoop::quit);
        print(printer);
        loop.exec();
    });
    dialog.exec();
}

bool CBookView::OnCmdMsg(int id, CmdCode code, CCmdUI* ui) {
    QWebEnginePage::WebAction browserAction = QWebEnginePage::NoWebAction;
    switch (id) {
        case ID_RC_COPY:
        case ID_RC_SELECTALL:
        case ID_PRINT_NOW:
        case ID_PRINT_SETUP:
        case ID_FILE_PRINT:
            // Enabling of these is decided further along the route.
            if (code == CmdCode::kUpdate) return false;
            if (code == CmdCode::kCommand) OnViewCommand(id);
            return true;
        case ID_EDIT_COPY:
            browserAction = QWebEnginePage::Copy;
            break;
        case ID_EDIT_CUT:
            browserAction = QWebEnginePage::Cut;
            break;
        case ID_EDIT_PASTE:
            browserAction = QWebEnginePage::Paste;
            break;
        default:
            return false;
    }
    switch (code) {
        case CmdCode::kUpdate:
            ui->Enable(browserAction == QWebEnginePage::Copy
                           ? page()->hasSelection()
                           : page()->action(browserAction)->isEnabled());
            break;
        case CmdCode::kCommand:
            triggerPageAction(browserAction);
            break;
        case CmdCode::kQuery:
            break;
    }
    return true;
}

void CBookView::OnViewCommand(int id) {
    switch (id) {
        case ID_RC_COPY:
            CopyLimited();
            break;
        case ID_RC_SELECTALL:
            SelectAll();
            break;
        case ID_PRINT_NOW:
            ExecWB(OLECMDID_PRINT, OLECMDEXECOPT_DONTPROMPTUSER);
            break;
        case ID_PRINT_SETUP:
            ExecWB(OLECMDID_PAGESETUP, OLECMDEXECOPT_DONTPROMPTUSER);
            break;
        case ID_FILE_PRINT:
            ExecWB(OLECMDID_PRINT, OLECMDEXECOPT_DODEFAULT);
            break;
        default:
            break;
    }
}

bool CBookView::PreTranslateMessage(QObject* receiver, QEvent* event) {
    (void)receiver;
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::RightButton) return false;
            if (GetLocationURL() != QLatin1String(kBlank)) {
                ShowContextMenu(mouse->globalPosition().toPoint());
            }
            return true;
        }
        case QEvent::ContextMenu: {
            // A right press was handled above; the menu key opens the menu here.
            const auto* menuEvent = static_cast<QContextMenuEvent*>(event);
            if (menuEvent->reason() == QContextMenuEvent::Keyboard &&
                GetLocationURL() != QLatin1String(kBlank)) {
                ShowContextMenu(mapToGlobal(rect().center()));
            }
            return true;
        }
        case QEvent::KeyPress: {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Control) {
                if (!key->isAutoRepeat()) {
                    ShowWarning(window(), QString::fromUtf8(kCtrlRefusedMessage));
                }
                return true;
            }
            // A Ctrl combination whose Ctrl press was already refused.
            return key->modifiers().testFlag(Qt::ControlModifier);
        }
        default:
            return false;
    }
}

void CBookView::ShowContextMenu(const QPoint& globalPos) {
    const PopupMenu popup = RightClickMenu();
    auto* menu = new QMenu(QString::fromUtf8(popup.caption), this);
    menu->setObjectName(QStringLiteral("rightClickMenu"));
    menu->setAccessibleName(QString::fromUtf8(popup.caption));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (const MenuItem& item : popup.items) {
        QAction* action = menu->addAction(QString::fromUtf8(item.text));
        action->setObjectName(QStringLiteral("rightClick_%1").arg(item.id));
        const int id = item.id;
        connect(action, &QAction::triggered, this, [this, id] { OnViewCommand(id); });
    }
    // Added after the items of menu 130.
    menu->addSeparator();
    const QString citation = m_citationSource ? m_citationSource() : QString();
    QAction* cited = menu->addAction(QStringLiteral("出典付きでコピー"));
    cited->setObjectName(QStringLiteral("rightClick_%1").arg(ID_RC_COPY_CITED));
    cited->setEnabled(!citation.isEmpty());
    connect(cited, &QAction::triggered, this, [this, citation] { CopyWithCitation(citation); });
    QAction* readOn = menu->addAction(QStringLiteral("この頁から読み進める"));
    readOn->setObjectName(QStringLiteral("rightClick_%1").arg(ID_READ_ON));
    readOn->setShortcuts(KeysOf(ID_READ_ON));
    readOn->setShortcutContext(Qt::WidgetShortcut);
    readOn->setEnabled(m_commandEnabled && m_commandEnabled(ID_READ_ON));
    connect(readOn, &QAction::triggered, this, [this] {
        if (m_runCommand) m_runCommand(ID_READ_ON);
    });
    menu->popup(globalPos);
    emit contextMenuShown(menu);
}

void CBookView::contextMenuEvent(QContextMenuEvent* event) {
    // The browser's own menu is never shown.
    event->accept();
}

}  // namespace vyn
