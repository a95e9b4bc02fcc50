// SPDX-License-Identifier: GPL-3.0-or-later
// Keyboard and mouse editing through Qt's event path: hex digits and
// characters typed in overwrite and insert mode, the deletion keys, the
// navigation keys, bookmarks, pane switching and selection by Shift.
#include "UiSupport.h"

#include <gtest/gtest.h>

using namespace uitest;
using editingtest::Pattern;

namespace {

Bytes Counting(std::int32_t size)
{
    Bytes data(static_cast<std::size_t>(size));
    for (std::int32_t i = 0; i < size; ++i)
        data[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    return data;
}

void InsertMode(HexEditorProbe& ed)
{
    ed.SetAllowInsertMode(true);
    ed.SetInsertState(true);
    ASSERT_TRUE(ed.InsertModeActive());
}

}  // namespace

TEST(HexInput, OverwriteHexDigitsStepThroughNibbles)
{
    Bytes data = Counting(20);
    data[5] = 0x3C;
    Ui ui(data);
    ui.At(5);
    ui.Type("a");
    EXPECT_EQ(ui.At8(5), 0xAC);
    EXPECT_TRUE(ui.ed->IsByteChanged(5));
    EXPECT_EQ(ui.Caret(), Hex(5, 1));
    ui.Type("7");
    EXPECT_EQ(ui.At8(5), 0xA7);
    EXPECT_EQ(ui.Caret(), Hex(6, 0));
    // Not a hex digit: nothing changes.
    ui.Type("xg");
    EXPECT_EQ(ui.At8(6), 6);
    EXPECT_EQ(ui.Caret(), Hex(6, 0));
    // At the right column of the last byte the caret stays.
    ui.At(19, false, 1);
    ui.Type("F");
    EXPECT_EQ(ui.At8(19), 0x1F);
    EXPECT_EQ(ui.Caret(), Hex(19, 1));
    EXPECT_EQ(ui.ed->DataSize(), 20);
}

TEST(HexInput, SwapNibblesPutsTheLowNibbleLeft)
{
    Bytes data = Counting(20);
    data[5] = 0x3C;
    Ui ui(data);
    ui.ed->SetSwapNibbles(true);
    ui.At(5);
    ui.Type("a");
    EXPECT_EQ(ui.At8(5), 0x3A);
    ui.Type("7");
    EXPECT_EQ(ui.At8(5), 0x7A);
}

TEST(HexInput, InsertModeOnAnEmptyDocumentAppendsAndSelects)
{
    Ui ui({});
    InsertMode(*ui.ed);
    ui.Type("4");
    EXPECT_EQ(ui.Data(), Bytes({0x40}));
    EXPECT_EQ(ui.Caret(), Hex(0, 1));
    ui.Type("1");
    EXPECT_EQ(ui.Data(), Bytes({0x41, 0x00}));
    EXPECT_EQ(ui.Caret(), Hex(1, 0));
    EXPECT_EQ(ui.ed->SelLength(), 1);
    EXPECT_EQ(ui.ed->SelStart(), 1);
    ui.Type("f");
    EXPECT_EQ(ui.Data(), Bytes({0x41, 0xF0}));
    EXPECT_EQ(ui.Caret(), Hex(1, 1));
    EXPECT_FALSE(ui.ed->IsByteChanged(0));  // no change marks in insert mode
}

TEST(HexInput, InsertModeTwoDigitsInsertOneByte)
{
    const Bytes data = Counting(20);
    Ui ui(data);
    InsertMode(*ui.ed);
    ui.At(10);
    ui.Type("12");
    Bytes expected = data;
    expected.insert(expected.begin() + 10, 0x12);
    EXPECT_EQ(ui.Data(), expected);
    EXPECT_EQ(ui.Caret(), Hex(11, 0));
    EXPECT_EQ(ui.At8(11), 10);
}

TEST(HexInput, InsertModeCaretStandsAfterTheLastByteWhereTypingAppends)
{
    Ui ui(Counting(16));  // a full row: the position after it takes a row of its own
    InsertMode(*ui.ed);
    EXPECT_EQ(ui.ed->RowCount(), 2);
    ui.At(15, true);
    ui.Key(Qt::Key_Right);
    EXPECT_EQ(ui.Caret(), Chr(16));
    ui.Type("AB");
    ui.Key(Qt::Key_Backspace);  // takes the B; the caret stays after the last byte
    EXPECT_EQ(ui.Caret(), Chr(17));
    ui.Key(Qt::Key_Tab);
    ui.Type("7");
    Bytes expected = Counting(16);
    expected.insert(expected.end(), {'A', 0x70});
    EXPECT_EQ(ui.Data(), expected);
    ui.Key(Qt::Key_End);
    EXPECT_EQ(ui.Caret(), Hex(18));
    ui.Key(Qt::Key_Insert);  // overwrite mode: back on the last byte
    EXPECT_EQ(ui.Caret(), Hex(17));
}

TEST(HexInput, InsertModeReplacesASelection)
{
    for (const bool swap : {false, true}) {
        const Bytes data = Counting(20);
        Ui ui(data);
        ui.ed->SetSwapNibbles(swap);
        ui.ed->SetSelStart(3);
        ui.ed->SetSelEnd(6);
        InsertMode(*ui.ed);
        ui.Type("9");
        Bytes expected = data;
        expected.erase(expected.begin() + 3, expected.begin() + 7);
        expected.insert(expected.begin() + 3, swap ? 0x09 : 0x90);
        EXPECT_EQ(ui.Data(), expected) << "swap " << swap;
    }
    // The same in the character pane, ANSI: the character's own code.
    const Bytes data = Counting(20);
    Ui ui(data);
    ui.At(3, true);
    ui.ed->SetSelEnd(6);
    InsertMode(*ui.ed);
    ASSERT_EQ(ui.ed->SelLength(), 4);
    ui.Type("x");
    Bytes expected = data;
    expected.erase(expected.begin() + 3, expected.begin() + 7);
    expected.insert(expected.begin() + 3, 0x78);
    EXPECT_EQ(ui.Data(), expected);
}

TEST(HexInput, CharacterPaneTypingAndTranslations)
{
    Ui ui(Counting(20));
    ui.At(2, true);
    ui.Type("A");
    EXPECT_EQ(ui.At8(2), 0x41);
    EXPECT_EQ(ui.Caret(), Chr(3));
    // Ctrl+A types the control character 0x01, which is ignored.
    ui.Key(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(ui.At8(3), 3);
    EXPECT_EQ(ui.Caret(), Chr(3));
    // Under EBCDIC the letter is stored as its EBCDIC code.
    ui.ed->SetTranslation(ttEBCDIC);
    ui.Type("A");
    EXPECT_EQ(ui.At8(3), 0xC1);
    // A character the translation cannot store (0 = below 0x20) is ignored.
    ui.Type("[");
    EXPECT_EQ(ui.At8(4), 4);
    EXPECT_EQ(ui.Caret(), Chr(4));
}

TEST(HexInput, AltReleasedTakesTheCharacterAsOem)
{
    Ui ui(Counting(20));
    ui.At(2, true);
    // Releasing Alt, then the character the keypad entry delivers.
    std::uint16_t key = platform::VK_MENU;
    ui.ed->KeyUp(key, 0);
    EXPECT_TRUE(ui.ed->AltReleased());
    ui.ed->KeyPress(0xE4);  // ä
    EXPECT_EQ(ui.At8(2), translation::AnsiToOemChar(0xE4));
    EXPECT_FALSE(ui.ed->AltReleased());
    // Even a control character is stored after Alt.
    ui.ed->KeyUp(key = platform::VK_MENU, 0);
    ui.ed->KeyPress(0x01);
    EXPECT_EQ(ui.At8(3), 0x01);
    EXPECT_EQ(ui.Caret(), Chr(4));
    // Any other key release clears it.
    ui.ed->KeyUp(key = platform::VK_MENU, 0);
    ui.ed->KeyUp(key = platform::VK_SHIFT, 0);
    EXPECT_FALSE(ui.ed->AltReleased());
}

TEST(HexInput, OnKeyPressMayReplaceTheCharacterAndReadOnlyViewDropsIt)
{
    Ui ui(Counting(20));
    ui.ed->OnKeyPress = [](platform::TCustomGrid*, std::uint8_t& ch) {
        if (ch == 'q')
            ch = 'b';
    };
    ui.At(0);
    ui.Type("q");
    EXPECT_EQ(ui.At8(0), 0xB0);
    int seen = 0;
    ui.ed->OnKeyPress = [&](platform::TCustomGrid*, std::uint8_t&) { ++seen; };
    ui.ed->SetReadOnlyView(true);
    ui.At(1);
    ui.Type("ff");
    EXPECT_EQ(seen, 2);
    EXPECT_EQ(ui.At8(1), 1);
    EXPECT_EQ(ui.Caret(), Hex(1, 0));
}

TEST(HexInput, BackspaceRules)
{
    // Overwrite mode: nothing deleted, the caret goes one column left.
    {
        Ui ui(Counting(20));
        ui.At(5);
        ui.Key(Qt::Key_Backspace);
        EXPECT_EQ(ui.ed->DataSize(), 20);
        EXPECT_EQ(ui.Caret(), Hex(4, 1));
    }
    // Insert mode: the byte before the caret goes.
    {
        Ui ui(Counting(20));
        InsertMode(*ui.ed);
        ui.At(5);
        ui.Key(Qt::Key_Backspace);
        Bytes expected = Counting(20);
        expected.erase(expected.begin() + 4);
        EXPECT_EQ(ui.Data(), expected);
        EXPECT_EQ(ui.Caret().position, 4);
    }
    // Insert mode with a selection: only the selection goes.
    {
        Ui ui(Counting(20));
        ui.ed->SetSelStart(8);
        ui.ed->SetSelEnd(10);
        InsertMode(*ui.ed);
        ui.Key(Qt::Key_Backspace);
        Bytes expected = Counting(20);
        expected.erase(expected.begin() + 8, expected.begin() + 11);
        EXPECT_EQ(ui.Data(), expected);
    }
    // ReadOnlyView: Backspace only moves.
    {
        Ui ui(Counting(20));
        InsertMode(*ui.ed);
        ui.ed->SetReadOnlyView(true);
        ui.At(5);
        ui.Key(Qt::Key_Backspace);
        EXPECT_EQ(ui.ed->DataSize(), 20);
        EXPECT_EQ(ui.Caret(), Hex(4, 1));
    }
}

TEST(HexInput, DeleteRules)
{
    // Overwrite mode: plain Delete changes nothing but clears the selection.
    {
        Ui ui(Counting(20));
        ui.ed->SetSelStart(3);
        ui.ed->SetSelEnd(4);
        ui.Key(Qt::Key_Delete);
        EXPECT_EQ(ui.ed->DataSize(), 20);
        EXPECT_EQ(ui.ed->SelLength(), 0);
        EXPECT_EQ(ui.ed->SelAnchor(), -1);
    }
    // Ctrl+Delete removes the selection, or else the byte under the caret.
    {
        Ui ui(Counting(20));
        ui.ed->SetSelStart(3);
        ui.ed->SetSelEnd(4);
        ui.Key(Qt::Key_Delete, Qt::ControlModifier);
        Bytes expected = Counting(20);
        expected.erase(expected.begin() + 3, expected.begin() + 5);
        EXPECT_EQ(ui.Data(), expected);
        ui.At(0);
        ui.Key(Qt::Key_Delete, Qt::ControlModifier);
        expected.erase(expected.begin());
        EXPECT_EQ(ui.Data(), expected);
    }
    // NoSizeChange refuses it.
    {
        Ui ui(Counting(20));
        ui.ed->SetNoSizeChange(true);
        ui.At(2);
        ui.Key(Qt::Key_Delete, Qt::ControlModifier);
        EXPECT_EQ(ui.Data(), Counting(20));
    }
    // Insert mode: the byte under the caret.
    {
        Ui ui(Counting(20));
        InsertMode(*ui.ed);
        ui.At(7);
        ui.Key(Qt::Key_Delete);
        Bytes expected = Counting(20);
        expected.erase(expected.begin() + 7);
        EXPECT_EQ(ui.Data(), expected);
    }
    // ReadOnlyView: nothing is deleted.
    {
        Ui ui(Counting(20));
        ui.ed->SetReadOnlyView(true);
        ui.At(2);
        ui.Key(Qt::Key_Delete, Qt::ControlModifier);
        EXPECT_EQ(ui.ed->DataSize(), 20);
    }
}

TEST(HexInput, InsertKeyTogglesStateAndClearsChangeMarks)
{
    Ui ui(Counting(20));
    ui.At(0);
    ui.Type("f");
    ASSERT_TRUE(ui.ed->IsByteChanged(0));
    // AllowInsertMode false: the state flips but typing still overwrites.
    ui.Key(Qt::Key_Insert);
    EXPECT_TRUE(ui.ed->InsertState());
    EXPECT_FALSE(ui.ed->IsByteChanged(0));
    EXPECT_EQ(ui.ed->CaretStyle(), csFull);
    ui.At(3);
    ui.Type("e");
    EXPECT_EQ(ui.ed->DataSize(), 20);
    EXPECT_EQ(ui.At8(3), 0xE3);
    // Allowed now: insert mode is in force at once; the next toggle makes
    // the caret a left bar (AutoCaretMode) and then back.
    ui.ed->SetAllowInsertMode(true);
    ui.Key(Qt::Key_Insert);
    EXPECT_FALSE(ui.ed->InsertModeActive());
    ui.Key(Qt::Key_Insert);
    EXPECT_TRUE(ui.ed->InsertModeActive());
    EXPECT_EQ(ui.ed->CaretStyle(), csLeftLine);
}

TEST(HexInput, PageDownAndUp)
{
    Ui ui(Pattern(1600), 700, 10);
    ASSERT_EQ(ui.ed->RowCount(), 100);
    ASSERT_EQ(ui.ed->VisibleRowCount(), 10);
    ui.At(3 * 16);
    ui.Key(Qt::Key_PageDown);
    EXPECT_EQ(ui.ed->Row(), 12);
    EXPECT_EQ(ui.ed->TopRow(), 9);
    ui.Key(Qt::Key_PageUp);
    EXPECT_EQ(ui.ed->Row(), 3);
    EXPECT_EQ(ui.ed->TopRow(), 0);
    // Ctrl: the last and first visible rows.
    ui.Key(Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(ui.ed->Row(), 9);
    ui.Key(Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(ui.ed->Row(), 0);
}

TEST(HexInput, ArrowsAtTheEdgesCountAsHandled)
{
    // Caret moves at the edges are checked by the random sequences; here
    // that the keys are kept from the grid base, which alone raises
    // OnKeyDown, and that the others reach it.
    Ui ui(Counting(40));
    std::vector<std::uint16_t> passedOn;
    ui.ed->OnKeyDown = [&](platform::TCustomGrid*, std::uint16_t& key, platform::TShiftState) {
        passedOn.push_back(key);
    };
    const auto keyDown = [&](std::uint16_t key, platform::TShiftState shift) { ui.ed->KeyDown(key, shift); };
    ui.At(4);
    keyDown(platform::VK_UP, 0);
    EXPECT_EQ(ui.Caret(), Hex(4));
    ui.At(36);
    keyDown(platform::VK_DOWN, 0);
    EXPECT_EQ(ui.Caret(), Hex(36));
    EXPECT_TRUE(passedOn.empty());
    keyDown(platform::VK_LEFT, platform::ssCtrl);
    keyDown('Q', 0);
    EXPECT_EQ(passedOn, (std::vector<std::uint16_t>{platform::VK_LEFT, 'Q'}));
}

TEST(HexInput, MarkersSetAndJumpedTo)
{
    Ui ui(Pattern(400));
    ui.At(7 * 16 + 5, true);
    ui.Key(Qt::Key_3, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(ui.ed->MarkerRow(3), 7);
    EXPECT_EQ(ui.ed->MarkerOnRow(7), 3);
    ui.At(20);
    const std::uint8_t before = ui.At8(20);
    ui.Key(Qt::Key_3, Qt::ControlModifier);
    EXPECT_EQ(ui.ed->Row(), 7);
    EXPECT_EQ(ui.ed->Col(), 2);
    EXPECT_EQ(ui.At8(20), before) << "Ctrl+3 types no digit";
    // An unset marker jumps to the first hex cell of the current row.
    ui.At(7 * 16 + 9, true);
    ui.Key(Qt::Key_5, Qt::ControlModifier);
    EXPECT_EQ(ui.Caret(), Hex(7 * 16));
}

TEST(HexInput, MarkerBeyondShrunkDataIsCleared)
{
    Ui ui(Pattern(400));
    ui.ed->SetMarker(4, 30);  // 25 rows
    ui.At(5);
    ui.Key(Qt::Key_4, Qt::ControlModifier);
    EXPECT_EQ(ui.Caret(), Hex(5));
    EXPECT_EQ(ui.ed->MarkerOnRow(30), -1);
}

TEST(HexInput, TabAndCtrlTSwitchPanes)
{
    Ui ui(Counting(20));
    ui.At(8);
    ui.Key(Qt::Key_Tab);
    EXPECT_EQ(ui.Caret(), Chr(8));
    ui.Key(Qt::Key_T, Qt::ControlModifier);
    EXPECT_EQ(ui.Caret(), Hex(8));
    EXPECT_EQ(ui.At8(8), 8) << "Ctrl+T types nothing";
    // Without WantTabs the Tab key is not the editor's; Ctrl+T still is.
    ui.ed->SetWantTabs(false);
    std::uint16_t key = platform::VK_TAB;
    ui.ed->KeyDown(key, 0);
    EXPECT_EQ(ui.Caret(), Hex(8));
    ui.Key(Qt::Key_T, Qt::ControlModifier);
    EXPECT_EQ(ui.Caret(), Chr(8));
}

TEST(HexInput, ShiftRightSelectsAtNibbleSteps)
{
    Ui ui(Counting(20));
    ui.At(4);
    QTest::keyPress(ui.ed.get(), Qt::Key_Shift);
    EXPECT_TRUE(ui.ed->Selecting());
    for (int i = 0; i < 3; ++i)
        ui.Key(Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyRelease(ui.ed.get(), Qt::Key_Shift);
    EXPECT_EQ(ui.Caret(), Hex(5, 1));
    EXPECT_EQ(ui.ed->SelStart(), 4);
    EXPECT_EQ(ui.ed->SelEnd(), 5);
    EXPECT_EQ(ui.ed->SelLength(), 2);
    ui.Key(Qt::Key_Right);
    EXPECT_EQ(ui.ed->SelLength(), 0);
    EXPECT_FALSE(ui.ed->Selecting());
}

TEST(HexInput, DialogCodeFollowsWantTabs)
{
    HexEditorProbe ed;
    EXPECT_EQ(ed.DialogCode() & (platform::DLGC_WANTARROWS | platform::DLGC_WANTCHARS),
              unsigned(platform::DLGC_WANTARROWS | platform::DLGC_WANTCHARS));
    EXPECT_TRUE(ed.DialogCode() & platform::DLGC_WANTTAB);
    ed.SetWantTabs(false);
    EXPECT_FALSE(ed.DialogCode() & platform::DLGC_WANTTAB);
    EXPECT_TRUE(ed.DialogCode() & platform::DLGC_WANTCHARS);
}
