// SPDX-License-Identifier: GPL-3.0-or-later
// The grid base: cell geometry, the current cell and its AcceptCell hook,
// scrolling (also of a grid with the rows of a 2^31 - 1 byte document),
// painting of visible cells only, keyboard and mouse handling, the caret.
#include "platform/widgets/Grid.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>
#include <set>
#include <utility>

using namespace platform;

namespace {

class TestGrid : public TCustomGrid {
public:
    TestGrid()
    {
        SetColCount(12);
        SetRowCount(100);
        SetFixedCols(2);
        SetFixedRows(0);
        SetDefaultColWidth(20);
        SetDefaultRowHeight(10);
        resize(200 + 2 * frameWidth(), 100 + 2 * frameWidth());
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        show();
        QApplication::processEvents();
    }

    std::function<bool(std::int32_t, std::int32_t)> accept;
    std::vector<std::pair<std::int32_t, std::int32_t>> painted;
    std::vector<QRect> paintedRects;
    int verticalScrolls = 0;
    int horizontalScrolls = 0;

    std::set<std::pair<std::int32_t, std::int32_t>> PaintAll()
    {
        painted.clear();
        paintedRects.clear();
        viewport()->grab();
        return {painted.begin(), painted.end()};
    }

protected:
    bool AcceptCell(std::int32_t col, std::int32_t row) override { return accept ? accept(col, row) : true; }
    void PaintCell(QPainter& painter, std::int32_t col, std::int32_t row, const QRect& rect) override
    {
        painted.emplace_back(col, row);
        paintedRects.push_back(rect);
        painter.fillRect(rect, Qt::white);
    }
    void Scrolled(Qt::Orientation orientation) override
    {
        (orientation == Qt::Vertical ? verticalScrolls : horizontalScrolls)++;
    }
};

void Key(QWidget* w, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(w, key, modifiers);
}

}  // namespace

TEST(GridGeometry, CellBoundsFollowWidthsFixedColumnsAndScrolling)
{
    TestGrid grid;
    ASSERT_EQ(grid.viewport()->size(), QSize(200, 100));
    grid.SetColWidth(0, 30);
    grid.SetColWidth(1, 0);
    grid.SetColWidth(3, 35);

    EXPECT_EQ(grid.CellBounds(0, 0), QRect(0, 0, 30, 10));
    EXPECT_TRUE(grid.CellBounds(1, 0).isEmpty());
    EXPECT_FALSE(grid.CellBounds(1, 0).isNull()) << "a visible column of width 0 is still visible";
    EXPECT_EQ(grid.CellBounds(2, 0), QRect(30, 0, 20, 10));
    EXPECT_EQ(grid.CellBounds(4, 3), QRect(30 + 20 + 35, 30, 20, 10));
    EXPECT_TRUE(grid.CellBounds(2, 10).isNull()) << "row 10 starts at the viewport's bottom edge";
    EXPECT_TRUE(grid.CellBounds(11, 0).isNull());
    EXPECT_TRUE(grid.CellBounds(12, 0).isNull());
    EXPECT_TRUE(grid.CellBounds(2, 100).isNull());

    std::int32_t col = -1, row = -1;
    ASSERT_TRUE(grid.CellAt(QPoint(30 + 20 + 34, 39), col, row));
    EXPECT_EQ(std::make_pair(col, row), std::make_pair(3, 3));
    ASSERT_TRUE(grid.CellAt(QPoint(29, 0), col, row));
    EXPECT_EQ(col, 0);

    grid.SetTopRow(5);
    grid.SetLeftCol(4);
    EXPECT_TRUE(grid.CellBounds(2, 0).isNull()) << "scrolled out to the left";
    EXPECT_TRUE(grid.CellBounds(4, 4).isNull()) << "scrolled out above";
    EXPECT_EQ(grid.CellBounds(4, 5), QRect(30, 0, 20, 10));
    EXPECT_EQ(grid.CellBounds(0, 5), QRect(0, 0, 30, 10)) << "fixed columns never scroll";
    ASSERT_TRUE(grid.CellAt(QPoint(31, 1), col, row));
    EXPECT_EQ(std::make_pair(col, row), std::make_pair(4, 5));
}

TEST(GridGeometry, VisibleCountsAndScrollLimits)
{
    TestGrid grid;
    EXPECT_EQ(grid.VisibleRowCount(), 10);
    grid.SetDefaultRowHeight(15);
    EXPECT_EQ(grid.VisibleRowCount(), 6) << "only rows wholly inside count";
    grid.SetTopRow(1000);
    EXPECT_EQ(grid.TopRow(), 100 - 6) << "the last row ends the view";
    EXPECT_EQ(grid.verticalScrollBar()->maximum(), 94);
    EXPECT_EQ(grid.verticalScrollBar()->value(), 94);
    grid.SetCurrentCell(3, 50, false);
    grid.SetRowCount(3);
    EXPECT_EQ(grid.TopRow(), 0);
    EXPECT_EQ(grid.VisibleRowCount(), 3);
    EXPECT_EQ(grid.Row(), 2) << "a current row that no longer exists moves to the last one";

    // 2 fixed columns of 20 leave 160 pixels: 8 columns of 20.
    EXPECT_EQ(grid.VisibleColCount(), 8);
    grid.SetLeftCol(100);
    EXPECT_EQ(grid.LeftCol(), 4) << "columns 4 to 11 fill the view";
    EXPECT_EQ(grid.horizontalScrollBar()->maximum(), 2);
}

TEST(GridCurrentCell, AcceptCellDecidesEveryMove)
{
    TestGrid grid;
    std::vector<std::pair<std::int32_t, std::int32_t>> asked;
    grid.accept = [&](std::int32_t c, std::int32_t r) {
        asked.emplace_back(c, r);
        return c != 5;
    };
    grid.SetCurrentCell(4, 3, true);
    EXPECT_EQ(std::make_pair(grid.Col(), grid.Row()), std::make_pair(4, 3));

    grid.SetCurrentCell(5, 7, true);
    EXPECT_EQ(std::make_pair(grid.Col(), grid.Row()), std::make_pair(4, 3)) << "refused: the cell stays";
    grid.SetCol(5);
    EXPECT_EQ(grid.Col(), 4);
    Key(&grid, Qt::Key_Right);
    EXPECT_EQ(grid.Col(), 4);
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, grid.CellBounds(5, 1).center());
    EXPECT_EQ(std::make_pair(grid.Col(), grid.Row()), std::make_pair(4, 3));
    EXPECT_EQ(asked, (std::vector<std::pair<std::int32_t, std::int32_t>>{{4, 3}, {5, 7}, {5, 3}, {5, 3}, {5, 1}}));

    grid.SetCol(6);
    EXPECT_EQ(grid.Col(), 6);
    asked.clear();
    grid.SetCurrentCell(1, 3, true);
    grid.SetCurrentCell(6, 100, true);
    EXPECT_TRUE(asked.empty()) << "fixed and missing cells are never offered";
    EXPECT_EQ(std::make_pair(grid.Col(), grid.Row()), std::make_pair(6, 3));
}

TEST(GridCurrentCell, SetCurrentCellScrollsIntoViewOnRequest)
{
    TestGrid grid;
    grid.SetCurrentCell(3, 50, false);
    EXPECT_EQ(grid.TopRow(), 0);
    grid.SetCurrentCell(3, 51, true);
    EXPECT_EQ(grid.TopRow(), 42) << "row 51 becomes the last fully visible row";
    EXPECT_GT(grid.verticalScrolls, 0);
    grid.SetCurrentCell(3, 20, true);
    EXPECT_EQ(grid.TopRow(), 20);
    grid.SetCurrentCell(11, 20, true);
    EXPECT_EQ(grid.LeftCol(), 4);
    EXPECT_FALSE(grid.CellBounds(11, 20).isNull());
    grid.SetCurrentCell(2, 20, true);
    EXPECT_EQ(grid.LeftCol(), 2);
}

TEST(GridScrolling, RowsOfTheLargestDocumentScrollToTheEnd)
{
    // 2^31 - 1 bytes at 16 a line: 134217728 rows, each one scroll step.
    TestGrid grid;
    const std::int32_t rows = static_cast<std::int32_t>((std::int64_t(INT32_MAX) + 15) / 16);
    ASSERT_EQ(rows, 134217728);
    grid.SetRowCount(rows);
    EXPECT_EQ(grid.verticalScrollBar()->maximum(), rows - 10);

    grid.SetCurrentCell(2, rows - 1, true);
    EXPECT_EQ(grid.Row(), rows - 1);
    EXPECT_EQ(grid.TopRow(), rows - 10);
    EXPECT_EQ(grid.CellBounds(2, rows - 1), QRect(40, 90, 20, 10));

    const auto painted = grid.PaintAll();
    EXPECT_TRUE(painted.count({2, rows - 1}));
    EXPECT_EQ(painted.size(), 10u * 10u) << "10 rows of 2 fixed and 8 scrolling columns";

    grid.verticalScrollBar()->setValue(0);
    EXPECT_EQ(grid.TopRow(), 0);
    grid.verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(grid.TopRow(), rows - 10);

    grid.SetCurrentCell(2, 0, true);
    Key(&grid, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(std::make_pair(grid.Col(), grid.Row()), std::make_pair(11, rows - 1));
    Key(&grid, Qt::Key_PageDown);
    EXPECT_EQ(grid.Row(), rows - 1);
}

TEST(GridPainting, OnlyVisibleCellsArePaintedFixedOnesIncluded)
{
    TestGrid grid;
    grid.SetColWidth(0, 45);
    grid.SetColWidth(1, 0);
    grid.SetTopRow(40);
    grid.SetLeftCol(3);
    ASSERT_EQ(grid.LeftCol(), 3);

    const auto painted = grid.PaintAll();
    std::set<std::pair<std::int32_t, std::int32_t>> expected;
    for (std::int32_t r = 40; r < 50; ++r) {
        expected.insert({0, r});
        // 155 pixels after the fixed columns: columns 3 to 10, the last one partly.
        for (std::int32_t c = 3; c <= 10; ++c)
            expected.insert({c, r});
    }
    EXPECT_EQ(painted, expected);
    EXPECT_EQ(grid.painted.size(), expected.size()) << "each cell once";
    for (std::size_t i = 0; i < grid.painted.size(); ++i)
        EXPECT_EQ(grid.paintedRects[i], grid.CellBounds(grid.painted[i].first, grid.painted[i].second));

    // A repaint of one cell's rectangle paints just that cell.
    grid.painted.clear();
    QPixmap pixmap(grid.viewport()->size());
    grid.viewport()->render(&pixmap, QPoint(), QRegion(grid.CellBounds(7, 43)));
    EXPECT_EQ(grid.painted, (std::vector<std::pair<std::int32_t, std::int32_t>>{{7, 43}}));
}

TEST(GridScrolling, ThumbTrackingMovesTheViewWhileDragging)
{
    TestGrid grid;
    QScrollBar* bar = grid.verticalScrollBar();
    grid.SetThumbTracking(false);
    bar->setSliderDown(true);
    bar->setSliderPosition(30);
    EXPECT_EQ(grid.TopRow(), 0) << "without tracking the view waits for the release";
    bar->setSliderDown(false);
    EXPECT_EQ(grid.TopRow(), 30);

    grid.SetThumbTracking(true);
    const int before = grid.verticalScrolls;
    bar->setSliderDown(true);
    bar->setSliderPosition(60);
    EXPECT_EQ(grid.TopRow(), 60);
    EXPECT_EQ(grid.verticalScrolls, before + 1) << "the Scrolled hook follows the thumb";
    bar->setSliderDown(false);

    grid.horizontalScrollBar()->setValue(1);
    EXPECT_EQ(grid.LeftCol(), 3);
    EXPECT_EQ(grid.horizontalScrolls, 1);
}

TEST(GridKeyboard, ArrowsHomeEndPagesAndTab)
{
    TestGrid grid;
    grid.SetCurrentCell(4, 3, true);
    Key(&grid, Qt::Key_Right);
    Key(&grid, Qt::Key_Down);
    EXPECT_EQ(std::make_pair(grid.Col(), grid.Row()), std::make_pair(5, 4));
    Key(&grid, Qt::Key_Left);
    Key(&grid, Qt::Key_Up);
    EXPECT_EQ(std::make_pair(grid.Col(), grid.Row()), std::make_pair(4, 3));
    Key(&grid, Qt::Key_Home);
    EXPECT_EQ(grid.Col(), 2);
    Key(&grid, Qt::Key_Left);
    EXPECT_EQ(grid.Col(), 2) << "fixed columns are never entered";
    Key(&grid, Qt::Key_End);
    EXPECT_EQ(grid.Col(), 11);

    Key(&grid, Qt::Key_PageDown);
    EXPECT_EQ(grid.Row(), 13);
    EXPECT_EQ(grid.TopRow(), 10);
    Key(&grid, Qt::Key_PageUp);
    EXPECT_EQ(grid.Row(), 3);
    EXPECT_EQ(grid.TopRow(), 0);
    Key(&grid, Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(grid.Row(), 9) << "Ctrl+PgDn: the last visible row";
    Key(&grid, Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(grid.TopRow(), 1) << "Ctrl+Down scrolls the view";
    EXPECT_EQ(grid.Row(), 9);
    Key(&grid, Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(std::make_pair(grid.Col(), grid.Row()), std::make_pair(2, 0));
    Key(&grid, Qt::Key_Up);
    EXPECT_EQ(grid.Row(), 0);

    // Tab moves between cells only when enabled, and wraps round the rows.
    EXPECT_FALSE(grid.DialogCode() & DLGC_WANTTAB);
    grid.SetTabMovesCells(true);
    EXPECT_TRUE(grid.DialogCode() & DLGC_WANTTAB);
    grid.SetCurrentCell(11, 0, true);
    Key(&grid, Qt::Key_Tab);
    EXPECT_EQ(std::make_pair(grid.Col(), grid.Row()), std::make_pair(2, 1));
    Key(&grid, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(std::make_pair(grid.Col(), grid.Row()), std::make_pair(11, 0));
}

TEST(GridKeyboard, HooksSeeVirtualKeysAndAnsiCharacters)
{
    struct KeyGrid : TestGrid {
        std::vector<std::pair<std::uint16_t, TShiftState>> downs, ups;
        std::vector<std::uint8_t> chars;
        void KeyDown(std::uint16_t& key, TShiftState shift) override
        {
            downs.emplace_back(key, shift);
            TestGrid::KeyDown(key, shift);
        }
        void KeyUp(std::uint16_t& key, TShiftState shift) override { ups.emplace_back(key, shift); }
        void KeyPress(std::uint8_t ch) override { chars.push_back(ch); }
    } grid;

    // Single key events, without the modifier-key presses that keyClick adds.
    auto press = [&](Qt::Key key, Qt::KeyboardModifiers modifiers) {
        QKeyEvent down(QEvent::KeyPress, key, modifiers);
        QApplication::sendEvent(&grid, &down);
        QKeyEvent up(QEvent::KeyRelease, key, modifiers);
        QApplication::sendEvent(&grid, &up);
    };
    press(Qt::Key_T, Qt::ControlModifier);
    press(Qt::Key_3, Qt::ControlModifier | Qt::ShiftModifier);
    press(Qt::Key_3, Qt::KeypadModifier);
    QKeyEvent shiftDown(QEvent::KeyPress, Qt::Key_Shift, Qt::NoModifier);
    QApplication::sendEvent(&grid, &shiftDown);
    ASSERT_EQ(grid.downs.size(), 4u);
    EXPECT_EQ(grid.downs[0], std::make_pair(std::uint16_t(84), TShiftState(ssCtrl)));
    EXPECT_EQ(grid.downs[1], std::make_pair(std::uint16_t(51), TShiftState(ssCtrl | ssShift)));
    EXPECT_EQ(grid.downs[2].first, VK_NUMPAD0 + 3);
    EXPECT_EQ(grid.downs[3], std::make_pair(std::uint16_t(VK_SHIFT), TShiftState(ssShift)));
    EXPECT_EQ(grid.ups.size(), 3u);
    EXPECT_EQ(grid.ups[0], std::make_pair(std::uint16_t(84), TShiftState(ssCtrl)));

    grid.chars.clear();
    QKeyEvent euro(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString::fromUtf8("€é\u4e00"));
    QApplication::sendEvent(&grid, &euro);
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, QStringLiteral("\x7f"));
    QApplication::sendEvent(&grid, &del);
    EXPECT_EQ(grid.chars, (std::vector<std::uint8_t>{0x80, 0xE9})) << "no character for Delete or outside 1252";

    // As on Windows: Ctrl with a letter types its control character, Ctrl
    // with a digit and Alt alone type nothing, Ctrl+Alt (AltGr) types as is.
    grid.chars.clear();
    auto typed = [&](Qt::Key key, Qt::KeyboardModifiers modifiers, const char* text) {
        QKeyEvent down(QEvent::KeyPress, key, modifiers, QString::fromLatin1(text));
        QApplication::sendEvent(&grid, &down);
    };
    typed(Qt::Key_T, Qt::ControlModifier, "t");
    typed(Qt::Key_A, Qt::ControlModifier, "\x01");
    typed(Qt::Key_3, Qt::ControlModifier, "3");
    typed(Qt::Key_X, Qt::AltModifier, "x");
    typed(Qt::Key_Q, Qt::ControlModifier | Qt::AltModifier, "@");
    EXPECT_EQ(grid.chars, (std::vector<std::uint8_t>{0x14, 0x01, '@'}));

    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Backspace, {}), VK_BACK);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Insert, {}), VK_INSERT);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Alt, {}), VK_MENU);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_7, {}), 55);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_F5, {}), VK_F1 + 4);
    // The digit row by its X11 position, whatever the layout made of it.
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_NumberSign, Qt::ShiftModifier | Qt::ControlModifier, 12), '3');
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_ParenRight, Qt::ShiftModifier, 19), '0');
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Q, {}, 24), 'Q');
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_3, Qt::KeypadModifier, 12), VK_NUMPAD0 + 3);
}

TEST(GridMouse, PressMakesTheCellCurrentAndDragFollows)
{
    TestGrid grid;
    std::vector<std::pair<std::int32_t, std::int32_t>> asked;
    grid.accept = [&](std::int32_t c, std::int32_t r) {
        asked.emplace_back(c, r);
        return true;
    };
    QTest::mousePress(grid.viewport(), Qt::LeftButton, {}, grid.CellBounds(6, 4).center());
    EXPECT_EQ(std::make_pair(grid.Col(), grid.Row()), std::make_pair(6, 4));
    QTest::mouseMove(grid.viewport(), grid.CellBounds(8, 6).center());
    EXPECT_EQ(std::make_pair(grid.Col(), grid.Row()), std::make_pair(8, 6));
    QTest::mouseMove(grid.viewport(), grid.CellBounds(8, 6).topLeft() + QPoint(2, 2));
    EXPECT_EQ(asked.size(), 2u) << "moving inside the current cell asks nothing";
    const QPoint below(grid.CellBounds(8, 6).center().x(), 150);
    QTest::mouseMove(grid.viewport(), below);
    EXPECT_EQ(std::make_pair(grid.Col(), grid.Row()), std::make_pair(8, 10)) << "dragging below the view scrolls on";
    EXPECT_EQ(grid.TopRow(), 1);
    QTest::mouseRelease(grid.viewport(), Qt::LeftButton, {}, below);

    QTest::mouseMove(grid.viewport(), grid.CellBounds(3, 2).center());
    EXPECT_EQ(grid.Col(), 8) << "without a held button nothing follows the pointer";
    QTest::mouseClick(grid.viewport(), Qt::RightButton, {}, grid.CellBounds(3, 2).center());
    EXPECT_EQ(grid.Col(), 8);
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, grid.CellBounds(0, 2).center());
    EXPECT_EQ(grid.Col(), 8) << "a fixed cell never becomes current";
}

TEST(GridCaret, XorDrawnShownAndBlinking)
{
    TestGrid grid;
    const QImage plain = grid.viewport()->grab().toImage();
    ASSERT_EQ(plain.pixel(50, 30), QColor(Qt::white).rgb());

    TCaret& caret = grid.Caret();
    QImage shape(2, 10, QImage::Format_RGB32);
    shape.fill(Qt::white);
    caret.Create(shape);
    caret.SetPos(QPoint(50, 30));
    EXPECT_FALSE(caret.IsShown()) << "a new caret starts hidden";
    EXPECT_EQ(grid.viewport()->grab().toImage(), plain);

    caret.Show();
    ASSERT_TRUE(caret.IsDrawn());
    const QImage shown = grid.viewport()->grab().toImage();
    EXPECT_EQ(shown.pixel(50, 30) & 0xFFFFFF, 0u) << "white XOR white";
    EXPECT_EQ(shown.pixel(51, 39) & 0xFFFFFF, 0u);
    EXPECT_EQ(shown.pixel(52, 30), plain.pixel(52, 30));
    EXPECT_EQ(shown.pixel(50, 40), plain.pixel(50, 40));

    caret.Hide();
    caret.Hide();
    caret.Show();
    EXPECT_FALSE(caret.IsShown()) << "hiding nests";
    caret.Show();
    EXPECT_TRUE(caret.IsShown());

    if (QApplication::cursorFlashTime() > 0) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return !caret.IsDrawn(); }, 5000)) << "the caret blinks";
        EXPECT_TRUE(QTest::qWaitFor([&] { return caret.IsDrawn(); }, 5000));
    }
    caret.Destroy();
    EXPECT_FALSE(caret.IsCreated());
    EXPECT_EQ(grid.viewport()->grab().toImage(), plain);
}

TEST(GridScrolling, LimitsFollowScrollBarsShownAsNeeded)
{
    TestGrid grid;
    grid.setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    grid.setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    QApplication::processEvents();
    ASSERT_TRUE(grid.verticalScrollBar()->isVisible());
    ASSERT_TRUE(grid.horizontalScrollBar()->isVisible());
    const int capacity = grid.viewport()->height() / 10;
    ASSERT_LT(capacity, 10) << "the horizontal bar took room from the rows";
    EXPECT_EQ(grid.VisibleRowCount(), capacity);
    grid.SetTopRow(INT32_MAX);
    EXPECT_EQ(grid.TopRow(), 100 - capacity);
    EXPECT_EQ(grid.verticalScrollBar()->value(), grid.verticalScrollBar()->maximum());

    grid.SetRowCount(2);
    QApplication::processEvents();
    EXPECT_FALSE(grid.verticalScrollBar()->isVisible());
    EXPECT_EQ(grid.TopRow(), 0);
}
