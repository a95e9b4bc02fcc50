// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/widgets/Grid.h"

#include "platform/widgets/Application.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

namespace platform {

std::int32_t TCustomGrid::Clamp64(std::int64_t value, std::int32_t low, std::int32_t high)
{
    if (high < low)
        high = low;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, low, high));
}

TCustomGrid::TCustomGrid(QWidget* parent) : QAbstractScrollArea(parent), caret_(viewport())
{
    colWidths_.assign(static_cast<std::size_t>(colCount_), defaultColWidth_);
    setFocusPolicy(Qt::StrongFocus);
    verticalScrollBar()->setTracking(thumbTracking_);
    horizontalScrollBar()->setTracking(thumbTracking_);
    UpdateScrollBars();
}

TCustomGrid::~TCustomGrid() = default;

void TCustomGrid::SetColCount(std::int32_t count)
{
    count = std::max<std::int32_t>(count, 0);
    if (count == colCount_)
        return;
    colCount_ = count;
    colWidths_.resize(static_cast<std::size_t>(count), defaultColWidth_);
    ClampCurrent();
    UpdateScrollBars();
}

void TCustomGrid::SetRowCount(std::int32_t count)
{
    count = std::max<std::int32_t>(count, 0);
    if (count == rowCount_)
        return;
    rowCount_ = count;
    ClampCurrent();
    UpdateScrollBars();
}

void TCustomGrid::SetFixedCols(std::int32_t count)
{
    count = std::max<std::int32_t>(count, 0);
    if (count == fixedCols_)
        return;
    // A new fixed area starts the view and the current cell at the first
    // scrolling column.
    fixedCols_ = count;
    leftCol_ = count;
    col_ = count;
    ClampCurrent();
    UpdateScrollBars();
}

void TCustomGrid::SetFixedRows(std::int32_t count)
{
    count = std::max<std::int32_t>(count, 0);
    if (count == fixedRows_)
        return;
    fixedRows_ = count;
    topRow_ = count;
    row_ = count;
    ClampCurrent();
    UpdateScrollBars();
}

void TCustomGrid::ClampCurrent()
{
    // Structural changes keep the current cell inside the scrolling area
    // without asking AcceptCell: the old cell may simply no longer exist.
    col_ = Clamp64(col_, fixedCols_, colCount_ - 1);
    row_ = Clamp64(row_, fixedRows_, rowCount_ - 1);
}

int TCustomGrid::ColWidth(std::int32_t col) const
{
    return col >= 0 && col < colCount_ ? colWidths_[static_cast<std::size_t>(col)] : 0;
}

void TCustomGrid::SetColWidth(std::int32_t col, int width)
{
    if (col < 0 || col >= colCount_)
        return;
    width = std::max(width, 0);
    int& w = colWidths_[static_cast<std::size_t>(col)];
    if (w == width)
        return;
    w = width;
    UpdateScrollBars();
}

void TCustomGrid::SetDefaultColWidth(int width)
{
    width = std::max(width, 0);
    defaultColWidth_ = width;
    std::fill(colWidths_.begin(), colWidths_.end(), width);
    UpdateScrollBars();
}

void TCustomGrid::SetDefaultRowHeight(int height)
{
    height = std::max(height, 0);
    if (height == defaultRowHeight_)
        return;
    defaultRowHeight_ = height;
    UpdateScrollBars();
}

void TCustomGrid::SetTabMovesCells(bool on)
{
    tabMovesCells_ = on;
}

void TCustomGrid::SetThumbTracking(bool on)
{
    thumbTracking_ = on;
    verticalScrollBar()->setTracking(on);
    horizontalScrollBar()->setTracking(on);
}

void TCustomGrid::SetCol(std::int32_t col)
{
    SetCurrentCell(col, row_, true);
}

void TCustomGrid::SetRow(std::int32_t row)
{
    SetCurrentCell(col_, row, true);
}

void TCustomGrid::SetCurrentCell(std::int32_t col, std::int32_t row, bool scrollIntoView)
{
    if (col < fixedCols_ || col >= colCount_ || row < fixedRows_ || row >= rowCount_)
        return;
    if (!AcceptCell(col, row))
        return;
    // The hook may have changed the layout; the cell must still exist.
    if (col >= colCount_ || row >= rowCount_)
        return;
    InvalidateCell(col_, row_);
    col_ = col;
    row_ = row;
    InvalidateCell(col_, row_);
    if (scrollIntoView)
        ScrollIntoView(col, row);
}

int TCustomGrid::FixedWidth() const
{
    int width = 0;
    for (std::int32_t c = 0; c < std::min(fixedCols_, colCount_); ++c)
        width += colWidths_[static_cast<std::size_t>(c)];
    return width;
}

int TCustomGrid::FixedHeight() const
{
    return static_cast<int>(std::min<std::int64_t>(std::int64_t(fixedRows_) * defaultRowHeight_, 1 << 30));
}

QRect TCustomGrid::CellBounds(std::int32_t col, std::int32_t row) const
{
    if (col < 0 || col >= colCount_ || row < 0 || row >= rowCount_)
        return {};
    const int viewWidth = viewport()->width();
    const int viewHeight = viewport()->height();

    std::int64_t x = 0;
    if (col < fixedCols_) {
        for (std::int32_t c = 0; c < col; ++c)
            x += colWidths_[static_cast<std::size_t>(c)];
    } else {
        if (col < leftCol_)
            return {};
        x = FixedWidth();
        for (std::int32_t c = leftCol_; c < col && x < viewWidth; ++c)
            x += colWidths_[static_cast<std::size_t>(c)];
    }
    std::int64_t y = 0;
    if (row < fixedRows_) {
        y = std::int64_t(row) * defaultRowHeight_;
    } else {
        if (row < topRow_)
            return {};
        y = FixedHeight() + std::int64_t(row - topRow_) * defaultRowHeight_;
    }
    if (x >= viewWidth || y >= viewHeight)
        return {};
    return {static_cast<int>(x), static_cast<int>(y), colWidths_[static_cast<std::size_t>(col)],
            defaultRowHeight_};
}

bool TCustomGrid::CellAt(const QPoint& point, std::int32_t& col, std::int32_t& row) const
{
    if (point.x() < 0 || point.y() < 0 || point.x() >= viewport()->width() || point.y() >= viewport()->height())
        return false;
    if (defaultRowHeight_ <= 0)
        return false;

    const int fixedWidth = FixedWidth();
    int x = 0;
    std::int32_t c = 0;
    std::int32_t last = 0;
    if (point.x() < fixedWidth) {
        c = 0;
        last = std::min(fixedCols_, colCount_);
    } else {
        x = fixedWidth;
        c = leftCol_;
        last = colCount_;
    }
    bool found = false;
    for (; c < last; ++c) {
        const int w = colWidths_[static_cast<std::size_t>(c)];
        if (point.x() < x + w) {
            found = true;
            break;
        }
        x += w;
    }
    if (!found)
        return false;

    const int fixedHeight = FixedHeight();
    std::int64_t r = 0;
    if (point.y() < fixedHeight)
        r = point.y() / defaultRowHeight_;
    else
        r = std::int64_t(topRow_) + (point.y() - fixedHeight) / defaultRowHeight_;
    if (r >= rowCount_)
        return false;
    col = c;
    row = static_cast<std::int32_t>(r);
    return true;
}

std::int32_t TCustomGrid::RowCapacity() const
{
    if (defaultRowHeight_ <= 0)
        return std::max<std::int32_t>(1, rowCount_ - fixedRows_);
    const int available = viewport()->height() - FixedHeight();
    return std::max(1, available / defaultRowHeight_);
}

std::int32_t TCustomGrid::MaxTopRow() const
{
    return std::max<std::int32_t>(fixedRows_, rowCount_ - RowCapacity());
}

std::int32_t TCustomGrid::MaxLeftCol() const
{
    const int available = viewport()->width() - FixedWidth();
    std::int64_t sum = 0;
    std::int32_t c = colCount_;
    while (c > fixedCols_) {
        sum += colWidths_[static_cast<std::size_t>(c - 1)];
        if (sum > available)
            break;
        --c;
    }
    // c is now the first column of the widest tail that fits (or the last
    // column when not even that fits).
    return std::max(fixedCols_, std::min(c, colCount_ - 1));
}

std::int32_t TCustomGrid::VisibleRowCount() const
{
    if (rowCount_ <= fixedRows_)
        return 0;
    return std::max<std::int32_t>(1, std::min<std::int32_t>(RowCapacity(), rowCount_ - topRow_));
}

std::int32_t TCustomGrid::VisibleColCount() const
{
    if (colCount_ <= fixedCols_)
        return 0;
    const int available = viewport()->width() - FixedWidth();
    std::int64_t x = 0;
    std::int32_t count = 0;
    for (std::int32_t c = leftCol_; c < colCount_; ++c) {
        x += colWidths_[static_cast<std::size_t>(c)];
        if (x > available)
            break;
        ++count;
    }
    return std::max<std::int32_t>(1, count);
}

void TCustomGrid::SetTopRow(std::int32_t row)
{
    row = Clamp64(row, fixedRows_, MaxTopRow());
    if (row == topRow_)
        return;
    topRow_ = row;
    syncingScrollBars_ = true;
    verticalScrollBar()->setValue(topRow_ - fixedRows_);
    syncingScrollBars_ = false;
    viewport()->update();
    Scrolled(Qt::Vertical);
}

void TCustomGrid::SetLeftCol(std::int32_t col)
{
    col = Clamp64(col, fixedCols_, MaxLeftCol());
    if (col == leftCol_)
        return;
    leftCol_ = col;
    syncingScrollBars_ = true;
    horizontalScrollBar()->setValue(leftCol_ - fixedCols_);
    syncingScrollBars_ = false;
    viewport()->update();
    Scrolled(Qt::Horizontal);
}

void TCustomGrid::ScrollIntoView(std::int32_t col, std::int32_t row)
{
    if (row >= fixedRows_) {
        const std::int32_t capacity = RowCapacity();
        if (row < topRow_)
            SetTopRow(row);
        else if (std::int64_t(row) >= std::int64_t(topRow_) + capacity)
            SetTopRow(static_cast<std::int32_t>(std::int64_t(row) - capacity + 1));
    }
    if (col >= fixedCols_) {
        if (col < leftCol_) {
            SetLeftCol(col);
        } else {
            // Advance the first column until col ends inside the view.
            const int available = viewport()->width() - FixedWidth();
            std::int64_t span = 0;
            for (std::int32_t c = leftCol_; c <= col; ++c)
                span += colWidths_[static_cast<std::size_t>(c)];
            std::int32_t left = leftCol_;
            while (span > available && left < col) {
                span -= colWidths_[static_cast<std::size_t>(left)];
                ++left;
            }
            SetLeftCol(left);
        }
    }
}

void TCustomGrid::UpdateScrollBars()
{
    QScrollBar* vbar = verticalScrollBar();
    QScrollBar* hbar = horizontalScrollBar();
    const std::int32_t maxTop = MaxTopRow();
    const std::int32_t maxLeft = MaxLeftCol();
    const std::int32_t top = Clamp64(topRow_, fixedRows_, maxTop);
    const std::int32_t left = Clamp64(leftCol_, fixedCols_, maxLeft);
    const bool verticalMoved = top != topRow_;
    const bool horizontalMoved = left != leftCol_;
    topRow_ = top;
    leftCol_ = left;

    syncingScrollBars_ = true;
    vbar->setRange(0, maxTop - fixedRows_);
    vbar->setSingleStep(1);
    vbar->setPageStep(std::max<std::int32_t>(1, RowCapacity()));
    vbar->setValue(topRow_ - fixedRows_);
    hbar->setRange(0, maxLeft - fixedCols_);
    hbar->setSingleStep(1);
    hbar->setPageStep(std::max<std::int32_t>(1, VisibleColCount()));
    hbar->setValue(leftCol_ - fixedCols_);
    syncingScrollBars_ = false;

    viewport()->update();
    if (verticalMoved)
        Scrolled(Qt::Vertical);
    if (horizontalMoved)
        Scrolled(Qt::Horizontal);
}

void TCustomGrid::SyncFromScrollBars()
{
    if (syncingScrollBars_)
        return;
    const std::int32_t top = Clamp64(std::int64_t(fixedRows_) + verticalScrollBar()->value(), fixedRows_, MaxTopRow());
    const std::int32_t left =
        Clamp64(std::int64_t(fixedCols_) + horizontalScrollBar()->value(), fixedCols_, MaxLeftCol());
    const bool verticalMoved = top != topRow_;
    const bool horizontalMoved = left != leftCol_;
    topRow_ = top;
    leftCol_ = left;
    if (verticalMoved || horizontalMoved)
        viewport()->update();
    if (verticalMoved)
        Scrolled(Qt::Vertical);
    if (horizontalMoved)
        Scrolled(Qt::Horizontal);
}

void TCustomGrid::InvalidateGrid()
{
    viewport()->update();
}

void TCustomGrid::InvalidateRect(const QRect& rect)
{
    if (!rect.isEmpty())
        viewport()->update(rect);
}

void TCustomGrid::InvalidateCell(std::int32_t col, std::int32_t row)
{
    InvalidateRect(CellBounds(col, row));
}

bool TCustomGrid::AcceptCell(std::int32_t, std::int32_t)
{
    return true;
}

void TCustomGrid::PaintCell(QPainter&, std::int32_t, std::int32_t, const QRect&) {}

void TCustomGrid::Scrolled(Qt::Orientation) {}

void TCustomGrid::paintEvent(QPaintEvent* event)
{
    Guard([&] {
        QPainter painter(viewport());
        const QRect area = event->rect();
        const int viewWidth = viewport()->width();
        const int viewHeight = viewport()->height();
        const int h = defaultRowHeight_;
        if (h > 0) {
            const int fixedWidth = FixedWidth();
            const int fixedHeight = FixedHeight();
            auto paintRow = [&](std::int32_t row, int y) {
                if (y + h <= area.top() || y > area.bottom())
                    return;
                int x = 0;
                auto paintCol = [&](std::int32_t col) {
                    const int w = colWidths_[static_cast<std::size_t>(col)];
                    const QRect rect(x, y, w, h);
                    if (w > 0 && rect.intersects(area)) {
                        painter.save();
                        PaintCell(painter, col, row, rect);
                        painter.restore();
                    }
                    x += w;
                };
                for (std::int32_t col = 0; col < std::min(fixedCols_, colCount_) && x < viewWidth; ++col)
                    paintCol(col);
                x = fixedWidth;
                for (std::int32_t col = leftCol_; col < colCount_ && x < viewWidth; ++col)
                    paintCol(col);
            };
            for (std::int32_t row = 0; row < std::min(fixedRows_, rowCount_) && row * h < viewHeight; ++row)
                paintRow(row, row * h);
            // Start at the first scrolling row that reaches into the area.
            const std::int32_t skip = area.top() > fixedHeight ? (area.top() - fixedHeight) / h : 0;
            std::int64_t row = std::int64_t(topRow_) + skip;
            for (std::int64_t y = fixedHeight + std::int64_t(skip) * h; row < rowCount_ && y < viewHeight && y <= area.bottom();
                 ++row, y += h)
                paintRow(static_cast<std::int32_t>(row), static_cast<int>(y));
        }
        if (caret_.IsDrawn() && caret_.Rect().intersects(area))
            caret_.Paint(painter);
    });
}

void TCustomGrid::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    Guard([this] { UpdateScrollBars(); });
}

void TCustomGrid::scrollContentsBy(int, int)
{
    // The scroll bars' values are the first visible row and column (minus
    // the fixed ones); the view is repainted from them.
    Guard([this] { SyncFromScrollBars(); });
}

}  // namespace platform
