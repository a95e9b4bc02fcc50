#include "platform/widgets/Grid.h"

#include "platform/system/CodePages.h"
#include "platform/widgets/Application.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <array>
#include <utility>

namespace platform {

namespace {

// Qt keys whose virtual-key code differs from the Qt key value.
struct KeyMapping {
    int qtKey;
    std::uint16_t vk;
};
constexpr std::array<KeyMapping, 24> kKeyTable{{
    {Qt::Key_Backspace, VK_BACK},  {Qt::Key_Tab, VK_TAB},          {Qt::Key_Backtab, VK_TAB},
    {Qt::Key_Return, VK_RETURN},   {Qt::Key_Enter, VK_RETURN},     {Qt::Key_Shift, VK_SHIFT},
    {Qt::Key_Control, VK_CONTROL}, {Qt::Key_Alt, VK_MENU},         {Qt::Key_AltGr, VK_MENU},
    {Qt::Key_Escape, VK_ESCAPE},   {Qt::Key_Space, VK_SPACE},      {Qt::Key_PageUp, VK_PRIOR},
    {Qt::Key_PageDown, VK_NEXT},   {Qt::Key_End, VK_END},          {Qt::Key_Home, VK_HOME},
    {Qt::Key_Left, VK_LEFT},       {Qt::Key_Up, VK_UP},            {Qt::Key_Right, VK_RIGHT},
    {Qt::Key_Down, VK_DOWN},       {Qt::Key_Insert, VK_INSERT},    {Qt::Key_Delete, VK_DELETE},
    {Qt::Key_Pause, 19},           {Qt::Key_CapsLock, 20},         {Qt::Key_Print, 44},
}};

std::int32_t Clamp64(std::int64_t value, std::int32_t low, std::int32_t high)
{
    if (high < low)
        high = low;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, low, high));
}

}  // namespace

std::uint16_t VirtualKeyFromQt(int qtKey, Qt::KeyboardModifiers modifiers)
{
    for (const KeyMapping& m : kKeyTable)
        if (m.qtKey == qtKey)
            return m.vk;
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return static_cast<std::uint16_t>((modifiers & Qt::KeypadModifier) ? VK_NUMPAD0 + (qtKey - Qt::Key_0)
                                                                           : qtKey);
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return static_cast<std::uint16_t>(qtKey);  // Qt's letter keys are the upper-case ASCII codes
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return static_cast<std::uint16_t>(VK_F1 + (qtKey - Qt::Key_F1));
    return 0;
}

TShiftState ShiftStateFromQt(Qt::KeyboardModifiers modifiers)
{
    TShiftState shift = 0;
    if (modifiers & Qt::ShiftModifier)
        shift |= ssShift;
    if (modifiers & Qt::AltModifier)
        shift |= ssAlt;
    if (modifiers & Qt::ControlModifier)
        shift |= ssCtrl;
    return shift;
}

// ---- TCaret -------------------------------------------------------------------

TCaret::TCaret(QWidget* widget) : widget_(widget)
{
    QObject::connect(&timer_, &QTimer::timeout, [this] { Blink(); });
}

TCaret::~TCaret() = default;

void TCaret::Create(const QImage& shape)
{
    Destroy();
    shape_ = shape.convertToFormat(QImage::Format_RGB32);
    created_ = true;
    hideLevel_ = 1;
    blinkOn_ = false;
}

void TCaret::Destroy()
{
    if (!created_)
        return;
    timer_.stop();
    UpdateArea();
    created_ = false;
    hideLevel_ = 1;
    blinkOn_ = false;
}

void TCaret::Show()
{
    if (!created_ || hideLevel_ == 0)
        return;
    if (--hideLevel_ == 0)
        Restart();
}

void TCaret::Hide()
{
    if (!created_)
        return;
    if (hideLevel_++ == 0) {
        timer_.stop();
        blinkOn_ = false;
        UpdateArea();
    }
}

void TCaret::SetPos(const QPoint& pos)
{
    if (created_)
        UpdateArea();
    pos_ = pos;
    if (IsShown())
        Restart();
}

void TCaret::Paint(QPainter& painter) const
{
    if (!IsDrawn() || shape_.isNull())
        return;
    painter.save();
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.drawImage(pos_, shape_);
    painter.restore();
}

void TCaret::Restart()
{
    // A moved or newly shown caret is drawn at once and blinks from there.
    blinkOn_ = true;
    const int flash = QApplication::cursorFlashTime();
    if (flash > 0)
        timer_.start(flash / 2);
    else
        timer_.stop();
    UpdateArea();
}

void TCaret::Blink()
{
    blinkOn_ = !blinkOn_;
    UpdateArea();
}

void TCaret::UpdateArea() const
{
    if (widget_ && !shape_.isNull())
        widget_->update(Rect());
}

// ---- TCustomGrid --------------------------------------------------------------

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
    SetCurrentCell(col, row_, true, true);
}

void TCustomGrid::SetRow(std::int32_t row)
{
    SetCurrentCell(col_, row, true, true);
}

void TCustomGrid::SetCurrentCell(std::int32_t col, std::int32_t row, bool, bool scrollIntoView)
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
    SetCurrentCell(col, row, true, true);
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
    SetCurrentCell(col, row, true, true);
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

void TCustomGrid::keyPressEvent(QKeyEvent* event)
{
    std::uint16_t key = VirtualKeyFromQt(event->key(), event->modifiers());
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
    // The typed characters follow as their own messages; Delete types none.
    // As on Windows, Ctrl with a letter types its control character and Ctrl
    // with any other printable key types nothing (Ctrl+digit is a command,
    // not a digit); Alt alone types nothing. Ctrl+Alt (AltGr) types as is.
    const bool ctrl = (event->modifiers() & Qt::ControlModifier) != 0;
    const bool alt = (event->modifiers() & Qt::AltModifier) != 0;
    if (event->key() != Qt::Key_Delete && !(alt && !ctrl)) {
        for (char32_t ch : event->text().toUcs4()) {
            if (ctrl && !alt && ch >= 0x20) {
                if ((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z'))
                    ch &= 0x1F;
                else
                    continue;
            }
            std::uint8_t byte = 0;
            if (UnicodeToAnsi(ch, byte))
                Guard([&] { KeyPress(byte); });
        }
    }
    event->accept();
}

void TCustomGrid::keyReleaseEvent(QKeyEvent* event)
{
    if (event->isAutoRepeat()) {
        event->accept();
        return;
    }
    std::uint16_t key = VirtualKeyFromQt(event->key(), event->modifiers());
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
