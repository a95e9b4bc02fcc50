// TCustomGrid: the grid base of the byte editor, on QAbstractScrollArea.
// Cells are addressed by (column, row), counted from 0. The grid keeps one
// width per column and one height for every row, so a grid of hundreds of
// millions of rows costs no memory per row. It paints nothing itself: every
// visible cell, fixed ones included, is handed to the PaintCell hook.
#pragma once

#include <QAbstractScrollArea>
#include <QRect>
#include <cstdint>
#include <vector>

namespace platform {

// Modifier set handed to the key and mouse hooks.
enum TShiftFlag : unsigned {
    ssShift = 1u << 0,
    ssAlt = 1u << 1,
    ssCtrl = 1u << 2,
    ssDouble = 1u << 3,
};
using TShiftState = unsigned;

// Windows virtual-key codes, which the key hooks keep.
enum VirtualKey : std::uint16_t {
    VK_BACK = 8,
    VK_TAB = 9,
    VK_RETURN = 13,
    VK_SHIFT = 16,
    VK_CONTROL = 17,
    VK_MENU = 18,
    VK_ESCAPE = 27,
    VK_PRIOR = 33,
    VK_NEXT = 34,
    VK_END = 35,
    VK_HOME = 36,
    VK_LEFT = 37,
    VK_UP = 38,
    VK_RIGHT = 39,
    VK_DOWN = 40,
    VK_INSERT = 45,
    VK_DELETE = 46,
};

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
    void SetColWidth(std::int32_t col, int width);
    int DefaultColWidth() const { return defaultColWidth_; }
    // Sets the default width and gives it to every column.
    void SetDefaultColWidth(int width);
    int DefaultRowHeight() const { return defaultRowHeight_; }
    void SetDefaultRowHeight(int height);

    // The current cell.
    std::int32_t Col() const { return col_; }
    std::int32_t Row() const { return row_; }
    // Current-column and current-row setters; both ask AcceptCell first.
    void SetCol(std::int32_t col);
    void SetRow(std::int32_t row);
    // Makes (col, row) current when AcceptCell agrees; optionally scrolls it
    // into view. moveAnchor is kept for the callers' sake; the grid has no
    // range selection of its own.
    void SetCurrentCell(std::int32_t col, std::int32_t row, bool moveAnchor, bool scrollIntoView);

    // Pixel rectangle of a cell in the viewport; empty when not visible.
    QRect CellBounds(std::int32_t col, std::int32_t row) const;
    // The cell under a viewport point; false when there is none.
    bool CellAt(const QPoint& point, std::int32_t& col, std::int32_t& row) const;

    // First visible scrolling row and column.
    std::int32_t TopRow() const { return topRow_; }
    void SetTopRow(std::int32_t row);
    std::int32_t LeftCol() const { return leftCol_; }
    void SetLeftCol(std::int32_t col);
    // Number of fully visible scrolling rows (at least 1 when there are rows).
    std::int32_t VisibleRowCount() const;
    std::int32_t VisibleColCount() const;

    void InvalidateGrid();
    void InvalidateRect(const QRect& rect);
    void InvalidateCell(std::int32_t col, std::int32_t row);

protected:
    // Asked before any cell becomes current; false refuses the move.
    virtual bool AcceptCell(std::int32_t col, std::int32_t row);
    // Paints one visible cell.
    virtual void PaintCell(QPainter& painter, std::int32_t col, std::int32_t row, const QRect& rect);
    // Runs after the view scrolled vertically or horizontally.
    virtual void Scrolled(Qt::Orientation orientation);

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void UpdateScrollBars();
    void ScrollIntoView(std::int32_t col, std::int32_t row);

    std::int32_t colCount_ = 5;
    std::int32_t rowCount_ = 5;
    std::int32_t fixedCols_ = 1;
    std::int32_t fixedRows_ = 1;
    std::vector<int> colWidths_;
    int defaultColWidth_ = 64;
    int defaultRowHeight_ = 24;
    std::int32_t col_ = 1;
    std::int32_t row_ = 1;
    std::int32_t topRow_ = 1;
    std::int32_t leftCol_ = 1;
};

}  // namespace platform
