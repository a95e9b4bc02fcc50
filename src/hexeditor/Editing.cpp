// Selection, editing commands, Undo as the view sees it, and the current-cell
// rules (AcceptCell) that keep the selection in step with the caret.
//
// Every command passes the document's gate (PrepareChange), which refuses
// edits the document does not allow (empty document, NoSizeChange), records
// the edit with the caret and selection of the moment, and sets Modified.
// While insert mode is active the selection may end up inverted (SelHigh =
// SelLow - 1); such a selection is empty: no command reads, records or
// removes bytes for it.
#include "hexeditor/hexeditor.h"

#include "platform/system/Exceptions.h"

#include <QGuiApplication>
#include <algorithm>
#include <cstdint>

using hexcore::UndoKind;

// ---- Reading the selection -------------------------------------------------

std::int32_t THexEditor::CaretCellPosition()
{
    return CellToPosition(Col(), Row());
}

std::int32_t THexEditor::SelStart()
{
    return HasSelection() ? selAnchor_ : CaretCellPosition();
}

std::int32_t THexEditor::SelEnd()
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

std::int32_t THexEditor::CaretPosition()
{
    const std::int32_t size = DataSize();
    if (size <= 0)
        return 0;
    return std::clamp(CaretCellPosition(), 0, size - 1);
}

// ---- Changing the selection ------------------------------------------------

void THexEditor::PlaceCaret(std::int32_t position, bool charPane, std::int32_t nibble)
{
    Cell cell = PositionToCell(position, charPane);
    if (!charPane)
        cell.col += nibble;
    SetCurrentCell(cell.col, cell.row, true, true);
}

void THexEditor::SetSelStart(std::int32_t position)
{
    if (position < 0 || position >= DataSize())
        throw platform::Exception("Invalid SelStart");
    ClearSelection(true);
    CaretCellPosition();  // learn the caret's pane
    PlaceCaret(position, inCharPane_, 0);
}

void THexEditor::SetSelEnd(std::int32_t position)
{
    if (position < 0 || position >= DataSize())
        throw platform::Exception("Invalid SelEnd");
    ClearSelection(true);
    CaretCellPosition();
    const Cell to = PositionToCell(position, inCharPane_);
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
    const std::int32_t oldLow = selLow_;
    const std::int32_t oldHigh = selHigh_;
    selAnchor_ = selLow_ = selHigh_ = -1;
    if (repaint)
        InvalidateRows(oldLow, oldHigh);
    NotifyStateChanged();
}

void THexEditor::ExtendSelection(std::int32_t fromCol, std::int32_t fromRow, std::int32_t toCol, std::int32_t toRow)
{
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

THexEditor::Range THexEditor::SelectionRange()
{
    Range range{};
    if (!HasSelection()) {
        range.start = CaretCellPosition();
        range.end = range.start + 1;
        range.col = Col();
        range.row = Row();
    } else {
        range.start = selLow_;
        // An inverted selection gives the empty range start..start.
        range.end = std::max(selHigh_ + 1, selLow_);
        CaretCellPosition();
        const Cell cell = PositionToCell(selLow_, inCharPane_);
        range.col = cell.col;
        range.row = cell.row;
    }
    if (range.end > range.start)
        document_.CutChangeMarks(range.start);
    return range;
}

// ---- Commands ----------------------------------------------------------------

void THexEditor::DeleteSelection()
{
    if (HasSelection() && SelLength() == 0) {
        // An empty (inverted) selection: there is nothing to remove.
        ClearSelection(true);
        return;
    }
    Range range = SelectionRange();
    // A selection can never remove more than the document holds.
    range.end = std::min(range.end, std::max(DataSize(), range.start));
    if (document_.PrepareChange(UndoKind::BytesRemoved, range.start, 0, range.end - range.start, Snapshot()))
        DeleteRange(range.start, range.end, range.row, range.col);
}

void THexEditor::DeleteCaretByte(bool backwards)
{
    const std::int32_t a = CaretPosition();
    if (backwards) {
        if (a > 0 && document_.PrepareChange(UndoKind::BytesRemoved, a - 1, 0, 1, Snapshot())) {
            DeleteRange(a - 1, a, Row(), Col());
            SeekCaret(a - 1, 0, true);
        }
    } else if (DataSize() > 0 && document_.PrepareChange(UndoKind::BytesRemoved, a, 0, 1, Snapshot())) {
        DeleteRange(a, a + 1, Row(), Col());
    }
}

void THexEditor::ChangeByte(std::int32_t position, std::uint8_t oldValue, std::uint8_t newValue, std::int32_t row)
{
    if (oldValue == newValue)
        return;
    // Writing past the end would lengthen the working copy behind the
    // store's back; only existing bytes can be changed.
    if (position < 0 || position >= DataSize())
        return;
    if (!document_.PrepareChange(UndoKind::ByteChanged, position, 0, 1, Snapshot()))
        return;
    document_.WriteByte(position, newValue);
    document_.UpdatePage(position, newValue);
    if (!InsertModeActive())
        document_.MarkChanged(position);
    const std::int32_t hexCol = PositionToCell(position, false).col;
    InvalidateCell(hexCol, row);
    InvalidateCell(hexCol + 1, row);
    InvalidateCell(TwinColumn(hexCol), row);
}

void THexEditor::InsertBuffer(const void* source, std::int32_t count, std::int32_t position)
{
    // A negative count or a position outside the document (or just past its
    // end) would corrupt the working copy.
    if (count < 0 || position < 0 || position > DataSize())
        return;
    if (!document_.PrepareChange(UndoKind::InsertBuffer, position, 0, count, Snapshot()))
        return;
    document_.InsertBytes(source, count, position);
    document_.CutChangeMarks(position);
    if (position == CaretCellPosition()) {
        selAnchor_ = selLow_ = position;
        selHigh_ = position + count - 1;
        NotifyStateChanged();
    }
    InvalidateGrid();
}

void THexEditor::AppendBuffer(const void* source, std::int32_t count)
{
    if (count < 0)
        return;
    if (!document_.PrepareChange(UndoKind::AppendBuffer, DataSize(), 0, count, Snapshot()))
        return;
    const std::int32_t old = DataSize();
    document_.CutChangeMarks(old);
    document_.AppendBytes(source, count);
    CaretCellPosition();
    PlaceCaret(old, inCharPane_, 0);
    selAnchor_ = selLow_ = old;
    selHigh_ = old + count - 1;
    NotifyStateChanged();
    InvalidateGrid();
}

void THexEditor::ReplaceSelection(const void* source, std::int32_t count)
{
    if (count < 0)
        return;
    if (HasSelection() && SelLength() == 0)
        ClearSelection(true);  // an empty selection: insert at the caret
    if (!HasSelection()) {
        InsertBuffer(source, count, SelStart());
        return;
    }
    if (NoSizeChange()) {
        const std::int32_t length = SelLength();
        if (count == 0)
            return;  // nothing to write, and the length must not change
        if (length < count) {
            count = length;
        } else if (count < length) {
            const std::int32_t first = std::min(SelStart(), SelEnd());
            SetSelStart(first);
            SetSelEnd(first + count - 1);
        }
    }
    if (!document_.PrepareChange(UndoKind::ReplaceSelection, selLow_, SelLength(), count, Snapshot()))
        return;
    const std::int32_t caretCol = Col();
    const std::int32_t caretRow = Row();
    Range range = SelectionRange();
    range.end = std::min(range.end, std::max(DataSize(), range.start));
    DeleteRange(range.start, range.end, range.row, range.col);
    document_.InsertBytes(source, count, range.start);
    document_.CutChangeMarks(range.start);
    if (CellToPosition(caretCol, caretRow) == range.start && range.start < DataSize()) {
        SetCurrentCell(caretCol, caretRow, true, true);
        selAnchor_ = selLow_ = range.start;
        selHigh_ = range.start + count - 1;
        NotifyStateChanged();
    }
}

bool THexEditor::SeekCaret(std::int32_t offset, int origin, bool strict)
{
    std::int64_t position;
    switch (origin) {
    case 0: position = offset; break;
    case 1: position = static_cast<std::int64_t>(offset) + CaretPosition(); break;
    case 2: position = static_cast<std::int64_t>(offset) + DataSize() - 1; break;
    default: position = CaretPosition(); break;
    }
    const std::int32_t size = DataSize();
    if (size <= 0)
        return false;
    if (position < 0) {
        if (strict)
            return false;
        position = 0;
    }
    if (position >= size) {
        if (strict)
            return false;
        position = size - 1;
    }
    SetSelStart(static_cast<std::int32_t>(position));
    return true;
}

// ---- Undo ---------------------------------------------------------------------

hexcore::ViewSnapshot THexEditor::Snapshot()
{
    hexcore::ViewSnapshot view;
    view.caret = CaretCellPosition();
    view.charPane = inCharPane_;
    view.nibble = view.charPane || Col() < 2 ? 0 : static_cast<std::uint8_t>((Col() - 2) & 1);
    view.selLow = selLow_;
    view.selHigh = selHigh_;
    view.selAnchor = selAnchor_;
    return view;
}

bool THexEditor::Undo()
{
    const std::optional<hexcore::ViewSnapshot> view = document_.Undo();
    if (!view)
        return false;
    selecting_ = false;
    PlaceCaret(view->caret, view->charPane, view->nibble);
    selAnchor_ = view->selAnchor;
    selLow_ = view->selLow;
    selHigh_ = view->selHigh;
    InvalidateGrid();
    NotifyStateChanged();
    return true;
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
    if (position >= DataSize()) {
        // Past the last byte of a short last row: land on the last byte, in
        // the pane the caret is in.
        CaretCellPosition();
        PlaceCaret(DataSize() - 1, inCharPane_, 0);
        return false;
    }
    if (col == hexColumns_ + 2) {
        // The separator column: a click lands on the row's last hex column.
        if (leftButton)
            SetCurrentCell(std::max(2, col - 1), row, true, true);
        return false;
    }
    return true;
}
