// SPDX-License-Identifier: GPL-3.0-or-later
// The user's side of the byte editor: typed characters, key presses and
// releases, mouse presses and the dialog code. The caret is the grid's current
// cell; every move goes through MoveCaretTo and so through AcceptCell,
// which extends or clears the selection. Every change of the data goes
// through the editing commands and their gate.
#include "hexeditor/hexeditor.h"

#include "platform/system/SysUtils.h"

#include <algorithm>

using platform::ssAlt;
using platform::ssCtrl;
using platform::ssShift;
using platform::TShiftState;

namespace {

constexpr TShiftState kModifiers = ssShift | ssAlt | ssCtrl;

}  // namespace

// ---- Typed characters --------------------------------------------------------

void THexEditor::KeyPress(std::uint8_t ch)
{
    if (OnKeyPress)
        OnKeyPress(this, ch);
    if (readOnlyView_)
        return;
    const std::int32_t p = CaretCellPosition();
    if (!(p < DataSize() || InsertModeActive()))
        return;
    if (InCharPane())
        TypeInCharPane(ch, p);
    else
        TypeInHexPane(ch, p);
}

void THexEditor::TypeInCharPane(std::uint8_t ch, std::int32_t p)
{
    // A character keyed as Alt + keypad digits arrives after Alt went up; it
    // is taken as an OEM character.
    const std::uint8_t b = altReleased_ ? translation::AnsiToOemChar(ch) : TranslateToByte(ch);
    if (b < 0x20 && !altReleased_)
        return;
    altReleased_ = false;
    const bool insert = InsertModeActive();
    if (!insert) {
        ClearSelection(true);
        ChangeByte(p, ReadByte(p), b, Row());
    } else if (SelLength() > 0) {
        ReplaceSelection(&b, 1);
    } else {
        InsertBuffer(&b, 1, p);
    }
    MoveAfterTyping();
}

void THexEditor::TypeInHexPane(std::uint8_t ch, std::int32_t p)
{
    const int d = platform::HexDigitValue(ch);
    if (d < 0)
        return;
    const bool insert = InsertModeActive();
    if (!insert)
        ClearSelection(true);
    const std::int32_t first = PositionToCell(p, false).col;
    const bool rightColumn = Col() != first;
    if (!insert || (rightColumn && SelLength() <= 0)) {
        // Overwrite one nibble of the byte.
        const std::uint8_t old = p < DataSize() ? ReadByte(p) : 0;
        const bool highNibble = Col() - (swapNibbles_ ? 1 : 0) == first;
        const auto v = static_cast<std::uint8_t>(highNibble ? d * 16 + (old & 0x0F) : (old & 0xF0) + d);
        ChangeByte(p, old, v, Row());
        if (insert && rightColumn && DataSize() == p + 1) {
            // The last byte is complete: append a selected zero byte for the
            // next digit to replace.
            const std::uint8_t zero = 0;
            AppendBuffer(&zero, 1);
            pendingZero_ = p + 1;
            return;
        }
    } else {
        // A new byte: the digit in the nibble the left column shows.
        const auto v = static_cast<std::uint8_t>(swapNibbles_ ? d : d * 16);
        if (DataSize() == 0)
            AppendBuffer(&v, 1);
        else if (SelLength() == 0)
            InsertBuffer(&v, 1, p);
        else
            ReplaceSelection(&v, 1);
    }
    MoveAfterTyping();
}

void THexEditor::MoveAfterTyping()
{
    ClearSelection(true);
    NavigateKey(0, platform::VK_RIGHT);
}

// ---- Keys --------------------------------------------------------------------

void THexEditor::KeyDown(std::uint16_t& key, TShiftState shift)
{
    using namespace platform;
    shift &= kModifiers;
    if (key == VK_INSERT) {
        key = 0;
        document_.SetInsertState(!document_.InsertState());
        InsertModeChanged();
        if (autoCaretMode_)
            SetAutoCaretMode(true);
        document_.ClearChangeMarks();
        InvalidateGrid();
        NotifyStateChanged();
        return;
    }
    // Without WantTabs the Tab key belongs to the window's focus navigation.
    if (key == VK_TAB && !wantTabs_ && !(shift & (ssCtrl | ssAlt)))
        return;

    const std::uint16_t k = key;
    const bool insert = InsertModeActive();
    if (key == VK_BACK) {
        if (insert && !readOnlyView_) {
            key = 0;
            if (SelLength() > 0)
                DeleteSelection();
            else
                DeleteCaretByte(true);
        } else {
            key = VK_LEFT;  // the grid moves one column to the left
        }
    }
    if (key == VK_DELETE && !readOnlyView_) {
        key = 0;
        if (shift == ssCtrl || (insert && SelLength() > 0))
            DeleteSelection();
        else if (insert)
            DeleteCaretByte(false);
    }
    if (NavigateKey(shift, k)) {
        key = 0;
        return;
    }
    if (key != 0)
        TCustomGrid::KeyDown(key, shift);
}

void THexEditor::KeyUp(std::uint16_t& key, TShiftState shift)
{
    altReleased_ = key == platform::VK_MENU;
    TCustomGrid::KeyUp(key, shift);
}

std::int32_t THexEditor::LastColumnOfLine(std::int32_t row, bool charPane) const
{
    const std::int32_t last = charPane ? ColCount() - 1 : hexColumns_ + 1;
    std::int32_t c = charPane ? hexColumns_ + 3 : 2;
    while (c < last && !IsBeyondLine(c + 1, row))
        ++c;
    return c;
}

std::int32_t THexEditor::FixColumn(std::int32_t targetRow, bool charPane) const
{
    std::int32_t c = Col();
    if (!customLineLengths_)
        return c;
    const bool wasLast = !IsBeyondLine(c, Row()) && IsBeyondLine(c + 1, Row());
    if (wasLast)
        return LastColumnOfLine(targetRow, charPane);
    while (c > 2 && IsBeyondLine(c, targetRow))
        --c;
    return c;
}

bool THexEditor::NavigateKey(TShiftState shift, std::uint16_t key)
{
    using namespace platform;
    shift &= kModifiers;
    if (shift == 0 && key != VK_SHIFT && !InsertModeActive())
        ClearSelection(true);

    const bool ctrl = (shift & ssCtrl) != 0;
    const std::int32_t p = CaretCellPosition();
    const bool charPane = InCharPane();
    const std::int32_t size = DataSize();
    // The last byte, or in insert mode the position after it.
    const std::int32_t last = LastCaretPosition();
    const std::int32_t visible = VisibleRowCount();
    auto moveTo = [this](std::int32_t col, std::int32_t row) { MoveCaretTo(col, row); };
    auto moveToRow = [&](std::int32_t row) { moveTo(FixColumn(row, charPane), row); };
    auto moveToPosition = [&](std::int32_t position) {
        const Cell cell = PositionToCell(position, charPane);
        moveTo(cell.col, cell.row);
    };

    switch (key) {
    case VK_PRIOR:
        if (ctrl) {
            moveToRow(TopRow());
        } else {
            const std::int32_t t = std::max(0, Row() - visible + 1);
            SetTopRow(std::max(0, TopRow() - visible + 1));
            moveToRow(t);
        }
        return true;
    case VK_NEXT:
        if (ctrl) {
            moveToRow(static_cast<std::int32_t>(
                std::min<std::int64_t>(RowCount() - 1, std::int64_t(TopRow()) + visible - 1)));
        } else {
            const auto t =
                static_cast<std::int32_t>(std::min<std::int64_t>(RowCount() - 1, std::int64_t(Row()) + visible - 1));
            SetTopRow(static_cast<std::int32_t>(std::min<std::int64_t>(std::max(0, RowCount() - visible),
                                                                        std::int64_t(TopRow()) + visible - 1)));
            moveToRow(t);
        }
        return true;
    case VK_HOME:
        moveTo(charPane ? TwinColumn(2) : 2, ctrl ? 0 : Row());
        return true;
    case VK_END:
        if (ctrl) {
            moveToPosition(last);
        } else {
            std::int32_t q = CellToPosition(2, Row() + 1) - 1;
            q = std::min(q, last);
            moveToPosition(q);
        }
        return true;
    case VK_LEFT:
        if (ctrl)
            return false;
        if (charPane) {
            moveToPosition(std::max(p - 1, 0));
        } else if ((Col() - 2) % 2 == 1) {
            moveTo(Col() - 1, Row());
        } else if (p > 0) {
            const Cell cell = PositionToCell(p - 1, false);
            moveTo(cell.col + 1, cell.row);
        }
        return true;
    case VK_RIGHT:
        if (ctrl) {
            std::int32_t c = ColCount() - 1;
            while (c > 2 && IsBeyondLine(c, Row()))
                --c;
            moveTo(c, Row());
        } else if (charPane) {
            moveToPosition(std::max(std::min(p + 1, last), 0));
        } else if ((Col() - 2) % 2 == 0) {
            moveTo(Col() + 1, Row());
        } else if (p + 1 <= last) {
            moveToPosition(p + 1);
        }
        return true;
    case VK_DOWN:
        if (ctrl)
            return false;
        if (Row() + 1 < RowCount())
            moveToRow(Row() + 1);
        return true;
    case VK_UP:
        if (ctrl)
            return false;
        if (Row() - 1 >= 0)
            moveToRow(Row() - 1);
        return true;
    case 'T':
        if (!ctrl)
            return false;
        if (size > 0)
            SetCol(TwinColumn(Col()));
        return true;
    case VK_TAB:
        if (shift != 0 && shift != ssShift)
            return false;
        if (size > 0)
            SetCol(TwinColumn(Col()));
        return true;
    case VK_SHIFT:
        if (shift != ssShift)
            return false;
        if (!selecting_)
            ClearSelection(true);
        selecting_ = true;
        return true;
    default:
        break;
    }
    if (key >= '0' && key <= '9') {
        const int digit = key - '0';
        if (shift == (ssCtrl | ssShift)) {
            SetMarker(digit, Row());
            return true;
        }
        if (shift == ssCtrl) {
            ClearSelection(true);
            const std::int32_t t = MarkerRow(digit);
            if (t < RowCount())
                moveTo(2, t);
            else
                SetMarker(digit, -1);  // the data shrank below the bookmark
            return true;
        }
    }
    return false;
}

// ---- Mouse and dialog code ---------------------------------------------------

void THexEditor::MouseDown(Qt::MouseButton button, TShiftState shift, const QPoint& pos)
{
    TCustomGrid::MouseDown(button, shift, pos);
    if (button != Qt::LeftButton)
        return;
    ClearSelection(true);
    if (!(shift & platform::ssDouble))
        selecting_ = true;
}

unsigned THexEditor::DialogCode() const
{
    unsigned code = TCustomGrid::DialogCode() | platform::DLGC_WANTARROWS | platform::DLGC_WANTCHARS;
    if (wantTabs_)
        code |= platform::DLGC_WANTTAB;
    else
        code &= ~static_cast<unsigned>(platform::DLGC_WANTTAB);
    return code;
}
