// SPDX-License-Identifier: GPL-3.0-or-later
// Cell drawing: texts and colours of every kind of cell, markers and their
// font, the twin-cell frame and the caret image, checked on what PaintCell
// decides and on the pixels of the rendered editor.
#include "UiSupport.h"

#include "platform/system/Exceptions.h"
#include "platform/widgets/Fonts.h"

#include <QFontInfo>
#include <QImage>
#include <gtest/gtest.h>

using namespace uitest;
using platform::ColorToRGB;
using platform::TColor;

namespace {

// The rendered viewport and the colour of one pixel as a TColor.
struct Shot {
    QImage image;
    explicit Shot(HexEditorProbe& ed) : image(ed.viewport()->grab().toImage()) {}
    TColor At(const QPoint& p) const
    {
        const QColor c = image.pixelColor(p);
        return platform::RGB(c.red(), c.green(), c.blue());
    }
};

// A pixel of a cell's bottom line, below any text.
QPoint Floor(const QRect& cell)
{
    return {cell.left() + 1, cell.bottom()};
}

struct Look {
    std::string text;
    TColor textColor, background;
};
Look LookOf(HexEditorProbe& ed, std::int32_t col, std::int32_t row)
{
    const auto look = ed.CellAppearance(col, row);
    return {look.text, look.textColor, look.background};
}

// Counts paint events of a widget.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* w) { w->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            ++count;
        return false;
    }
};

void Settle()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

}  // namespace

TEST(HexDrawing, ColourSetDefaultsAndInverses)
{
    HexEditorProbe ed;
    const TColors& c = ed.Colors();
    EXPECT_EQ(c.OddColumnInverse(), platform::clYellow);
    EXPECT_EQ(c.EvenColumnInverse(), platform::RGB(255, 255, 127));
    // System colour codes are inverted as they stand, not resolved first.
    EXPECT_EQ(TColors::RgbInverse(platform::clWindow), platform::RGB(250, 255, 255));
    ed.Colors().SetOddColumn(platform::RGB(10, 20, 30));
    EXPECT_EQ(c.OddColumnInverse(), platform::RGB(245, 235, 225));
    ed.Colors().SetEvenColumn(platform::clWhite);
    EXPECT_EQ(c.EvenColumnInverse(), platform::clBlack);
    // Background is the control's colour too.
    ed.Colors().SetBackground(platform::clAqua);
    EXPECT_EQ(ed.viewport()->palette().color(ed.viewport()->backgroundRole()), QColor(0, 255, 255));
    // Assigning another set copies it; the editor keeps its own.
    HexEditorProbe other;
    other.SetColors(ed.Colors());
    EXPECT_EQ(other.Colors().OddColumnInverse(), platform::RGB(245, 235, 225));
    EXPECT_NE(&other.Colors(), &ed.Colors());
}

TEST(HexDrawing, ColorToRgbResolvesSystemColours)
{
    const QPalette palette = QGuiApplication::palette();
    EXPECT_EQ(ColorToRGB(platform::clWindow), platform::FromQColor(palette.color(QPalette::Base)));
    EXPECT_EQ(ColorToRGB(platform::clWindowText), platform::FromQColor(palette.color(QPalette::Text)));
    EXPECT_EQ(ColorToRGB(platform::clNavy), platform::clNavy);
    EXPECT_EQ(ColorToRGB(0x02123456), 0x123456);
    EXPECT_EQ(platform::ToQColor(platform::RGB(1, 2, 3)), QColor(1, 2, 3));
}

TEST(HexDrawing, EmptyEditorPaintsOneRowOfBlanks)
{
    Ui ui({});
    HexEditorProbe& ed = *ui.ed;
    const TColor offset = ed.Colors().Offset();
    const TColor background = ed.Colors().Background();
    EXPECT_EQ(LookOf(ed, 0, 0).text, "0x0:");
    for (std::int32_t c = 0; c < ed.ColCount(); ++c) {
        const Look look = LookOf(ed, c, 0);
        if (c > 0) {
            EXPECT_EQ(look.text, "   ") << c;
        }
        EXPECT_EQ(look.textColor, offset) << c;
        EXPECT_EQ(look.background, background) << c;
    }
    ed.SetOffsetDisplay(odNone);
    EXPECT_EQ(LookOf(ed, 0, 0).text, "   ");

    // Rendered: the whole row on the window colour, the label in black.
    ed.SetOffsetDisplay(odHex);
    const Shot shot(ed);
    const QRect label = ed.CellBounds(0, 0);
    bool dark = false;
    for (int x = label.left(); x <= label.right(); ++x)
        for (int y = label.top(); y <= label.bottom(); ++y)
            dark = dark || shot.At({x, y}) == platform::clBlack;
    EXPECT_TRUE(dark) << "the offset label is drawn";
    EXPECT_EQ(shot.At(ed.CellBounds(5, 0).center()), ColorToRGB(background));
    EXPECT_EQ(ed.Caret().Pos(), ed.CellBounds(2, 0).topLeft());
}

TEST(HexDrawing, HexDigitsCharactersAndGroups)
{
    Bytes data(20, 0x41);
    data[0] = 0x4F;
    data[2] = 0x09;
    Ui ui(data);
    HexEditorProbe& ed = *ui.ed;
    const TColors& colors = ed.Colors();
    const std::int32_t chars = ed.HexColumns() + 3;
    // Byte 0 lies in the first (odd-numbered) group.
    EXPECT_EQ(LookOf(ed, 2, 0).text, "4");
    EXPECT_EQ(LookOf(ed, 3, 0).text, "F");
    EXPECT_EQ(LookOf(ed, 2, 0).textColor, colors.OddColumn());
    EXPECT_EQ(LookOf(ed, 3, 0).background, colors.Background());
    EXPECT_EQ(LookOf(ed, chars, 0).text, "O");
    EXPECT_EQ(LookOf(ed, chars, 0).textColor, ed.FontColor());
    // Byte 2 starts the second group; byte 4 the third.
    EXPECT_EQ(LookOf(ed, 6, 0).textColor, colors.EvenColumn());
    EXPECT_EQ(LookOf(ed, 10, 0).textColor, colors.OddColumn());
    EXPECT_EQ(LookOf(ed, chars + 2, 0).textColor, ed.FontColor()) << "characters take no group colour";
    // Control characters are masked unless MaskWhiteSpaces is off.
    EXPECT_EQ(LookOf(ed, chars + 2, 0).text, ".");
    ed.SetMaskChar('*');
    EXPECT_EQ(LookOf(ed, chars + 2, 0).text, "*");
    ed.SetMaskWhiteSpaces(false);
    EXPECT_EQ(LookOf(ed, chars + 2, 0).text, "\t");
    ed.SetSwapNibbles(true);
    EXPECT_EQ(LookOf(ed, 2, 0).text, "F");
    EXPECT_EQ(LookOf(ed, 3, 0).text, "4");
    // The short last row is blank past its last byte, in both panes, and
    // so is the separator.
    for (const std::int32_t c : {2 + 2 * 4, 3 + 2 * 15, chars + 4, chars + 15, ed.HexColumns() + 2}) {
        const Look look = LookOf(ed, c, 1);
        EXPECT_EQ(look.text, " ") << c;
        EXPECT_EQ(look.background, colors.Background()) << c;
    }
    EXPECT_EQ(LookOf(ed, 2 + 2 * 3, 1).text, "1") << "0x41, nibbles swapped";
}

TEST(HexDrawing, ChangedAndSelectedColours)
{
    Ui ui(Bytes(40, 0x11));
    HexEditorProbe& ed = *ui.ed;
    const TColors& colors = ed.Colors();
    const std::int32_t chars = ed.HexColumns() + 3;
    ui.At(2);
    ui.Type("5");  // byte 2 (second group) changed
    ASSERT_TRUE(ed.IsByteChanged(2));
    for (const std::int32_t c : {6, 7, chars + 2}) {
        EXPECT_EQ(LookOf(ed, c, 0).textColor, colors.ChangedText()) << c;
        EXPECT_EQ(LookOf(ed, c, 0).background, colors.ChangedBackground()) << c;
    }
    ed.SetSelStart(0);
    ed.SetSelEnd(2);
    // Selected and changed: the two colours change places.
    EXPECT_EQ(LookOf(ed, 6, 0).textColor, colors.ChangedBackground());
    EXPECT_EQ(LookOf(ed, 6, 0).background, colors.ChangedText());
    // Selected unchanged hex digit of the first group: inverse on the group colour.
    EXPECT_EQ(LookOf(ed, 2, 0).textColor, colors.OddColumnInverse());
    EXPECT_EQ(LookOf(ed, 2, 0).background, colors.OddColumn());
    // Selected character: background colour on the font colour.
    EXPECT_EQ(LookOf(ed, chars + 1, 0).textColor, colors.Background());
    EXPECT_EQ(LookOf(ed, chars + 1, 0).background, ed.FontColor());
    // Byte 3 is outside the selection.
    EXPECT_EQ(LookOf(ed, 8, 0).background, colors.Background());

    // The rendered cells carry these backgrounds.
    const Shot shot(ed);
    EXPECT_EQ(shot.At(Floor(ed.CellBounds(6, 0))), ColorToRGB(colors.ChangedText()));
    EXPECT_EQ(shot.At(Floor(ed.CellBounds(2, 0))), ColorToRGB(colors.OddColumn()));
    EXPECT_EQ(shot.At(Floor(ed.CellBounds(chars + 1, 0))), ColorToRGB(ed.FontColor()));
    EXPECT_EQ(shot.At(Floor(ed.CellBounds(8, 0))), ColorToRGB(colors.Background()));
    ed.ClearSelection(true);
    EXPECT_EQ(Shot(ed).At(Floor(ed.CellBounds(chars + 2, 0))), ColorToRGB(colors.ChangedBackground()));
}

TEST(HexDrawing, MarkersInTheMarkerColumn)
{
    Ui ui(Bytes(200, 0));
    HexEditorProbe& ed = *ui.ed;
    ed.SetMarker(7, 5);
    ed.SetMarker(3, 5);
    EXPECT_EQ(ed.MarkerOnRow(5), 3);
    const auto look = ed.CellAppearance(1, 5);
    EXPECT_EQ(look.text, "3");
    EXPECT_TRUE(look.markerFont);
    EXPECT_EQ(look.textColor, ed.Colors().PositionText());
    EXPECT_EQ(look.background, ed.Colors().PositionBackground());
    const auto plain = ed.CellAppearance(1, 4);
    EXPECT_EQ(plain.text, " ");
    EXPECT_FALSE(plain.markerFont);
    EXPECT_EQ(Shot(ed).At(Floor(ed.CellBounds(1, 5))), ColorToRGB(ed.Colors().PositionBackground()));

    // Arial at three quarters of the size, halves to the even neighbour.
    EXPECT_EQ(HexEditorProbe::MarkerPointSize(12), 9);
    EXPECT_EQ(HexEditorProbe::MarkerPointSize(10), 8);
    EXPECT_EQ(HexEditorProbe::MarkerPointSize(14), 10);
    EXPECT_EQ(HexEditorProbe::MarkerPointSize(6), 4);
    const QFont marker = ed.MarkerFont();
    EXPECT_EQ(marker.family(), QStringLiteral("Arial"));
    EXPECT_EQ(marker.pixelSize(), 12) << "12 pt Courier (16 px) gives 9 pt (12 px)";

    EXPECT_EQ(ed.MarkerRow(3), 5);
    EXPECT_EQ(ed.MarkerRow(4), ed.Row()) << "unset: the current row";
    ed.SetMarker(3, -1);
    EXPECT_EQ(ed.MarkerOnRow(5), 7);
}

TEST(HexDrawing, SetMarkerRefusesBadIndexes)
{
    HexEditorProbe ed;
    for (const int bad : {10, 11, -1}) {
        try {
            ed.SetMarker(bad, 1);
            ADD_FAILURE() << "no error for " << bad;
        } catch (const platform::Exception& e) {
            EXPECT_EQ(e.Message(), "SetMarker : Invalid marker index");
        }
    }
    for (int i = 0; i < HexEditorProbe::kMarkerCount; ++i)
        EXPECT_EQ(ed.MarkerRow(i), ed.Row());
    EXPECT_EQ(ed.MarkerOnRow(1), -1);
}

TEST(HexDrawing, TwinCellFrame)
{
    Ui ui(Bytes(40, 0));
    HexEditorProbe& ed = *ui.ed;
    ed.SetFocusFrame(false);
    ed.Colors().SetCursorFrame(platform::clRed);
    ui.At(5, true);
    const QRect twin = ed.CellBounds(2 + 2 * 5, 0);
    const int w = ed.CharWidth();
    Shot shot(ed);
    EXPECT_EQ(shot.At(twin.topLeft()), platform::clRed);
    EXPECT_EQ(shot.At(twin.topLeft() + QPoint(w - 1, 0)), platform::clRed);
    EXPECT_EQ(shot.At(twin.bottomLeft()), platform::clRed);
    EXPECT_EQ(shot.At(twin.center()), ColorToRGB(platform::clWindow)) << "hollow";
    // The focus rectangle: a dotted frame drawn by inversion.
    ed.SetFocusFrame(true);
    const Shot dotted(ed);
    int inverted = 0;
    for (int x = twin.left(); x < twin.left() + w; ++x) {
        const TColor pixel = dotted.At({x, twin.top()});
        EXPECT_TRUE(pixel == ColorToRGB(platform::clWindow) || pixel == (ColorToRGB(platform::clWindow) ^ 0xFFFFFF));
        inverted += pixel != ColorToRGB(platform::clWindow);
    }
    EXPECT_GE(inverted, w / 2 - 1);
    EXPECT_LT(inverted, w);
    // Without the focus there is no frame.
    ed.clearFocus();
    QApplication::processEvents();
    EXPECT_EQ(Shot(ed).At(twin.topLeft()), ColorToRGB(platform::clWindow));
}

TEST(HexDrawing, CaretShapes)
{
    Ui ui(Bytes(40, 0));
    HexEditorProbe& ed = *ui.ed;
    const int w = ed.CharWidth();
    const int h = ed.RowHeight() - 2;
    const QColor fill = platform::ToQColor(platform::clNavy ^ 0xFFFFFF);
    auto filled = [&](int x, int y) { return ed.CaretBitmap().pixelColor(x, y) == fill; };

    ed.SetCaretStyle(csBottomLine);
    ASSERT_EQ(ed.CaretBitmap().size(), QSize(w, h));
    EXPECT_EQ(ed.Caret().Shape().size(), QSize(w, h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            ASSERT_EQ(filled(x, y), y >= h - 2) << x << "," << y;
    EXPECT_EQ(ed.CaretBitmap().pixelColor(0, 0), QColor(Qt::black));

    ed.SetCaretStyle(csLeftLine);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            ASSERT_EQ(filled(x, y), x < 2) << x << "," << y;
    ed.SetCaretStyle(csFull);
    EXPECT_TRUE(filled(w - 1, h - 1));
    EXPECT_TRUE(ed.Caret().IsShown());
}

TEST(HexDrawing, FontChangeLaysOutAgain)
{
    Ui ui(Bytes(40, 0));
    HexEditorProbe& ed = *ui.ed;
    ed.setFont(platform::CourierFont(32));
    EXPECT_EQ(ed.CharWidth(), QFontMetrics(ed.font()).horizontalAdvance(QStringLiteral("w")));
    EXPECT_EQ(ed.ColWidth(2), ed.CharWidth());
    EXPECT_EQ(ed.CaretBitmap().width(), ed.CharWidth());
    EXPECT_TRUE(ed.Caret().IsShown());
}

TEST(HexDrawing, TranslationSettersRepaintOnlyOnChange)
{
    HexEditorProbe editor;
    editor.resize(300, 200);
    editor.show();
    Settle();
    PaintCounter paints(editor.viewport());

    editor.SetTranslation(ttAnsi);
    editor.SetMaskChar('.');
    editor.SetMaskWhiteSpaces(true);
    Settle();
    EXPECT_EQ(paints.count, 0);

    editor.SetTranslation(ttMac);
    Settle();
    EXPECT_GT(paints.count, 0);
    EXPECT_EQ(editor.Translation(), ttMac);

    paints.count = 0;
    editor.SetMaskChar('*');
    Settle();
    EXPECT_GT(paints.count, 0);

    paints.count = 0;
    editor.SetMaskWhiteSpaces(false);
    Settle();
    EXPECT_GT(paints.count, 0);
}
