// SPDX-License-Identifier: GPL-3.0-or-later
// Painting of the byte editor's cells: offsets, bookmark numbers, hex digits
// and characters in the colours of TColors, change marks, the selection, the
// frame on the twin cell of the caret, and the caret's position.
#include "hexeditor/hexeditor.h"

#include "platform/system/CodePages.h"
#include "platform/widgets/Fonts.h"

#include <QFontInfo>
#include <QPainter>
#include <QStaticText>
#include <QString>
#include <array>
#include <bitset>
#include <deque>

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

QString AnsiText(const std::string& text)
{
    QString out;
    out.reserve(static_cast<qsizetype>(text.size()));
    for (const char c : text) {
        const char32_t u = platform::AnsiToUnicode(static_cast<std::uint8_t>(c));
        out += QString::fromUcs4(&u, 1);
    }
    return out;
}

// The layout's resolution: the editor's pixel sizes stand for points at 96
// pixels per inch.
constexpr int kLayoutDpi = 96;

// Almost every cell shows one character. Laying out (shaping) a
// one-character string anew for each cell was most of the time a full
// repaint took, so each character is laid out once per font and drawn from
// then on as it is. A few fonts are kept (the editor's and the bookmark
// numbers'); another font replaces the oldest.
class CharacterCache {
public:
    // The character of an ANSI byte, laid out in the font.
    const QStaticText& Get(const QFont& font, std::uint8_t ansi)
    {
        Slot& slot = SlotFor(font);
        QStaticText& text = slot.characters[ansi];
        if (!slot.ready[ansi]) {
            const char32_t u = platform::AnsiToUnicode(ansi);
            text.setText(QString::fromUcs4(&u, 1));
            text.setTextFormat(Qt::PlainText);
            text.setPerformanceHint(QStaticText::AggressiveCaching);
            text.prepare(QTransform(), font);
            slot.ready[ansi] = true;
        }
        return text;
    }

private:
    static constexpr std::size_t kFonts = 4;
    struct Slot {
        QFont font;
        std::array<QStaticText, 256> characters;
        std::bitset<256> ready;
    };

    Slot& SlotFor(const QFont& font)
    {
        for (Slot& slot : slots_)
            if (slot.font == font)
                return slot;
        if (slots_.size() == kFonts)
            slots_.pop_front();
        slots_.push_back(Slot{font, {}, {}});
        return slots_.back();
    }

    std::deque<Slot> slots_;
};

// Never destroyed: fonts and laid-out texts must not outlive the
// application object, and a static object's destructor would run after it.
CharacterCache& Characters()
{
    static CharacterCache* cache = new CharacterCache;
    return *cache;
}

}  // namespace

int THexEditor::MarkerPointSize(int pointSize)
{
    // 0.75 x size, a half rounded to the even neighbour.
    const int x = 3 * pointSize;
    int q = x / 4;
    const int r = x % 4;
    if (r > 2 || (r == 2 && q % 2 != 0))
        ++q;
    return q;
}

QFont THexEditor::MarkerFont() const
{
    const QFont base = font();
    QFont marker = platform::ArialFont(8);
    if (base.pointSize() > 0) {
        marker.setPointSize(MarkerPointSize(base.pointSize()));
    } else {
        // A font given in pixels: its point size at the layout's resolution
        // (rounded), and the marker size back in pixels.
        const int points = (base.pixelSize() * 72 + kLayoutDpi / 2) / kLayoutDpi;
        const int markerPoints = MarkerPointSize(points);
        marker.setPixelSize(std::max(1, (markerPoints * kLayoutDpi + 36) / 72));
    }
    return marker;
}

THexEditor::CellLook THexEditor::CellAppearance(std::int32_t c, std::int32_t r) const
{
    const TColors& colors = *colors_;
    const std::int32_t size = DataSize();
    if (size <= 0) {
        // An empty document: one row of blanks, the offset column labelled.
        return {c == 0 ? OffsetText(0) : std::string("   "), colors.Offset(), colors.Background(), false};
    }
    if (c == 0)
        return {OffsetText(r), colors.Offset(), colors.Background(), false};
    if (c == 1) {
        const int m = MarkerOnRow(r);
        if (m >= 0)
            return {std::string(1, static_cast<char>('0' + m)), colors.PositionText(), colors.PositionBackground(),
                    true};
        return {" ", fontColor_, colors.Background(), false};
    }
    if (c == hexColumns_ + 2)
        return {" ", fontColor_, colors.Background(), false};

    const std::int32_t s = LineStart(r);
    document_.EnsurePage(s, bytesPerLine_);
    const std::int32_t p = CellToPosition(c, r);
    const bool charPane = IsCharPaneColumn(c);
    if (p >= size || (customLineLengths_ && IsBeyondLine(c, r)))
        return {" ", fontColor_, colors.Background(), false};

    const std::uint8_t v = document_.PageBuffer()[static_cast<std::size_t>(p - document_.PageStart())];
    CellLook look{};
    if (charPane) {
        look.text.assign(1, static_cast<char>(TranslateToChar(v)));
    } else {
        const bool high = (c - 2) % 2 == (swapNibbles_ ? 1 : 0);
        look.text.assign(1, kHexDigits[high ? v >> 4 : v & 0x0F]);
    }
    const bool changed = IsByteChanged(p);
    const bool oddGroup = ((c - 2) / digitsPerGroup_) % 2 == 0;
    if (changed) {
        look.textColor = colors.ChangedText();
        look.background = colors.ChangedBackground();
    } else {
        look.background = colors.Background();
        look.textColor = charPane ? fontColor_ : (oddGroup ? colors.OddColumn() : colors.EvenColumn());
    }
    if (selAnchor_ != -1 && selLow_ <= p && p <= selHigh_) {
        std::swap(look.textColor, look.background);
        if (!changed && !charPane)
            look.textColor = oddGroup ? colors.OddColumnInverse() : colors.EvenColumnInverse();
    }
    look.markerFont = false;
    return look;
}

void THexEditor::DrawCellText(QPainter& painter, const QRect& rect, const std::string& text, TColor textColor,
                              TColor background)
{
    const QColor fore = platform::ToQColor(platform::ColorToRGB(textColor));
    const QColor back = platform::ToQColor(platform::ColorToRGB(background));
    painter.fillRect(rect, back);
    painter.setClipRect(rect);
    painter.setPen(fore);
    if (text.size() == 1) {
        // A laid-out text is drawn from its top-left corner, the baseline at
        // the font's ascent, as below.
        painter.drawStaticText(rect.topLeft(), Characters().Get(painter.font(), static_cast<std::uint8_t>(text[0])));
    } else {
        const QFontMetrics metrics(painter.font());
        painter.drawText(QPoint(rect.left(), rect.top() + metrics.ascent()), AnsiText(text));
    }
    painter.setClipping(false);
}

void THexEditor::PaintCell(QPainter& painter, std::int32_t c, std::int32_t r, const QRect& rect)
{
    painter.setFont(font());
    const CellLook look = CellAppearance(c, r);
    if (look.markerFont)
        painter.setFont(MarkerFont());
    DrawCellText(painter, rect, look.text, look.textColor, look.background);
    if (look.markerFont)
        painter.setFont(font());

    if (DataSize() <= 0) {
        if (c == 2)
            PlaceCaretAt(rect.topLeft());
        return;
    }
    if (c < 2 || c == hexColumns_ + 2 || r != Row())
        return;
    if (c == Col()) {
        PlaceCaretAt(rect.topLeft());
    } else if (c == TwinColumn(Col()) && hasFocus()) {
        // The same byte in the other pane gets a frame one character wide.
        const QRect frame(rect.left(), rect.top(), std::max(charWidth_, 0), rect.height());
        painter.save();
        if (focusFrame_) {
            // A dotted frame drawn by inversion, like a focus rectangle.
            painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
            // Every other pixel, like a focus rectangle.
            QPen pen(Qt::white);
            pen.setWidth(0);
            pen.setDashPattern({1.0, 1.0});
            painter.setPen(pen);
        } else {
            painter.setPen(platform::ToQColor(platform::ColorToRGB(colors_->CursorFrame())));
        }
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(frame.adjusted(0, 0, -1, -1));
        painter.restore();
    }
}

void THexEditor::Scrolled(Qt::Orientation)
{
    if (!Caret().IsCreated())
        return;
    const QRect bounds = CellBounds(Col(), Row());
    Caret().SetPos(bounds.isNull() ? QPoint(-50, -50) : bounds.topLeft());
}
