// Resource and control numbers of the toolbar, its controls, the panel's page buttons
// and the splash screen.
#pragma once

namespace vyn {

// Toolbar 128 (IDR_MAINFRAME) and its pictures.
inline constexpr int IDB_TOOLBAR = 128;           // the resource's own 16-colour strip
inline constexpr int IDC_SLIDER_CURSOR = 149;     // left-right arrow, hot spot (15, 0)
inline constexpr int IDB_TOOLBAR_BACK = 171;      // background texture, 600 x 47
inline constexpr int IDB_TOOLBAR_NORMAL = 172;    // ten 40 x 40 images, magenta shows through
inline constexpr int IDB_TOOLBAR_DISABLED = 173;
inline constexpr int IDB_TOOLBAR_HOT = 174;
inline constexpr int IDB_PREV_PAGE = 184;         // four 32 x 32 states of "<"
inline constexpr int IDB_NEXT_PAGE = 185;         // four 32 x 32 states of ">"

// Toolbar items that carry a control instead of a button.
inline constexpr int ID_SLIDER_PLACE = 32787;
inline constexpr int ID_PAGEBOX_PLACE = 32788;

// Control ids.
inline constexpr int IDC_PAGE_SLIDER = 101;
inline constexpr int IDC_PAGE_BOX = 102;
inline constexpr int IDC_FLASH = 104;
inline constexpr int IDC_PREV_PAGE_BUTTON = 1055;
inline constexpr int IDC_NEXT_PAGE_BUTTON = 1057;

}  // namespace vyn
