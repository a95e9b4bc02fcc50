// SPDX-License-Identifier: GPL-3.0-or-later
// The editor's colours from a light and a dark desktop palette: every text
// stays readable on the ground the editor draws it on, also where the
// selection swaps the colours.
#include "KlangheberHex/EditorColors.h"

#include <gtest/gtest.h>

using namespace hexwindow;

namespace {

QPalette MakePalette(QColor base, QColor text, QColor link, QColor highlight, QColor highlightedText)
{
    QPalette palette;
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Link, link);
    palette.setColor(QPalette::Highlight, highlight);
    palette.setColor(QPalette::HighlightedText, highlightedText);
    return palette;
}

struct Pair {
    const char* what;
    TColor text;
    TColor ground;
};

}  // namespace

TEST(EditorColors, EveryTextIsReadableOnItsGroundInLightAndDarkPalettes)
{
    const struct {
        const char* name;
        QPalette palette;
    } palettes[] = {
        {"light", MakePalette(Qt::white, Qt::black, QColor(0, 0, 255), QColor(48, 140, 198), Qt::white)},
        {"dark", MakePalette(QColor(30, 30, 30), QColor(230, 230, 230), QColor(42, 130, 218), QColor(42, 130, 218),
                             Qt::black)},
        {"dark, grey link", MakePalette(QColor(45, 45, 50), QColor(200, 200, 200), QColor(128, 128, 128),
                                        QColor(90, 90, 160), Qt::white)},
        {"sepia, yellow link", MakePalette(QColor(250, 240, 215), QColor(60, 40, 20), QColor(220, 200, 0),
                                           QColor(120, 80, 40), Qt::white)},
    };
    for (const auto& [name, palette] : palettes) {
        const EditorColors c = ColorsFor(palette);
        const Pair pairs[] = {
            {"characters", c.text, c.background},
            {"offsets", c.offset, c.background},
            {"odd column group", c.oddColumn, c.background},
            {"even column group", c.evenColumn, c.background},
            {"selected odd hex digit", TColors::RgbInverse(c.oddColumn), c.oddColumn},
            {"selected even hex digit", TColors::RgbInverse(c.evenColumn), c.evenColumn},
            {"changed byte", c.changedText, c.changedBackground},
            {"bookmark number", c.positionText, c.positionBackground},
        };
        for (const Pair& pair : pairs)
            EXPECT_GE(ContrastRatio(pair.text, pair.ground), 4.5) << name << ": " << pair.what;
        EXPECT_NE(c.oddColumn, c.evenColumn) << name;
        EXPECT_EQ(c.background, ToTColor(palette.color(QPalette::Base))) << name;
        // The caret is drawn by XOR with the complement of CursorFrame; on the
        // plain ground it must come out in the text colour.
        EXPECT_EQ(c.background ^ (c.cursorFrame ^ 0xFFFFFFu), c.text) << name;
    }
}
