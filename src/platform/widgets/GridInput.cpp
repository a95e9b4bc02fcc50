// SPDX-License-Identifier: GPL-3.0-or-later
// The grid base's input: the keyboard (arrows, Home/End, pages, Tab), the
// mouse (press, drag past the edges), the Qt event handlers that translate
// events into the hooks, and the dialog code that keeps keys from focus
// navigation.
#include "platform/widgets/Grid.h"

#include "platform/widgets/Application.h"

#include <QKeyEvent>
#include <QMouseEvent>

namespace platform {

void TCustomGrid::NearestCell(const QPoint& point, std::int32_t& col, std::int32_t& row) const
{
    // Past an edge of the view the next cell beyond that edge is taken, so
    // that dragging out of the view scrolls it.
    const int fixedWidth = FixedWidth();
    if (point.x() >= viewport()->width()) {
        col = Clamp64(std::int64_t(leftCol_) + VisibleColCount(), fixedCols_, colCount_ - 1);
    } else if (point.x() < fixedWidth) {
        col = Clamp64(std::int64_t(leftCol_) - 1, fixedCols_, colCount_ - 1);
    } else {
        std::int32_t c = leftCol_;
        int x = fixedWidth;
        while (c < colCount_ - 1 && point.x() >= x + colWidths_[static_cast<std::size_t>(c)]) {
            x += colWidths_[static_cast<std::size_t>(c)];
            ++c;
        }
        col = Clamp64(c, fixedCols_, colCount_ - 1);
    }

    const int fixedHeight = FixedHeight();
    if (point.y() >= viewport()->height()) {
        row = Clamp64(std::int64_t(topRow_) + VisibleRowCount(), fixedRows_, rowCount_ - 1);
    } else if (point.y() < fixedHeight) {
        row = Clamp64(std::int64_t(topRow_) - 1, fixedRows_, rowCount_ - 1);
    } else {
        const std::int64_t offset = defaultRowHeight_ > 0 ? (point.y() - fixedHeight) / defaultRowHeight_ : 0;
        row = Clamp64(std::int64_t(topRow_) + offset, fixedRows_, rowCount_ - 1);
    }
}


unsigned TCustomGrid::DialogCode() const
{
    return DLGC_WANTARROWS | (tabMovesCells_ ? DLGC_WANTTAB : 0u);
}

void TCustomGrid::MoveTo(std::int32_t col, std::int32_t row)
{
    col = Clamp64(col, fixedCols_, colCount_ - 1);
    row = Clamp64(row, fixedRows_, rowCount_ - 1);
    if (col == col_ && row == row_)
        return;
    SetCurrentCell(col, row, true);
}

void TCustomGrid::KeyDown(std::uint16_t& key, TShiftState shift)
{
    if (OnKeyDown)
        OnKeyDown(this, key, shift);
    if (key == 0)
        return;
    const bool ctrl = (shift & ssCtrl) != 0;
    std::int64_t col = col_;
    std::int64_t row = row_;
    switch (key) {
    case VK_UP:
        if (ctrl) {  // scrolls the view, the current cell stays
            SetTopRow(static_cast<std::int32_t>(std::max<std::int64_t>(std::int64_t(topRow_) - 1, 0)));
            return;
        }
        --row;
        break;
    case VK_DOWN:
        if (ctrl) {
            SetTopRow(static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t(topRow_) + 1, INT32_MAX)));
            return;
        }
        ++row;
        break;
    case VK_LEFT:
        --col;
        break;
    case VK_RIGHT:
        ++col;
        break;
    case VK_HOME:
        col = fixedCols_;
        if (ctrl)
            row = fixedRows_;
        break;
    case VK_END:
        col = colCount_ - 1;
        if (ctrl)
            row = rowCount_ - 1;
        break;
    case VK_PRIOR:
        if (ctrl) {
            row = topRow_;
        } else {
            const std::int32_t page = VisibleRowCount();
            row -= page;
            SetTopRow(Clamp64(std::int64_t(topRow_) - page, fixedRows_, MaxTopRow()));
        }
        break;
    case VK_NEXT:
        if (ctrl) {
            row = std::int64_t(topRow_) + VisibleRowCount() - 1;
        } else {
            const std::int32_t page = VisibleRowCount();
            row += page;
            SetTopRow(Clamp64(std::int64_t(topRow_) + page, fixedRows_, MaxTopRow()));
        }
        break;
    case VK_TAB:
        if (!tabMovesCells_ || (shift & (ssAlt | ssCtrl)))
            return;
        if (shift & ssShift) {
            if (--col < fixedCols_) {
                col = colCount_ - 1;
                if (--row < fixedRows_)
                    row = rowCount_ - 1;
            }
        } else {
            if (++col >= colCount_) {
                col = fixedCols_;
                if (++row >= rowCount_)
                    row = fixedRows_;
            }
        }
        break;
    default:
        return;
    }
    MoveTo(Clamp64(col, fixedCols_, colCount_ - 1), Clamp64(row, fixedRows_, rowCount_ - 1));
}

void TCustomGrid::KeyUp(std::uint16_t& key, TShiftState shift)
{
    if (OnKeyUp)
        OnKeyUp(this, key, shift);
}

void TCustomGrid::KeyPress(std::uint8_t ch)
{
    if (OnKeyPress)
        OnKeyPress(this, ch);
}

void TCustomGrid::MouseDown(Qt::MouseButton button, TShiftState, const QPoint& pos)
{
    if (button != Qt::LeftButton)
        return;
    std::int32_t col = 0;
    std::int32_t row = 0;
    if (!CellAt(pos, col, row) || col < fixedCols_ || row < fixedRows_)
        return;
    dragging_ = true;
    SetCurrentCell(col, row, true);
}

void TCustomGrid::MouseMove(TShiftState, const QPoint& pos)
{
    if (!dragging_)
        return;
    std::int32_t col = 0;
    std::int32_t row = 0;
    NearestCell(pos, col, row);
    MoveTo(col, row);
}

void TCustomGrid::MouseUp(Qt::MouseButton button, TShiftState, const QPoint&)
{
    if (button == Qt::LeftButton)
        dragging_ = false;
}

void TCustomGrid::keyPressEvent(QKeyEvent* event)
{
    std::uint16_t key = VirtualKeyOf(*event);
    TShiftState shift = ShiftStateFromQt(event->modifiers());
    // The modifier key itself counts as held while it goes down.
    if (key == VK_SHIFT)
        shift |= ssShift;
    else if (key == VK_CONTROL)
        shift |= ssCtrl;
    else if (key == VK_MENU)
        shift |= ssAlt;
    if (key != 0)
        Guard([&] { KeyDown(key, shift); });
    // The typed characters follow as their own messages.
    for (std::uint8_t byte : TypedAnsiBytes(event->key(), event->modifiers(), event->text()))
        Guard([&] { KeyPress(byte); });
    event->accept();
}

void TCustomGrid::keyReleaseEvent(QKeyEvent* event)
{
    if (event->isAutoRepeat()) {
        event->accept();
        return;
    }
    std::uint16_t key = VirtualKeyOf(*event);
    const TShiftState shift = ShiftStateFromQt(event->modifiers());
    if (key != 0)
        Guard([&] { KeyUp(key, shift); });
    event->accept();
}

void TCustomGrid::mousePressEvent(QMouseEvent* event)
{
    const TShiftState shift = ShiftStateFromQt(event->modifiers());
    Guard([&] { MouseDown(event->button(), shift, event->position().toPoint()); });
    event->accept();
}

void TCustomGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    const TShiftState shift = ShiftStateFromQt(event->modifiers()) | ssDouble;
    Guard([&] { MouseDown(event->button(), shift, event->position().toPoint()); });
    event->accept();
}

void TCustomGrid::mouseMoveEvent(QMouseEvent* event)
{
    // A drag ends when the left button is no longer held, even if its
    // release went elsewhere.
    if (!(event->buttons() & Qt::LeftButton))
        dragging_ = false;
    const TShiftState shift = ShiftStateFromQt(event->modifiers());
    Guard([&] { MouseMove(shift, event->position().toPoint()); });
    event->accept();
}

void TCustomGrid::mouseReleaseEvent(QMouseEvent* event)
{
    const TShiftState shift = ShiftStateFromQt(event->modifiers());
    Guard([&] { MouseUp(event->button(), shift, event->position().toPoint()); });
    event->accept();
}

bool TCustomGrid::focusNextPrevChild(bool next)
{
    // A control that wants Tab keeps it: the key then reaches keyPressEvent.
    if (DialogCode() & DLGC_WANTTAB)
        return false;
    return QAbstractScrollArea::focusNextPrevChild(next);
}

}  // namespace platform
