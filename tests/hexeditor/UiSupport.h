// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers for the tests of the editor's user side: a shown editor of a fixed
// size holding a document, typing and key presses through Qt's event path.
#pragma once

#include "EditingSupport.h"

#include <QApplication>
#include <QTest>
#include <string>

namespace uitest {

using editingtest::Bytes;

// A visible editor with a document, laid out, with the input focus.
struct Ui : editingtest::Doc {
    explicit Ui(const Bytes& data, int width = 700, int rows = 10) : Doc(data)
    {
        ed->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        ed->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        ed->resize(width, rows * ed->RowHeight() + 2 * ed->frameWidth());
        ed->show();
        ed->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(ed.get()));
        ed->setFocus();
        QApplication::processEvents();
    }

    void Type(const std::string& text)
    {
        for (char c : text)
            QTest::keyClick(ed.get(), c);
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(ed.get(), key, modifiers);
    }
    void Click(std::int32_t col, std::int32_t row, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::mouseClick(ed->viewport(), Qt::LeftButton, modifiers, ed->CellBounds(col, row).center());
    }
    // Caret on a byte: its hex cell (nibble 0 or 1) or its character cell.
    void At(std::int32_t position, bool charPane = false, int nibble = 0)
    {
        editingtest::MoveCaret(*ed, position, charPane, nibble);
    }
    editingtest::Caret Caret() { return editingtest::CaretOf(*ed); }
    Bytes Data() { return editingtest::Contents(*ed); }
    std::uint8_t At8(std::int32_t position) { return ed->ReadByte(position); }
};

inline editingtest::Caret Hex(std::int32_t position, int nibble = 0)
{
    return {position, false, nibble};
}
inline editingtest::Caret Chr(std::int32_t position)
{
    return {position, true, 0};
}

}  // namespace uitest
