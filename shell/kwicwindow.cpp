#include "shell/kwicwindow.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QColor>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>

#include "gui/messagebox.h"
#include "gui/qtstrings.h"
#include "shell/exportdialog.h"

namespace vyn {

namespace {

constexpr std::size_t kFirstBatchRows = 100;
constexpr std::size_t kBatchRows = 4000;
constexpr std::chrono::milliseconds kBatchInterval{100};

QString PageText(std::uint32_t page) { return QString::number(page); }

// The sortable columns: the page column stands for the place in the result list.
struct ColumnSortKey {
    int column;
    KwicSortKey key;
};
constexpr ColumnSortKey kColumnSortKeys[] = {{CKwicModel::kPage, KwicSortKey::kLocation},
                                             {CKwicModel::kLeft, KwicSortKey::kLeft},
                                             {CKwicModel::kHit, KwicSortKey::kHit},
                                             {CKwicModel::kRight, KwicSortKey::kRight}};

}  // namespace

KwicSortKey CKwicModel::SortKeyOf(int column) {
    for (const ColumnSortKey& entry : kColumnSortKeys) {
        if (entry.column == column) return entry.key;
    }
    return KwicSortKey::kLocation;
}

int CKwicModel::ColumnOf(KwicSortKey key) {
    for (const ColumnSortKey& entry : kColumnSortKeys) {
        if (entry.key == key) return entry.column;
    }
    return kPage;
}

CKwicModel::CKwicModel(QObject* parent) : QAbstractTableModel(parent) {}

// A cancelled sort gives up within a few thousand comparisons.
CKwicModel::~CKwicModel() { m_sorter.Stop(); }

int CKwicModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_table.ViewSize());
}

int CKwicModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant CKwicModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const KwicRow& row = m_table.RowAt(static_cast<std::size_t>(index.row()));
    switch (role) {
        case Qt::DisplayRole:
            switch (index.column()) {
                case kBook:
                    return FromUtf16(row.book);
                case kVolume:
                    return FromUtf16(row.volume);
                case kPage:
                    return PageText(row.page);
                case kLeft:
                    return FromUtf16(row.left);
                case kHit:
                    return FromUtf16(ShortenedHit(row.hit));
                case kRight:
                    return FromUtf16(row.right);
                default:
                    return {};
            }
        case Qt::TextAlignmentRole:
            // The left context ends at the hit, so the hits line up.
            if (index.column() == kLeft) return int(Qt::AlignRight | Qt::AlignVCenter);
            if (index.column() == kPage) return int(Qt::AlignRight | Qt::AlignVCenter);
            return int(Qt::AlignLeft | Qt::AlignVCenter);
        case Qt::ForegroundRole:
            if (index.column() == kHit) return QColor(Qt::red);
            return {};
        case Qt::ToolTipRole:
            // A shortened hit shows whole in its tool tip.
            if (index.column() == kHit && ShortenedHit(row.hit) != row.hit) return FromUtf16(row.hit);
            return {};
        default:
            return {};
    }
}

QVariant CKwicModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    static const char* const kHeadings[kColumnCount] = {"書名", "巻", "頁", "前", "語", "後"};
    if (section < 0 || section >= kColumnCount) return {};
    return FromUtf8(kHeadings[section]);
}

void CKwicModel::Clear() {
    beginResetModel();
    m_sorter.Stop();
    m_table.Clear();
    endResetModel();
}

void CKwicModel::AppendRows(std::vector<KwicRow> rows) {
    const auto shown = std::count_if(rows.begin(), rows.end(),
                                     [this](const KwicRow& row) { return m_table.Shows(row); });
    if (shown == 0) {
        m_table.Append(std::move(rows));
        return;
    }
    const int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(shown) - 1);
    m_table.Append(std::move(rows));
    endInsertRows();
}

void CKwicModel::SortBy(KwicSortKey key) {
    m_sorter.Stop();
    if (key == KwicSortKey::kLocation) {
        beginResetModel();
        m_table.SortBy(key);
        endResetModel();
        emit sorted();
        return;
    }
    std::optional<CKwicTable::SortJob> job = m_table.SortBy(key);
    if (!job) return;
    m_sorter.Start([this, job = std::move(*job)](const CCancellableWorker::CToken& token) {
        std::vector<std::uint32_t> order;
        const auto keepGoing = [&] { return !token.Cancelled(); };
        if (!OrderByKeys(job.keys, order, keepGoing) || token.Cancelled()) return;
        // The model stops this thread before it goes, so `this` is alive here; a call
        // still queued when it goes is dropped with it.
        QMetaObject::invokeMethod(
            this,
            [this, generation = job.generation, order = std::move(order)]() mutable {
                OnSortDone(generation, std::move(order));
            },
            Qt::QueuedConnection);
    });
}

void CKwicModel::OnSortDone(std::uint64_t generation, std::vector<std::uint32_t> order) {
    if (!m_table.IsCurrent(generation)) return;
    m_sorter.Join();  // it has posted this and ends
    beginResetModel();
    m_table.ApplySort(generation, std::move(order));
    endResetModel();
    emit sorted();
}

void CKwicModel::SetFilter(std::optional<std::u16string> form) {
    beginResetModel();
    m_table.SetFilter(std::move(form));
    endResetModel();
}

CKwicWindow::CKwicWindow(QWidget* parent) : QWidget(parent, Qt::Window), m_model(this) {
    setObjectName(QStringLiteral("kwicWindow"));
    setWindowTitle(QStringLiteral("文脈一覧"));
    setAccessibleName(QStringLiteral("文脈一覧"));
    resize(900, 560);

    m_forms = new QLabel(this);
    m_forms->setObjectName(QStringLiteral("kwicForms"));
    m_forms->setAccessibleName(QStringLiteral("語形"));
    m_forms->setTextFormat(Qt::RichText);
    m_forms->setWordWrap(true);
    m_forms->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    connect(m_forms, &QLabel::linkActivated, this, [this](const QString& link) {
        if (link == QLatin1String("all")) {
            m_model.SetFilter(std::nullopt);
        } else {
            const auto forms = m_model.Table().Forms();
            const std::size_t n = link.toULongLong();
            if (n < forms.size()) m_model.SetFilter(forms[n].first);
        }
        UpdateForms();
        UpdateStatus();
    });

    m_view = new QTableView(this);
    m_view->setObjectName(QStringLiteral("kwicView"));
    m_view->setAccessibleName(QStringLiteral("文脈一覧の行"));
    m_view->setModel(&m_model);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setWordWrap(false);
    m_view->verticalHeader()->hide();
    m_view->verticalHeader()->setDefaultSectionSize(m_view->fontMetrics().height() + 6);
    m_view->horizontalHeader()->setSectionsClickable(true);
    m_view->horizontalHeader()->setSortIndicatorShown(true);
    m_view->horizontalHeader()->setSortIndicator(CKwicModel::kPage, Qt::AscendingOrder);
    m_view->setColumnWidth(CKwicModel::kBook, 130);
    m_view->setColumnWidth(CKwicModel::kVolume, 90);
    m_view->setColumnWidth(CKwicModel::kPage, 45);
    m_view->setColumnWidth(CKwicModel::kLeft, 220);
    m_view->setColumnWidth(CKwicModel::kHit, 90);
    m_view->horizontalHeader()->setStretchLastSection(true);
    m_view->installEventFilter(this);
    connect(m_view, &QAbstractItemView::activated, this, &CKwicWindow::OnActivated);
    connect(m_view->horizontalHeader(), &QHeaderView::sectionClicked, this,
            &CKwicWindow::OnHeaderClicked);
    connect(&m_model, &CKwicModel::sorted, this, &CKwicWindow::UpdateStatus);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("kwicStatus"));
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("kwicProgress"));
    m_progress->setAccessibleName(QStringLiteral("読み込みの進み具合"));
    m_progress->setMaximumWidth(200);
    m_progress->hide();
    m_export = new QPushButton(QStringLiteral("書き出し…"), this);
    m_export->setObjectName(QStringLiteral("kwicExport"));
    m_export->setAccessibleName(QStringLiteral("書き出し"));
    connect(m_export, &QPushButton::clicked, this, &CKwicWindow::OnExport);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_status, 1);
    bottom->addWidget(m_progress);
    bottom->addWidget(m_export);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_forms);
    layout->addWidget(m_view, 1);
    layout->addLayout(bottom);
    UpdateStatus();
}

CKwicWindow::~CKwicWindow() { Cancel(); }

void CKwicWindow::Cancel() {
    m_filler.Stop();
    m_fillDone = true;
    m_progress->hide();
}

void CKwicWindow::SetSearch(CSearchHits hits) {
    Cancel();
    ++m_fill;
    m_model.Clear();
    // The order chosen stays for the next search; its rows are sorted once they are in.
    m_view->horizontalHeader()->setSortIndicator(CKwicModel::ColumnOf(m_model.Table().SortedBy()),
                                                 Qt::AscendingOrder);
    m_keyword = hits.Query().keyword;
    m_folderBases = hits.FolderBases();
    m_entryCount = hits.Entries().size();
    m_fillDone = false;
    m_progress->setRange(0, static_cast<int>(std::min<std::size_t>(m_entryCount, 1u << 30)));
    m_progress->setValue(0);
    m_progress->setVisible(m_entryCount > 0);
    m_export->setEnabled(false);
    const std::uint64_t fill = m_fill;
    // The window stops the worker before it goes, so `this` outlives the job.
    using Token = CCancellableWorker::CToken;
    m_filler.Start([this, fill, hits = std::move(hits)](const Token& token) mutable {
        const bool opened = hits.Open();
        std::vector<KwicRow> batch;
        std::size_t done = 0;
        std::size_t limit = kFirstBatchRows;
        auto last = std::chrono::steady_clock::now();
        auto post = [&] {
            QMetaObject::invokeMethod(
                this,
                [this, fill, done, rows = std::move(batch)]() mutable { OnBatch(fill, std::move(rows), done); },
                Qt::QueuedConnection);
            batch = {};
            last = std::chrono::steady_clock::now();
            limit = kBatchRows;
        };
        bool whole = true;
        try {
            if (opened) {
                for (std::size_t entry = 0; entry < hits.Entries().size(); ++entry) {
                    if (token.Cancelled()) return;
                    hits.AppendRows(entry, entry + 1, kDefaultKwicContext, batch);
                    ++done;
                    if (batch.size() >= limit || std::chrono::steady_clock::now() - last > kBatchInterval) post();
                }
            }
        } catch (const std::exception&) {
            // Out of memory: the rows so far stay, and the window says the list is cut.
            batch = {};
            whole = false;
        }
        if (token.Cancelled()) return;
        post();
        QMetaObject::invokeMethod(this, [this, fill, opened, whole] { OnFillDone(fill, opened, whole); },
                                  Qt::QueuedConnection);
    });
    UpdateForms();
    UpdateStatus();
}

void CKwicWindow::OnBatch(std::uint64_t fill, std::vector<KwicRow> rows, std::size_t entriesDone) {
    if (fill != m_fill) return;
    m_model.AppendRows(std::move(rows));
    m_progress->setValue(static_cast<int>(std::min<std::size_t>(entriesDone, 1u << 30)));
    UpdateForms();
    UpdateStatus();
}

void CKwicWindow::OnFillDone(std::uint64_t fill, bool opened, bool whole) {
    if (fill != m_fill) return;
    m_filler.Join();  // it has posted this and ends
    m_fillDone = true;
    m_progress->hide();
    m_export->setEnabled(true);
    // Rows that came in after a sort began are put in their places.
    const KwicSortKey key = m_model.Table().SortedBy();
    if (key != KwicSortKey::kLocation) m_model.SortBy(key);
    UpdateStatus();
    if (!opened) ShowWarning(this, QStringLiteral("データを開けませんでした。"));
    if (!whole) ShowWarning(this, QString::fromUtf8(kFillCutMessage));
    emit filled();
}

void CKwicWindow::OnActivated(const QModelIndex& index) {
    if (!index.isValid() || index.row() >= m_model.rowCount()) return;
    const KwicRow& row = m_model.Table().RowAt(static_cast<std::size_t>(index.row()));
    emit openHit(row.record, row.anchor);
}

void CKwicWindow::OnHeaderClicked(int section) {
    const KwicSortKey key = CKwicModel::SortKeyOf(section);
    m_view->horizontalHeader()->setSortIndicator(CKwicModel::ColumnOf(key), Qt::AscendingOrder);
    m_model.SortBy(key);
    UpdateStatus();
}

bool CKwicWindow::ExportTo(const QString& path, ExportFormat format) const {
    return WriteExportFile(path, ExportKwic(m_model.Table().ShownRows(), format, m_folderBases));
}

QString CKwicWindow::FileStem() const {
    return FileNameStem(FromUtf16(m_keyword), QStringLiteral("文脈一覧"));
}

QString CKwicWindow::SuggestedFileName(ExportFormat format) const {
    return ExportFileName(FileStem(), format);
}

void CKwicWindow::OnExport() {
    const auto choice = AskExportFile(this, QStringLiteral("文脈一覧の書き出し"),
                                      QStringLiteral("kwicExportDialog"), FileStem());
    if (choice && !ExportTo(choice->path, choice->format)) {
        ShowWarning(this, QStringLiteral("ファイルに書き出せませんでした。"));
    }
}

void CKwicWindow::CopySelection() const {
    std::vector<int> rows;
    for (const QModelIndex& index : m_view->selectionModel()->selectedRows()) rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    std::vector<KwicRow> selected;
    for (int row : rows) selected.push_back(m_model.Table().RowAt(static_cast<std::size_t>(row)));
    if (selected.empty()) return;
    QApplication::clipboard()->setText(FromUtf8(ExportKwic(selected, ExportFormat::kTsv, m_folderBases)));
}

bool CKwicWindow::eventFilter(QObject* watched, QEvent* event) {
    // The view's own copy takes one cell; the window copies whole rows.
    if (watched == m_view && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        CopySelection();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void CKwicWindow::closeEvent(QCloseEvent* event) {
    Cancel();
    m_export->setEnabled(true);
    UpdateStatus();
    QWidget::closeEvent(event);
}

void CKwicWindow::UpdateForms() {
    const CKwicTable& table = m_model.Table();
    const auto forms = table.Forms();
    QString text = table.Filter() ? QStringLiteral("<a href=\"all\">すべて</a>　")
                                  : QStringLiteral("<b>すべて</b>　");
    for (std::size_t i = 0; i < forms.size() && i < 200; ++i) {
        if (i > 0) text += QStringLiteral(" ・ ");
        const QString label = FromUtf16(ShortenedHit(forms[i].first)).toHtmlEscaped() +
                              QLatin1Char(' ') + QString::number(forms[i].second);
        if (table.Filter() && *table.Filter() == forms[i].first) {
            text += QStringLiteral("<b>") + label + QStringLiteral("</b>");
        } else {
            text += QStringLiteral("<a href=\"%1\">").arg(i) + label + QStringLiteral("</a>");
        }
    }
    m_forms->setText(text);
}

void CKwicWindow::UpdateStatus() {
    QString text = QStringLiteral("%1 箇所").arg(m_model.rowCount());
    if (!m_fillDone) text += QStringLiteral("（読み込み中）");
    if (m_model.Table().IsSorting()) text += QStringLiteral("（並べ替え中）");
    m_status->setText(text);
    m_status->setAccessibleName(text);
}

}  // namespace vyn
