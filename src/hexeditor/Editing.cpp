// Selection, editing commands, undo log and Undo, and the current-cell rules
// (AcceptCell) that keep the selection in step with the caret.
//
// Every command passes PrepareChange, which refuses edits the document does
// not allow (empty document, NoSizeChange), writes one undo record and sets
// Modified. The undo log is one byte stream of records; each ends with its own
// length so that the log can be walked backwards from its end:
//
//   0  kind            1  change mark (kinds 0, 5, 6)   2  Modified before
//   3  caret position  7  caret nibble   8  caret pane (1 = characters)
//   9  SelLow         13  SelHigh       17  SelAnchor
//  21  position       25  count         29  replaced count (kind 3)
//  33  saved bytes (n)                  33+n  record length (n + 37)
//
// All integers are 32-bit little-endian. While insert mode is active the
// selection may end up inverted (SelHigh = SelLow - 1); such a selection is
// empty: no command reads, records or removes bytes for it.
#include "hexeditor/hexeditor.h"

#include "hexeditor/core/UndoRecord.h"
#include "platform/system/Exceptions.h"

#include <QGuiApplication>
#include <algorithm>
#include <cstdint>
#include <malloc.h>
#include <sys/mman.h>

namespace {

using hexcore::UndoKind;
using hexcore::UndoRecord;

constexpr std::int32_t kMaxUndoRecords = 100;
// A freed undo log of at least this size is handed back to the system.
constexpr std::size_t kTrimAfter = 1u << 20;

// Shared by every editor: cleared while CanSelectCell makes its own cell
// moves, so that those moves get only the basic checks.
bool cellRulesArmed = true;

// Asks the kernel to back the whole 2 MiB pieces of a large block with huge
// pages (transparent huge pages in "madvise" mode): one page fault per 2 MiB
// instead of one per 4 KiB. A mere advice; nothing changes where the kernel
// declines.
void AdviseHugePages(void* data, std::size_t size)
{
    constexpr std::uintptr_t kHugePage = 2u << 20;
    if (size < 2 * kHugePage)
        return;
    const auto begin = (reinterpret_cast<std::uintptr_t>(data) + kHugePage - 1) & ~(kHugePage - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + size) & ~(kHugePage - 1);
    if (end > begin)
        (void)::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

// Start offset of the newest record of a log, or -1 when its tail is damaged.
std::int64_t NewestRecordStart(const std::vector<std::uint8_t>& log)
{
    const std::size_t length = hexcore::UndoRecord::LengthEndingAt(log.data(), log.size());
    return length == 0 ? -1 : static_cast<std::int64_t>(log.size() - length);
}

}  // namespace

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
    if (range.end > range.start && range.start >= 0 &&
        static_cast<std::size_t>(range.start) < changedBytes_.size())
        changedBytes_.resize(static_cast<std::size_t>(range.start));
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
    if (PrepareChange(1, range.start, 0, range.end - range.start))
        DeleteRange(range.start, range.end, range.row, range.col);
}

void THexEditor::DeleteCaretByte(bool backwards)
{
    const std::int32_t a = CaretPosition();
    if (backwards) {
        if (a > 0 && PrepareChange(1, a - 1, 0, 1)) {
            DeleteRange(a - 1, a, Row(), Col());
            SeekCaret(a - 1, 0, true);
        }
    } else if (DataSize() > 0 && PrepareChange(1, a, 0, 1)) {
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
    if (!PrepareChange(0, position, 0, 1))
        return;
    WriteByte(position, newValue);
    UpdatePage(position, newValue);
    if (!InsertModeActive()) {
        if (changedBytes_.size() <= static_cast<std::size_t>(position))
            changedBytes_.resize(static_cast<std::size_t>(position) + 1, false);
        changedBytes_[static_cast<std::size_t>(position)] = true;
    }
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
    if (!PrepareChange(2, position, 0, count))
        return;
    InsertBytes(source, count, position);
    if (changedBytes_.size() >= static_cast<std::size_t>(position))
        changedBytes_.resize(static_cast<std::size_t>(position));
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
    if (!PrepareChange(4, DataSize(), 0, count))
        return;
    if (changedBytes_.size() >= static_cast<std::size_t>(DataSize()))
        changedBytes_.resize(static_cast<std::size_t>(DataSize()));
    const std::int32_t old = DataSize();
    AppendBytes(source, count);
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
    if (noSizeChange_) {
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
    if (!PrepareChange(3, selLow_, SelLength(), count))
        return;
    const std::int32_t caretCol = Col();
    const std::int32_t caretRow = Row();
    Range range = SelectionRange();
    range.end = std::min(range.end, std::max(DataSize(), range.start));
    DeleteRange(range.start, range.end, range.row, range.col);
    InsertBytes(source, count, range.start);
    if (changedBytes_.size() >= static_cast<std::size_t>(range.start))
        changedBytes_.resize(static_cast<std::size_t>(range.start));
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

// ---- The gate and the undo log ---------------------------------------------

bool THexEditor::PrepareChange(std::uint8_t kind, std::int32_t position, std::int32_t replacedCount,
                               std::int32_t count)
{
    bool allowed = DataSize() > 0 || kind == 2 || kind == 4;
    if (noSizeChange_ && allowed) {
        switch (kind) {
        case 1: case 2: case 4: case 5: case 6: allowed = false; break;
        case 3: allowed = replacedCount == count; break;
        default: break;
        }
    }
    if (allowed) {
        canUndo_ = true;
        RecordUndo(kind, position, replacedCount, count);
        modified_ = true;
    }
    NotifyStateChanged();
    return allowed;
}

void THexEditor::RecordUndo(std::uint8_t kind, std::int32_t position, std::int32_t replacedCount, std::int32_t count)
{
    UndoRecord frame;
    frame.kind = static_cast<UndoKind>(std::min<std::uint8_t>(kind, 7));
    undoDescription_ = hexcore::UndoDescription(frame.kind);
    if (!undoLog_)
        undoLog_ = std::make_unique<std::vector<std::uint8_t>>();
    if (++undoCount_ > kMaxUndoRecords)
        DropOldestUndo();

    const std::int32_t saved = UndoRecord::SavedLength(frame.kind, count, replacedCount);
    const std::size_t length = UndoRecord::kMinSize + static_cast<std::size_t>(saved);
    // The record is built in place at the end of the log: the saved bytes of
    // a large deletion are read from the working copy once, straight into
    // the log, and never held twice.
    std::vector<std::uint8_t>& log = *undoLog_;
    const std::size_t at = log.size();
    const std::size_t needed = at + length;
    if (needed > log.capacity()) {
        // Room for this record (and, as the log grows, for the next ones);
        // large memory is asked for in huge pages, which fill about three
        // times faster than small ones.
        log.reserve(std::max(needed, 2 * log.capacity()));
        AdviseHugePages(log.data(), log.capacity());
    }
    log.resize(needed);  // zero-filled
    std::uint8_t* record = log.data() + at;
    frame.view.caret = CaretCellPosition();
    frame.view.charPane = inCharPane_;
    frame.view.nibble = frame.view.charPane || Col() < 2 ? 0 : static_cast<std::uint8_t>((Col() - 2) & 1);
    frame.view.selLow = selLow_;
    frame.view.selHigh = selHigh_;
    frame.view.selAnchor = selAnchor_;
    frame.modified = modified_;
    frame.position = position;
    frame.count = count;
    frame.replaced = frame.kind == UndoKind::ReplaceSelection ? replacedCount : 0;
    const bool oneByte = UndoRecord::SavesOneByte(frame.kind);
    if (oneByte) {
        frame.mark = IsByteChanged(position);
        record[UndoRecord::kHeaderSize] = ReadByte(position);
    } else if (saved > 0 && frame.kind != UndoKind::InsertBuffer && frame.kind != UndoKind::AppendBuffer) {
        ReadBuffer(&record[UndoRecord::kHeaderSize], position, saved);
    }
    frame.EncodeAround(record, length);

    // The size-changing step that follows must read the length afresh.
    if (!oneByte)
        pageStart_ = -1;
}

void THexEditor::DropOldestUndo()
{
    if (!undoLog_ || undoLog_->empty())
        return;
    std::vector<std::uint8_t>& log = *undoLog_;
    // Walk back from the end by the trailing lengths to the oldest record.
    std::size_t end = log.size();
    std::size_t oldestLength = 0;
    while (end > 0) {
        oldestLength = UndoRecord::LengthEndingAt(log.data(), end);
        if (oldestLength == 0)
            return;  // a damaged log is left alone
        end -= oldestLength;
    }
    log.erase(log.begin(), log.begin() + static_cast<std::ptrdiff_t>(oldestLength));
    --undoCount_;
}

void THexEditor::ResetUndo()
{
    canUndo_ = false;
    undoDescription_ = "No Undo";
    undoCount_ = 0;
    const bool large = undoLog_ && undoLog_->capacity() >= kTrimAfter;
    undoLog_.reset();
    // The allocator keeps freed memory of its heap for later; after a large
    // log (the saved tail of a cut package) it goes back to the system at
    // once, so one large log never stays beside the next one.
    if (large)
        ::malloc_trim(0);
    if (OnStateChanged)
        OnStateChanged(this);
}

const std::vector<std::uint8_t>& THexEditor::UndoLog() const
{
    static const std::vector<std::uint8_t> empty;
    return undoLog_ ? *undoLog_ : empty;
}

bool THexEditor::Undo()
{
    if (!undoLog_ || undoCount_ <= 0)
        return false;
    std::vector<std::uint8_t>& log = *undoLog_;
    const std::int64_t start = NewestRecordStart(log);
    if (start < 0)
        return false;
    const std::optional<UndoRecord> decoded =
        UndoRecord::Decode(log.data() + start, log.size() - static_cast<std::size_t>(start));
    if (!decoded)
        return false;
    const UndoRecord& r = *decoded;
    const auto kind = static_cast<std::uint8_t>(r.kind);
    const bool mark = r.mark;
    const bool wasModified = r.modified;
    const std::int32_t caret = r.view.caret;
    const std::int32_t nibble = r.view.nibble;
    const bool charPane = r.view.charPane;
    const std::int32_t low = r.view.selLow;
    const std::int32_t high = r.view.selHigh;
    const std::int32_t anchor = r.view.selAnchor;
    const std::int32_t position = r.position;
    const std::int32_t count = r.count;
    const std::int32_t replaced = r.replaced;
    const std::uint8_t* saved = r.saved.data();
    const auto savedLength = static_cast<std::int32_t>(r.saved.size());

    // Undoing a size change is itself a size change.
    if (noSizeChange_ && r.ChangesSize())
        return false;

    switch (kind) {
    case 0:
    case 5:
    case 6:
        // Kinds 5 and 6 are never written by this editor; all their record
        // holds is the old byte at the position.
        if (position >= 0 && position < DataSize()) {
            WriteByte(position, saved[0]);
            UpdatePage(position, saved[0]);
            const auto bit = static_cast<std::size_t>(position);
            if (mark) {
                if (changedBytes_.size() <= bit)
                    changedBytes_.resize(bit + 1, false);
                changedBytes_[bit] = true;
            } else if (bit < changedBytes_.size()) {
                changedBytes_[bit] = false;
            }
        }
        break;
    case 1:
        // The change marks behind the position are kept: DeleteSelection has
        // cut them already, and DeleteCaretByte left them where they were.
        pageStart_ = -1;
        InsertBytes(saved, std::min(count, savedLength), position);
        break;
    case 2:
    case 4:
        pageStart_ = -1;
        DeleteRange(position, position + count, Row(), Col());
        break;
    case 3:
        pageStart_ = -1;
        if (count > 0)
            DeleteRange(position, position + count, Row(), Col());
        if (replaced > 0)
            InsertBytes(saved, std::min(replaced, savedLength), position);
        if (changedBytes_.size() > static_cast<std::size_t>(position))
            changedBytes_.resize(static_cast<std::size_t>(position));
        break;
    case 7:
        WriteBuffer(saved, position, std::min(count, savedLength));
        pageStart_ = -1;
        break;
    default:
        break;
    }

    log.resize(static_cast<std::size_t>(start));
    --undoCount_;
    const std::int64_t next = NewestRecordStart(log);
    if (undoCount_ > 0 && next >= 0) {
        undoDescription_ = hexcore::UndoDescription(static_cast<UndoKind>(log[static_cast<std::size_t>(next)]));
    } else {
        undoDescription_ = "No Undo";
        canUndo_ = false;
    }
    modified_ = wasModified;

    selecting_ = false;
    PlaceCaret(caret, charPane, nibble);
    selAnchor_ = anchor;
    selLow_ = low;
    selHigh_ = high;
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
    if (!cellRulesArmed)
        return accept;

    cellRulesArmed = false;
    struct Rearm {
        ~Rearm() { cellRulesArmed = true; }
    } rearm;

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
