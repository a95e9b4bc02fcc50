// SPDX-License-Identifier: GPL-3.0-or-later
// TCustomGrid: the grid base of the byte editor, on QAbstractScrollArea.
// Cells are addressed by (column, row), counted from 0. The grid keeps one
// width per column and one height for every row, so a grid of hundreds of
// millions of rows costs no memory per row. It paints nothing itself: every
// visible cell, fixed ones included, is handed to the PaintCell hook.
//
// Scrolling is by whole rows and columns: the vertical scroll bar's value is
// the first visible scrolling row minus the fixed rows, one step per row, and
// the horizontal one likewise counts columns. A row count of up to 2^31 - 1
// therefore fits the scroll bars' int range directly.
#pragma once

#include "platform/widgets/Caret.h"
#include "platform/widgets/KeyCodes.h"

#include <QAbstractScrollArea>
#include <QPoint>
#include <QRect>
#include <cstdint>
#include <functional>
#include <vector>

namespace platform {

class TCustomGrid : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit TCustomGrid(QWidget* parent = nullptr);
    ~TCustomGrid() override;

    std::int32_t ColCount() const { return colCount_; }
    void SetColCount(std::int32_t count);
    std::int32_t RowCount() const { return rowCount_; }
    void SetRowCount(std::int32_t count);
    std::int32_t FixedCols() const { return fixedCols_; }
    void SetFixedCols(std::int32_t count);
    std::int32_t FixedRows() const { return fixedRows_; }
    void SetFixedRows(std::int32_t count);

    int ColWidth(std::int32_t col) const;
    // Negative widths count as 0.
    void SetColWidth(std::int32_t col, int width);
    int DefaultColWidth() const { return defaultColWidth_; }
    // Sets the default width and gives it to every column.
    void SetDefaultColWidth(int width);
    // The height of every row.
    int DefaultRowHeight() const { return defaultRowHeight_; }
    void SetDefaultRowHeight(int height);

    // Tab and Shift+Tab move between cells (the control then wants the Tab
    // key, see DialogCode).
    bool TabMovesCells() const { return tabMovesCells_; }
    void SetTabMovesCells(bool on);
    // The view follows a dragged scroll thumb (else it moves on release).
    bool ThumbTracking() const { return thumbTracking_; }
    void SetThumbTracking(bool on);

    // The current cell.
    std::int32_t Col() const { return col_; }
    std::int32_t Row() const { return row_; }
    // Current-column and current-row setters; both ask AcceptCell first and
    // scroll the cell into view.
    void SetCol(std::int32_t col);
    void SetRow(std::int32_t row);
    // Makes (col, row) current when AcceptCell agrees; optionally scrolls it
    // into view. Cells outside the scrolling area (fixed or out of range)
    // never become current.
    void SetCurrentCell(std::int32_t col, std::int32_t row, bool scrollIntoView);

    // Pixel rectangle of a cell in the viewport; a null QRect (isNull) when
    // the cell is not visible. Partly visible cells give their whole
    // rectangle; a visible cell of width 0 gives an empty but non-null one.
    QRect CellBounds(std::int32_t col, std::int32_t row) const;
    // The cell under a viewport point; false when there is none.
    bool CellAt(const QPoint& point, std::int32_t& col, std::int32_t& row) const;

    // First visible scrolling row and column (always at least the fixed
    // count, at most the value that still fills the view).
    std::int32_t TopRow() const { return topRow_; }
    void SetTopRow(std::int32_t row);
    std::int32_t LeftCol() const { return leftCol_; }
    void SetLeftCol(std::int32_t col);
    // Number of fully visible scrolling rows from TopRow (at least 1 when
    // there are scrolling rows).
    std::int32_t VisibleRowCount() const;
    // Number of fully visible scrolling columns from LeftCol (at least 1 when
    // there are scrolling columns).
    std::int32_t VisibleColCount() const;

    void InvalidateGrid();
    void InvalidateRect(const QRect& rect);
    void InvalidateCell(std::int32_t col, std::int32_t row);

    // The caret drawn over the cells.
    TCaret& Caret() { return caret_; }
    const TCaret& Caret() const { return caret_; }

    // Which keys the control keeps from focus navigation (DLGC_* bits): the
    // arrows, and Tab when TabMovesCells is on.
    virtual unsigned DialogCode() const;

    // The grid's own input handling. The Qt event handlers translate events
    // and call these; derived controls override them and may call the base.
    // KeyDown: arrows, Home/End, PgUp/PgDn (Ctrl for the view's ends), Tab
    // and Shift+Tab between cells; key 0 means consumed.
    virtual void KeyDown(std::uint16_t& key, TShiftState shift);
    virtual void KeyUp(std::uint16_t& key, TShiftState shift);
    // A typed character as one Windows-1252 byte; the base ignores it.
    virtual void KeyPress(std::uint8_t ch);
    // The left button makes the pressed scrolling cell current and starts a
    // drag that makes the cell under the pointer current.
    virtual void MouseDown(Qt::MouseButton button, TShiftState shift, const QPoint& pos);
    virtual void MouseMove(TShiftState shift, const QPoint& pos);
    virtual void MouseUp(Qt::MouseButton button, TShiftState shift, const QPoint& pos);

    // Key events, raised only when assigned: OnKeyDown and OnKeyUp by the
    // base's KeyDown and KeyUp before their own handling (setting the key to
    // 0 consumes it), OnKeyPress by the base's KeyPress.
    std::function<void(TCustomGrid*, std::uint16_t&, TShiftState)> OnKeyDown;
    std::function<void(TCustomGrid*, std::uint16_t&, TShiftState)> OnKeyUp;
    std::function<void(TCustomGrid*, std::uint8_t&)> OnKeyPress;

protected:
    // Asked before any cell becomes current; false refuses the move.
    virtual bool AcceptCell(std::int32_t col, std::int32_t row);
    // Paints one visible cell.
    virtual void PaintCell(QPainter& painter, std::int32_t col, std::int32_t row, const QRect& rect);
    // Runs after the view scrolled vertically or horizontally, whether by the
    // scroll bars, the wheel or a change of TopRow/LeftCol.
    virtual void Scrolled(Qt::Orientation orientation);

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    // value held to low..high (low when the range is empty).
    static std::int32_t Clamp64(std::int64_t value, std::int32_t low, std::int32_t high);
    void UpdateScrollBars();
    void ScrollIntoView(std::int32_t col, std::int32_t row);
    // Moves the current cell by the keyboard or the mouse: only to a
    // different scrolling cell, through AcceptCell, scrolled into view.
    void MoveTo(std::int32_t col, std::int32_t row);
    void ClampCurrent();
    void SyncFromScrollBars();

    int FixedWidth() const;
    int FixedHeight() const;
    // Rows of the scrolling area that fit the viewport wholly (at least 1).
    std::int32_t RowCapacity() const;
    std::int32_t MaxTopRow() const;
    std::int32_t MaxLeftCol() const;
    // The scrolling cell nearest a viewport point (for dragging).
    void NearestCell(const QPoint& point, std::int32_t& col, std::int32_t& row) const;

    std::int32_t colCount_ = 5;
    std::int32_t rowCount_ = 5;
    std::int32_t fixedCols_ = 1;
    std::int32_t fixedRows_ = 1;
    std::vector<int> colWidths_;
    int defaultColWidth_ = 64;
    int defaultRowHeight_ = 24;
    bool tabMovesCells_ = false;
    bool thumbTracking_ = false;
    std::int32_t col_ = 1;
    std::int32_t row_ = 1;
    std::int32_t topRow_ = 1;
    std::int32_t leftCol_ = 1;
    bool dragging_ = false;
    bool syncingScrollBars_ = false;
    TCaret caret_;
};

}  // namespace platform
