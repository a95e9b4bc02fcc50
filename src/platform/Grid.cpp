#include "platform/Grid.h"

#include <QPainter>
#include <QPaintEvent>
#include <QScrollBar>
#include <algorithm>

namespace platform {

TCustomGrid::TCustomGrid(QWidget* parent) : QAbstractScrollArea(parent)
{
    colWidths_.assign(static_cast<size_t>(colCount_), defaultColWidth_);
}

TCustomGrid::~TCustomGrid() = default;

void TCustomGrid::SetColCount(std::int32_t count)
{
    count = std::max<std::int32_t>(count, 0);
    colCount_ = count;
    colWidths_.resize(static_cast<size_t>(count), defaultColWidth_);
    UpdateScrollBars();
}

void TCustomGrid::SetRowCount(std::int32_t count)
{
    rowCount_ = std::max<std::int32_t>(count, 0);
    if (row_ >= rowCount_)
        row_ = std::max<std::int32_t>(rowCount_ - 1, fixedRows_);
    UpdateScrollBars();
}

void TCustomGrid::SetFixedCols(std::int32_t count)
{
    fixedCols_ = count;
    col_ = std::max(col_, fixedCols_);
    leftCol_ = std::max(leftCol_, fixedCols_);
}

void TCustomGrid::SetFixedRows(std::int32_t count)
{
    fixedRows_ = count;
    row_ = std::max(row_, fixedRows_);
    topRow_ = std::max(fixedRows_, std::min(topRow_, std::max<std::int32_t>(rowCount_ - 1, fixedRows_)));
}

int TCustomGrid::ColWidth(std::int32_t col) const
{
    return col >= 0 && col < colCount_ ? colWidths_[static_cast<size_t>(col)] : 0;
}

void TCustomGrid::SetColWidth(std::int32_t col, int width)
{
    if (col >= 0 && col < colCount_)
        colWidths_[static_cast<size_t>(col)] = width;
}

void TCustomGrid::SetDefaultColWidth(int width)
{
    defaultColWidth_ = width;
    std::fill(colWidths_.begin(), colWidths_.end(), width);
}

void TCustomGrid::SetDefaultRowHeight(int height)
{
    defaultRowHeight_ = height;
    UpdateScrollBars();
}

void TCustomGrid::SetCol(std::int32_t col)
{
    SetCurrentCell(col, row_, true, true);
}

void TCustomGrid::SetRow(std::int32_t row)
{
    SetCurrentCell(col_, row, true, true);
}

void TCustomGrid::SetCurrentCell(std::int32_t col, std::int32_t row, bool, bool scrollIntoView)
{
    if (!AcceptCell(col, row))
        return;
    col_ = col;
    row_ = row;
    if (scrollIntoView)
        ScrollIntoView(col, row);
}

QRect TCustomGrid::CellBounds(std::int32_t, std::int32_t) const
{
    return {};
}

bool TCustomGrid::CellAt(const QPoint&, std::int32_t&, std::int32_t&) const
{
    return false;
}

void TCustomGrid::SetTopRow(std::int32_t row)
{
    topRow_ = row;
}

void TCustomGrid::SetLeftCol(std::int32_t col)
{
    leftCol_ = col;
}

std::int32_t TCustomGrid::VisibleRowCount() const
{
    return 1;
}

std::int32_t TCustomGrid::VisibleColCount() const
{
    return 1;
}

void TCustomGrid::InvalidateGrid()
{
    viewport()->update();
}

void TCustomGrid::InvalidateRect(const QRect& rect)
{
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

void TCustomGrid::paintEvent(QPaintEvent*) {}

void TCustomGrid::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void TCustomGrid::scrollContentsBy(int, int) {}

void TCustomGrid::UpdateScrollBars() {}

void TCustomGrid::ScrollIntoView(std::int32_t, std::int32_t) {}

}  // namespace platform
