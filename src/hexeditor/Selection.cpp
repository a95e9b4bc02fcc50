// SPDX-License-Identifier: GPL-3.0-or-later
// The selection and the caret: reading and assigning SelStart and SelEnd,
// clearing and extending the selection, and the current-cell rules
// (AcceptCell) that keep the selection in step with the caret.
//
// The selection is three byte positions, SelAnchor, SelLow and SelHigh (all
// -1 when there is none). While insert mode is active positions mean the gap
// before a byte, so a selection extended back to its anchor ends up inverted
// (SelHigh = SelLow - 1): it selects nothing.
#include "hexeditor/hexeditor.h"

#include "platform/system/Exceptions.h"

#include <QGuiApplication>
#include <algorithm>

// ---- Reading -------------------------------------------------------------------

std::int32_t THexEditor::SelStart() const
{
    return HasSelection() ? selAnchor_ : CaretCellPosition();
}

std::int32_t THexEditor::SelEnd() const
{
    if (!HasSelection())
        return CaretCellPosition();
    return selAnchor_ == selHigh_ ? selLow_ : selHigh_;
}

std::int32_t THexEditor::SelLength() const
{
    // An inverted selection (insert mode) selects nothing.
    if (!HasSelection() || selHigh_ < selLow_)
        return 0;
    return selHigh_ - selLow_ + 1;
}

std::int32_t THexEditor::CaretPosition() const
{
    const std::int32_t size = DataSize();
    if (size <= 0)
        return 0;
    return std::clamp(CaretCellPosition(), 0, size - 1);
}

std::int32_t THexEditor::InsertionPoint() const
{
    return std::clamp(CaretCellPosition(), 0, std::max(LastCaretPosition(), 0));
}

THexEditor::Range THexEditor::SelectionRange() const
{
    if (!HasSelection()) {
        const std::int32_t caret = CaretCellPosition();
        return {caret, caret + 1, {Col(), Row()}};
    }
    // An inverted selection gives the empty range start..start.
    return {selLow_, std::max(selHigh_ + 1, selLow_), PositionToCell(selLow_, InCharPane())};
}

hexcore::ViewSnapshot THexEditor::Snapshot() const
{
    hexcore::ViewSnapshot view;
    view.caret = CaretCellPosition();
    view.charPane = InCharPane();
    view.nibble = view.charPane || Col() < 2 ? 0 : static_cast<std::uint8_t>((Col() - 2) & 1);
    view.selLow = selLow_;
    view.selHigh = selHigh_;
    view.selAnchor = selAnchor_;
    return view;
}

// ---- Changing --------------------------------------------------------------------

void THexEditor::MoveCaretTo(std::int32_t col, std::int32_t row)
{
    SetCurrentCell(col, row, true);
}

void THexEditor::PlaceCaret(std::int32_t position, bool charPane, std::int32_t nibble)
{
    Cell cell = PositionToCell(position, charPane);
    if (!charPane)
        cell.col += nibble;
    MoveCaretTo(cell.col, cell.row);
}

void THexEditor::SetSelStart(std::int32_t position)
{
    if (position < 0 || position >= DataSize())
        throw platform::Exception("Invalid SelStart");
    ClearSelection(true);
    PlaceCaret(position, InCharPane(), 0);
}

void THexEditor::SetSelEnd(std::int32_t position)
{
    if (position < 0 || position >= DataSize())
        throw platform::Exception("Invalid SelEnd");
    ClearSelection(true);
    const Cell to = PositionToCell(position, InCharPane());
    ExtendSelection(Col(), Row(), to.col, to.row);
}

void THexEditor::InvalidateRows(std::int32_t fromPosition, std::int32_t toPosition)
{
    if (fromPosition < 0 || toPosition < 0)
        return;
    std::int32_t first = RowOfPosition(std::min(fromPosition, toPosition));
    std::int32_t last = RowOfPosition(std::max(fromPosition, toPosition));
    // Only rows on screen need painting.
    first = std::max(first, TopRow());
    last = std::min({last, TopRow() + VisibleRowCount(), RowCount() - 1});
    const std::int32_t probes[] = {0, 1, LeftCol(), Col()};
    for (std::int32_t row = first; row <= last; ++row) {
        QRect band;
        for (std::int32_t col : probes) {
            band = CellBounds(col, row);
            if (!band.isEmpty())
                break;
        }
        for (std::int32_t col = 0; band.isEmpty() && col < ColCount(); ++col)
            band = CellBounds(col, row);
        if (band.isEmpty())
            continue;
        InvalidateRect(QRect(0, band.top(), viewport()->width(), band.height()));
    }
}

void THexEditor::ClearSelection(bool repaint)
{
    selecting_ = false;
    pendingZero_ = -1;
    const std::int32_t oldLow = selLow_;
    const std::int32_t oldHigh = selHigh_;
    selAnchor_ = selLow_ = selHigh_ = -1;
    if (repaint)
        InvalidateRows(oldLow, oldHigh);
    NotifyStateChanged();
}

void THexEditor::ExtendSelection(std::int32_t fromCol, std::int32_t fromRow, std::int32_t toCol, std::int32_t toRow)
{
    pendingZero_ = -1;
    std::int32_t g = CellToPosition(toCol, toRow);
    if (!HasSelection()) {
        selAnchor_ = CellToPosition(fromCol, fromRow);
        // In insert mode positions denote the gap before a byte.
        if (InsertModeActive()) {
            if (g < selAnchor_)
                --selAnchor_;
            else if (g > selAnchor_)
                --g;
        }
        selLow_ = std::min(g, selAnchor_);
        selHigh_ = std::max(g, selAnchor_);
        InvalidateRows(selLow_, selHigh_);
    } else {
        const std::int32_t oldLow = selLow_;
        const std::int32_t oldHigh = selHigh_;
        const std::int32_t anchor = selAnchor_;
        if (g < anchor) {
            selLow_ = g;
            selHigh_ = anchor;
        } else {
            selLow_ = anchor;
            selHigh_ = InsertModeActive() ? g - 1 : g;
        }
        InvalidateRows(oldLow, selLow_);
        InvalidateRows(oldHigh, selHigh_);
    }
    NotifyStateChanged();
}

// ---- Current-cell rules ------------------------------------------------------

bool THexEditor::AcceptCell(std::int32_t col, std::int32_t row)
{
    if (DataSize() <= 0)
        return col == 2 && row == 0;
    if (!CanSelectCell(col, row))
        return false;
    const std::int32_t oldCol = Col();
    const std::int32_t oldRow = Row();
    // Move the frame on the twin cell from the old cell's twin to the new one's.
    InvalidateCell(TwinColumn(oldCol), oldRow);
    InvalidateCell(TwinColumn(col), row);
    if (selecting_)
        ExtendSelection(oldCol, oldRow, col, row);
    else
        ClearSelection(true);
    Caret().SetPos(CellBounds(col, row).topLeft());
    return true;
}

bool THexEditor::CanSelectCell(std::int32_t col, std::int32_t row)
{
    bool accept = true;
    if (customLineLengths_ && IsBeyondLine(col, row))
        accept = false;
    if (!cellRulesArmed_)
        return accept;

    cellRulesArmed_ = false;
    struct Rearm {
        bool& armed;
        ~Rearm() { armed = true; }
    } rearm{cellRulesArmed_};

    if (!accept)
        return false;
    const bool leftButton = (QGuiApplication::mouseButtons() & Qt::LeftButton) != 0;
    const bool shift = (QGuiApplication::keyboardModifiers() & Qt::ShiftModifier) != 0;
    if (!shift && !leftButton)
        ClearSelection(true);

    const std::int32_t position = CellToPosition(col, row);
    if (position > LastCaretPosition()) {
        // Past the last byte of a short last row (or in insert mode past the
        // position after it): land there, in the pane the caret is in.
        PlaceCaret(LastCaretPosition(), InCharPane(), 0);
        return false;
    }
    if (col == hexColumns_ + 2) {
        // The separator column: a click lands on the row's last hex column.
        if (leftButton)
            MoveCaretTo(std::max(2, col - 1), row);
        return false;
    }
    if (position == DataSize() && !IsCharPaneColumn(col) && (col - 2) % 2 == 1) {
        // After the last byte there is no second digit: its first one.
        MoveCaretTo(col - 1, row);
        return false;
    }
    return true;
}
