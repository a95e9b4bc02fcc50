// SPDX-License-Identifier: GPL-3.0-or-later
// The undo log's limit and reset, and Undo replaying each kind of record.
#include "EditingSupport.h"

#include <gtest/gtest.h>

using namespace editingtest;

namespace {

// What Undo must give back.
struct State {
    Bytes bytes;
    bool modified;
    Caret caret;
    std::int32_t anchor, low, high;
    std::vector<bool> marks;
};

State Capture(HexEditorProbe& ed)
{
    return State{Contents(ed), ed.Modified(), CaretOf(ed), ed.SelAnchor(), ed.SelLow(), ed.SelHigh(), ed.ChangedBytes()};
}

void ExpectRestored(HexEditorProbe& ed, const State& s, bool marksToo = true)
{
    EXPECT_EQ(Contents(ed), s.bytes);
    EXPECT_EQ(ed.Modified(), s.modified);
    EXPECT_EQ(CaretOf(ed), s.caret);
    EXPECT_EQ(ed.SelAnchor(), s.anchor);
    EXPECT_EQ(ed.SelLow(), s.low);
    EXPECT_EQ(ed.SelHigh(), s.high);
    if (marksToo) {
        // Trailing cleared marks carry no meaning.
        auto trimmed = [](std::vector<bool> v) {
            while (!v.empty() && !v.back())
                v.pop_back();
            return v;
        };
        EXPECT_EQ(trimmed(ed.ChangedBytes()), trimmed(s.marks));
    }
}

}  // namespace

TEST(UndoLog, KeepsTheNewestHundredRecords)
{
    Doc doc(Pattern(200));
    for (std::int32_t i = 0; i < 101; ++i)
        doc->ChangeByte(i, doc->ReadByte(i), static_cast<std::uint8_t>(doc->ReadByte(i) ^ 0x55), i / 16);
    EXPECT_EQ(doc->UndoCount(), 100);
    EXPECT_EQ(doc->UndoLog().size(), 100u * 38u);
    const auto records = Records(doc->UndoLog());
    ASSERT_EQ(records.size(), 100u);
    EXPECT_EQ(records.front().position, 1);  // the first edit's record is gone
    EXPECT_TRUE(records.front().modified);
    EXPECT_EQ(records.back().position, 100);

    // Records of different lengths are dropped whole.
    const Bytes chunk(300, 0x11);
    doc->SetSelStart(0);
    doc->SetSelEnd(149);
    doc->DeleteSelection();  // one long record at the end
    for (int i = 0; i < 99; ++i)
        doc->ChangeByte(0, doc->ReadByte(0), static_cast<std::uint8_t>(doc->ReadByte(0) + 1), 0);
    ASSERT_EQ(Records(doc->UndoLog()).front().kind, UndoKind::BytesRemoved);
    doc->ChangeByte(0, doc->ReadByte(0), static_cast<std::uint8_t>(doc->ReadByte(0) + 1), 0);
    EXPECT_EQ(doc->UndoCount(), 100);
    EXPECT_EQ(doc->UndoLog().size(), 100u * 38u);
    EXPECT_EQ(Records(doc->UndoLog()).front().kind, UndoKind::ByteChanged);
}

TEST(UndoLog, ASaveEmptiesTheLogAndRaisesStateChangedAtOnce)
{
    Doc doc(Pattern(10));
    doc->ChangeByte(1, doc->ReadByte(1), static_cast<std::uint8_t>(doc->ReadByte(1) + 1), 0);
    ASSERT_TRUE(doc->CanUndo());
    int raised = 0;
    doc->OnStateChanged = [&](THexEditor* sender) {
        EXPECT_EQ(sender, doc.ed.get());
        ++raised;
    };
    ASSERT_FALSE(doc->testAttribute(Qt::WA_WState_Created));  // no window
    ASSERT_TRUE(doc->SaveToFile(doc.dir / "saved.bin"));
    EXPECT_EQ(raised, 1);
    EXPECT_FALSE(doc->CanUndo());
    EXPECT_EQ(doc->UndoDescription(), "No Undo");
    EXPECT_EQ(doc->UndoCount(), 0);
    EXPECT_TRUE(doc->UndoLog().empty());
    EXPECT_FALSE(doc->Undo());
}

TEST(UndoReplay, ChangeByteRestoresTheByteItsMarkAndModified)
{
    Doc doc(Pattern(40));
    MoveCaret(*doc, 21, false, 1);
    doc->SetSelEnd(25);
    const State before = Capture(*doc);
    doc->ChangeByte(21, doc->ReadByte(21), static_cast<std::uint8_t>(doc->ReadByte(21) ^ 1), 1);
    doc->SetSelStart(3);
    const State middle = Capture(*doc);
    doc->ChangeByte(21, doc->ReadByte(21), static_cast<std::uint8_t>(doc->ReadByte(21) ^ 2), 1);
    EXPECT_EQ(doc->UndoDescription(), "Byte changed");

    ASSERT_TRUE(doc->Undo());
    ExpectRestored(*doc, middle);
    EXPECT_TRUE(doc->IsByteChanged(21));
    EXPECT_TRUE(doc->CanUndo());
    ASSERT_TRUE(doc->Undo());
    ExpectRestored(*doc, before);
    EXPECT_FALSE(doc->IsByteChanged(21));
    EXPECT_FALSE(doc->CanUndo());
    EXPECT_EQ(doc->UndoDescription(), "No Undo");
    EXPECT_FALSE(doc->Undo());
}

TEST(UndoReplay, EveryCommandIsUndoneWithCaretAndSelection)
{
    const Bytes data = Pattern(100);
    Doc doc(data);
    std::vector<State> states;
    const Bytes four{1, 2, 3, 4};

    MoveCaret(*doc, 40, true);
    doc->SetSelEnd(59);
    states.push_back(Capture(*doc));
    doc->DeleteSelection();  // kind 1

    MoveCaret(*doc, 7, false, 1);
    states.push_back(Capture(*doc));
    doc->InsertBuffer(four.data(), 4, 7);  // kind 2, selects 7..10

    states.push_back(Capture(*doc));
    doc->ReplaceSelection(four.data(), 2);  // kind 3

    doc->SetSelStart(70);
    states.push_back(Capture(*doc));
    doc->AppendBuffer(four.data(), 4);  // kind 4

    doc->SetSelStart(12);
    states.push_back(Capture(*doc));
    doc->DeleteCaretByte(true);  // kind 1

    std::vector<int> kinds;
    for (const auto& r : Records(doc->UndoLog()))
        kinds.push_back(static_cast<int>(r.kind));
    EXPECT_EQ(kinds, (std::vector<int>{1, 2, 3, 4, 1}));

    const char* descriptions[] = {"Append buffer", "Replace selection", "Insert buffer", "Byte(s) removed", "No Undo"};
    for (int i = 4; i >= 0; --i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(doc->Undo());
        ExpectRestored(*doc, states[static_cast<std::size_t>(i)]);
        EXPECT_EQ(doc->UndoDescription(), descriptions[4 - i]);
    }
    EXPECT_EQ(Contents(*doc), data);
    EXPECT_FALSE(doc->Modified());
    EXPECT_FALSE(doc->CanUndo());
}

TEST(UndoReplay, AppendToAnEmptyDocumentIsUndoneToEmpty)
{
    Doc doc(Bytes{});
    const Bytes three{7, 8, 9};
    doc->AppendBuffer(three.data(), 3);
    doc->InsertBuffer(three.data(), 3, 1);
    ASSERT_TRUE(doc->Undo());
    EXPECT_EQ(Contents(*doc), three);
    ASSERT_TRUE(doc->Undo());
    EXPECT_EQ(doc->DataSize(), 0);
    EXPECT_FALSE(doc->Modified());
    EXPECT_EQ(doc->Col(), 2);
    EXPECT_EQ(doc->Row(), 0);
    EXPECT_EQ(doc->SelAnchor(), -1);
}

TEST(UndoReplay, NoSizeChangeRefusesToUndoALengthChange)
{
    const Bytes data = Pattern(30);
    Doc doc(data);
    doc->SetSelStart(5);
    doc->DeleteSelection();
    doc->SetNoSizeChange(true);
    EXPECT_FALSE(doc->Undo());
    EXPECT_EQ(doc->DataSize(), 29);
    EXPECT_EQ(doc->UndoCount(), 1);
    doc->SetNoSizeChange(false);
    EXPECT_TRUE(doc->Undo());
    EXPECT_EQ(Contents(*doc), data);
}
