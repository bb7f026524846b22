#include "gui/resources.h"

#include <array>

#include "gui/resource.h"

namespace vyn {

namespace {

constexpr std::array kFileMenu{
    MenuItem{"印刷設定(&S)", ID_PRINT_SETUP},
    MenuItem{"印刷(&P)", ID_PRINT_NOW},
    MenuItem{"終了(&X)", ID_APP_EXIT},
};
constexpr std::array kEditMenu{
    MenuItem{"コピー(&C)", ID_EDIT_COPY},
    MenuItem{"すべて選択(&Q)", ID_SELECT_ALL},
};
constexpr std::array kViewMenu{
    MenuItem{"ツールバー(&T)", ID_VIEW_TOOLBAR},
    MenuItem{"状態バー(&S)", ID_VIEW_STATUS_BAR},
    MenuItem{"全表示(&p)", ID_VIEW_FULL},
    // Added after the items of menu 128.
    MenuItem{"", 0},
    MenuItem{"文字を大きく", ID_ZOOM_IN},
    MenuItem{"文字を小さく", ID_ZOOM_OUT},
    MenuItem{"標準の大きさ", ID_ZOOM_RESET},
};
constexpr std::array kListMenu{
    MenuItem{"上の頁へ(&P)", ID_PREV_PAGE}, MenuItem{"次の頁へ(&N)", ID_NEXT_PAGE},
    MenuItem{"", 0},
    MenuItem{"上の巻へ", ID_PREV_VOLUME},   MenuItem{"次の巻へ", ID_NEXT_VOLUME},
    MenuItem{"", 0},
    MenuItem{"上の検索結果", ID_PREV_HIT},  MenuItem{"次の検索結果", ID_NEXT_HIT},
    // Added after the items of menu 128.
    MenuItem{"", 0},
    MenuItem{"文脈一覧", ID_KWIC_WINDOW},   MenuItem{"検索結果を書き出す…", ID_EXPORT_RESULTS},
    MenuItem{"", 0},
    MenuItem{"前の結果頁", ID_PREV_RESULT_PAGE}, MenuItem{"次の結果頁", ID_NEXT_RESULT_PAGE},
    MenuItem{"", 0},
    MenuItem{"移動…", ID_GOTO_PAGE},
    MenuItem{"この頁から読み進める", ID_READ_ON},
};
constexpr std::array kHelpMenu{
    MenuItem{"バージョン(&A)...", ID_APP_ABOUT},
    MenuItem{"ヘルプ", ID_HELP_OPEN},
};

// A popup added after those of menu 128; the bookmarks themselves follow its items.
constexpr std::array kBookmarkMenu{
    MenuItem{"この頁をしおりに挟む…", ID_BOOKMARK_ADD},
    MenuItem{"しおり一覧…", ID_BOOKMARK_LIST},
    MenuItem{"しおりの削除を元に戻す", ID_BOOKMARK_UNDO},
};

const std::array kMainMenu{
    PopupMenu{"ファイル(&F)", kFileMenu}, PopupMenu{"編集(&E)", kEditMenu},
    PopupMenu{"表示(&V)", kViewMenu},     PopupMenu{"一覧", kListMenu},
    PopupMenu{"ヘルプ(&H)", kHelpMenu},   PopupMenu{"しおり(&B)", kBookmarkMenu},
};

constexpr std::array kRightClickItems{
    MenuItem{"コピー(300字以内に制限しています。)", ID_RC_COPY},
    MenuItem{"すべて選択。", ID_RC_SELECTALL},
};

const std::array kAccelerators{
    Accelerator{Qt::Key_C, Qt::ControlModifier, ID_EDIT_COPY},
    Accelerator{Qt::Key_Insert, Qt::ControlModifier, ID_EDIT_COPY},
    Accelerator{Qt::Key_Delete, Qt::ShiftModifier, ID_EDIT_CUT},
    Accelerator{Qt::Key_X, Qt::ControlModifier, ID_EDIT_CUT},
    Accelerator{Qt::Key_V, Qt::ControlModifier, ID_EDIT_PASTE},
    Accelerator{Qt::Key_Insert, Qt::ShiftModifier, ID_EDIT_PASTE},
    Accelerator{Qt::Key_Backspace, Qt::AltModifier, ID_EDIT_UNDO},
    Accelerator{Qt::Key_Z, Qt::ControlModifier, ID_EDIT_UNDO},
    Accelerator{Qt::Key_N, Qt::ControlModifier, ID_FILE_NEW},
    Accelerator{Qt::Key_O, Qt::ControlModifier, ID_FILE_OPEN},
    Accelerator{Qt::Key_P, Qt::ControlModifier, ID_FILE_PRINT},
    Accelerator{Qt::Key_S, Qt::ControlModifier, ID_FILE_SAVE},
    Accelerator{Qt::Key_F6, Qt::NoModifier, ID_NEXT_PANE},
    Accelerator{Qt::Key_F6, Qt::ShiftModifier, ID_PREV_PANE},
    Accelerator{Qt::Key_F3, Qt::AltModifier, ID_PREV_HIT},
    Accelerator{Qt::Key_F3, Qt::NoModifier, ID_NEXT_HIT},
};

// Keys beyond table 128, for desktops that take one of its keys for themselves:
// Alt+F3 opens a window menu or an application finder on many of them.
const std::array kExtraAccelerators{
    Accelerator{Qt::Key_F3, Qt::ShiftModifier, ID_PREV_HIT},
    Accelerator{Qt::Key_F7, Qt::NoModifier, ID_KWIC_WINDOW},
    Accelerator{Qt::Key_F8, Qt::NoModifier, ID_NEXT_RESULT_PAGE},
    Accelerator{Qt::Key_F8, Qt::ShiftModifier, ID_PREV_RESULT_PAGE},
    Accelerator{Qt::Key_F4, Qt::NoModifier, ID_GOTO_PAGE},
    Accelerator{Qt::Key_F4, Qt::ShiftModifier, ID_READ_ON},
    Accelerator{Qt::Key_F9, Qt::NoModifier, ID_BOOKMARK_ADD},
    Accelerator{Qt::Key_F9, Qt::ShiftModifier, ID_BOOKMARK_LIST},
    // Ctrl is refused in the page view: the zoom keys take Alt. "+" comes shifted on
    // most keyboards, and "=" shares its key on some.
    Accelerator{Qt::Key_Plus, Qt::AltModifier, ID_ZOOM_IN},
    Accelerator{Qt::Key_Plus, Qt::AltModifier | Qt::ShiftModifier, ID_ZOOM_IN},
    Accelerator{Qt::Key_Equal, Qt::AltModifier, ID_ZOOM_IN},
    Accelerator{Qt::Key_Minus, Qt::AltModifier, ID_ZOOM_OUT},
    Accelerator{Qt::Key_0, Qt::AltModifier, ID_ZOOM_RESET},
};

struct PromptEntry {
    int id;
    const char* text;  // prompt, line feed, tool tip
};

constexpr std::array kPrompts{
    PromptEntry{ID_VIEW_FULL, "全表示\n全表示"},
    PromptEntry{ID_PRINT_NOW, "印刷\n印刷"},
    PromptEntry{ID_SELECT_ALL, "すべて選択\nすべて選択"},
    PromptEntry{ID_PREV_PAGE, "上の頁へ\n上の頁"},
    PromptEntry{ID_NEXT_PAGE, "次の頁へ\n次の頁"},
    PromptEntry{ID_NEXT_VOLUME, "次の巻へ\n次の巻へ"},
    PromptEntry{ID_PREV_VOLUME, "上の巻へ\n上の巻へ"},
    PromptEntry{ID_PREV_HIT, "上の検索結果\n上の検索結果"},
    PromptEntry{ID_NEXT_HIT, "次の検索結果\n次の検索結果"},
    PromptEntry{ID_KWIC_WINDOW, "検索語を前後の文脈とともに一覧する\n文脈一覧"},
    PromptEntry{ID_EXPORT_RESULTS, "検索結果の一覧をファイルに書き出す\n書き出し"},
    PromptEntry{ID_PREV_RESULT_PAGE, "検索結果の一覧で前の頁を開く\n前の結果頁"},
    PromptEntry{ID_NEXT_RESULT_PAGE, "検索結果の一覧で次の頁を開く\n次の結果頁"},
    PromptEntry{ID_GOTO_PAGE, "巻と頁を指定して開く\n移動"},
    PromptEntry{ID_READ_ON, "表示中の頁の巻をこの頁から読み進める（次の頁・上の頁がこの巻に従う）\n読み進める"},
    PromptEntry{ID_ZOOM_IN, "頁の文字を大きくする\n文字を大きく"},
    PromptEntry{ID_ZOOM_OUT, "頁の文字を小さくする\n文字を小さく"},
    PromptEntry{ID_ZOOM_RESET, "頁の文字を標準の大きさに戻す\n標準の大きさ"},
    PromptEntry{ID_BOOKMARK_ADD, "表示中の頁をしおりに加える\nしおりに挟む"},
    PromptEntry{ID_BOOKMARK_LIST, "しおりを一覧して開く・削除する\nしおり一覧"},
    PromptEntry{ID_BOOKMARK_UNDO, "最後に削除したしおりを戻す\n元に戻す"},
    PromptEntry{ID_EDIT_COPY, "選択されたファイルをクリップボードにコピー\nコピー"},
    PromptEntry{ID_APP_ABOUT, "このソフトについてのバージョン、ヘルプ\n情報"},
    PromptEntry{ID_APP_EXIT, "プログラムを終了；ファイルの保存を確認\n終了"},
    PromptEntry{ID_VIEW_TOOLBAR, "ツールバーの表示と非表示\nツールバー"},
    PromptEntry{ID_VIEW_STATUS_BAR, "状態バーの表示と非表示\n状態バー"},
};

constexpr Qt::KeyboardModifiers kAcceleratorModifiers =
    Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;

}  // namespace

std::span<const PopupMenu> MainMenu() { return kMainMenu; }

PopupMenu RightClickMenu() { return PopupMenu{"RightClick", kRightClickItems}; }

std::span<const Accelerator> AcceleratorTable() { return kAccelerators; }

int FindAccelerator(int key, Qt::KeyboardModifiers modifiers) {
    const Qt::KeyboardModifiers wanted = modifiers & kAcceleratorModifiers;
    for (const Accelerator& a : kAccelerators) {
        if (a.key == key && a.modifiers == wanted) return a.id;
    }
    for (const Accelerator& a : kExtraAccelerators) {
        if (a.key == key && a.modifiers == wanted) return a.id;
    }
    return 0;
}

std::span<const Accelerator> ExtraAccelerators() { return kExtraAccelerators; }

QList<QKeySequence> KeysOf(int id) {
    QList<QKeySequence> keys;
    for (std::span<const Accelerator> table : {AcceleratorTable(), ExtraAccelerators()}) {
        for (const Accelerator& a : table) {
            if (a.id == id) keys.append(QKeySequence(QKeyCombination(a.modifiers, Qt::Key(a.key))));
        }
    }
    return keys;
}

CommandPrompt PromptOf(int id) {
    for (const PromptEntry& p : kPrompts) {
        if (p.id != id) continue;
        const QString text = QString::fromUtf8(p.text);
        const qsizetype lf = text.indexOf(u'\n');
        return {text.left(lf), text.mid(lf + 1)};
    }
    return {};
}

}  // namespace vyn
