// SPDX-License-Identifier: GPL-3.0-or-later
// Selection and editing commands of the byte editor, with the undo records
// they write decoded field by field.
#include "EditingSupport.h"

#include "platform/system/Exceptions.h"

#include <gtest/gtest.h>

using namespace editingtest;

TEST(EditingSelection, CutTo500BytesLeavesOneRecordOf537Bytes)
{
    const Bytes data = Pattern(1000);
    Doc doc(data);
    doc->SetSelStart(500);
    doc->SetSelEnd(doc->DataSize() - 1);
    EXPECT_EQ(doc->SelLength(), 500);
    doc->DeleteSelection();

    EXPECT_EQ(doc->DataSize(), 500);
    EXPECT_EQ(Contents(*doc), Bytes(data.begin(), data.begin() + 500));
    EXPECT_EQ(doc->SelLength(), 0);
    EXPECT_EQ(doc->SelAnchor(), -1);
    EXPECT_TRUE(doc->Modified());
    EXPECT_TRUE(doc->CanUndo());
    EXPECT_EQ(doc->UndoDescription(), "Byte(s) removed");
    EXPECT_EQ(doc->UndoCount(), 1);
    ASSERT_EQ(doc->UndoLog().size(), 537u);

    const UndoRecord r = Newest(*doc);
    EXPECT_EQ(r.kind, UndoKind::BytesRemoved);
    EXPECT_FALSE(r.mark);
    EXPECT_FALSE(r.modified);
    EXPECT_EQ(r.view.caret, 500);
    EXPECT_EQ(r.view.selLow, 500);
    EXPECT_EQ(r.view.selHigh, 999);
    EXPECT_EQ(r.view.selAnchor, 500);
    EXPECT_EQ(r.position, 500);
    EXPECT_EQ(r.count, 500);
    EXPECT_EQ(r.replaced, 0);
    EXPECT_EQ(r.saved, Bytes(data.begin() + 500, data.end()));
    EXPECT_EQ(LengthOf(r), 537u);
    // The caret lands on the last remaining byte.
    EXPECT_EQ(doc->CaretPosition(), 499);
}

TEST(EditingSelection, AssignmentsOutsideTheDocumentRaiseAndChangeNothing)
{
    Doc empty(Bytes{});
    EXPECT_EQ(testsupport::ErrorMessageOf([&] { empty->SetSelStart(0); }), "Invalid SelStart");
    EXPECT_EQ(testsupport::ErrorMessageOf([&] { empty->SetSelEnd(0); }), "Invalid SelEnd");
    EXPECT_EQ(empty->CaretPosition(), 0);
    EXPECT_FALSE(empty->SeekCaret(0, 0, false));

    Doc doc(Pattern(40));
    doc->SetSelStart(10);
    doc->SetSelEnd(12);
    for (std::int32_t p : {-1, 40, 1000}) {
        EXPECT_EQ(testsupport::ErrorMessageOf([&] { doc->SetSelStart(p); }), "Invalid SelStart");
        EXPECT_EQ(testsupport::ErrorMessageOf([&] { doc->SetSelEnd(p); }), "Invalid SelEnd");
    }
    EXPECT_EQ(doc->SelLow(), 10);
    EXPECT_EQ(doc->SelHigh(), 12);
    EXPECT_EQ(CaretOf(*doc).position, 10);
}

TEST(EditingSelection, SelEndFromACaretBehindSelectsBackwards)
{
    Doc doc(Pattern(40));
    doc->SetSelStart(7);
    EXPECT_EQ(doc->SelStart(), 7);
    EXPECT_EQ(doc->SelEnd(), 7);
    EXPECT_EQ(doc->SelLength(), 0);
    doc->SetSelEnd(3);
    EXPECT_EQ(doc->SelLow(), 3);
    EXPECT_EQ(doc->SelHigh(), 7);
    EXPECT_EQ(doc->SelAnchor(), 7);
    EXPECT_EQ(doc->SelStart(), 7);
    EXPECT_EQ(doc->SelEnd(), 3);
    EXPECT_EQ(doc->SelLength(), 5);
    EXPECT_EQ(CaretOf(*doc).position, 7);  // the caret stays

    doc->SetSelStart(2);
    doc->SetSelEnd(5);
    EXPECT_EQ(doc->SelStart(), 2);
    EXPECT_EQ(doc->SelEnd(), 5);
    EXPECT_EQ(doc->SelLength(), 4);
}

TEST(EditingSelection, SelStartKeepsThePaneAndClearsTheSelection)
{
    Doc doc(Pattern(100));
    MoveCaret(*doc, 20, true);
    doc->SetSelEnd(30);
    doc->SetSelStart(50);
    EXPECT_EQ(doc->SelAnchor(), -1);
    EXPECT_EQ(CaretOf(*doc), (Caret{50, true, 0}));
    EXPECT_EQ(doc->Col(), doc->HexColumns() + 3 + 2);  // 50 = row 3, index 2
    EXPECT_EQ(doc->Row(), 3);
}

TEST(EditingSelection, DeletingASelectionCutsChangeMarksAtItsStartEvenWhenRefused)
{
    Doc doc(Pattern(64));
    for (std::int32_t p : {5, 20, 40})
        doc->ChangeByte(p, doc->ReadByte(p), static_cast<std::uint8_t>(~doc->ReadByte(p)), p / 16);
    doc->SetSelStart(35);
    doc->SetSelEnd(30);  // the caret stays on byte 35
    doc->SetNoSizeChange(true);
    doc->DeleteSelection();
    EXPECT_EQ(doc->DataSize(), 64);
    EXPECT_EQ(doc->ChangedBytes().size(), 30u);
    EXPECT_TRUE(doc->IsByteChanged(20));

    // Allowed: bytes 30..35 go, and the caret lands on the first one's cell.
    doc->SetNoSizeChange(false);
    doc->DeleteSelection();
    const UndoRecord r = Newest(*doc);
    EXPECT_EQ(r.position, 30);
    EXPECT_EQ(r.count, 6);
    EXPECT_EQ(doc->Col(), 2 + 2 * 14);
    EXPECT_EQ(doc->Row(), 1);
}

TEST(EditingCommands, DeleteSelectionWithoutSelectionRemovesTheCaretByte)
{
    const Bytes data = Pattern(30);
    Doc doc(data);
    MoveCaret(*doc, 12, false, 1);
    doc->DeleteSelection();
    Bytes expected = data;
    expected.erase(expected.begin() + 12);
    EXPECT_EQ(Contents(*doc), expected);
    const UndoRecord r = Newest(*doc);
    EXPECT_EQ(r.kind, UndoKind::BytesRemoved);
    EXPECT_EQ(r.position, 12);
    EXPECT_EQ(r.count, 1);
    EXPECT_EQ(r.view.nibble, 1);
    EXPECT_EQ(r.view.selLow, -1);
    EXPECT_EQ(r.saved, Bytes{data[12]});
    EXPECT_EQ(LengthOf(r), 38u);
}

TEST(EditingCommands, DeleteCaretByteBothWays)
{
    const Bytes data = Pattern(30);
    Doc doc(data);
    doc->SetSelStart(10);
    doc->DeleteCaretByte(true);  // removes byte 9, caret to 9
    Bytes expected = data;
    expected.erase(expected.begin() + 9);
    EXPECT_EQ(Contents(*doc), expected);
    EXPECT_EQ(doc->CaretPosition(), 9);
    EXPECT_EQ(Newest(*doc).position, 9);
    EXPECT_EQ(Newest(*doc).view.caret, 10);

    doc->DeleteCaretByte(false);  // removes byte 9 (the old byte 10)
    expected.erase(expected.begin() + 9);
    EXPECT_EQ(Contents(*doc), expected);
    EXPECT_EQ(doc->CaretPosition(), 9);

    doc->SetSelStart(0);
    doc->DeleteCaretByte(true);  // nothing before the first byte
    EXPECT_EQ(doc->UndoCount(), 2);

    doc->SetSelStart(doc->DataSize() - 1);
    doc->DeleteCaretByte(false);  // the last byte; the caret stays on the new last one
    expected.pop_back();
    EXPECT_EQ(Contents(*doc), expected);
    EXPECT_EQ(doc->CaretPosition(), doc->DataSize() - 1);
}

TEST(EditingCommands, EditsOnAnEmptyDocumentAreRefusedExceptInsertAndAppend)
{
    Doc doc(Bytes{});
    doc->DeleteSelection();
    doc->DeleteCaretByte(false);
    doc->DeleteCaretByte(true);
    doc->ChangeByte(0, 0, 5, 0);
    doc->ReplaceSelection(nullptr, 0);
    EXPECT_EQ(doc->UndoCount(), 1);  // only the empty insert of ReplaceSelection
    EXPECT_EQ(doc->DataSize(), 0);

    Doc fresh(Bytes{});
    const Bytes three{1, 2, 3};
    fresh->InsertBuffer(three.data(), 3, 0);
    EXPECT_TRUE(fresh->HasWorkingFile());
    EXPECT_EQ(Contents(*fresh), three);
    EXPECT_EQ(fresh->SelLow(), 0);
    EXPECT_EQ(fresh->SelHigh(), 2);
    EXPECT_TRUE(fresh->Modified());

    Doc other(Bytes{});
    other->AppendBuffer(three.data(), 3);
    EXPECT_TRUE(other->HasWorkingFile());
    EXPECT_EQ(Contents(*other), three);
    EXPECT_EQ(other->SelAnchor(), 0);
    EXPECT_EQ(other->SelHigh(), 2);
    const UndoRecord r = Newest(*other);
    EXPECT_EQ(r.kind, UndoKind::AppendBuffer);
    EXPECT_EQ(r.position, 0);
    EXPECT_EQ(r.count, 3);
    EXPECT_EQ(r.saved, Bytes{0});
    EXPECT_EQ(LengthOf(r), 38u);
}

TEST(EditingCommands, NoSizeChangeRefusesLengthChangesAndClipsReplacements)
{
    const Bytes data = Pattern(40);
    Doc doc(data);
    doc->SetNoSizeChange(true);
    const Bytes six{0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6};

    doc->SetSelStart(4);
    doc->SetSelEnd(7);
    doc->DeleteSelection();
    doc->InsertBuffer(six.data(), 6, 3);
    doc->AppendBuffer(six.data(), 6);
    doc->DeleteCaretByte(false);
    EXPECT_EQ(Contents(*doc), data);
    EXPECT_EQ(doc->UndoCount(), 0);
    EXPECT_FALSE(doc->Modified());

    // Four selected bytes, six given: only the first four are written.
    doc->SetSelStart(4);
    doc->SetSelEnd(7);
    doc->ReplaceSelection(six.data(), 6);
    Bytes expected = data;
    std::copy(six.begin(), six.begin() + 4, expected.begin() + 4);
    EXPECT_EQ(Contents(*doc), expected);
    UndoRecord r = Newest(*doc);
    EXPECT_EQ(r.kind, UndoKind::ReplaceSelection);
    EXPECT_EQ(r.count, 4);
    EXPECT_EQ(r.replaced, 4);
    EXPECT_EQ(r.saved, Bytes(data.begin() + 4, data.begin() + 8));
    EXPECT_EQ(LengthOf(r), 41u);

    // Four selected (backwards), two given: only the first two selected bytes change.
    doc->SetSelStart(23);
    doc->SetSelEnd(20);
    doc->ReplaceSelection(six.data(), 2);
    expected[20] = six[0];
    expected[21] = six[1];
    EXPECT_EQ(Contents(*doc), expected);
    r = Newest(*doc);
    EXPECT_EQ(r.position, 20);
    EXPECT_EQ(r.count, 2);
    EXPECT_EQ(r.replaced, 2);

    // Overwriting a byte stays allowed.
    doc->ChangeByte(0, expected[0], static_cast<std::uint8_t>(expected[0] ^ 0xFF), 0);
    expected[0] ^= 0xFF;
    EXPECT_EQ(Contents(*doc), expected);
    EXPECT_EQ(doc->DataSize(), 40);
    EXPECT_EQ(doc->UndoCount(), 3);
}

TEST(EditingCommands, ChangeByteRecordsTheOldByteAndItsMark)
{
    const Bytes data = Pattern(40);
    Doc doc(data);
    doc->ChangeByte(17, data[17], data[17], 1);
    EXPECT_EQ(doc->UndoCount(), 0);
    EXPECT_FALSE(doc->Modified());

    MoveCaret(*doc, 17, false, 1);
    doc->ChangeByte(17, data[17], 0x5A, 1);
    EXPECT_EQ(doc->ReadByte(17), 0x5A);
    EXPECT_TRUE(doc->IsByteChanged(17));
    doc->ChangeByte(17, 0x5A, 0x5B, 1);
    const auto records = Records(doc->UndoLog());
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].kind, UndoKind::ByteChanged);
    EXPECT_FALSE(records[0].mark);
    EXPECT_FALSE(records[0].modified);
    EXPECT_EQ(records[0].view.caret, 17);
    EXPECT_EQ(records[0].view.nibble, 1);
    EXPECT_FALSE(records[0].view.charPane);
    EXPECT_EQ(records[0].position, 17);
    EXPECT_EQ(records[0].count, 1);
    EXPECT_EQ(records[0].saved, Bytes{data[17]});
    EXPECT_EQ(LengthOf(records[0]), 38u);
    EXPECT_TRUE(records[1].mark);
    EXPECT_TRUE(records[1].modified);
    EXPECT_EQ(records[1].saved, Bytes{0x5A});

    // Past the end nothing is written: the document must not grow.
    doc->ChangeByte(40, 0, 1, 2);
    EXPECT_EQ(doc->DataSize(), 40);
    EXPECT_EQ(doc->UndoCount(), 2);
}

TEST(EditingCommands, InsertBufferSelectsTheNewBytesOnlyAtTheCaret)
{
    const Bytes data = Pattern(40);
    Doc doc(data);
    for (std::int32_t p : {2, 30})
        doc->ChangeByte(p, data[p], static_cast<std::uint8_t>(~data[p]), p / 16);
    Bytes expected = Contents(*doc);
    MoveCaret(*doc, 10, true);
    doc->SetSelEnd(12);
    const Bytes ins{9, 8, 7};
    doc->InsertBuffer(ins.data(), 3, 10);
    expected.insert(expected.begin() + 10, ins.begin(), ins.end());
    EXPECT_EQ(Contents(*doc), expected);
    EXPECT_EQ(doc->SelAnchor(), 10);
    EXPECT_EQ(doc->SelLow(), 10);
    EXPECT_EQ(doc->SelHigh(), 12);
    EXPECT_EQ(doc->ChangedBytes().size(), 10u);
    EXPECT_TRUE(doc->IsByteChanged(2));

    const UndoRecord r = Newest(*doc);
    EXPECT_EQ(r.kind, UndoKind::InsertBuffer);
    EXPECT_EQ(r.view.caret, 10);
    EXPECT_TRUE(r.view.charPane);
    EXPECT_EQ(r.view.selLow, 10);
    EXPECT_EQ(r.view.selHigh, 12);
    EXPECT_EQ(r.view.selAnchor, 10);
    EXPECT_EQ(r.position, 10);
    EXPECT_EQ(r.count, 3);
    EXPECT_EQ(r.saved, Bytes{0});
    EXPECT_EQ(LengthOf(r), 38u);
    EXPECT_EQ(doc->UndoDescription(), "Insert buffer");

    doc->SetSelStart(0);
    doc->InsertBuffer(ins.data(), 3, 20);  // away from the caret: no selection
    EXPECT_EQ(doc->SelAnchor(), -1);
    // Positions past the end and negative counts are ignored.
    doc->InsertBuffer(ins.data(), 3, doc->DataSize() + 1);
    doc->InsertBuffer(ins.data(), -3, 0);
    EXPECT_EQ(doc->DataSize(), 46);
    EXPECT_EQ(doc->UndoCount(), 4);
}

TEST(EditingCommands, AppendBufferPlacesTheCaretOnTheFirstNewByte)
{
    const Bytes data = Pattern(40);
    Doc doc(data);
    MoveCaret(*doc, 5, true);
    const Bytes more{1, 2, 3, 4};
    doc->AppendBuffer(more.data(), 4);
    Bytes expected = data;
    expected.insert(expected.end(), more.begin(), more.end());
    EXPECT_EQ(Contents(*doc), expected);
    EXPECT_EQ(CaretOf(*doc), (Caret{40, true, 0}));
    EXPECT_EQ(doc->SelAnchor(), 40);
    EXPECT_EQ(doc->SelHigh(), 43);
    EXPECT_EQ(doc->UndoDescription(), "Append buffer");
    EXPECT_EQ(Newest(*doc).position, 40);
    EXPECT_EQ(Newest(*doc).count, 4);
}

TEST(EditingCommands, ReplaceSelectionKeepsTheCaretAndSelectsTheNewBytes)
{
    const Bytes data = Pattern(40);
    Doc doc(data);
    doc->SetSelStart(10);
    doc->SetSelEnd(14);
    const Bytes two{0xEE, 0xDD};
    doc->ReplaceSelection(two.data(), 2);
    Bytes expected = data;
    expected.erase(expected.begin() + 10, expected.begin() + 15);
    expected.insert(expected.begin() + 10, two.begin(), two.end());
    EXPECT_EQ(Contents(*doc), expected);
    EXPECT_EQ(CaretOf(*doc).position, 10);
    EXPECT_EQ(doc->SelLow(), 10);
    EXPECT_EQ(doc->SelHigh(), 11);
    const UndoRecord r = Newest(*doc);
    EXPECT_EQ(r.kind, UndoKind::ReplaceSelection);
    EXPECT_EQ(r.position, 10);
    EXPECT_EQ(r.count, 2);
    EXPECT_EQ(r.replaced, 5);
    EXPECT_EQ(r.saved, Bytes(data.begin() + 10, data.begin() + 15));
    EXPECT_EQ(LengthOf(r), 42u);

    // A selection made backwards: the caret is not at its start, so it stays
    // where the deletion put it and nothing is selected.
    doc->SetSelStart(30);
    doc->SetSelEnd(25);
    doc->ReplaceSelection(two.data(), 2);
    expected.erase(expected.begin() + 25, expected.begin() + 31);
    expected.insert(expected.begin() + 25, two.begin(), two.end());
    EXPECT_EQ(Contents(*doc), expected);
    EXPECT_EQ(doc->SelAnchor(), -1);
    EXPECT_EQ(CaretOf(*doc).position, 25);

    // Without a selection the bytes are inserted at the caret.
    doc->SetSelStart(3);
    doc->ReplaceSelection(two.data(), 2);
    EXPECT_EQ(Newest(*doc).kind, UndoKind::InsertBuffer);
    EXPECT_EQ(doc->SelLow(), 3);
    EXPECT_EQ(doc->SelHigh(), 4);
}

TEST(EditingCommands, AnInvertedInsertModeSelectionSelectsNothing)
{
    const Bytes data = Pattern(40);
    Doc doc(data);
    doc->SetAllowInsertMode(true);
    doc->SetInsertState(true);
    doc->SetSelStart(5);
    auto to = doc->PositionToCell(9, false);
    doc->ExtendSelection(doc->Col(), doc->Row(), to.col, to.row);
    EXPECT_EQ(doc->SelAnchor(), 5);  // gaps before bytes 5 and 9: bytes 5..8
    EXPECT_EQ(doc->SelHigh(), 8);
    // Back to the anchor: the range is empty.
    to = doc->PositionToCell(5, false);
    doc->ExtendSelection(doc->Col(), doc->Row(), to.col, to.row);
    EXPECT_EQ(doc->SelLow(), 5);
    EXPECT_EQ(doc->SelHigh(), 4);
    EXPECT_EQ(doc->SelLength(), 0);

    doc->DeleteSelection();
    EXPECT_EQ(Contents(*doc), data);
    EXPECT_EQ(doc->UndoCount(), 0);

    to = doc->PositionToCell(9, false);
    doc->ExtendSelection(doc->Col(), doc->Row(), to.col, to.row);
    to = doc->PositionToCell(5, false);
    doc->ExtendSelection(doc->Col(), doc->Row(), to.col, to.row);
    const Bytes one{0x77};
    doc->ReplaceSelection(one.data(), 1);  // inserts into the gap, removes nothing
    Bytes expected = data;
    expected.insert(expected.begin() + 5, 0x77);
    EXPECT_EQ(Contents(*doc), expected);
    ASSERT_EQ(doc->UndoCount(), 1);
    EXPECT_EQ(Newest(*doc).kind, UndoKind::InsertBuffer);
    EXPECT_EQ(doc->SelLow(), 5);
    EXPECT_EQ(doc->SelHigh(), 5);
}

TEST(EditingCommands, SeekCaretOriginsAndStrictness)
{
    Doc doc(Pattern(50));
    EXPECT_TRUE(doc->SeekCaret(10, 0, true));
    EXPECT_EQ(doc->CaretPosition(), 10);
    EXPECT_TRUE(doc->SeekCaret(5, 1, true));
    EXPECT_EQ(doc->CaretPosition(), 15);
    EXPECT_TRUE(doc->SeekCaret(-3, 2, true));
    EXPECT_EQ(doc->CaretPosition(), 46);
    EXPECT_FALSE(doc->SeekCaret(4, 1, true));
    EXPECT_EQ(doc->CaretPosition(), 46);
    EXPECT_TRUE(doc->SeekCaret(4, 1, false));
    EXPECT_EQ(doc->CaretPosition(), 49);
    EXPECT_FALSE(doc->SeekCaret(-1, 0, true));
    EXPECT_TRUE(doc->SeekCaret(-100, 0, false));
    EXPECT_EQ(doc->CaretPosition(), 0);
    doc->SetSelStart(7);
    EXPECT_TRUE(doc->SeekCaret(999, 9, true));  // other origins stay at the caret
    EXPECT_EQ(doc->CaretPosition(), 7);
}

TEST(EditingCells, EmptyEditorAcceptsOnlyTheFirstHexCell)
{
    Doc doc(Bytes{});
    doc->SetCurrentCell(3, 0, true);
    doc->SetCurrentCell(doc->HexColumns() + 3, 0, true);
    EXPECT_EQ(doc->Col(), 2);
    EXPECT_EQ(doc->Row(), 0);
}

TEST(EditingCells, PastTheLastByteLandsOnItInTheCaretsPane)
{
    Doc doc(Pattern(20));
    MoveCaret(*doc, 3, true);
    doc->SetCurrentCell(doc->HexColumns() + 3 + 9, 1, true);  // byte 25
    EXPECT_EQ(CaretOf(*doc), (Caret{19, true, 0}));
    MoveCaret(*doc, 3, false, 1);
    doc->SetCurrentCell(2 + 2 * 12, 1, true);  // byte 28, hex pane
    EXPECT_EQ(CaretOf(*doc), (Caret{19, false, 0}));
    // The separator column cannot become current from the keyboard.
    doc->SetCurrentCell(doc->HexColumns() + 2, 0, true);
    EXPECT_EQ(CaretOf(*doc), (Caret{19, false, 0}));
}

TEST(EditingCells, APlainMoveEndsTheSelection)
{
    Doc doc(Pattern(64));
    doc->SetSelStart(4);
    doc->SetSelEnd(9);
    doc->SetSelecting(true);
    // Neither Shift nor the left button is down: the move clears the
    // selection and the selection in progress.
    MoveCaret(*doc, 20, false);
    EXPECT_EQ(doc->SelAnchor(), -1);
    EXPECT_FALSE(doc->Selecting());
    EXPECT_EQ(CaretOf(*doc).position, 20);
}
