// SPDX-License-Identifier: GPL-3.0-or-later
// Grid geometry, line table and position mapping.
//
// Columns, with B = BytesPerLine: 0 offset, 1 marker, 2 .. 2B+1 hex digits
// (two per byte), 2B+2 separator, 2B+3 .. 3B+2 characters. Rows are lines of
// B bytes, or, with CustomLineLengths, lines whose starts the line table holds.
#include "hexeditor/hexeditor.h"

#include "platform/system/Exceptions.h"
#include "platform/widgets/Fonts.h"

#include <QFontMetrics>
#include <QFrame>
#include <algorithm>
#include <climits>

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// value + add, held at INT32_MAX: positions past the largest document stay
// representable instead of wrapping round.
std::int32_t SaturatedAdd(std::int64_t value, std::int64_t add)
{
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value + add, INT32_MIN, INT32_MAX));
}

std::string Digits(std::uint32_t value, unsigned base)
{
    std::string text;
    do {
        text.insert(text.begin(), kHexDigits[value % base]);
        value /= base;
    } while (value != 0);
    return text;
}

// Octal digits without leading zeros (one at least), with one "0" in front:
// 0 -> "00", 8 -> "010".
std::string OctalText(std::uint32_t value)
{
    return "0" + Digits(value, 8);
}

std::string PadLeft(std::string text, std::int32_t width, char fill)
{
    if (static_cast<std::int32_t>(text.size()) < width)
        text.insert(0, static_cast<std::size_t>(width) - text.size(), fill);
    return text;
}

std::uint32_t Unsigned(std::int32_t value)
{
    return static_cast<std::uint32_t>(std::max<std::int32_t>(value, 0));
}

}  // namespace

void THexEditor::InitGridLayout()
{
    // The grid draws no lines and no 3-D frame: a single flat border, the
    // Tab key moving between cells, the view following the scroll thumb.
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    viewport()->setCursor(Qt::IBeamCursor);
    SetTabMovesCells(true);
    SetThumbTracking(true);
    // Courier 12 pt, taken as 16 pixels (the 96 dpi the layout was drawn for),
    // so that the cell sizes do not depend on the screen's reported dpi.
    setFont(platform::CourierFont(16));
    SetColCount(3 * bytesPerLine_ + 3);
    SetRowCount(1);
    SetFixedCols(2);
    SetFixedRows(0);
    SetDefaultColWidth(0);
    SetDefaultRowHeight(0);
}

// ---- Setters -----------------------------------------------------------------

void THexEditor::SetBytesPerLine(std::int32_t value)
{
    if (value < 1 || value > 256)
        throw platform::Exception("Invalid BytesPerLine argument");
    if (value == bytesPerLine_)
        return;
    // No drawing while the grid is laid out anew; drawing comes back on
    // every path.
    setUpdatesEnabled(false);
    struct Unlock {
        QWidget* widget;
        ~Unlock() { widget->setUpdatesEnabled(true); }
    } unlock{this};

    ResetLineLengths();
    customLineLengths_ = false;
    const std::int32_t anchor = selAnchor_;
    const std::int32_t low = selLow_;
    const std::int32_t high = selHigh_;
    const std::int32_t position = CaretCellPosition();
    const bool charPane = InCharPane();
    bytesPerLine_ = value;
    hexColumns_ = 2 * value;
    GridSizeChanged();
    // The caret stays on its byte, in its pane; AcceptCell may clear the
    // selection on the way, so it is put back afterwards.
    const Cell cell = PositionToCell(position, charPane);
    MoveCaretTo(cell.col, cell.row);
    selAnchor_ = anchor;
    selLow_ = low;
    selHigh_ = high;
}

void THexEditor::SetBytesPerColumn(std::int32_t value)
{
    // The layout and the column colours divide by the group width, so a
    // group of no bytes is refused instead of dividing by zero later.
    if (value < 1)
        throw platform::Exception("Invalid BytesPerColumn argument");
    if (2 * value == digitsPerGroup_)
        return;
    digitsPerGroup_ = 2 * value;
    UpdateColumnWidths();
    InvalidateGrid();
}

void THexEditor::SetShowMarkerColumn(bool on)
{
    if (on == showMarkerColumn_)
        return;
    showMarkerColumn_ = on;
    UpdateColumnWidths();
}

void THexEditor::SetOffsetDisplay(TOffsetDisplayStyle style)
{
    if (style == offsetDisplay_)
        return;
    offsetDisplay_ = style;
    UpdateOffsetWidth();
    InvalidateGrid();
}

void THexEditor::SetOffsetSeparator(char c)
{
    if (c == offsetSeparator_)
        return;
    offsetSeparator_ = c;
    InvalidateGrid();
}

void THexEditor::SetSwapNibbles(bool on)
{
    if (on == swapNibbles_)
        return;
    swapNibbles_ = on;
    InvalidateGrid();
}

// ---- Widths and offsets -------------------------------------------------------

void THexEditor::UpdateColumnWidths()
{
    const QFontMetrics metrics(font());
    charWidth_ = metrics.horizontalAdvance(QStringLiteral("w"));
    UpdateOffsetWidth();
    SetColWidth(1, showMarkerColumn_ ? charWidth_ : 0);
    // The last digit column of each group is one character wider, leaving a
    // gap after the group.
    for (std::int32_t c = 2; c <= hexColumns_ + 1; ++c)
        SetColWidth(c, c % digitsPerGroup_ == 1 ? 2 * charWidth_ : charWidth_);
    for (std::int32_t c = hexColumns_ + 2; c <= 3 * bytesPerLine_ + 2; ++c)
        SetColWidth(c, charWidth_);
    rowHeight_ = metrics.size(Qt::TextSingleLine, QStringLiteral("yY")).height() + 2;
    SetDefaultRowHeight(rowHeight_);
}

void THexEditor::UpdateOffsetWidth()
{
    const std::uint32_t s = Unsigned(LineStart(std::max<std::int32_t>(RowCount() - 1, 0)));
    switch (offsetDisplay_) {
    case odHex:
        offsetChars_ = static_cast<std::int32_t>(Digits(s, 16).size()) + 3;
        break;
    case odDec:
        offsetChars_ = static_cast<std::int32_t>(Digits(s, 10).size()) + 1;
        break;
    case odOctal:
        offsetChars_ = static_cast<std::int32_t>(OctalText(s).size()) + 3;
        break;
    case odNone:
    default:
        offsetChars_ = 0;
        break;
    }
    // Before the font was first measured the width stays 0.
    SetColWidth(0, offsetChars_ * std::max(charWidth_, 0));
}

std::string THexEditor::OffsetText(std::int32_t row) const
{
    const std::string separator(1, offsetSeparator_);
    if (DataSize() <= 0) {
        switch (offsetDisplay_) {
        case odHex:
            return "0x0" + separator;
        case odDec:
            return "0" + separator;
        case odOctal:
            return "o 0" + separator;
        case odNone:
        default:
            return "   ";
        }
    }
    const std::uint32_t s = Unsigned(LineStart(row));
    switch (offsetDisplay_) {
    case odHex:
        return "0x" + PadLeft(Digits(s, 16), offsetChars_ - 3, '0') + separator;
    case odDec:
        return PadLeft(Digits(s, 10), offsetChars_ - 1, ' ') + separator;
    case odOctal:
        return "o " + PadLeft(OctalText(s), offsetChars_ - 3, '0') + separator;
    case odNone:
    default:
        return " ";
    }
}

// ---- Grid size ----------------------------------------------------------------

void THexEditor::GridSizeChanged()
{
    const std::int32_t b = bytesPerLine_;
    const std::int32_t size = DataSize();
    rowsForInsert_ = InsertModeActive();
    if (size > 0) {
        // In insert mode the position after the last byte needs a cell.
        const std::int64_t positions = std::int64_t(size) + (rowsForInsert_ ? 1 : 0);
        std::int64_t rows = 0;
        if (!customLineLengths_) {
            rows = (positions + b - 1) / b;  // 64-bit: size + b may pass INT32_MAX
        } else {
            std::int32_t k = size / b;
            while (LineStart(k) < positions)
                ++k;
            rows = std::max<std::int32_t>(k, 0);
        }
        SetRowCount(static_cast<std::int32_t>(rows));
        SetColCount(3 * b + 3);
        SetFixedCols(2);
    } else {
        SetFixedCols(2);
        SetRowCount(1);
        SetColCount(3 * b + 3);
        if (lineTable_.empty())
            SetLineLength(0, b);
    }
    SetFixedRows(0);
    UpdateColumnWidths();
}

// ---- Line table ---------------------------------------------------------------

void THexEditor::EnsureLineTable() const
{
    if (lineTable_.empty())
        lineTable_.push_back(0);
    const std::size_t wanted = static_cast<std::size_t>(std::max<std::int32_t>(RowCount(), 0)) + 1;
    while (lineTable_.size() < wanted)
        lineTable_.push_back(SaturatedAdd(lineTable_.back(), bytesPerLine_));
}

std::int32_t THexEditor::LineStart(std::int32_t row) const
{
    if (!customLineLengths_ || row < 0)
        return SaturatedAdd(std::int64_t(row) * bytesPerLine_, 0);
    EnsureLineTable();
    const std::size_t wanted = static_cast<std::size_t>(row) + 2;
    while (lineTable_.size() < wanted)
        lineTable_.push_back(SaturatedAdd(lineTable_.back(), bytesPerLine_));
    return lineTable_[static_cast<std::size_t>(row)];
}

std::int32_t THexEditor::LineLength(std::int32_t row) const
{
    if (!customLineLengths_ || row < 0)
        return bytesPerLine_;
    const std::int32_t start = LineStart(row);  // grows the table to row + 2 entries
    return lineTable_[static_cast<std::size_t>(row) + 1] - start;
}

void THexEditor::SetLineLength(std::int32_t row, std::int32_t length)
{
    EnsureLineTable();
    if (row < 0 || length < 1 || length > bytesPerLine_)
        throw platform::Exception("Invalid Line Length argument");
    const std::size_t wanted = static_cast<std::size_t>(row) + 2;
    while (lineTable_.size() < wanted)
        lineTable_.push_back(SaturatedAdd(lineTable_.back(), bytesPerLine_));
    // The row's length as the table holds it, also while the table is not in
    // use, so that setting the same length twice changes nothing.
    const std::size_t r = static_cast<std::size_t>(row);
    const std::int32_t d = length - (lineTable_[r + 1] - lineTable_[r]);
    if (d == 0)
        return;
    for (std::size_t i = lineTable_.size(); i-- > r + 1;)
        lineTable_[i] = SaturatedAdd(lineTable_[i], d);
    if (customLineLengths_) {
        GridSizeChanged();
        InvalidateGrid();
    }
}

void THexEditor::ResetLineLengths()
{
    lineTable_.clear();
}

// ---- Mapping ------------------------------------------------------------------

std::int32_t THexEditor::RowOfPosition(std::int32_t position) const
{
    if (!customLineLengths_)
        return position / bytesPerLine_;
    const std::int32_t rows = RowCount();
    if (rows <= 0)
        return -1;
    // Row starts only grow (every line holds at least one byte), so the row
    // is the one before the first start past the position.
    LineStart(rows - 1);
    const auto first = lineTable_.begin();
    const auto found = std::upper_bound(first, first + rows, position);
    if (found == first + rows)
        return rows - 1;
    return static_cast<std::int32_t>(found - first) - 1;
}

std::int32_t THexEditor::CellToPosition(std::int32_t col, std::int32_t row) const
{
    const std::int32_t index = IsCharPaneColumn(col) ? col - (hexColumns_ + 3) : (col - 2) / 2;
    return std::max(SaturatedAdd(LineStart(row), index), 0);
}

THexEditor::Cell THexEditor::PositionToCell(std::int32_t position, bool charPane) const
{
    if (position < 0)
        return {2, 0};
    const std::int32_t row = RowOfPosition(position);
    const std::int32_t index = customLineLengths_ ? position - LineStart(row) : position % bytesPerLine_;
    return {charPane ? index + hexColumns_ + 3 : 2 * index + 2, row};
}

std::int32_t THexEditor::TwinColumn(std::int32_t col, bool* wasCharPane) const
{
    const bool charPane = IsCharPaneColumn(col);
    if (wasCharPane)
        *wasCharPane = charPane;
    if (charPane)
        return 2 * (col - hexColumns_ - 3) + 2;
    return hexColumns_ + 3 + (col - 2) / 2;
}

bool THexEditor::IsBeyondLine(std::int32_t col, std::int32_t row) const
{
    if (!customLineLengths_)
        return false;
    const std::int32_t length = LineLength(row);
    if (col > hexColumns_ + 2)
        return col > length + 2 * bytesPerLine_ + 2;
    return col > 2 * length + 1;
}
