// A dialog template as data: the controls of a form or dialog with identifier, kind, caption
// and position in dialog units, in creation order (which is also the tab order).
#pragma once

#include <cstddef>
#include <iterator>

enum class DlgItemKind {
    Static,         // text; top-aligned, left or centred, word-wrapped
    GroupBox,       // frame without title, always behind the other controls
    PushButton,     // ordinary push button
    FlatButton,     // CFlatButton
    CheckBox,       // auto check box
    Edit,           // single-line edit
    ComboDropList,  // CComboBox, drop-down list; the height is that of the open list
    DatePicker,     // short date with calendar drop-down
    UpDown,         // CSpinButtonCtrl; its buddy is the control created just before it
    ListReport,     // CListCtrl, report style
    ColorLabel,     // CColorLabel
    Icon,           // the program icon
};

namespace dlg {
inline constexpr unsigned Hidden = 0x0001;       // not visible at creation
inline constexpr unsigned Center = 0x0002;       // static text centred
inline constexpr unsigned Default = 0x0004;      // the default push button
inline constexpr unsigned Password = 0x0008;     // edit shows placeholders
inline constexpr unsigned MultiSel = 0x0010;     // report list with multiple selection
inline constexpr unsigned AutoHScroll = 0x0020;  // edit scrolls horizontally
inline constexpr unsigned NoPrefix = 0x0040;     // '&' shown as is
inline constexpr unsigned Disabled = 0x0080;     // disabled at creation
}  // namespace dlg

struct DlgItem {
    int id;  // -1 for controls nobody refers to
    DlgItemKind kind;
    const char* text;
    int x, y, cx, cy;
    unsigned style;
};

struct DlgTemplate {
    int id;
    const char* caption;  // null for child forms
    int cx, cy;
    const DlgItem* items;
    std::size_t count;
};

struct ListColumn {
    const char* heading;
    int width;  // pixels; 0 hides the column
};
