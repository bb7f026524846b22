// CLeftForm: the search and catalog panel, the left pane of the main frame. Two tabs:
// "目録" with the catalog tree, "検索" with the keyword entry, the options, the scope,
// the count line, the result list and its page row. The panel's logic (engine,
// catalog, search command, list pages and the reading session, which owns where the
// reader is, the query history and the bookmarks) lives in CPanelLogic; the panel
// wires it to the widgets, keeps the session's lists in the profile, writes the page
// files into its temporary folder and asks the page view to show them through
// navigateRequested. It is the page slider's target. User-interface thread only.
#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>
#include <span>
#include <string_view>

#include "gui/pageslider.h"
#include "gui/paneview.h"
#include "gui/tempfolder.h"
#include "textstore/messagesink.h"
#include "panel/bookmarks.h"
#include "panel/citation.h"
#include "panel/history.h"
#include "panel/panellogic.h"
#include "panelui/profilestore.h"

class QButtonGroup;
class QCheckBox;
class QCompleter;
class QStringListModel;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace vyn {

class CHtmlCtrl;
class CSortListCtrl;
class CToolTipResourceButton;

class CLeftForm : public QWidget, public CPaneView, public CPageSliderTarget {
    Q_OBJECT

public:
    // Control ids of the panel (dialog template 130).
    enum ControlId : int {
        IDC_HIDDEN_KEYWORD = 1001,
        IDC_PROMPT = 1004,
        IDC_RESULT_LIST = 1007,
        IDC_CATALOG_TREE = 1009,
        IDC_TABS = 1010,
        IDC_SEARCH = 1011,
        IDC_AND = 1019,
        IDC_OR = 1020,
        IDC_METHOD_GROUP = 1022,
        IDC_COUNT_LINE = 1030,
        IDC_SCOPE_GROUP = 1033,
        IDC_SCOPE_LABEL = 1035,
        IDC_KEYWORD_PAGE = 1041,
        IDC_WHOLE_TEXT = 1042,
        IDC_MAIN_TEXT = 1043,
        IDC_NOTES = 1044,
        IDC_PART_GROUP = 1045,
        IDC_LIST_PREV = 1055,
        IDC_LIST_NEXT = 1057,
        IDC_LIST_PAGE_EDIT = 1058,
        IDC_LIST_PAGE_LABEL = 1059,
        IDC_VARIANTS = 1061,
        IDC_LINE = 1062,
    };

    // Narrowest width at which every control of the search tab is whole.
    static constexpr int kMinimumWidth = 260;
    // Told when a result page cannot be made (out of memory).
    static constexpr std::string_view kPageFailedMessage = "頁を表示できませんでした。";

    // Page files written into the temporary folder.
    static constexpr std::string_view kCatalogPageFile = CNavigator::kCatalogPageFile;
    static constexpr std::string_view kResultPageFiles[2] = {CNavigator::kResultPageFiles[0],
                                                             CNavigator::kResultPageFiles[1]};

    // Makes the controls and opens the index "Index" beside the executable for the
    // whole text; a failure is shown as "データを開けませんでした。" and leaves the
    // index closed.
    explicit CLeftForm(QWidget* parent = nullptr);
    // Closes the index and removes the temporary folder with its page files.
    ~CLeftForm() override;

    // Loads the keyword page, the tabs, texts, columns and images, and the catalog
    // ("vyn.dir" beside the executable; its listing "vyn.txt" goes to "vyn/" in the
    // user's cache folder). A missing catalog is shown as "you delete data file!".
    void OnInitialUpdate() override;
    // The commands of the panel (see HandlesCommand) and their states; false for
    // any other.
    bool OnCmdMsg(int id, CmdCode code, CCmdUI* ui) override;
    // True for the commands the panel handles: the six navigation steps, result to
    // result, go to, the bookmark commands and the bookmarks of the bookmarks menu.
    static bool HandlesCommand(int id);
    // The reader's caption.
    QString Caption() const override;

    // The slider's target.
    bool HasCurrentVolume() const override { return m_logic.Session().Navigator().CurItem() != 0; }
    void OnPageSliderEnd(int position) override;
    void AttachPageSlider(CPageSliderControl* control) override { m_pageSlider = control; }

    // Lays the controls out for the selected tab, with the page row under the list
    // while there are list pages. Runs on resize, on a tab change and whenever the
    // list pages change.
    void ArrangeControls();

    // The search command: button "検索" and Enter while there are fewer than two
    // list pages.
    void OnSearch();

    // True when the data folder holds another build than the one the panel reads.
    bool NewerDataThere() const { return m_logic.NewerDataThere(); }
    // Reads the data folder's current build (CPanelLogic::Reopen): the tree is made
    // anew, the result list and the count line are emptied, and the page shown before
    // is shown again from the new build when its volume is still there, else no page.
    // False, nothing changed, when the data could not be opened (the user was told).
    bool ReopenData();

    CIndex& Index() { return m_logic.Index(); }
    const CPanelLogic& Logic() const { return m_logic; }
    // Replaces page file name (one of the names above) with bytes; false on failure.
    bool WritePageFile(std::string_view name, std::span<const std::uint8_t> bytes);
    // The full path of page file name; empty when the temporary folder is missing.
    QString PageFilePath(std::string_view name) const;

    // Shows the result page of record at hit anchor, with its row chosen in the
    // result list (on its list page). False when record is no entry of the search.
    bool OpenResultHit(std::uint32_t record, int anchor);

    // The reading flow.
    // Opens the next (1) or previous (-1) entry of the result list at its first hit,
    // its row selected on its list page; false at either end.
    bool StepResult(int direction);
    // Opens page place as the tree would open its volume, the tree, scope, slider and
    // page box following; false when the slot holds no volume.
    bool OpenPlace(PagePlace place);
    // Opens the page text names (see ResolveCitation), the shown volume's book first;
    // "" or why not.
    QString GoTo(const QString& text);
    // The page shown (see CReadingSession::ShownPlace).
    PagePlace ShownPlace() const { return m_logic.Session().ShownPlace(); }
    // "（御定全唐詩・卷一・第1頁）" for the page shown; empty when there is none.
    QString CitationText() const;

    // Bookmarks, kept in the profile.
    const CBookmarks& Bookmarks() const { return m_logic.Session().Bookmarks(); }
    // Takes in the bookmarks other readers of the profile wrote; for a list about to open.
    void ReloadBookmarks() { m_logic.Session().ReloadBookmarks(); }
    // Bookmarks the page shown with note; false when no page is shown.
    bool AddBookmark(const QString& note);
    bool RemoveBookmark(std::size_t at);
    bool UndoBookmarkRemoval();
    // Opens the page of bookmark at; says so when the catalog no longer holds it.
    bool OpenBookmark(std::size_t at);

    // Queries searched before, kept in the profile and offered by the keyword entry:
    // those that CQueryHistory::Matching finds for what is typed.
    const CQueryHistory& History() const { return m_logic.Session().History(); }
    QCompleter* HistoryCompleter() const { return m_completer; }

signals:
    // Asks the page view to open target: a page file path, optionally "#" fragment.
    void navigateRequested(const QString& target);
    // A search replaced the result entries.
    void searchCompleted();
    // ReopenData read a new build: the search's entries are gone.
    void dataReopened();

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Shows the core's warnings in the reader's message box.
    class CWarningSink : public CMessageSink {
    public:
        explicit CWarningSink(QWidget* owner) : m_owner(owner) {}
        void Warning(std::string_view utf8) override;

    private:
        QWidget* m_owner;
    };

    // The controls of dialog template 130, in its order (see CreateControls).
    void CreateControls();
    void CreateCatalogControls();
    void CreateKeywordControls();
    void CreateOptionControls();
    void CreateScopeControls();
    void CreateResultControls();
    void FrameGroupTitles();
    void ConnectControls();
    void LoadCatalogTree();
    // The tree items of the catalog loaded, none of them current.
    void FillCatalogTree();
    void OnCatalogSelChanged(QTreeWidgetItem* item);
    void OnTextPart(int radioId);
    void OnResultSelected(std::uint32_t pageIndex);
    void OnListPagePrev();
    void OnListPageNext();
    void ApplyListPageEdit();
    void ShowResultListPage();
    void UpdateListPageControls();
    void OnKeyDown(int key);
    // Sets a label whose text changes, and its accessible name with it.
    static void SetLabelText(QLabel* label, const QString& text);

    // Writes the session's current page to "windows.html" and shows it; does nothing
    // when the file cannot be written.
    void WriteCurrentPage();
    // After the current volume or page changed: show its page, then the slider (its
    // range too when the volume changed) and the page-position box follow.
    void ShowCurrentPage(bool volumeChanged);
    // The slider (its range and marks too when the volume changed) and the page box
    // follow the navigator's page.
    void FollowCurrentPage(bool volumeChanged);
    // The tree selects the current volume; the scope and its path follow.
    void FollowCurrentVolume();
    // Shows the page of a place the session opened; the tree, scope, slider and page
    // box follow.
    void ShowOpenedPlace();
    // Reads on from the shown page (CReadingSession::ReadOn): the slider, page box,
    // tree and scope follow; the page stays as shown.
    void ReadOn();
    // The slider marks the result pages of the current volume.
    void UpdateSliderMarks();
    // The keyword entry's list of earlier queries.
    void SetUpHistoryPopup();
    // Lists the queries of the history that hold typed, none of them chosen; hides
    // the list when none does.
    void OfferHistory(const QString& typed);
    bool AddBookmarkAt(PagePlace place, const QString& note);
    void ShowGotoDialog();
    void ShowBookmarkDialog();
    void AskBookmarkNote();
    bool OnReadingCommand(int id, CmdCode code, CCmdUI* ui);
    void UpdatePageBox();
    void Navigate(std::string_view file, const std::string& fragment);

    CWarningSink m_sink;
    CProfileStore m_profileStore;
    CPanelLogic m_logic;
    CTempFolder m_tempFolder;
    CPageSliderControl* m_pageSlider = nullptr;

    QTabWidget* m_tabs = nullptr;
    QTreeWidget* m_tree = nullptr;
    QLabel* m_prompt = nullptr;
    CHtmlCtrl* m_keywordPage = nullptr;
    QLineEdit* m_hiddenKeyword = nullptr;
    QPushButton* m_searchButton = nullptr;
    QFrame* m_line = nullptr;
    QCheckBox* m_variants = nullptr;
    QGroupBox* m_methodGroup = nullptr;
    QRadioButton* m_and = nullptr;
    QRadioButton* m_or = nullptr;
    QGroupBox* m_partGroup = nullptr;
    QRadioButton* m_wholeText = nullptr;
    QRadioButton* m_mainText = nullptr;
    QRadioButton* m_notes = nullptr;
    QButtonGroup* m_partButtons = nullptr;
    bool m_partJustToggled = false;  // a click that changed the part already re-opened
    QGroupBox* m_scopeGroup = nullptr;
    QLabel* m_scopeLabel = nullptr;
    QLabel* m_countLine = nullptr;
    CSortListCtrl* m_resultList = nullptr;
    CToolTipResourceButton* m_listPrev = nullptr;
    CToolTipResourceButton* m_listNext = nullptr;
    QLineEdit* m_listPageEdit = nullptr;
    QLabel* m_listPageLabel = nullptr;
    // Tree items by slot.
    std::vector<QTreeWidgetItem*> m_treeItems;
    bool m_arranging = false;

    QCompleter* m_completer = nullptr;
    QStringListModel* m_historyModel = nullptr;
    // What was typed when the list was offered, shown again when no query is chosen.
    QString m_historyTyped;
};

}  // namespace vyn
