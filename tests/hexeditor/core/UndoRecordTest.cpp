// SPDX-License-Identifier: GPL-3.0-or-later
// The undo record: its byte layout, the round trip through its bytes for
// every kind, and what a damaged log decodes to.
#include "hexeditor/core/UndoRecord.h"

#include <gtest/gtest.h>

#include <string>

using hexcore::UndoKind;
using hexcore::UndoRecord;
using Bytes = std::vector<std::uint8_t>;

namespace {

UndoRecord Sample(UndoKind kind)
{
    UndoRecord r;
    r.kind = kind;
    r.mark = UndoRecord::SavesOneByte(kind);
    r.modified = true;
    r.view = {-7, 1, true, 100, 99, 100};
    r.position = 0x01020304;
    r.count = 5;
    r.replaced = kind == UndoKind::ReplaceSelection ? 3 : 0;
    const std::int32_t n = UndoRecord::SavedLength(kind, r.count, r.replaced);
    for (std::int32_t i = 0; i < n; ++i)
        r.saved.push_back(static_cast<std::uint8_t>(0xA0 + i));
    return r;
}

}  // namespace

TEST(UndoRecord, EveryKindRoundTripsThroughItsBytes)
{
    struct Kind {
        UndoKind kind;
        const char* description;
        std::size_t saved;  // with count 5 and replaced 3
        bool changesSize;
    };
    const Kind kinds[] = {
        {UndoKind::ByteChanged, "Byte changed", 1, false},
        {UndoKind::BytesRemoved, "Byte(s) removed", 5, true},
        {UndoKind::InsertBuffer, "Insert buffer", 1, true},
        {UndoKind::ReplaceSelection, "Replace selection", 3, true},
        {UndoKind::AppendBuffer, "Append buffer", 1, true},
        {UndoKind::InsertNibble, "Insert nibble", 1, true},
        {UndoKind::DeleteNibble, "Delete nibble", 1, true},
        {UndoKind::Convert, "Convert", 5, false},
    };
    for (const Kind& k : kinds) {
        SCOPED_TRACE(k.description);
        const UndoRecord r = Sample(k.kind);
        EXPECT_EQ(std::string(hexcore::UndoDescription(k.kind)), k.description);
        EXPECT_EQ(r.saved.size(), k.saved);
        EXPECT_EQ(r.ChangesSize(), k.changesSize);

        const Bytes bytes = r.Encode();
        ASSERT_EQ(bytes.size(), UndoRecord::kMinSize + k.saved);
        EXPECT_EQ(bytes[0], static_cast<std::uint8_t>(k.kind));
        EXPECT_EQ(UndoRecord::LengthEndingAt(bytes.data(), bytes.size()), bytes.size());
        const auto back = UndoRecord::Decode(bytes.data(), bytes.size());
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(back->kind, r.kind);
        EXPECT_EQ(back->mark, r.mark);
        EXPECT_EQ(back->modified, r.modified);
        EXPECT_EQ(back->view, r.view);
        EXPECT_EQ(back->position, r.position);
        EXPECT_EQ(back->count, r.count);
        EXPECT_EQ(back->replaced, r.replaced);
        EXPECT_EQ(back->saved, r.saved);
        EXPECT_EQ(back->Encode(), bytes);
    }
    // A replacement of as many bytes as it removes keeps the length.
    UndoRecord same = Sample(UndoKind::ReplaceSelection);
    same.replaced = same.count;
    EXPECT_FALSE(same.ChangesSize());
    EXPECT_STREQ(hexcore::UndoDescription(static_cast<UndoKind>(200)), "Convert");
    EXPECT_EQ(UndoRecord::SavedLength(UndoKind::BytesRemoved, -4, 0), 0);
}

TEST(UndoRecord, LayoutIsByteExact)
{
    UndoRecord r;
    r.kind = UndoKind::ReplaceSelection;
    r.mark = false;
    r.modified = true;
    r.view = {0x11223344, 1, false, 10, -1, 0x7FFFFFFF};
    r.position = 500;
    r.count = 2;
    r.replaced = 3;
    r.saved = {0xAA, 0xBB, 0xCC};
    const Bytes expected = {
        3, 0, 1,                 // kind, mark, Modified
        0x44, 0x33, 0x22, 0x11,  // caret
        1, 0,                    // nibble, pane
        10, 0, 0, 0,             // SelLow
        0xFF, 0xFF, 0xFF, 0xFF,  // SelHigh
        0xFF, 0xFF, 0xFF, 0x7F,  // SelAnchor
        0xF4, 0x01, 0, 0,        // position
        2, 0, 0, 0,              // count
        3, 0, 0, 0,              // replaced count
        0xAA, 0xBB, 0xCC,        // saved bytes
        40, 0, 0, 0,             // record length
    };
    EXPECT_EQ(r.Encode(), expected);
}

TEST(UndoRecord, DamagedBytesDecodeToNothing)
{
    Bytes bytes = Sample(UndoKind::BytesRemoved).Encode();
    EXPECT_FALSE(UndoRecord::Decode(bytes.data(), bytes.size() - 1));
    EXPECT_FALSE(UndoRecord::Decode(bytes.data(), 10));
    bytes.back() = 1;  // a length past the start
    EXPECT_FALSE(UndoRecord::Decode(bytes.data(), bytes.size()));
    EXPECT_EQ(UndoRecord::LengthEndingAt(bytes.data(), bytes.size()), 0u);
    const Bytes shortLength = {36, 0, 0, 0};
    EXPECT_EQ(UndoRecord::LengthEndingAt(shortLength.data(), shortLength.size()), 0u);
    EXPECT_EQ(UndoRecord::LengthEndingAt(shortLength.data(), 3), 0u);
}
