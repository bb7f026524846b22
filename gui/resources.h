// The reader's fixed texts and tables: strings, menu 128, popup menu 130, accelerator
// table 128 and the command prompts. All texts are UTF-8 and shown as they stand.
#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>
#include <Qt>
#include <span>

namespace vyn {

// String 57344: caption of every message box and the profile's application name.
inline constexpr const char* kAppName = "Velmora--Tessalineシリーズ⑦（Corvath）";
// The profile's organisation.
inline constexpr const char* kRegistryKey = "Local AppWizard-Generated Applications";
// Caption set while the frame is created, and the one the panel keeps.
inline constexpr const char* kFrameCaption = "Velmora--Tessaline（Corvath）";
inline constexpr const char* kPanelCaption = "Velmora--Tessaline⑦（Corvath）";
// Document string 128: seven fields separated by line feeds; field 1 is the base title.
inline constexpr const char* kDocString = "book\n\nBook\n\n\nBook.Document\nBook Document";

inline constexpr const char* kCtrlRefusedMessage = "マウスの右ボタンでコピーして下さい。";

// Companion files found beside the executable.
inline constexpr const char* kCompanionProgram = "end.exe";
inline constexpr const char* kHelpFile = "help.chm";

// One item of a menu; id 0 is a separator.
struct MenuItem {
    const char* text;
    int id;
};

struct PopupMenu {
    const char* caption;
    std::span<const MenuItem> items;
};

// Menu 128, popups in order.
std::span<const PopupMenu> MainMenu();
// The one popup of menu 130.
PopupMenu RightClickMenu();

// One entry of accelerator table 128: a key with exactly these modifiers.
struct Accelerator {
    int key;  // Qt::Key
    Qt::KeyboardModifiers modifiers;
    int id;
};

std::span<const Accelerator> AcceleratorTable();
// Keys added to the table's: Shift+F3 for 上の検索結果, F7 for 文脈一覧, and the keys
// of the commands added after menu 128's.
std::span<const Accelerator> ExtraAccelerators();
// The command of the accelerator matching key and modifiers (keypad flag ignored) in
// the table or among the added keys, or 0.
int FindAccelerator(int key, Qt::KeyboardModifiers modifiers);
// The keys of a command, the table's first, as menus show them.
QList<QKeySequence> KeysOf(int id);

// The prompt and tool tip of a command's string; both empty when it has none.
struct CommandPrompt {
    QString prompt;
    QString toolTip;
};
CommandPrompt PromptOf(int id);

inline QString AppName() { return QString::fromUtf8(kAppName); }

}  // namespace vyn
