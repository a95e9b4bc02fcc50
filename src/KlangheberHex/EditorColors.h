// SPDX-License-Identifier: GPL-3.0-or-later
// The byte editor's colours taken from the desktop palette, so that a dark
// theme shows light text on a dark ground. The editor's own defaults are
// fixed colours for a white window (blue digits, maroon on pale yellow for
// changed bytes); here every colour is chosen against the palette's base
// colour so that each text stays readable on the ground it is drawn on,
// including the editor's inverted colours for selected hex digits.
#pragma once

#include "hexeditor/hexeditor.h"

#include <QColor>
#include <QPalette>

namespace hexwindow {

struct EditorColors {
    TColor background;
    TColor text;  // characters, blank cells, marker column
    TColor offset;
    TColor oddColumn;
    TColor evenColumn;
    TColor changedText;
    TColor changedBackground;
    TColor positionText;
    TColor positionBackground;
    TColor cursorFrame;
};

EditorColors ColorsFor(const QPalette& palette);
void ApplyColors(THexEditor& editor, const EditorColors& colors);

// WCAG contrast ratio of two colours (1 to 21); 4.5 is the usual minimum
// for text.
double ContrastRatio(TColor a, TColor b);

TColor ToTColor(const QColor& color);

}  // namespace hexwindow
