// SPDX-License-Identifier: GPL-3.0-or-later
// The widget's side of the search: the hourglass only while a search runs,
// caret and selection kept, the editor's translation used. The search itself
// is tested in core/SearchTest.cpp.
#include "EditingSupport.h"

#include <gtest/gtest.h>

using namespace editingtest;

TEST(HexSearch, CaretSelectionAndCursorAreKept)
{
    Bytes data(70000, 'z');
    data[69000] = 'q';
    Doc doc(data);
    HexEditorProbe& editor = *doc;
    editor.SetSelStart(5);
    editor.SetSelEnd(9);
    const auto caret = CaretOf(editor);
    const auto find = [&](Bytes pattern, std::int32_t start, std::int32_t end) {
        return editor.Find(pattern.data(), static_cast<std::int32_t>(pattern.size()), start, end, false, false);
    };

    editor.setCursor(Qt::CrossCursor);
    EXPECT_EQ(find({'q'}, 0, 100000), 69000);
    EXPECT_EQ(editor.cursor().shape(), Qt::CrossCursor);
    EXPECT_EQ(find({'n'}, 0, 100000), -1);
    EXPECT_EQ(editor.cursor().shape(), Qt::CrossCursor);
    EXPECT_EQ(find({}, 0, 10), -1);
    EXPECT_EQ(editor.cursor().shape(), Qt::CrossCursor);

    editor.unsetCursor();
    EXPECT_EQ(find({'q'}, 0, 100000), 69000);
    EXPECT_EQ(editor.cursor().shape(), Qt::ArrowCursor);

    EXPECT_EQ(CaretOf(editor), caret);
    EXPECT_EQ(editor.SelStart(), 5);
    EXPECT_EQ(editor.SelEnd(), 9);
}

TEST(HexSearch, TranslateUsesTheEditorsTranslation)
{
    Doc doc(Bytes{0x41, 0xC1});
    doc->SetTranslation(ttEBCDIC);
    Bytes a{0x41};
    EXPECT_EQ(doc->Find(a.data(), 1, 0, 1, false, true), 1);
    EXPECT_EQ(a, Bytes{0xC1});
}
