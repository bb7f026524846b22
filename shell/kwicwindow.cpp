#include "shell/kwicwindow.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QColor>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <numeric>

#include "shell/exportdialog.h"
#include "gui/messagebox.h"
#include "gui/qtstrings.h"
#include "index/index.h"

namespace vyn {

namespace {

constexpr std::size_t kFirstBatchRows = 100;
constexpr std::size_t kBatchRows = 4000;
constexpr std::chrono::milliseconds kBatchInterval{100};

QString PageText(std::uint32_t page) { return QString::number(page); }

}  // namespace

CKwicModel::CKwicModel(QObject* parent) : QAbstractTableModel(parent) {}

CKwicModel::~CKwicModel() { StopSort(); }

void CKwicModel::StopSort() {
    if (m_sortCancel) *m_sortCancel = true;
    // A cancelled sort gives up within a few thousand comparisons.
    if (m_sortThread.joinable()) m_sortThread.join();
    m_sortCancel.reset();
}

int CKwicModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_view.size());
}

int CKwicModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant CKwicModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const KwicRow& row = RowAt(index.row());
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
                    return FromUtf16(row.hit);
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
    return QString::fromUtf8(kHeadings[section]);
}

void CKwicModel::Clear() {
    beginResetModel();
    StopSort();
    m_sorting = false;
    ++m_generation;
    m_rows.clear();
    m_order.clear();
    m_view.clear();
    m_formCounts.clear();
    m_formOrder.clear();
    m_filter.reset();
    endResetModel();
}

void CKwicModel::AppendRows(std::vector<KwicRow> rows) {
    if (rows.empty()) return;
    std::vector<std::uint32_t> shown;
    for (KwicRow& row : rows) {
        const auto index = static_cast<std::uint32_t>(m_rows.size());
        auto [it, added] = m_formCounts.try_emplace(row.hit, 0);
        if (added) m_formOrder.push_back(row.hit);
        ++it->second;
        if (!m_filter || *m_filter == row.hit) shown.push_back(index);
        m_order.push_back(index);
        m_rows.push_back(std::move(row));
    }
    if (shown.empty()) return;
    const int first = static_cast<int>(m_view.size());
    beginInsertRows({}, first, first + static_cast<int>(shown.size()) - 1);
    m_view.insert(m_view.end(), shown.begin(), shown.end());
    endInsertRows();
}

void CKwicModel::SortBy(SortKey key) {
    m_sortKey = key;
    StopSort();
    ++m_generation;
    const std::size_t count = m_rows.size();
    if (key == SortKey::kLocation) {
        m_sorting = false;
        m_order.resize(count);
        std::iota(m_order.begin(), m_order.end(), 0u);
        RebuildView();
        emit sorted();
        return;
    }
    // The keys are copied so that rows may keep arriving while the worker sorts.
    const KwicSortKey sortKey = key == SortKey::kLeft  ? KwicSortKey::kLeft
                                : key == SortKey::kHit ? KwicSortKey::kHit
                                                       : KwicSortKey::kRight;
    std::vector<std::u16string> keys(count);
    for (std::size_t i = 0; i < count; ++i) keys[i] = KwicSortText(m_rows[i], sortKey);
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    m_sortCancel = cancel;
    m_sorting = true;
    const std::uint64_t generation = m_generation;
    m_sortThread = std::thread([this, cancel, generation, keys = std::move(keys)] {
        std::vector<std::uint32_t> order;
        try {
            if (!OrderByKeys(keys, order, [&] { return !*cancel; })) return;
        } catch (const std::bad_alloc&) {
            return;
        }
        if (*cancel) return;
        // The model joins this thread before it goes, so `this` is alive here; a call
        // still queued when it goes is dropped with it.
        QMetaObject::invokeMethod(
            this, [this, generation, order = std::move(order)]() mutable { OnSortDone(generation, std::move(order)); },
            Qt::QueuedConnection);
    });
}

void CKwicModel::OnSortDone(std::uint64_t generation, std::vector<std::uint32_t> order) {
    if (generation != m_generation) return;
    // Rows that arrived during the sort follow, in arrival order, until the next sort.
    for (std::size_t i = order.size(); i < m_rows.size(); ++i) order.push_back(static_cast<std::uint32_t>(i));
    m_order = std::move(order);
    m_sorting = false;
    if (m_sortThread.joinable()) m_sortThread.join();  // it has posted this and ends
    m_sortCancel.reset();
    RebuildView();
    emit sorted();
}

void CKwicModel::SetFilter(std::optional<std::u16string> form) {
    m_filter = std::move(form);
    RebuildView();
}

void CKwicModel::RebuildView() {
    beginResetModel();
    m_view.clear();
    for (std::uint32_t index : m_order) {
        if (!m_filter || *m_filter == m_rows[index].hit) m_view.push_back(index);
    }
    endResetModel();
}

std::vector<KwicRow> CKwicModel::ShownRows() const {
    std::vector<KwicRow> rows;
    rows.reserve(m_view.size());
    for (std::uint32_t index : m_view) rows.push_back(m_rows[index]);
    return rows;
}

std::vector<std::pair<std::u16string, std::size_t>> CKwicModel::Forms() const {
    std::vector<std::pair<std::u16string, std::size_t>> forms;
    forms.reserve(m_formOrder.size());
    for (const std::u16string& form : m_formOrder) forms.emplace_back(form, m_formCounts.at(form));
    std::stable_sort(forms.begin(), forms.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    return forms;
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
            const auto forms = m_model.Forms();
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
    if (m_cancel) *m_cancel = true;
    if (m_worker.joinable()) m_worker.join();
    m_fillDone = true;
    m_progress->hide();
}

void CKwicWindow::SetSearch(KwicSearch search) {
    Cancel();
    ++m_fill;
    m_model.Clear();
    // The order chosen stays for the next search; its rows are sorted once they are in.
    const CKwicModel::SortKey key = m_model.SortedBy();
    const int column = key == CKwicModel::SortKey::kLeft    ? CKwicModel::kLeft
                       : key == CKwicModel::SortKey::kHit   ? CKwicModel::kHit
                       : key == CKwicModel::SortKey::kRight ? CKwicModel::kRight
                                                            : CKwicModel::kPage;
    m_view->horizontalHeader()->setSortIndicator(column, Qt::AscendingOrder);
    m_keyword = search.query.keyword;
    m_entryCount = search.entries.size();
    m_fillDone = false;
    m_progress->setRange(0, static_cast<int>(std::min<std::size_t>(m_entryCount, 1u << 30)));
    m_progress->setValue(0);
    m_progress->setVisible(m_entryCount > 0);
    m_export->setEnabled(false);
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    m_cancel = cancel;
    const std::uint64_t fill = m_fill;
    // The worker has its own index on the folder (readers share the data files); the
    // window joins it before it goes, so `this` outlives it.
    m_worker = std::thread([this, cancel, fill, search = std::move(search)] {
        CIndex index;
        const bool opened = index.Open(search.folder, kIndexBaseName, IndexScopeFor(search.part));
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
        if (opened) {
            for (const SearchNodeTag& entry : search.entries) {
                if (*cancel) return;
                AppendKwicRows(index, search.query, entry, kDefaultKwicContext, batch);
                ++done;
                if (batch.size() >= limit || std::chrono::steady_clock::now() - last > kBatchInterval) post();
            }
        }
        if (*cancel) return;
        post();
        QMetaObject::invokeMethod(this, [this, fill, opened] { OnFillDone(fill, opened); },
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

void CKwicWindow::OnFillDone(std::uint64_t fill, bool opened) {
    if (fill != m_fill) return;
    if (m_worker.joinable()) m_worker.join();
    m_fillDone = true;
    m_progress->hide();
    m_export->setEnabled(true);
    // Rows that came in after a sort began are put in their places.
    if (m_model.SortedBy() != CKwicModel::SortKey::kLocation) m_model.SortBy(m_model.SortedBy());
    UpdateStatus();
    if (!opened) ShowWarning(this, QStringLiteral("データを開けませんでした。"));
    emit filled();
}

void CKwicWindow::OnActivated(const QModelIndex& index) {
    if (!index.isValid() || index.row() >= m_model.rowCount()) return;
    const KwicRow& row = m_model.RowAt(index.row());
    emit openHit(row.record, row.anchor);
}

void CKwicWindow::OnHeaderClicked(int section) {
    CKwicModel::SortKey key = CKwicModel::SortKey::kLocation;
    if (section == CKwicModel::kLeft) key = CKwicModel::SortKey::kLeft;
    if (section == CKwicModel::kHit) key = CKwicModel::SortKey::kHit;
    if (section == CKwicModel::kRight) key = CKwicModel::SortKey::kRight;
    m_view->horizontalHeader()->setSortIndicator(
        key == CKwicModel::SortKey::kLocation ? int(CKwicModel::kPage) : section, Qt::AscendingOrder);
    m_model.SortBy(key);
    UpdateStatus();
}

bool CKwicWindow::ExportTo(const QString& path, ExportFormat format) const {
    const std::string bytes = ExportKwic(m_model.ShownRows(), format);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    const bool written = file.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
                         static_cast<qint64>(bytes.size());
    return file.flush() && written;
}

QString CKwicWindow::SuggestedFileName(ExportFormat format) const {
    return FileNameStem(FromUtf16(m_keyword), QStringLiteral("文脈一覧")) + QLatin1Char('.') +
           QString::fromLatin1(ExportExtension(format).data());
}

void CKwicWindow::OnExport() {
    const auto choice = AskExportFile(this, QStringLiteral("文脈一覧の書き出し"),
                                      QStringLiteral("kwicExportDialog"),
                                      FileNameStem(FromUtf16(m_keyword), QStringLiteral("文脈一覧")));
    if (choice && !ExportTo(choice->path, choice->format)) {
        ShowWarning(this, QStringLiteral("ファイルに書き出せませんでした。"));
    }
}

void CKwicWindow::CopySelection() const {
    std::vector<int> rows;
    for (const QModelIndex& index : m_view->selectionModel()->selectedRows()) rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    std::vector<KwicRow> selected;
    for (int row : rows) selected.push_back(m_model.RowAt(row));
    if (selected.empty()) return;
    QApplication::clipboard()->setText(FromUtf8(ExportKwic(selected, ExportFormat::kTsv)));
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
    const auto forms = m_model.Forms();
    QString text = m_model.Filter() ? QStringLiteral("<a href=\"all\">すべて</a>　")
                                    : QStringLiteral("<b>すべて</b>　");
    for (std::size_t i = 0; i < forms.size() && i < 200; ++i) {
        if (i > 0) text += QStringLiteral(" ・ ");
        const QString label = FromUtf16(forms[i].first).toHtmlEscaped() + QLatin1Char(' ') +
                              QString::number(forms[i].second);
        if (m_model.Filter() && *m_model.Filter() == forms[i].first) {
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
    if (m_model.IsSorting()) text += QStringLiteral("（並べ替え中）");
    m_status->setText(text);
    m_status->setAccessibleName(text);
}

}  // namespace vyn
