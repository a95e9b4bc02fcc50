// SPDX-License-Identifier: GPL-3.0-or-later
// The byte editor's grid layout: column widths, offset column, line table and
// the mapping between byte positions and cells. Expected pixel sizes come
// from the measured character width, never from constants.
#include "HexEditorProbe.h"
#include "TempDir.h"

#include "platform/system/Exceptions.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <climits>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using testsupport::HexEditorProbe;

namespace {

std::vector<int> Widths(const HexEditorProbe& editor)
{
    std::vector<int> widths;
    for (std::int32_t c = 0; c < editor.ColCount(); ++c)
        widths.push_back(editor.ColWidth(c));
    return widths;
}

// The row of a position as a scan of the row starts finds it.
std::int32_t ScanRow(HexEditorProbe& editor, std::int32_t p)
{
    for (std::int32_t r = 0; r < editor.RowCount(); ++r)
        if (p < editor.LineStart(r))
            return r - 1;
    return editor.RowCount() - 1;
}

}  // namespace

TEST(HexLayout, ConstructionState)
{
    HexEditorProbe editor;
    EXPECT_EQ(editor.ColCount(), 51);
    EXPECT_EQ(editor.RowCount(), 1);
    EXPECT_EQ(editor.FixedCols(), 2);
    EXPECT_EQ(editor.FixedRows(), 0);
    EXPECT_EQ(editor.DefaultColWidth(), 0);
    EXPECT_EQ(editor.DefaultRowHeight(), 0);
    EXPECT_EQ(editor.CharWidth(), -1);
    EXPECT_EQ(editor.OffsetChars(), -1);
    EXPECT_EQ(editor.BytesPerLine(), 16);
    EXPECT_EQ(editor.HexColumns(), 32);
    EXPECT_EQ(editor.BytesPerColumn(), 2);
    EXPECT_TRUE(editor.ShowMarkerColumn());
    EXPECT_EQ(editor.OffsetDisplay(), odHex);
    EXPECT_EQ(editor.OffsetSeparator(), ':');
    EXPECT_FALSE(editor.CustomLineLengths());
    EXPECT_TRUE(editor.LineTable().empty());
    EXPECT_TRUE(editor.TabMovesCells());
    EXPECT_TRUE(editor.ThumbTracking());
    EXPECT_TRUE(QFontInfo(editor.font()).fixedPitch());
}

TEST(HexLayout, ColumnWidthsOfSixteenBytesInGroupsOfTwo)
{
    HexEditorProbe editor;
    editor.GridSizeChanged();
    const QFontMetrics metrics(editor.font());
    const int w = metrics.horizontalAdvance(QStringLiteral("w"));
    ASSERT_GT(w, 0);
    EXPECT_EQ(editor.CharWidth(), w);
    EXPECT_EQ(editor.RowHeight(), metrics.size(Qt::TextSingleLine, QStringLiteral("yY")).height() + 2);
    EXPECT_EQ(editor.DefaultRowHeight(), editor.RowHeight());
    EXPECT_EQ(editor.ColCount(), 51);
    EXPECT_EQ(editor.RowCount(), 1);
    EXPECT_EQ(editor.OffsetChars(), 4) << "one hex digit plus 0x and the separator";

    std::vector<int> expected{4 * w, w};
    for (int group = 0; group < 8; ++group)
        expected.insert(expected.end(), {w, w, w, 2 * w});
    expected.insert(expected.end(), 17, w);
    EXPECT_EQ(Widths(editor), expected);
    // The empty document still has its first line in the table.
    EXPECT_EQ(editor.LineTable(), (std::vector<std::int32_t>{0, 16}));
}

TEST(HexLayout, BytesPerColumnMovesTheGaps)
{
    HexEditorProbe editor;
    editor.GridSizeChanged();
    const int w = editor.CharWidth();

    editor.SetBytesPerColumn(1);
    EXPECT_EQ(editor.DigitsPerGroup(), 2);
    for (std::int32_t c = 2; c <= 33; ++c)
        EXPECT_EQ(editor.ColWidth(c), c % 2 == 1 ? 2 * w : w) << "column " << c;

    editor.SetBytesPerColumn(3);
    for (std::int32_t c = 2; c <= 33; ++c) {
        const bool gap = c == 7 || c == 13 || c == 19 || c == 25 || c == 31;
        EXPECT_EQ(editor.ColWidth(c), gap ? 2 * w : w) << "column " << c;
    }
    EXPECT_EQ(editor.ColWidth(34), w) << "the separator keeps one character";

    EXPECT_EQ(testsupport::ErrorMessageOf([&] { editor.SetBytesPerColumn(0); }), "Invalid BytesPerColumn argument");
    EXPECT_EQ(editor.BytesPerColumn(), 3);
}

TEST(HexLayout, NoOffsetsAndNoMarkerColumnKeepTheirColumns)
{
    HexEditorProbe editor;
    editor.GridSizeChanged();
    const int w = editor.CharWidth();
    editor.SetOffsetDisplay(odNone);
    EXPECT_EQ(editor.OffsetChars(), 0);
    EXPECT_EQ(editor.ColWidth(0), 0);
    editor.SetShowMarkerColumn(false);
    EXPECT_EQ(editor.ColWidth(1), 0);
    EXPECT_EQ(editor.ColCount(), 51);
    EXPECT_EQ(editor.FixedCols(), 2);
    EXPECT_EQ(editor.ColWidth(2), w);

    editor.SetShowMarkerColumn(true);
    EXPECT_EQ(editor.ColWidth(1), w);
    editor.SetOffsetDisplay(odDec);
    EXPECT_EQ(editor.ColWidth(0), 2 * w);
}

TEST(HexLayout, OffsetWidthFollowsTheLastRowStart)
{
    HexEditorProbe editor;
    editor.GridSizeChanged();
    const int w = editor.CharWidth();
    struct Case {
        std::int32_t rows;
        TOffsetDisplayStyle style;
        std::int32_t chars;
    };
    // 500 bytes (last row 496 = 0x1F0 = 0760 octal), 4096 bytes (last row
    // 0xFF0) and 4097 bytes (last row 0x1000), an empty document (0 = "00").
    const Case cases[] = {
        {32, odHex, 6},  {32, odDec, 4},  {32, odOctal, 7}, {32, odNone, 0}, {256, odHex, 6},
        {257, odHex, 7}, {257, odDec, 5}, {1, odOctal, 5},  {1, odDec, 2},
    };
    for (const Case& c : cases) {
        editor.SetRowCount(c.rows);
        editor.SetOffsetDisplay(c.style);
        editor.UpdateOffsetWidth();
        EXPECT_EQ(editor.OffsetChars(), c.chars) << c.rows << " rows, style " << int(c.style);
        EXPECT_EQ(editor.ColWidth(0), c.chars * w);
    }
}

TEST(HexLayout, EmptyEditorOffsetTexts)
{
    HexEditorProbe editor;
    editor.GridSizeChanged();
    EXPECT_EQ(editor.OffsetText(0), "0x0:");
    editor.SetOffsetDisplay(odDec);
    EXPECT_EQ(editor.OffsetText(0), "0:");
    editor.SetOffsetDisplay(odOctal);
    editor.SetOffsetSeparator('|');
    EXPECT_EQ(editor.OffsetText(0), "o 0|");
    editor.SetOffsetDisplay(odNone);
    EXPECT_EQ(editor.OffsetText(0), "   ");
}

TEST(HexMapping, RoundTripsWithFixedLineLengths)
{
    HexEditorProbe editor;
    editor.GridSizeChanged();
    editor.SetRowCount(10);
    const std::int32_t sep = 2 * 16 + 2;
    for (const bool swap : {false, true}) {
        editor.SetSwapNibbles(swap);
        for (std::int32_t p = 0; p < 160; ++p) {
            const auto hex = editor.PositionToCell(p, false);
            const auto chr = editor.PositionToCell(p, true);
            ASSERT_EQ(hex.row, p / 16);
            ASSERT_EQ(hex.col, 2 + 2 * (p % 16)) << "always the left column of the pair";
            ASSERT_EQ(chr.col, sep + 1 + p % 16);
            ASSERT_EQ(editor.CellToPosition(hex.col, hex.row), p);
            ASSERT_FALSE(editor.IsCharPaneColumn(hex.col));
            ASSERT_EQ(editor.CellToPosition(hex.col + 1, hex.row), p) << "right column of the pair";
            ASSERT_FALSE(editor.IsCharPaneColumn(hex.col + 1));
            ASSERT_EQ(editor.CellToPosition(chr.col, chr.row), p);
            ASSERT_TRUE(editor.IsCharPaneColumn(chr.col));
            bool wasChar = false;
            ASSERT_EQ(editor.TwinColumn(hex.col, &wasChar), chr.col);
            ASSERT_FALSE(wasChar);
            ASSERT_EQ(editor.TwinColumn(hex.col + 1), chr.col);
            ASSERT_EQ(editor.TwinColumn(chr.col, &wasChar), hex.col);
            ASSERT_TRUE(wasChar);
        }
    }
    EXPECT_EQ(editor.PositionToCell(-1, true).col, 2);
    EXPECT_EQ(editor.CellToPosition(sep, 3), 64) << "the separator maps to the next row's start";
    EXPECT_FALSE(editor.IsCharPaneColumn(sep));
    EXPECT_EQ(editor.CellToPosition(1, 3), 48);
    EXPECT_EQ(editor.CellToPosition(0, 3), 47);
    EXPECT_EQ(editor.CellToPosition(0, 0), 0);
    EXPECT_FALSE(editor.IsBeyondLine(50, 9));
}

TEST(HexMapping, RoundTripsWithCustomLineLengths)
{
    HexEditorProbe editor;
    editor.GridSizeChanged();
    const std::vector<std::int32_t> lengths{5, 16, 1, 7, 16, 3};
    // Set while the table is not in use: each length lands as given.
    for (std::size_t r = 0; r < lengths.size(); ++r)
        editor.SetLineLength(static_cast<std::int32_t>(r), lengths[r]);
    editor.SetLineLength(2, 1);
    editor.SetRowCount(static_cast<std::int32_t>(lengths.size()));
    editor.SetCustomLineLengths(true);

    std::int32_t start = 0;
    for (std::size_t r = 0; r < lengths.size(); ++r) {
        const auto row = static_cast<std::int32_t>(r);
        EXPECT_EQ(editor.LineStart(row), start);
        EXPECT_EQ(editor.LineLength(row), lengths[r]);
        const std::int32_t len = lengths[r];
        // Last cell of the row in each pane: beyond it everything is beyond.
        EXPECT_FALSE(editor.IsBeyondLine(2 * len + 1, row));
        EXPECT_TRUE(editor.IsBeyondLine(2 * len + 2, row));
        EXPECT_FALSE(editor.IsBeyondLine(34 + len, row));
        EXPECT_TRUE(editor.IsBeyondLine(35 + len, row));
        for (std::int32_t i = 0; i < len; ++i) {
            const std::int32_t p = start + i;
            ASSERT_EQ(editor.RowOfPosition(p), row);
            ASSERT_EQ(editor.RowOfPosition(p), ScanRow(editor, p));
            for (const bool charPane : {false, true}) {
                const auto cell = editor.PositionToCell(p, charPane);
                ASSERT_EQ(cell.row, row);
                ASSERT_EQ(cell.col, charPane ? 35 + i : 2 + 2 * i);
                ASSERT_EQ(editor.CellToPosition(cell.col, cell.row), p);
                ASSERT_EQ(editor.IsCharPaneColumn(cell.col), charPane);
            }
        }
        start += len;
    }
    EXPECT_EQ(editor.RowOfPosition(start + 100), 5) << "past the end: the last row";
    EXPECT_EQ(editor.RowOfPosition(-1), -1);
    EXPECT_EQ(editor.CellToPosition(34, 0), 16) << "the separator adds BytesPerLine, not the row length";
}

TEST(HexMapping, SetLineLengthRefusesBadLengths)
{
    HexEditorProbe editor;
    editor.GridSizeChanged();
    editor.SetLineLength(1, 8);
    const auto before = editor.LineTable();
    EXPECT_EQ(before, (std::vector<std::int32_t>{0, 16, 24}));
    EXPECT_EQ(testsupport::ErrorMessageOf([&] { editor.SetLineLength(0, 0); }), "Invalid Line Length argument");
    EXPECT_EQ(testsupport::ErrorMessageOf([&] { editor.SetLineLength(0, 17); }), "Invalid Line Length argument");
    EXPECT_EQ(testsupport::ErrorMessageOf([&] { editor.SetLineLength(-1, 4); }), "Invalid Line Length argument");
    EXPECT_EQ(editor.LineTable(), before);
    editor.SetLineLength(1, 8);
    EXPECT_EQ(editor.LineTable(), before) << "the same length again changes nothing";
    editor.SetLineLength(0, 16);
    EXPECT_EQ(editor.LineTable(), before);

    editor.ResetLineLengths();
    EXPECT_TRUE(editor.LineTable().empty());
}

TEST(HexMapping, LargestDocumentKeepsPositionsInRange)
{
    // 2^31 - 1 bytes at 16 a line.
    HexEditorProbe editor;
    editor.GridSizeChanged();
    const std::int32_t rows = 134217728;
    editor.SetRowCount(rows);
    EXPECT_EQ(editor.LineStart(rows - 1), INT32_MAX - 15);
    EXPECT_EQ(editor.LineStart(rows), INT32_MAX) << "the end of the last row is held, not wrapped";
    EXPECT_EQ(editor.CellToPosition(34, rows - 1), INT32_MAX);
    EXPECT_EQ(editor.RowOfPosition(INT32_MAX - 1), rows - 1);
    const auto cell = editor.PositionToCell(INT32_MAX - 1, true);
    EXPECT_EQ(cell.row, rows - 1);
    EXPECT_EQ(cell.col, 35 + 14);
    editor.UpdateOffsetWidth();
    EXPECT_EQ(editor.OffsetChars(), 8 + 3) << "0x7FFFFFF0";

    editor.SetTopRow(INT32_MAX);
    EXPECT_EQ(editor.TopRow(), rows - editor.VisibleRowCount());
    EXPECT_FALSE(editor.CellBounds(0, rows - 1).isNull()) << "the last row is on screen";
}

TEST(HexLayout, BytesPerLineRange)
{
    HexEditorProbe editor;
    for (const std::int32_t bad : {0, -1, 257})
        EXPECT_EQ(testsupport::ErrorMessageOf([&] { editor.SetBytesPerLine(bad); }), "Invalid BytesPerLine argument");
    EXPECT_EQ(editor.BytesPerLine(), 16);
    editor.SetBytesPerLine(256);
    EXPECT_EQ(editor.HexColumns(), 512);
}
