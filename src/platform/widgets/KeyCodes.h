// SPDX-License-Identifier: GPL-3.0-or-later
// Keyboard input as the grid's hooks see it: Windows virtual-key codes, the
// modifier set, the dialog-code bits, and the translation of Qt key events
// into them (one table for the keys, Windows-1252 bytes for typed text).
#pragma once

#include <QKeyEvent>
#include <QString>
#include <cstdint>
#include <vector>

namespace platform {

// Modifier set handed to the key and mouse hooks.
enum TShiftFlag : unsigned {
    ssShift = 1u << 0,
    ssAlt = 1u << 1,
    ssCtrl = 1u << 2,
    ssDouble = 1u << 3,
};
using TShiftState = unsigned;

// Windows virtual-key codes, which the key hooks keep.
enum VirtualKey : std::uint16_t {
    VK_BACK = 8,
    VK_TAB = 9,
    VK_RETURN = 13,
    VK_SHIFT = 16,
    VK_CONTROL = 17,
    VK_MENU = 18,
    VK_ESCAPE = 27,
    VK_SPACE = 32,
    VK_PRIOR = 33,
    VK_NEXT = 34,
    VK_END = 35,
    VK_HOME = 36,
    VK_LEFT = 37,
    VK_UP = 38,
    VK_RIGHT = 39,
    VK_DOWN = 40,
    VK_INSERT = 45,
    VK_DELETE = 46,
    VK_NUMPAD0 = 96,  // VK_NUMPAD0 + n for keypad digit n
    VK_F1 = 112,      // VK_F1 + n - 1 for function key Fn, up to F24
};

// Dialog-code bits: which keys a control wants for itself instead of leaving
// them to the window's focus navigation.
enum DialogCodeFlag : unsigned {
    DLGC_WANTARROWS = 0x0001,
    DLGC_WANTTAB = 0x0002,
    DLGC_WANTALLKEYS = 0x0004,
    DLGC_WANTCHARS = 0x0080,
};

// The Windows virtual-key code of a Qt key; keypad digits (with
// Qt::KeypadModifier) become VK_NUMPAD0..9. 0 for keys without a code.
// x11KeyCode, where known (0 otherwise), is the key's position: a key of the
// main digit row (X11 key codes 10-19) gives its digit's code whatever Shift
// or the layout make of it, as Windows does (Shift+3 arrives from X11 as "#",
// yet Ctrl+Shift+3 must be the key "3").
std::uint16_t VirtualKeyFromQt(int qtKey, Qt::KeyboardModifiers modifiers, quint32 x11KeyCode = 0);
// The code of a key event; its native scan code counts as the key's position
// on the platforms that report X11 key codes (xcb, wayland).
std::uint16_t VirtualKeyOf(const QKeyEvent& event);
// The modifier set of a Qt modifier state.
TShiftState ShiftStateFromQt(Qt::KeyboardModifiers modifiers);

// The characters a key press types, one Windows-1252 byte each, in order.
// As on Windows: Delete types nothing; Ctrl with a letter types its control
// character, Ctrl with any other printable key types nothing (Ctrl+digit is
// a command, not a digit); Alt alone types nothing; Ctrl+Alt (AltGr) types
// as is. Characters that Windows-1252 lacks are left out.
std::vector<std::uint8_t> TypedAnsiBytes(int qtKey, Qt::KeyboardModifiers modifiers, const QString& text);

}  // namespace platform
