#include "panel/leftform.h"

#include <QTabWidget>
#include <QVBoxLayout>

#include "shell/images.h"
#include "shell/messagebox.h"
#include "shell/platform.h"
#include "shell/qtstrings.h"
#include "shell/resource.h"
#include "shell/resources.h"

namespace vyn {

namespace {

constexpr std::string_view kIndexBaseName = "Index";
constexpr int kWholeText = 0;

QWidget* MakeTab(const QString& name, const QString& objectName) {
    auto* page = new QWidget;
    page->setObjectName(objectName);
    page->setAccessibleName(name);
    return page;
}

}  // namespace

void CLeftForm::CWarningSink::Warning(std::string_view utf8) {
    ShowWarning(m_owner ? m_owner->window() : nullptr, FromUtf8(utf8));
}

CLeftForm::CLeftForm(QWidget* parent) : QWidget(parent), m_sink(this), m_index(&m_sink) {
    setObjectName(QStringLiteral("CLeftForm"));
    setAccessibleName(QStringLiteral("目録と検索"));

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("panelTabs"));
    m_tabs->setAccessibleName(QStringLiteral("目録と検索"));
    m_tabs->addTab(MakeTab(QStringLiteral("目録"), QStringLiteral("catalogTab")),
                   QStringLiteral("目録"));
    m_tabs->addTab(MakeTab(QStringLiteral("検索"), QStringLiteral("searchTab")),
                   QStringLiteral("検索"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tabs);

    if (m_tempFolder.Create()) {
        const QByteArray background = PageBackgroundImage();
        m_tempFolder.WriteShared(
            "Back.gif", std::span(reinterpret_cast<const std::uint8_t*>(background.constData()),
                                  static_cast<std::size_t>(background.size())));
    }
    m_index.Open(ExecutableFolder().toStdString(), kIndexBaseName, kWholeText);
}

CLeftForm::~CLeftForm() {
    m_index.Close();
    m_tempFolder.Remove();
}

bool CLeftForm::WritePageFile(std::string_view name, std::span<const std::uint8_t> bytes) {
    return m_tempFolder.WritePage(name, bytes);
}

QString CLeftForm::PageFilePath(std::string_view name) const {
    return QString::fromStdString(m_tempFolder.PagePath(name).string());
}

bool CLeftForm::OnCmdMsg(int id, CmdCode code, CCmdUI* ui) {
    switch (id) {
        case ID_PREV_PAGE:
        case ID_NEXT_PAGE:
        case ID_PREV_VOLUME:
        case ID_NEXT_VOLUME:
        case ID_PREV_HIT:
        case ID_NEXT_HIT:
            // No volume is open and no result page shown yet.
            if (code == CmdCode::kUpdate) ui->Enable(false);
            return true;
        default:
            return false;
    }
}

void CLeftForm::paintEvent(QPaintEvent* event) {
    // The panel keeps the caption the user sees.
    const QString caption = QString::fromUtf8(kPanelCaption);
    if (window()->windowTitle() != caption) window()->setWindowTitle(caption);
    QWidget::paintEvent(event);
}

}  // namespace vyn
