// SPDX-License-Identifier: GPL-3.0-or-later
// The byte editor's layout over loaded documents: row counts, offset labels
// and widths that follow the data size, custom line lengths.
#include "HexEditorProbe.h"

#include "TempDir.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using testsupport::Bytes;
using testsupport::TempDir;

using testsupport::HexEditorProbe;

namespace {

// An editor holding a document of the given size (bytes 0, 1, 2, ...).
struct LoadedEditor {
    explicit LoadedEditor(std::int32_t size)
    {
        Bytes data(static_cast<std::size_t>(size));
        for (std::size_t i = 0; i < data.size(); ++i)
            data[i] = static_cast<std::uint8_t>(i);
        testsupport::WriteFile(dir / "data.bin", data);
        EXPECT_TRUE(editor.LoadFromFile(dir / "data.bin"));
        EXPECT_EQ(editor.DataSize(), size);
    }
    TempDir dir;
    HexEditorProbe editor;
};

std::vector<std::string> Labels(HexEditorProbe& editor)
{
    std::vector<std::string> labels;
    for (std::int32_t r = 0; r < editor.RowCount(); ++r)
        labels.push_back(editor.OffsetText(r));
    return labels;
}

}  // namespace

TEST(HexLayoutData, FiveHundredBytesInEveryOffsetStyle)
{
    LoadedEditor loaded(500);
    HexEditorProbe& editor = loaded.editor;
    const int w = editor.CharWidth();
    ASSERT_GT(w, 0);
    EXPECT_EQ(editor.RowCount(), 32);
    EXPECT_EQ(editor.ColCount(), 51);
    EXPECT_EQ(editor.FixedCols(), 2);

    EXPECT_EQ(editor.OffsetChars(), 6);
    EXPECT_EQ(editor.ColWidth(0), 6 * w);
    auto labels = Labels(editor);
    EXPECT_EQ(labels[0], "0x000:");
    EXPECT_EQ(labels[1], "0x010:");
    EXPECT_EQ(labels[31], "0x1F0:");

    editor.SetOffsetDisplay(odDec);
    EXPECT_EQ(editor.OffsetChars(), 4);
    EXPECT_EQ(editor.ColWidth(0), 4 * w);
    labels = Labels(editor);
    EXPECT_EQ(labels[0], "  0:");
    EXPECT_EQ(labels[1], " 16:");
    EXPECT_EQ(labels[31], "496:");

    editor.SetOffsetDisplay(odOctal);
    EXPECT_EQ(editor.OffsetChars(), 7);
    EXPECT_EQ(editor.ColWidth(0), 7 * w);
    labels = Labels(editor);
    EXPECT_EQ(labels[0], "o 0000:");
    EXPECT_EQ(labels[1], "o 0020:");
    EXPECT_EQ(labels[31], "o 0760:");

    editor.SetOffsetSeparator('|');
    EXPECT_EQ(editor.OffsetText(31), "o 0760|");
    EXPECT_EQ(editor.ColWidth(0), 7 * w) << "the separator is always one character";

    editor.SetOffsetDisplay(odNone);
    EXPECT_EQ(editor.ColWidth(0), 0);
    EXPECT_EQ(editor.OffsetText(5), " ");

    // Eight bytes a line: row 1 starts at 8, octal 010.
    editor.SetOffsetDisplay(odOctal);
    editor.SetBytesPerLine(8);
    EXPECT_EQ(editor.RowCount(), 63);
    EXPECT_EQ(editor.OffsetText(1), "o 0010|");
    EXPECT_EQ(editor.OffsetText(62), "o 0760|");
}

TEST(HexLayoutData, LabelsWidenWhenTheLastRowNeedsAnotherDigit)
{
    {
        LoadedEditor loaded(4096);
        const auto labels = Labels(loaded.editor);
        ASSERT_EQ(labels.size(), 256u);
        EXPECT_EQ(labels.front(), "0x000:");
        EXPECT_EQ(labels.back(), "0xFF0:");
        EXPECT_EQ(loaded.editor.ColWidth(0), 6 * loaded.editor.CharWidth());
    }
    {
        LoadedEditor loaded(4097);
        const auto labels = Labels(loaded.editor);
        ASSERT_EQ(labels.size(), 257u);
        EXPECT_EQ(labels.front(), "0x0000:");
        EXPECT_EQ(labels[255], "0x0FF0:");
        EXPECT_EQ(labels.back(), "0x1000:");
        EXPECT_EQ(loaded.editor.ColWidth(0), 7 * loaded.editor.CharWidth());
    }
}

TEST(HexLayoutData, RowCountsFollowTheDataAndCustomLineLengths)
{
    LoadedEditor loaded(20);
    HexEditorProbe& editor = loaded.editor;
    EXPECT_EQ(editor.RowCount(), 2);
    EXPECT_EQ(editor.PositionToCell(19, false).row, 1);

    // Lines of 4, 16, 16, ...: bytes 4..19 fill row 1 exactly.
    editor.SetCustomLineLengths(true);
    editor.SetLineLength(0, 4);
    EXPECT_EQ(editor.RowCount(), 2);
    EXPECT_EQ(editor.LineStart(1), 4);
    // Lines of 4, 2, 16: bytes 6..19 need a third row.
    editor.SetLineLength(1, 2);
    EXPECT_EQ(editor.RowCount(), 3);
    EXPECT_EQ(editor.RowOfPosition(5), 1);
    EXPECT_EQ(editor.RowOfPosition(6), 2);
    const auto cell = editor.PositionToCell(19, true);
    EXPECT_EQ(cell.row, 2);
    EXPECT_EQ(cell.col, 35 + 13);
    EXPECT_EQ(editor.CellToPosition(cell.col, cell.row), 19);
    EXPECT_TRUE(editor.IsBeyondLine(2 * 2 + 2, 1));
    EXPECT_FALSE(editor.IsBeyondLine(2 * 2 + 1, 1));

    editor.SetOffsetDisplay(odDec);
    EXPECT_EQ(Labels(editor), (std::vector<std::string>{"0:", "4:", "6:"}));
}
