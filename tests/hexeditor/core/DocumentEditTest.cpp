// SPDX-License-Identifier: GPL-3.0-or-later
// The document core's gate, undo records and Undo, driven without a widget:
// the view's caret and selection are plain values handed in and back.
#include "DocumentFixture.h"

#include "hexeditor/core/WorkingCopy.h"
#include "platform/system/FileUtils.h"

#include <string>

using Document = testsupport::DocumentProbe;
using hexcore::UndoKind;
using hexcore::UndoRecord;
using hexcore::ViewSnapshot;
using testsupport::Bytes;
using testsupport::Pattern;

namespace {

// Counts what the document reports.
struct Reports : hexcore::DocumentListener {
    int length = 0, state = 0, undoReset = 0, replaced = 0;
    void LengthChanged() override { ++length; }
    void StateChanged() override { ++state; }
    void UndoReset() override { ++undoReset; }
    void Replaced() override { ++replaced; }
};

}  // namespace

TEST_F(DocumentTest, TheGateRefusesEditsOfAnEmptyDocumentExceptInsertingAndAppending)
{
    auto d = NewDocument();
    Reports reports;
    d->SetListener(&reports);
    EXPECT_FALSE(d->PrepareChange(UndoKind::BytesRemoved, 0, 0, 1, {}));
    EXPECT_FALSE(d->PrepareChange(UndoKind::ByteChanged, 0, 0, 1, {}));
    EXPECT_FALSE(d->PrepareChange(UndoKind::ReplaceSelection, 0, 1, 1, {}));
    EXPECT_FALSE(d->Modified());
    EXPECT_FALSE(d->Undos().CanUndo());
    EXPECT_TRUE(d->Undos().Bytes().empty());
    EXPECT_EQ(reports.state, 3) << "a refused edit is reported too";

    EXPECT_TRUE(d->PrepareChange(UndoKind::InsertBuffer, 0, 0, 3, {}));
    EXPECT_TRUE(d->PrepareChange(UndoKind::AppendBuffer, 0, 0, 3, {}));
    EXPECT_TRUE(d->Modified());
    EXPECT_EQ(d->Undos().Count(), 2);
    EXPECT_EQ(d->Undos().Description(), "Append buffer");
}

TEST_F(DocumentTest, NoSizeChangeLetsThroughOnlyEditsThatKeepTheLength)
{
    struct Case {
        UndoKind kind;
        std::int32_t replaced, count;
        bool allowed;
    };
    const Case cases[] = {
        {UndoKind::ByteChanged, 0, 1, true},       {UndoKind::BytesRemoved, 0, 1, false},
        {UndoKind::InsertBuffer, 0, 1, false},     {UndoKind::ReplaceSelection, 2, 2, true},
        {UndoKind::ReplaceSelection, 2, 1, false}, {UndoKind::AppendBuffer, 0, 1, false},
        {UndoKind::InsertNibble, 0, 1, false},     {UndoKind::DeleteNibble, 0, 1, false},
        {UndoKind::Convert, 0, 4, true},
    };
    auto d = Loaded(Pattern(10));
    d->SetNoSizeChange(true);
    for (const Case& c : cases) {
        SCOPED_TRACE(hexcore::UndoDescription(c.kind) + std::string(" ") + std::to_string(c.count));
        const std::int32_t before = d->Undos().Count();
        EXPECT_EQ(d->PrepareChange(c.kind, 2, c.replaced, c.count, {}), c.allowed);
        EXPECT_EQ(d->Undos().Count(), before + (c.allowed ? 1 : 0));
    }
}

TEST_F(DocumentTest, RecordsSaveWhatTheEditWillOverwriteOrRemove)
{
    const Bytes data = Pattern(20);
    auto d = Loaded(data);
    d->MarkChanged(4);
    const ViewSnapshot view{7, 1, false, 3, 9, 3};
    ASSERT_TRUE(d->PrepareChange(UndoKind::ByteChanged, 4, 0, 1, view));
    ASSERT_TRUE(d->PrepareChange(UndoKind::BytesRemoved, 10, 0, 5, {}));
    ASSERT_TRUE(d->PrepareChange(UndoKind::ReplaceSelection, 2, 3, 8, {}));

    const Bytes& log = d->Undos().Bytes();
    std::vector<UndoRecord> records;
    for (std::size_t end = log.size(); end > 0;) {
        const std::size_t length = UndoRecord::LengthEndingAt(log.data(), end);
        ASSERT_NE(length, 0u);
        records.insert(records.begin(), *UndoRecord::Decode(log.data() + end - length, length));
        end -= length;
    }
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].view, view);
    EXPECT_TRUE(records[0].mark);
    EXPECT_FALSE(records[0].modified);
    EXPECT_EQ(records[0].saved, Bytes{data[4]});
    EXPECT_TRUE(records[1].modified);
    EXPECT_EQ(records[1].saved, Bytes(data.begin() + 10, data.begin() + 15));
    EXPECT_EQ(records[2].replaced, 3);
    EXPECT_EQ(records[2].saved, Bytes(data.begin() + 2, data.begin() + 5));
}

TEST_F(DocumentTest, ALoadInsertUndoSaveCycleNeedsNoWidget)
{
    const Bytes data = Pattern(5000);
    testsupport::WriteFile(dir_ / "doc.bin", data);
    Document d;
    Reports reports;
    d.SetListener(&reports);
    ASSERT_TRUE(d.LoadFromFile(dir_ / "doc.bin"));
    EXPECT_EQ(reports.replaced, 1);
    EXPECT_EQ(reports.undoReset, 1);

    // An insert as a view makes it: the gate with the view's state, then the
    // bytes; then an overwritten byte with its change mark.
    const ViewSnapshot atInsert{100, 0, true, -1, -1, -1};
    const Bytes three{0xA1, 0xA2, 0xA3};
    ASSERT_TRUE(d.PrepareChange(UndoKind::InsertBuffer, 100, 0, 3, atInsert));
    d.InsertBytes(three.data(), 3, 100);
    const ViewSnapshot atChange{4, 1, false, 2, 6, 2};
    ASSERT_TRUE(d.PrepareChange(UndoKind::ByteChanged, 4, 0, 1, atChange));
    d.WriteByte(4, static_cast<std::uint8_t>(~data[4]));
    d.MarkChanged(4);
    EXPECT_EQ(d.DataSize(), 5003);
    EXPECT_GE(reports.length, 2);
    EXPECT_TRUE(d.Modified());

    EXPECT_EQ(d.Undo(), atChange);
    EXPECT_FALSE(d.IsByteChanged(4));
    EXPECT_EQ(d.Undo(), atInsert);
    EXPECT_EQ(Content(d), data);
    EXPECT_FALSE(d.Modified());
    EXPECT_FALSE(d.Undo().has_value());

    ASSERT_TRUE(d.SaveToFile(dir_ / "out.bin"));
    EXPECT_EQ(testsupport::ReadFile(dir_ / "out.bin"), data);
    EXPECT_EQ(reports.undoReset, 2);
}

TEST_F(DocumentTest, ACutOfTheEndKeepsItsRecordInTheOldWorkingCopyAndUndoesByteExactly)
{
    const Bytes data = Pattern(Document::kFileRecordsFrom + 3000);
    auto d = Loaded(data);
    const auto size = static_cast<std::int32_t>(data.size());
    ASSERT_TRUE(d->PrepareChange(UndoKind::BytesRemoved, 500, 0, size - 500, {}));
    ASSERT_TRUE(d->DeleteRange(500, size));

    EXPECT_EQ(Content(*d), Bytes(data.begin(), data.begin() + 500));
    const Bytes log = d->Undos().Bytes();
    const auto record = UndoRecord::Decode(log.data(), log.size());
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->saved, Bytes(data.begin() + 500, data.end()));

    // Edits of the bytes that stay leave the record alone.
    d->WriteByte(10, 0xEE);
    d->AppendBytes("xy", 2);
    d->DeleteRange(500, 502);
    ASSERT_TRUE(d->Undo().has_value());
    Bytes expected = data;
    expected[10] = 0xEE;
    EXPECT_EQ(Content(*d), expected);
    EXPECT_EQ(d->Undos().Count(), 0);

    // The working copy under its name is the only file, and it stays in use
    // while it is closed (a save closes it).
    ASSERT_TRUE(d->SaveToFile(dir_ / "saved.bin"));
    hexcore::WorkingCopy::RemoveAbandoned(tmp_);
    EXPECT_EQ(testsupport::ListDir(tmp_), std::vector<std::string>{platform::ExtractFileName(d->WorkingFileName())});
}
