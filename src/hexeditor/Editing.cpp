// SPDX-License-Identifier: GPL-3.0-or-later
// The editing commands as the view carries them out, and Undo.
//
// Every command passes the document's gate (PrepareChange), which refuses
// edits the document does not allow (empty document, NoSizeChange), records
// the edit with the caret and selection of the moment (Snapshot), and sets
// Modified. The document changes the bytes; the command then places the
// caret, sets the selection and repaints. An inverted (empty) selection never
// has bytes read, recorded or removed for it.
//
// A command whose read or write of the working copy fails is taken back as
// a whole (RunCommand): bytes, length, change marks, undo log, Modified,
// caret and selection are as before, and the I/O error goes on to the
// caller.
#include "hexeditor/hexeditor.h"

#include <algorithm>
#include <functional>

using hexcore::UndoKind;

void THexEditor::RunCommand(std::int32_t marksFrom, const std::function<void()>& steps)
{
    pendingZero_ = -1;
    const hexcore::ViewSnapshot view = Snapshot();
    const bool selecting = selecting_;
    const hexcore::Document::CommandStart start = document_.BeginCommand(marksFrom);
    try {
        steps();
    } catch (...) {
        document_.CancelCommand(start);
        RestoreView(view);
        selecting_ = selecting;
        throw;
    }
}

void THexEditor::RestoreView(const hexcore::ViewSnapshot& view)
{
    selecting_ = false;
    PlaceCaret(view.caret, view.charPane, view.nibble);
    selAnchor_ = view.selAnchor;
    selLow_ = view.selLow;
    selHigh_ = view.selHigh;
    InvalidateGrid();
    NotifyStateChanged();
}

void THexEditor::RemoveBytes(std::int32_t start, std::int32_t end, Cell caret)
{
    // The gate's record holds the bytes: a failed removal puts them back
    // from there.
    if (document_.DeleteRange(start, end, document_.Undos().NewestSaved()))
        PlaceCaretAfterRemoval(caret, DataSize());
}

void THexEditor::PlaceCaretAfterRemoval(Cell caret, std::int32_t size)
{
    // The caret keeps its cell unless that now lies past the last byte.
    if (CellToPosition(caret.col, caret.row) >= size)
        caret = PositionToCell(size - 1, IsCharPaneColumn(caret.col));  // (2, 0) once the document is empty
    MoveCaretTo(caret.col, caret.row);
    ClearSelection(false);
    InvalidateGrid();
}

void THexEditor::DeleteSelection()
{
    if (HasSelection() && SelLength() == 0) {
        // An empty (inverted) selection: there is nothing to remove.
        ClearSelection(true);
        return;
    }
    if (!HasSelection() && CaretCellPosition() >= DataSize())
        return;  // the caret after the last byte (insert mode): no byte under it
    Range range = SelectionRange();
    RunCommand(range.start, [&] {
        // The marks from the range on go, even when the deletion is refused.
        document_.CutChangeMarks(range.start);
        // A selection can never remove more than the document holds.
        range.end = std::min(range.end, std::max(DataSize(), range.start));
        if (document_.PrepareChange(UndoKind::BytesRemoved, range.start, 0, range.end - range.start, Snapshot()))
            RemoveBytes(range.start, range.end, range.cell);
    });
}

void THexEditor::DeleteCaretByte(bool backwards)
{
    const std::int32_t a = InsertionPoint();
    const Cell caret{Col(), Row()};
    RunCommand(backwards ? a - 1 : a, [&] {
        if (backwards) {
            if (a > 0 && document_.PrepareChange(UndoKind::BytesRemoved, a - 1, 0, 1, Snapshot())) {
                RemoveBytes(a - 1, a, caret);
                // Behind the last byte the caret stays behind it.
                if (!SeekCaret(a - 1, 0, true) && a - 1 <= LastCaretPosition())
                    PlaceCaret(a - 1, InCharPane(), 0);
            }
        } else if (a < DataSize() && document_.PrepareChange(UndoKind::BytesRemoved, a, 0, 1, Snapshot())) {
            RemoveBytes(a, a + 1, caret);
        }
    });
}

void THexEditor::ChangeByte(std::int32_t position, std::uint8_t oldValue, std::uint8_t newValue, std::int32_t row)
{
    if (oldValue == newValue)
        return;
    // Writing past the end would lengthen the working copy behind the
    // document's back; only existing bytes can be changed.
    if (position < 0 || position >= DataSize())
        return;
    // The byte's change mark is set only after the write succeeded.
    RunCommand(DataSize(), [&] {
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
    });
}

void THexEditor::InsertBuffer(const void* source, std::int32_t count, std::int32_t position)
{
    // A negative count or a position outside the document (or just past its
    // end) would corrupt the working copy.
    if (count < 0 || position < 0 || position > DataSize())
        return;
    RunCommand(position, [&] {
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
    });
}

void THexEditor::AppendBuffer(const void* source, std::int32_t count)
{
    if (count < 0)
        return;
    const std::int32_t old = DataSize();
    RunCommand(old, [&] {
        if (!document_.PrepareChange(UndoKind::AppendBuffer, old, 0, count, Snapshot()))
            return;
        document_.CutChangeMarks(old);
        document_.AppendBytes(source, count);
        PlaceCaret(old, InCharPane(), 0);
        selAnchor_ = selLow_ = old;
        selHigh_ = old + count - 1;
        NotifyStateChanged();
        InvalidateGrid();
    });
}

void THexEditor::ReplaceSelection(const void* source, std::int32_t count)
{
    if (count < 0)
        return;
    RunCommand(HasSelection() ? selLow_ : CaretCellPosition(), [&] {
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
        const Cell caret{Col(), Row()};
        Range range = SelectionRange();
        document_.CutChangeMarks(range.start);
        range.end = std::min(range.end, std::max(DataSize(), range.start));
        // The caret goes where removing the selection alone would put it.
        const std::int32_t shrunk = DataSize() - (range.end - range.start);
        document_.ReplaceBytes(range.start, range.end, source, count, document_.Undos().NewestSaved());
        PlaceCaretAfterRemoval(range.cell, shrunk);
        document_.CutChangeMarks(range.start);
        if (CellToPosition(caret.col, caret.row) == range.start && range.start < DataSize()) {
            MoveCaretTo(caret.col, caret.row);
            selAnchor_ = selLow_ = range.start;
            selHigh_ = range.start + count - 1;
            NotifyStateChanged();
        }
    });
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

bool THexEditor::Undo()
{
    const std::optional<hexcore::ViewSnapshot> view = document_.UndoKeepingRedo();
    if (!view)
        return false;
    RestoreView(*view);
    return true;
}

bool THexEditor::Redo()
{
    const hexcore::RedoStep* next = document_.NextRedo();
    if (!next)
        return false;
    std::optional<hexcore::ViewSnapshot> view;
    RunCommand(next->position, [&] { view = document_.Redo(); });
    if (!view)
        return false;
    RestoreView(*view);
    return true;
}

std::string THexEditor::RedoDescription() const
{
    const hexcore::RedoStep* next = document_.NextRedo();
    return next ? hexcore::UndoDescription(next->kind) : std::string();
}
