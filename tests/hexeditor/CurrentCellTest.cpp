// SPDX-License-Identifier: GPL-3.0-or-later
// The current-cell rules seen from the mouse, the BytesPerLine re-layout that
// keeps the current byte and the selection, and the caret after scrolling.
#include "UiSupport.h"

#include "platform/system/Exceptions.h"

#include <gtest/gtest.h>

using namespace uitest;
using editingtest::Pattern;

TEST(HexCurrentCell, BytesPerLineRange)
{
    Ui ui(Pattern(1000));
    ui.At(100);
    for (const std::int32_t bad : {0, -1, 257}) {
        EXPECT_EQ(testsupport::ErrorMessageOf([&] { ui.ed->SetBytesPerLine(bad); }), "Invalid BytesPerLine argument");
        EXPECT_EQ(ui.ed->BytesPerLine(), 16);
        EXPECT_EQ(ui.ed->ColCount(), 51);
        EXPECT_EQ(ui.Caret(), Hex(100));
    }
    ui.ed->SetBytesPerLine(256);
    EXPECT_EQ(ui.ed->ColCount(), 771);
    EXPECT_EQ(ui.ed->HexColumns(), 512);
    EXPECT_EQ(ui.ed->RowCount(), 4);
    EXPECT_EQ(ui.Caret(), Hex(100));
    EXPECT_TRUE(ui.ed->updatesEnabled());
}

TEST(HexCurrentCell, BytesPerLineKeepsCaretPaneAndSelection)
{
    Ui ui(Pattern(1000));
    ui.At(0, true);
    ui.ed->SetSelStart(40);
    ui.ed->SetSelEnd(70);
    const auto caret = ui.Caret();
    ASSERT_EQ(caret, Chr(40));
    ui.ed->SetBytesPerLine(10);
    EXPECT_EQ(ui.Caret(), caret);
    EXPECT_EQ(ui.ed->Row(), caret.position / 10);
    EXPECT_EQ(ui.ed->SelAnchor(), 40);
    EXPECT_EQ(ui.ed->SelLow(), 40);
    EXPECT_EQ(ui.ed->SelHigh(), 70);
    // The same value again changes nothing, not even the selection.
    ui.ed->SetSelStart(5);
    ui.ed->SetBytesPerLine(10);
    EXPECT_EQ(ui.ed->SelAnchor(), -1);
    EXPECT_EQ(ui.Caret(), Chr(5));
}

TEST(HexCurrentCell, BytesPerLineSwitchesCustomLineLengthsOff)
{
    Ui ui(Pattern(100));
    ui.ed->SetCustomLineLengths(true);
    ui.ed->SetLineLength(0, 4);
    ASSERT_EQ(ui.ed->LineStart(1), 4);
    ui.ed->SetBytesPerLine(8);
    EXPECT_FALSE(ui.ed->CustomLineLengths());
    EXPECT_EQ(ui.ed->LineStart(1), 8);
    EXPECT_EQ(ui.ed->RowCount(), 13);
}

TEST(HexCurrentCell, EmptyEditorAcceptsOnlyTheFirstHexCell)
{
    Ui ui({});
    EXPECT_EQ(ui.ed->RowCount(), 1);
    ui.Click(5, 0);
    ui.Click(ui.ed->HexColumns() + 4, 0);
    ui.ed->SetCurrentCell(3, 0, true);
    EXPECT_EQ(ui.ed->Col(), 2);
    EXPECT_EQ(ui.ed->Row(), 0);
}

TEST(HexCurrentCell, ClickPastTheLastByteLandsOnItInThePaneOfTheCaret)
{
    Ui ui(Pattern(20));
    const std::int32_t hexCols = ui.ed->HexColumns();
    ui.At(3);
    ui.Click(2 + 2 * 10 + 1, 1);  // right digit of the 11th byte of row 1
    EXPECT_EQ(ui.Caret(), Hex(19));
    ui.At(3, true);
    ui.Click(2 + 2 * 7, 1);  // a hex cell, but the caret was in the character pane
    EXPECT_EQ(ui.Caret(), Chr(19));
    ui.At(3);
    ui.Click(hexCols + 3 + 12, 1);
    EXPECT_EQ(ui.Caret(), Hex(19));
}

TEST(HexCurrentCell, SeparatorColumn)
{
    Ui ui(Pattern(64));
    const std::int32_t separator = ui.ed->HexColumns() + 2;
    ui.Click(separator, 2);
    EXPECT_EQ(ui.ed->Col(), separator - 1);
    EXPECT_EQ(ui.ed->Row(), 2);
    EXPECT_EQ(ui.Caret(), Hex(47, 1));
    // The keyboard never lands there: Left from the first character cell is
    // refused.
    ui.At(32, true);
    std::uint16_t key = platform::VK_LEFT;
    ui.ed->TCustomGrid::KeyDown(key, 0);
    EXPECT_EQ(ui.Caret(), Chr(32));
}

TEST(HexCurrentCell, MousePressStartsASelectionAndDoubleClickDoesNot)
{
    Ui ui(Pattern(64));
    ui.ed->SetSelStart(1);
    ui.ed->SetSelEnd(3);
    const QPoint from = ui.ed->CellBounds(2 + 2 * 4, 1).center();
    const QPoint to = ui.ed->CellBounds(2 + 2 * 9, 1).center();
    QTest::mousePress(ui.ed->viewport(), Qt::LeftButton, {}, from);
    EXPECT_TRUE(ui.ed->Selecting());
    EXPECT_EQ(ui.ed->SelAnchor(), -1);
    QTest::mouseMove(ui.ed->viewport(), to);
    QTest::mouseRelease(ui.ed->viewport(), Qt::LeftButton, {}, to);
    EXPECT_EQ(ui.ed->SelLow(), 20);
    EXPECT_EQ(ui.ed->SelHigh(), 25);
    EXPECT_TRUE(ui.ed->Selecting()) << "releasing the button does not end it";
    ui.Key(Qt::Key_Down);
    EXPECT_EQ(ui.ed->SelAnchor(), -1);
    EXPECT_FALSE(ui.ed->Selecting());

    QTest::mouseDClick(ui.ed->viewport(), Qt::LeftButton, {}, from);
    // Qt Test's double click leaves the button down in the application's
    // button state; release it so that later moves are plain again.
    QTest::mouseRelease(ui.ed->viewport(), Qt::LeftButton, {}, from);
    ASSERT_EQ(QGuiApplication::mouseButtons(), Qt::NoButton);
    EXPECT_FALSE(ui.ed->Selecting());
    EXPECT_EQ(ui.ed->SelAnchor(), -1);
    EXPECT_EQ(ui.Caret(), Hex(20));
}

TEST(HexCurrentCell, CaretFollowsScrolling)
{
    Ui ui(Pattern(1600), 700, 10);
    ASSERT_TRUE(ui.ed->Caret().IsCreated());
    ui.At(16);
    ui.ed->SetTopRow(5);
    EXPECT_EQ(ui.ed->Caret().Pos(), QPoint(-50, -50));
    ui.ed->SetTopRow(1);
    EXPECT_EQ(ui.ed->Caret().Pos(), ui.ed->CellBounds(2, 1).topLeft());
    EXPECT_EQ(ui.ed->Caret().Pos().y(), 0);
}

TEST(HexCurrentCell, FocusCreatesAndDestroysTheCaret)
{
    Ui ui(Pattern(64));
    EXPECT_TRUE(ui.ed->Caret().IsCreated());
    EXPECT_TRUE(ui.ed->Caret().IsShown());
    QTest::keyPress(ui.ed.get(), Qt::Key_Shift);
    ASSERT_TRUE(ui.ed->Selecting());
    ui.ed->clearFocus();
    QApplication::processEvents();
    EXPECT_FALSE(ui.ed->Caret().IsCreated());
    EXPECT_FALSE(ui.ed->Selecting());
    QTest::keyRelease(ui.ed.get(), Qt::Key_Shift);
}
