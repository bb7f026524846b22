#include "panelui/leftform.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCompleter>
#include <QDateTime>
#include <QDir>
#include <QInputDialog>
#include <QStringListModel>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <functional>
#include <iterator>
#include <utility>

#include "gui/images.h"
#include "gui/messagebox.h"
#include "gui/platform.h"
#include "gui/qtstrings.h"
#include "gui/resource.h"
#include "gui/resources.h"
#include "gui/toolbarres.h"
#include "gui/tooltipresourcebutton.h"
#include "panelui/bookmarkdialog.h"
#include "panelui/gotodialog.h"
#include "panel/hitmarks.h"
#include "panelui/htmlctrl.h"
#include "panelui/sortlistctrl.h"

namespace vyn {

namespace {

constexpr const char* kListingFile = "vyn.txt";

// Where the catalog listing goes: "vyn/" in the user's cache folder, never the current
// folder. Empty (no listing) when that folder cannot be made.
std::filesystem::path ListingFile() {
    const QString folder =
        QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/vyn");
    if (!QDir().mkpath(folder)) return {};
    return ToPath(folder + u'/' + QLatin1String(kListingFile));
}
constexpr int kItemSlotRole = Qt::UserRole;
constexpr int kTreeImageSide = 20;
const QColor kScopeColour(255, 0, 0);
// The commands the panel handles besides the bookmarks of the bookmarks menu.
constexpr int kPanelCommands[] = {ID_PREV_PAGE,        ID_NEXT_PAGE,        ID_PREV_VOLUME,  ID_NEXT_VOLUME,
                                  ID_PREV_HIT,         ID_NEXT_HIT,         ID_PREV_RESULT_PAGE,
                                  ID_NEXT_RESULT_PAGE, ID_GOTO_PAGE,        ID_BOOKMARK_ADD, ID_BOOKMARK_LIST,
                                  ID_BOOKMARK_UNDO,     ID_READ_ON};

// The catalog tree: connecting lines between items, no expand buttons.
class CCatalogTree : public QTreeWidget {
public:
    using QTreeWidget::QTreeWidget;

protected:
    void drawBranches(QPainter* painter, const QRect& rect, const QModelIndex& index) const override {
        if (rect.width() <= 0) return;
        const int step = indentation();
        QPen pen(palette().color(QPalette::Mid));
        pen.setStyle(Qt::DotLine);
        painter->save();
        painter->setPen(pen);
        // The column at the item's own level: a line from above to its middle, on down
        // when a sibling follows, and across to the item.
        int x = rect.right() + 1 - step / 2;
        const int middle = rect.center().y();
        painter->drawLine(x, rect.top(), x, HasNextSibling(index) ? rect.bottom() : middle);
        painter->drawLine(x, middle, rect.right(), middle);
        // The columns of the ancestors: a line wherever an ancestor has a sibling after it.
        for (QModelIndex up = index.parent(); up.isValid() && up.parent().isValid(); up = up.parent()) {
            x -= step;
            if (HasNextSibling(up)) painter->drawLine(x, rect.top(), x, rect.bottom());
        }
        painter->restore();
    }

private:
    static bool HasNextSibling(const QModelIndex& index) {
        return index.sibling(index.row() + 1, 0).isValid();
    }
};

template <typename Widget>
Widget* Named(Widget* widget, int id, const char* objectName, const QString& accessibleName) {
    widget->setObjectName(QString::fromLatin1(objectName));
    widget->setAccessibleName(accessibleName);
    widget->setProperty("controlId", id);
    return widget;
}

}  // namespace

void CLeftForm::CWarningSink::Warning(std::string_view utf8) {
    ShowWarning(m_owner ? m_owner->window() : nullptr, FromUtf8(utf8));
}

CLeftForm::CLeftForm(QWidget* parent) : QWidget(parent), m_sink(this), m_logic(&m_sink) {
    setObjectName(QStringLiteral("CLeftForm"));
    setAccessibleName(QStringLiteral("目録と検索"));
    // Narrower, the options on the right are cut ("注釈" to "注").
    setMinimumWidth(kMinimumWidth);
    CreateControls();

    if (m_tempFolder.Create()) {
        const QByteArray background = PageBackgroundImage();
        m_tempFolder.WriteShared(
            "Back.gif", std::span(reinterpret_cast<const std::uint8_t*>(background.constData()),
                                  static_cast<std::size_t>(background.size())));
    }
    m_logic.OpenIndex(ToPath(DataFolder()));
    // Enter is seen on its way to whichever control of the panel has the focus.
    qApp->installEventFilter(this);
}

CLeftForm::~CLeftForm() {
    qApp->removeEventFilter(this);
    m_logic.Index().Close();
    m_tempFolder.Remove();
}

// The controls of dialog template 130, in its order: later ones lie above earlier
// ones, so the options sit on their group boxes and everything on the tab control.
void CLeftForm::CreateControls() {
    CreateCatalogControls();
    CreateKeywordControls();
    CreateOptionControls();
    CreateScopeControls();
    CreateResultControls();
    FrameGroupTitles();
    ConnectControls();
}

void CLeftForm::CreateCatalogControls() {
    m_tabs = Named(new QTabWidget(this), IDC_TABS, "panelTabs", QStringLiteral("目録と検索"));
    m_tabs->setDocumentMode(false);

    m_tree = Named(new CCatalogTree(this), IDC_CATALOG_TREE, "catalogTree", QStringLiteral("目録"));
    m_tree->setHeaderHidden(true);
    m_tree->setColumnCount(1);
    m_tree->setRootIsDecorated(false);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->setExpandsOnDoubleClick(true);
    m_tree->setIconSize(QSize(kTreeImageSide, kTreeImageSide));
}

void CLeftForm::CreateKeywordControls() {
    m_prompt = Named(new QLabel(this), IDC_PROMPT, "keywordPrompt",
                     QStringLiteral("キーワードを入力して下さい。"));
    m_prompt->setText(QStringLiteral("キーワードを入力して下さい。"));
    // The keyword page takes this placeholder's place at the initial update.
    Named(new QLabel(this), IDC_KEYWORD_PAGE, "keywordPlaceholder", QString())->hide();
    m_hiddenKeyword = Named(new QLineEdit(this), IDC_HIDDEN_KEYWORD, "hiddenKeyword",
                            QStringLiteral("キーワード（予備）"));
    m_hiddenKeyword->hide();
    m_searchButton = Named(new QPushButton(QStringLiteral("検索"), this), IDC_SEARCH, "searchButton",
                           QStringLiteral("検索"));
    m_searchButton->setAutoDefault(false);
    m_line = Named(new QFrame(this), IDC_LINE, "separatorLine", QStringLiteral("区切り線"));
    m_line->setFrameShape(QFrame::HLine);
    m_line->setFrameShadow(QFrame::Sunken);
    m_variants = Named(new QCheckBox(QStringLiteral("簡繁・中日等の異体字の関連"), this), IDC_VARIANTS,
                       "variantsCheck", QStringLiteral("簡繁・中日等の異体字の関連"));
    m_variants->setChecked(true);
}

// The search method (and, or) and the text part searched.
void CLeftForm::CreateOptionControls() {
    m_methodGroup = Named(new QGroupBox(QStringLiteral("検索方法："), this), IDC_METHOD_GROUP,
                          "methodGroup", QStringLiteral("検索方法："));
    m_and = Named(new QRadioButton(QStringLiteral("and"), this), IDC_AND, "andRadio", QStringLiteral("and"));
    m_or = Named(new QRadioButton(QStringLiteral("or"), this), IDC_OR, "orRadio", QStringLiteral("or"));
    auto* methodButtons = new QButtonGroup(this);
    methodButtons->addButton(m_and, 0);
    methodButtons->addButton(m_or, 1);
    m_and->setChecked(true);
    // The state, not the click: a screen reader toggles the button without one.
    connect(methodButtons, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked) m_logic.Search().SetAndOr(id);
    });

    m_partGroup = Named(new QGroupBox(QStringLiteral("検索対象："), this), IDC_PART_GROUP, "partGroup",
                        QStringLiteral("検索対象："));
    m_wholeText = Named(new QRadioButton(QStringLiteral("全文"), this), IDC_WHOLE_TEXT, "wholeTextRadio",
                        QStringLiteral("全文"));
    m_mainText = Named(new QRadioButton(QStringLiteral("正文"), this), IDC_MAIN_TEXT, "mainTextRadio",
                       QStringLiteral("正文"));
    m_notes = Named(new QRadioButton(QStringLiteral("注釈"), this), IDC_NOTES, "notesRadio",
                    QStringLiteral("注釈"));
    m_partButtons = new QButtonGroup(this);
    m_partButtons->addButton(m_wholeText, IDC_WHOLE_TEXT);
    m_partButtons->addButton(m_mainText, IDC_MAIN_TEXT);
    m_partButtons->addButton(m_notes, IDC_NOTES);
    m_wholeText->setChecked(true);
}

// The scope in red, and the count line.
void CLeftForm::CreateScopeControls() {
    m_scopeGroup = Named(new QGroupBox(QStringLiteral("検索範囲："), this), IDC_SCOPE_GROUP, "scopeGroup",
                         QStringLiteral("検索範囲："));
    m_scopeLabel = Named(new QLabel(this), IDC_SCOPE_LABEL, "scopeLabel", QStringLiteral("検索範囲"));
    QPalette red = m_scopeLabel->palette();
    red.setColor(QPalette::WindowText, kScopeColour);
    m_scopeLabel->setPalette(red);
    m_countLine = Named(new QLabel(this), IDC_COUNT_LINE, "countLine", QStringLiteral("検索集計"));
    // These labels change: their accessible name follows their text (SetLabelText),
    // their description says what they are.
    m_scopeLabel->setAccessibleDescription(QStringLiteral("検索範囲"));
    m_countLine->setAccessibleDescription(QStringLiteral("検索集計"));
}

// The result list and its page row, hidden until there are list pages.
void CLeftForm::CreateResultControls() {
    m_resultList = Named(new CSortListCtrl(this), IDC_RESULT_LIST, "resultList", QStringLiteral("検索結果"));
    m_listPrev = Named(new CToolTipResourceButton(this), IDC_LIST_PREV, "listPagePrev",
                       QStringLiteral("Previous Page"));
    m_listPrev->setText(QStringLiteral("<"));
    m_listNext = Named(new CToolTipResourceButton(this), IDC_LIST_NEXT, "listPageNext",
                       QStringLiteral("Next Page"));
    m_listNext->setText(QStringLiteral(">"));
    m_listPageEdit = Named(new QLineEdit(this), IDC_LIST_PAGE_EDIT, "listPageEdit",
                           QStringLiteral("一覧の頁"));
    m_listPageLabel = Named(new QLabel(this), IDC_LIST_PAGE_LABEL, "listPageLabel",
                            QStringLiteral("一覧の頁数"));
    m_listPageLabel->setAccessibleDescription(QStringLiteral("一覧の頁数"));
    for (QWidget* control : {static_cast<QWidget*>(m_listPrev), static_cast<QWidget*>(m_listNext),
                             static_cast<QWidget*>(m_listPageEdit), static_cast<QWidget*>(m_listPageLabel)}) {
        control->hide();
    }
}

// Group titles sit on the frame line, so that the options fit inside the frames.
void CLeftForm::FrameGroupTitles() {
    for (QGroupBox* group : {m_methodGroup, m_partGroup, m_scopeGroup}) {
        group->setStyleSheet(QStringLiteral(
            "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 7px; }"
            "QGroupBox::title { subcontrol-origin: margin; left: 6px; padding: 0 2px; }"));
    }
}

void CLeftForm::ConnectControls() {
    connect(m_tabs, &QTabWidget::currentChanged, this, [this] { ArrangeControls(); });
    connect(m_tree, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { OnCatalogSelChanged(current); });
    connect(m_searchButton, &QPushButton::clicked, this, &CLeftForm::OnSearch);
    // The part follows the button's state, however it changed (a click, a screen
    // reader's toggle); a click on the radio already chosen re-opens the index too.
    connect(m_partButtons, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (!checked) return;
        OnTextPart(id);
        m_partJustToggled = true;
        QTimer::singleShot(0, this, [this] { m_partJustToggled = false; });
    });
    connect(m_partButtons, &QButtonGroup::idClicked, this, [this](int id) {
        if (!std::exchange(m_partJustToggled, false)) OnTextPart(id);
    });
    connect(m_resultList, &CSortListCtrl::rowSelected, this,
            [this](int, std::uint32_t pageIndex) { OnResultSelected(pageIndex); });
    connect(m_listPrev, &QPushButton::clicked, this, &CLeftForm::OnListPagePrev);
    connect(m_listNext, &QPushButton::clicked, this, &CLeftForm::OnListPageNext);
}

void CLeftForm::OnInitialUpdate() {
    m_keywordPage = new CHtmlCtrl(this);
    if (m_keywordPage->CreateInPlaceOf(IDC_KEYWORD_PAGE, this)) {
        Named(m_keywordPage, IDC_KEYWORD_PAGE, "keywordEntry", QStringLiteral("キーワード"));
        m_keywordPage->LoadFromResource(CHtmlCtrl::kKeywordPage);
    } else {
        delete m_keywordPage;
        m_keywordPage = nullptr;
    }
    {
        const QSignalBlocker quiet(m_tabs);
        m_tabs->addTab(new QWidget, QStringLiteral("目録"));
        m_tabs->addTab(new QWidget, QStringLiteral("検索"));
    }
    SetLabelText(m_countLine, QStringLiteral("検索集計："));
    m_resultList->InsertColumn(QStringLiteral("類別"), 45);
    m_resultList->InsertColumn(QStringLiteral("書名"), 80);
    m_resultList->InsertColumn(QStringLiteral("巻"), 60);
    m_resultList->InsertColumn(QStringLiteral("頁"), 60);
    m_tabs->setCurrentIndex(0);
    LoadCatalogTree();
    SetLabelText(m_scopeLabel, FromUtf16(m_logic.Session().Navigator().ScopePath()));
    m_listPrev->LoadBitmap(IDB_PREV_PAGE);
    m_listPrev->SetToolTipText(QStringLiteral("Previous Page"));
    m_listNext->LoadBitmap(IDB_NEXT_PAGE);
    m_listNext->SetToolTipText(QStringLiteral("Next Page"));
    // The keyword page is made last: the order follows the eye down the search tab.
    QList<QWidget*> order;
    if (m_keywordPage) order.append(m_keywordPage->TextField());
    order.append({m_searchButton, m_variants, m_and, m_or, m_wholeText, m_mainText, m_notes,
                  m_resultList, m_listPrev, m_listNext, m_listPageEdit});
    for (qsizetype i = 1; i < order.size(); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
    m_logic.Session().AttachStore(&m_profileStore);
    SetUpHistoryPopup();
    ArrangeControls();
}

void CLeftForm::SetUpHistoryPopup() {
    m_historyModel = new QStringListModel(this);
    m_completer = new QCompleter(m_historyModel, this);
    m_completer->setObjectName(QStringLiteral("historyCompleter"));
    // The model holds the matching queries already; the completer shows them as they are.
    m_completer->setCompletionMode(QCompleter::UnfilteredPopupCompletion);
    m_completer->setMaxVisibleItems(12);
    m_completer->popup()->setObjectName(QStringLiteral("historyPopup"));
    m_completer->popup()->setAccessibleName(QStringLiteral("検索の履歴"));
    // Enter on the list without a chosen query acts as Enter in the entry.
    m_completer->popup()->installEventFilter(this);
    QLineEdit* field = m_keywordPage ? m_keywordPage->TextField() : nullptr;
    if (!field) return;
    // The entry is the completer's widget but does not drive it: the entry would
    // filter by its own rule.
    m_completer->setWidget(field);
    connect(field, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (text.isEmpty()) {
            m_completer->popup()->hide();
        } else {
            OfferHistory(text);
        }
    });
    // The entry shows the query moved to, and what was typed when none is chosen.
    connect(m_completer, qOverload<const QModelIndex&>(&QCompleter::highlighted), field,
            [this, field](const QModelIndex& index) {
                field->setText(index.isValid() ? index.data().toString() : m_historyTyped);
            });
    connect(m_completer, qOverload<const QString&>(&QCompleter::activated), field, &QLineEdit::setText);
}

void CLeftForm::OfferHistory(const QString& typed) {
    m_historyTyped = typed;
    m_logic.Session().ReloadHistory();
    QStringList queries;
    for (const std::u16string& query : m_logic.Session().History().Matching(ToUtf16(typed))) {
        queries.append(FromUtf16(query));
    }
    m_historyModel->setStringList(queries);
    m_completer->complete();  // hides the list when it is empty
    // The completer makes a row current; Enter chooses nothing until the user does.
    m_completer->popup()->setCurrentIndex(QModelIndex());
}

void CLeftForm::SetLabelText(QLabel* label, const QString& text) {
    label->setText(text);
    // Screen readers read the name: the text itself, the role when there is none.
    label->setAccessibleName(text.isEmpty() ? label->accessibleDescription() : text);
}

void CLeftForm::LoadCatalogTree() {
    m_logic.LoadCatalog(ToPath(DataFolder()), ListingFile());
    FillCatalogTree();
}

void CLeftForm::FillCatalogTree() {
    QIcon icon;
    icon.addPixmap(LoadBitmap(IDB_TREE_NORMAL, QSize(kTreeImageSide, kTreeImageSide)), QIcon::Normal);
    icon.addPixmap(LoadBitmap(IDB_TREE_SELECTED, QSize(kTreeImageSide, kTreeImageSide)), QIcon::Selected);

    const CCatalog& catalog = m_logic.Catalog();
    const QSignalBlocker quiet(m_tree);
    m_tree->clear();
    m_treeItems.assign(static_cast<std::size_t>(catalog.NodeItemCount()), nullptr);
    for (int slot = 1; slot < catalog.NodeItemCount(); ++slot) {
        QTreeWidgetItem* parent = m_treeItems[static_cast<std::size_t>(catalog.TreeParent(slot))];
        auto* item = new QTreeWidgetItem;
        item->setText(0, FromUtf16(catalog.Record(slot).Name()));
        item->setIcon(0, icon);
        item->setData(0, kItemSlotRole, slot);
        if (parent) {
            parent->addChild(item);
        } else {
            m_tree->addTopLevelItem(item);
        }
        m_treeItems[static_cast<std::size_t>(slot)] = item;
    }
    m_tree->setCurrentItem(nullptr);
}

void CLeftForm::ArrangeControls() {
    if (m_arranging) return;
    m_arranging = true;
    const int W = width();
    const int H = height();
    m_tabs->setGeometry(0, 0, W - 1, H - 1);

    QWidget* keyword = m_keywordPage ? static_cast<QWidget*>(m_keywordPage) : nullptr;
    const QList<QWidget*> searchControls = {m_prompt,    keyword,     m_searchButton, m_line,
                                            m_variants,  m_methodGroup, m_and,        m_or,
                                            m_partGroup, m_wholeText, m_mainText,     m_notes,
                                            m_scopeGroup, m_scopeLabel, m_countLine,  m_resultList};
    const QList<QWidget*> pageRow = {m_listPrev, m_listNext, m_listPageEdit, m_listPageLabel};

    if (m_tabs->currentIndex() == 1) {
        m_tree->hide();
        m_hiddenKeyword->hide();
        m_prompt->setText(QStringLiteral("キーワードを入力して下さい。"));
        m_searchButton->setText(QStringLiteral("検索"));
        m_prompt->setGeometry(5, 28, W - 10, 15);
        if (keyword) keyword->setGeometry(5, 45, W - 60, 25);
        m_searchButton->setGeometry(W - 50, 45, 45, 25);
        m_line->setGeometry(4, 75, W - 8, 1);
        m_variants->setGeometry(5, 80, W - 15, 15);
        m_methodGroup->setGeometry(5, 100, W - 10, 40);
        m_and->setGeometry(10, 115, 50, 20);
        m_or->setGeometry(W - 70, 115, 50, 20);
        m_partGroup->setGeometry(5, 145, W - 10, 40);
        m_wholeText->setGeometry(10, 160, 60, 20);
        m_mainText->setGeometry(97, 160, 60, 20);
        m_notes->setGeometry(189, 160, 60, 20);
        m_scopeGroup->setGeometry(5, 190, W - 10, 40);
        m_scopeLabel->setGeometry(10, 205, W - 30, 20);
        m_countLine->setGeometry(5, 235, W - 15, 15);

        const CResultList& list = m_logic.List();
        int e = 0;
        if (list.ListPageCount() != 0) {
            const int h = m_listPrev->height();
            const int w = m_listPrev->width();
            e = h + 2;
            const int y0 = H - h - 5;
            m_listPrev->setGeometry(5, y0, w, h);
            m_listNext->setGeometry(W - w - 5, y0, w, h);
            const int editX = (W - 139) / 2 + 37;
            m_listPageEdit->setGeometry(editX, y0 + 6, 35, 20);
            m_listPageLabel->setGeometry(editX + 37, y0 + 8, 30, 24);
        }
        m_resultList->setGeometry(5, 250, W - 10, H - 254 - e);
        for (QWidget* control : searchControls) {
            if (control) control->show();
        }
        for (QWidget* control : pageRow) control->setVisible(list.ListPageCount() != 0);
    } else {
        for (QWidget* control : searchControls) {
            if (control) control->hide();
        }
        for (QWidget* control : pageRow) control->hide();
        m_tree->setGeometry(5, 26, W - 10, H - 30);
        m_tree->show();
    }

    m_arranging = false;
}

QString CLeftForm::Caption() const { return FromUtf8(kPanelCaption); }

void CLeftForm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ArrangeControls();
}

bool CLeftForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_listPageEdit && event->type() == QEvent::FocusOut) {
        ApplyListPageEdit();
        return false;
    }
    if (m_completer && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        QAbstractItemView* popup = m_completer->popup();
        if (watched == popup && (key == Qt::Key_Return || key == Qt::Key_Enter) &&
            !popup->currentIndex().isValid()) {
            popup->hide();
            OnKeyDown(key);  // as Enter in the entry itself
            return true;
        }
        // Down in the keyword entry offers the history, all of it for an empty entry.
        QLineEdit* field = m_keywordPage ? m_keywordPage->TextField() : nullptr;
        if (watched == field && key == Qt::Key_Down && !popup->isVisible()) {
            OfferHistory(field->text());
            return false;
        }
    }
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        // A key goes to the focus widget first, then up its parents: act once, and let
        // the key go on to the control in every case.
        auto* widget = static_cast<QWidget*>(watched);
        if (widget == QApplication::focusWidget() && (widget == this || isAncestorOf(widget))) {
            OnKeyDown(static_cast<QKeyEvent*>(event)->key());
        }
    }
    return false;
}

void CLeftForm::OnKeyDown(int key) {
    if (key != Qt::Key_Return && key != Qt::Key_Enter) return;
    if (m_logic.List().ListPageCount() < 2) {
        OnSearch();
    } else {
        ApplyListPageEdit();
    }
}

void CLeftForm::OnCatalogSelChanged(QTreeWidgetItem* item) {
    if (!item) return;
    CNavigator& navigator = m_logic.Session().Navigator();
    const auto selection = navigator.SelectCatalogItem(item->data(0, kItemSlotRole).toInt());
    if (selection == CNavigator::Selection::kInvalid) return;
    SetLabelText(m_scopeLabel, FromUtf16(navigator.ScopePath()));
    if (selection == CNavigator::Selection::kVolumeOpened) ShowCurrentPage(true);
}

void CLeftForm::ShowCurrentPage(bool volumeChanged) {
    WriteCurrentPage();
    FollowCurrentPage(volumeChanged);
}

void CLeftForm::FollowCurrentPage(bool volumeChanged) {
    const CNavigator& navigator = m_logic.Session().Navigator();
    if (m_pageSlider) {
        if (volumeChanged) {
            const auto [first, last] = navigator.SliderRange();
            m_pageSlider->SetPageRange(first, last);
            UpdateSliderMarks();
        }
        m_pageSlider->SetPagePos(navigator.CurPage());
    }
    UpdatePageBox();
}

void CLeftForm::UpdateSliderMarks() {
    if (!m_pageSlider) return;
    QList<PageSliderMark> marks;
    for (const PageMark& mark :
         HitMarks(m_logic.Catalog(), m_logic.Session().Navigator().CurItem(), m_logic.Search().Results())) {
        marks.append({mark.pageNumber, FromUtf16(HitMarkToolTip(mark))});
    }
    m_pageSlider->SetPageMarks(marks);
}

void CLeftForm::FollowCurrentVolume() {
    CNavigator& navigator = m_logic.Session().Navigator();
    const auto slot = static_cast<std::size_t>(navigator.CurItem());
    if (QTreeWidgetItem* item = slot < m_treeItems.size() ? m_treeItems[slot] : nullptr) {
        const QSignalBlocker quiet(m_tree);
        m_tree->setCurrentItem(item);
        m_tree->scrollToItem(item);
    }
    navigator.SetScopeItem(static_cast<int>(slot));
    SetLabelText(m_scopeLabel, FromUtf16(navigator.ScopePath()));
}

void CLeftForm::UpdatePageBox() {
    if (!m_pageSlider) return;
    const CNavigator& navigator = m_logic.Session().Navigator();
    m_pageSlider->SetPageText(FromUtf8(navigator.PositionText(Index().GetHeaderNumber())));
}

void CLeftForm::WriteCurrentPage() {
    CReadingSession& session = m_logic.Session();
    const CatalogPage page = session.PrepareCurrentPage();
    if (!WritePageFile(kCatalogPageFile, page.bytes)) return;
    session.CommitCatalogPage(page);
    Navigate(kCatalogPageFile, std::string());
}

void CLeftForm::Navigate(std::string_view file, const std::string& fragment) {
    emit navigateRequested(PageFilePath(file) + FromUtf8(fragment));
}

void CLeftForm::OnPageSliderEnd(int position) {
    if (!m_logic.Session().Navigator().OnPageSliderEnd(position)) return;
    WriteCurrentPage();
    UpdatePageBox();
}

void CLeftForm::OnTextPart(int radioId) {
    TextPart part = TextPart::kWhole;
    if (radioId == IDC_MAIN_TEXT) part = TextPart::kMain;
    if (radioId == IDC_NOTES) part = TextPart::kNotes;
    m_logic.SelectTextPart(part);
}

void CLeftForm::OnSearch() {
    CSearchCommand& search = m_logic.Search();
    search.SetAndOr(m_or->isChecked() ? 1 : 0);
    search.SetVariants(m_variants->isChecked());
    std::vector<std::optional<std::u16string>> values;
    if (m_keywordPage) values = m_keywordPage->InputValues();
    switch (m_logic.OnSearch(ToUtf16(m_hiddenKeyword->text()), values)) {
        case CSearchCommand::Outcome::kCancelled:
        case CSearchCommand::Outcome::kNoKeyword:
            return;
        case CSearchCommand::Outcome::kNoScope:
            m_hiddenKeyword->clear();
            return;
        case CSearchCommand::Outcome::kSearched:
            break;
    }
    m_resultList->DeleteAllItems();
    SetLabelText(m_countLine, FromUtf8(search.LastCountLine()));
    ShowResultListPage();
    ArrangeControls();
    m_hiddenKeyword->clear();
    if (m_keywordPage && m_keywordPage->TextField() && m_completer) {
        m_logic.Session().AddQuery(ToUtf16(m_keywordPage->TextField()->text()));
    }
    UpdateSliderMarks();
    emit searchCompleted();
}

bool CLeftForm::ReopenData() {
    if (!m_logic.Reopen(ListingFile())) return false;
    FillCatalogTree();
    m_resultList->DeleteAllItems();
    SetLabelText(m_countLine, QStringLiteral("検索集計："));
    ArrangeControls();
    if (m_logic.Session().Navigator().CurItem() != 0) {
        ShowOpenedPlace();
    } else {
        // Nothing of the former build stays on view.
        SetLabelText(m_scopeLabel, FromUtf16(m_logic.Session().Navigator().ScopePath()));
        FollowCurrentPage(true);
        emit navigateRequested(QStringLiteral("about:blank"));
    }
    emit dataReopened();
    return true;
}

bool CLeftForm::OpenResultHit(std::uint32_t record, int anchor) {
    switch (m_logic.Session().TurnListTo(record)) {
        case CReadingSession::ListTurn::kNoEntry:
            return false;
        case CReadingSession::ListTurn::kUnchanged:
            break;
        case CReadingSession::ListTurn::kTurned:
            ShowResultListPage();
            break;
    }
    m_resultList->SelectPage(record);  // shows the page at its first hit
    CNavigator& navigator = m_logic.Session().Navigator();
    if (anchor > 0 && navigator.SetCurrentHit(anchor)) {
        const PageTarget target = navigator.HitTarget();
        Navigate(target.file, target.fragment);
    }
    return true;
}

void CLeftForm::ShowResultListPage() {
    std::vector<ResultRow> rows;
    try {
        if (!m_logic.ListPageRows(rows)) return;
    } catch (const std::bad_alloc&) {
        m_sink.Warning(kPageFailedMessage);
        return;
    }
    m_resultList->DeleteAllItems();
    UpdateListPageControls();
    m_resultList->SetRows(std::move(rows));
}

void CLeftForm::UpdateListPageControls() {
    const ListPageControls state = m_logic.List().UpdateListPageControls();
    m_listPrev->setEnabled(state.prevEnabled);
    m_listNext->setEnabled(state.nextEnabled);
    m_listPageEdit->setEnabled(state.editEnabled);
    m_listPageEdit->setReadOnly(state.editReadOnly);
    m_listPageEdit->setText(FromUtf8(state.editText));
    m_listPageEdit->selectAll();
    SetLabelText(m_listPageLabel, FromUtf8(state.labelText));
}

void CLeftForm::OnListPagePrev() {
    if (m_logic.List().OnListPagePrev()) ShowResultListPage();
}

void CLeftForm::OnListPageNext() {
    if (m_logic.List().OnListPageNext()) ShowResultListPage();
}

void CLeftForm::ApplyListPageEdit() {
    switch (m_logic.List().ApplyListPageEdit(ToUtf16(m_listPageEdit->text()))) {
        case CResultList::EditResult::kRestored:
            m_listPageEdit->setText(QString::number(m_logic.List().ListPage()));
            m_listPageEdit->selectAll();
            // Losing the focus clears a line edit's selection after this runs.
            QTimer::singleShot(0, m_listPageEdit, &QLineEdit::selectAll);
            break;
        case CResultList::EditResult::kUnchanged:
            break;
        case CResultList::EditResult::kChanged:
            ShowResultListPage();
            break;
    }
}

void CLeftForm::OnResultSelected(std::uint32_t pageIndex) {
    // Rendering a page may run out of memory; the user is told, and nothing of the
    // failed page is committed.
    try {
        CReadingSession& session = m_logic.Session();
        const ResultPage page = session.PrepareResultPage(pageIndex);
        if (!WritePageFile(page.file, page.bytes)) return;
        session.CommitResultPage(page);
        Navigate(page.file, page.fragment);
    } catch (const std::exception&) {
        m_sink.Warning(kPageFailedMessage);
    }
}

bool CLeftForm::HandlesCommand(int id) {
    return std::find(std::begin(kPanelCommands), std::end(kPanelCommands), id) != std::end(kPanelCommands) ||
           (id >= ID_BOOKMARK_FIRST && id < ID_BOOKMARK_FIRST + kBookmarkMenuItems);
}

bool CLeftForm::OnCmdMsg(int id, CmdCode code, CCmdUI* ui) {
    if (!HandlesCommand(id)) return false;
    if (OnReadingCommand(id, code, ui)) return true;
    NavCommand command;
    switch (id) {
        case ID_PREV_PAGE: command = NavCommand::kPrevPage; break;
        case ID_NEXT_PAGE: command = NavCommand::kNextPage; break;
        case ID_PREV_VOLUME: command = NavCommand::kPrevVolume; break;
        case ID_NEXT_VOLUME: command = NavCommand::kNextVolume; break;
        case ID_PREV_HIT: command = NavCommand::kPrevHit; break;
        case ID_NEXT_HIT: command = NavCommand::kNextHit; break;
        default: return false;
    }
    CNavigator& navigator = m_logic.Session().Navigator();
    if (code == CmdCode::kUpdate) {
        ui->Enable(navigator.IsEnabled(command));
        return true;
    }
    if (code != CmdCode::kCommand) return true;
    switch (command) {
        case NavCommand::kPrevPage:
        case NavCommand::kNextPage:
            if (command == NavCommand::kPrevPage ? navigator.OnPrevPage() : navigator.OnNextPage()) {
                ShowCurrentPage(false);
            }
            break;
        case NavCommand::kPrevVolume:
        case NavCommand::kNextVolume: {
            const bool moved =
                command == NavCommand::kPrevVolume ? navigator.OnPrevVolume() : navigator.OnNextVolume();
            if (!moved) break;
            ShowCurrentPage(true);
            // The tree follows the new volume, and so do the scope and its path.
            FollowCurrentVolume();
            break;
        }
        case NavCommand::kPrevHit:
        case NavCommand::kNextHit:
            if (command == NavCommand::kPrevHit ? navigator.OnPrevHit() : navigator.OnNextHit()) {
                const PageTarget target = navigator.HitTarget();
                Navigate(target.file, target.fragment);
            }
            break;
    }
    return true;
}

bool CLeftForm::WritePageFile(std::string_view name, std::span<const std::uint8_t> bytes) {
    return m_tempFolder.WritePage(name, bytes);
}

QString CLeftForm::PageFilePath(std::string_view name) const {
    return FromPath(m_tempFolder.PagePath(name));
}

bool CLeftForm::OnReadingCommand(int id, CmdCode code, CCmdUI* ui) {
    bool enabled = false;
    std::function<void()> run;
    switch (id) {
        case ID_PREV_RESULT_PAGE:
        case ID_NEXT_RESULT_PAGE: {
            const int direction = id == ID_NEXT_RESULT_PAGE ? 1 : -1;
            enabled = m_logic.Session().ResultStepTarget(direction).has_value();
            run = [this, direction] { StepResult(direction); };
            break;
        }
        case ID_GOTO_PAGE:
            enabled = m_logic.Catalog().NodeItemCount() > 1;
            run = [this] { ShowGotoDialog(); };
            break;
        case ID_READ_ON:
            enabled = m_logic.Session().CanReadOn();
            run = [this] { ReadOn(); };
            break;
        case ID_BOOKMARK_ADD:
            enabled = ShownPlace().volumeSlot != 0;
            run = [this] { AskBookmarkNote(); };
            break;
        case ID_BOOKMARK_LIST:
            // Bookmarks added by another reader enable the list too.
            if (code != CmdCode::kCommand) ReloadBookmarks();
            enabled = !Bookmarks().Items().empty();
            run = [this] { ShowBookmarkDialog(); };
            break;
        case ID_BOOKMARK_UNDO:
            enabled = Bookmarks().CanUndo();
            run = [this] { UndoBookmarkRemoval(); };
            break;
        default: {
            if (id < ID_BOOKMARK_FIRST || id >= ID_BOOKMARK_FIRST + kBookmarkMenuItems) return false;
            const auto at = static_cast<std::size_t>(id - ID_BOOKMARK_FIRST);
            enabled = at < Bookmarks().Items().size();
            run = [this, at] { OpenBookmark(at); };
            break;
        }
    }
    if (code == CmdCode::kUpdate) ui->Enable(enabled);
    if (code == CmdCode::kCommand && enabled) run();
    return true;
}

bool CLeftForm::StepResult(int direction) {
    const auto target = m_logic.Session().ResultStepTarget(direction);
    if (!target) return false;
    return OpenResultHit(m_logic.Search().Results()[*target].pageIndex, 0);
}

bool CLeftForm::OpenPlace(PagePlace place) {
    if (!m_logic.Session().OpenPlace(place)) return false;
    ShowOpenedPlace();
    return true;
}

void CLeftForm::ReadOn() {
    if (!m_logic.Session().ReadOn()) return;
    FollowCurrentPage(true);
    FollowCurrentVolume();
}

void CLeftForm::ShowOpenedPlace() {
    WriteCurrentPage();
    FollowCurrentPage(true);
    FollowCurrentVolume();
}

QString CLeftForm::GoTo(const QString& text) {
    const CitationTarget target = m_logic.Session().ResolveGoTo(ToUtf16(text));
    if (!target.Found()) return FromUtf8(target.error);
    OpenPlace(target.place);
    return {};
}

QString CLeftForm::CitationText() const { return FromUtf16(m_logic.Session().ShownCitation()); }

bool CLeftForm::AddBookmark(const QString& note) { return AddBookmarkAt(ShownPlace(), note); }

bool CLeftForm::AddBookmarkAt(PagePlace place, const QString& note) {
    const QString added = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    return m_logic.Session().AddBookmark(place, ToUtf8(added), ToUtf16(note));
}

bool CLeftForm::RemoveBookmark(std::size_t at) { return m_logic.Session().RemoveBookmark(at); }

bool CLeftForm::UndoBookmarkRemoval() { return m_logic.Session().UndoBookmarkRemoval(); }

bool CLeftForm::OpenBookmark(std::size_t at) {
    switch (m_logic.Session().OpenBookmark(at)) {
        case CReadingSession::BookmarkOpen::kNotOpened:
            return false;
        case CReadingSession::BookmarkOpen::kGone:
            ShowWarning(window(), QStringLiteral("このしおりの巻（%1）は今のデータにありません。")
                                      .arg(FromUtf16(BookmarkTitle(Bookmarks().Items()[at]))));
            return false;
        case CReadingSession::BookmarkOpen::kOpened:
            ShowOpenedPlace();
            return true;
    }
    return false;
}

void CLeftForm::ShowGotoDialog() {
    auto* dialog = new CGotoDialog(window(), [this](const QString& text) { return GoTo(text); });
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

void CLeftForm::ShowBookmarkDialog() {
    auto* dialog = new CBookmarkDialog(
        window(), &Bookmarks(), [this](std::size_t at) { OpenBookmark(at); },
        [this](std::size_t at) { return RemoveBookmark(at); });
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

void CLeftForm::AskBookmarkNote() {
    const PagePlace place = ShownPlace();
    auto* dialog = new QInputDialog(window());
    dialog->setObjectName(QStringLiteral("bookmarkNoteDialog"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QStringLiteral("しおりに挟む"));
    dialog->setLabelText(FromUtf16(vyn::CitationText(m_logic.Catalog(), place, m_logic.Session().Folios())) +
                         QStringLiteral("\nメモ（なくても構いません）："));
    dialog->setOkButtonText(QStringLiteral("挟む"));
    dialog->setCancelButtonText(QStringLiteral("キャンセル"));
    dialog->setTextValue(QString());  // makes the entry, to be named
    if (auto* field = dialog->findChild<QLineEdit*>()) field->setAccessibleName(QStringLiteral("しおりのメモ"));
    // The page shown when asked, whatever is shown when the note comes.
    connect(dialog, &QInputDialog::textValueSelected, this,
            [this, place](const QString& note) { AddBookmarkAt(place, note); });
    dialog->open();
}

}  // namespace vyn
