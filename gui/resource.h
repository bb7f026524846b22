// Resource and command numbers of the reader: menus, dialogs, images and commands.
#pragma once

namespace vyn {

// Resources.
inline constexpr int IDR_MAINFRAME = 128;  // menu, accelerator table, icon, document string
inline constexpr int IDR_RIGHTCLICK = 130;  // page view's popup menu
inline constexpr int IDI_SMALL = 143;       // frame's small icon
inline constexpr int IDB_TREE_SELECTED = 159;  // catalog tree item, selected (20 x 20)
inline constexpr int IDB_TREE_NORMAL = 160;    // catalog tree item (20 x 20)
inline constexpr int IDD_ABOUTBOX = 165;
inline constexpr int IDB_ABOUT = 168;

// Commands of the reader.
inline constexpr int ID_RC_COPY = 32771;
inline constexpr int ID_RC_SELECTALL = 32772;
inline constexpr int ID_VIEW_FULL = 32774;
inline constexpr int ID_PRINT_SETUP = 32776;
inline constexpr int ID_PRINT_NOW = 32777;
inline constexpr int ID_SELECT_ALL = 32778;
inline constexpr int ID_PREV_PAGE = 32780;
inline constexpr int ID_NEXT_PAGE = 32781;
inline constexpr int ID_NEXT_VOLUME = 32790;
inline constexpr int ID_PREV_VOLUME = 32791;
inline constexpr int ID_HELP_OPEN = 32798;
inline constexpr int ID_PREV_HIT = 32805;
inline constexpr int ID_NEXT_HIT = 32806;
// Commands beyond menu 128's: hits in context, and the result list written to a file.
inline constexpr int ID_KWIC_WINDOW = 32900;
inline constexpr int ID_EXPORT_RESULTS = 32901;
// The reading flow: result to result, go to a citation, page zoom, bookmarks, copy
// with citation.
inline constexpr int ID_PREV_RESULT_PAGE = 32902;
inline constexpr int ID_NEXT_RESULT_PAGE = 32903;
inline constexpr int ID_GOTO_PAGE = 32904;
inline constexpr int ID_ZOOM_IN = 32905;
inline constexpr int ID_ZOOM_OUT = 32906;
inline constexpr int ID_ZOOM_RESET = 32907;
inline constexpr int ID_BOOKMARK_ADD = 32910;
inline constexpr int ID_BOOKMARK_LIST = 32911;
inline constexpr int ID_BOOKMARK_UNDO = 32912;
inline constexpr int ID_RC_COPY_CITED = 32913;
// The bookmarks listed in the bookmarks menu: ID_BOOKMARK_FIRST + their place.
inline constexpr int ID_BOOKMARK_FIRST = 32920;
inline constexpr int kBookmarkMenuItems = 20;
// Reads on from the shown result page: its volume becomes the current one there.
inline constexpr int ID_READ_ON = 32950;

// Commands with the framework's standard numbers.
inline constexpr int ID_FILE_NEW = 57600;
inline constexpr int ID_FILE_OPEN = 57601;
inline constexpr int ID_FILE_SAVE = 57603;
inline constexpr int ID_FILE_PRINT = 57607;
inline constexpr int ID_EDIT_COPY = 57634;
inline constexpr int ID_EDIT_CUT = 57635;
inline constexpr int ID_EDIT_PASTE = 57637;
inline constexpr int ID_EDIT_UNDO = 57643;
inline constexpr int ID_APP_ABOUT = 57664;
inline constexpr int ID_APP_EXIT = 57665;
inline constexpr int ID_NEXT_PANE = 57680;
inline constexpr int ID_PREV_PANE = 57681;
inline constexpr int ID_VIEW_TOOLBAR = 59392;
inline constexpr int ID_VIEW_STATUS_BAR = 59393;

// Pane numbering of the splitter: first pane + 16 * row + column.
inline constexpr int AFX_IDW_PANE_FIRST = 0xE900;
inline constexpr int AFX_IDW_TOOLBAR = 0xE800;

}  // namespace vyn
