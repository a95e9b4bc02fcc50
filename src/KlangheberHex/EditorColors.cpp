// SPDX-License-Identifier: GPL-3.0-or-later
#include "KlangheberHex/EditorColors.h"

#include <algorithm>
#include <cmath>

namespace hexwindow {

namespace {

constexpr double kTextContrast = 7.0;
constexpr double kInverseContrast = 4.5;
constexpr double kMinimumContrast = 4.5;
constexpr int kDefaultHue = 220;  // blue, when the palette's link colour has no hue

QColor FromTColor(TColor c)
{
    return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF), static_cast<int>((c >> 16) & 0xFF));
}

double Channel(int value)
{
    const double c = value / 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(const QColor& c)
{
    return 0.2126 * Channel(c.red()) + 0.7152 * Channel(c.green()) + 0.0722 * Channel(c.blue());
}

QColor Mix(const QColor& a, const QColor& b, double shareOfB)
{
    const auto mix = [shareOfB](int x, int y) { return static_cast<int>(std::lround(x + (y - x) * shareOfB)); };
    return QColor(mix(a.red(), b.red()), mix(a.green(), b.green()), mix(a.blue(), b.blue()));
}

// A colour of the hue that reads on the ground: starting at the lightness
// given, it is made darker (for a light ground) or lighter (for a dark one)
// until its contrast with the ground is kTextContrast and, when asked, its
// contrast with its own RGB inverse is kInverseContrast (the editor draws a
// selected hex digit in that inverse on this colour).
QColor ReadableOn(const QColor& ground, int hue, int saturation, int lightness, bool withInverse)
{
    const bool darkGround = Luminance(ground) < 0.2;
    const int step = darkGround ? 1 : -1;
    QColor candidate;
    for (int l = lightness; l >= 0 && l <= 255; l += step) {
        candidate = QColor::fromHsl(hue, saturation, l);
        const TColor c = ToTColor(candidate);
        if (ContrastRatio(c, ToTColor(ground)) >= kTextContrast &&
            (!withInverse || ContrastRatio(c, TColors::RgbInverse(c)) >= kInverseContrast))
            return candidate;
    }
    return candidate;
}

}  // namespace

TColor ToTColor(const QColor& color)
{
    const QColor rgb = color.toRgb();
    return static_cast<TColor>(rgb.red()) | static_cast<TColor>(rgb.green()) << 8 |
           static_cast<TColor>(rgb.blue()) << 16;
}

double ContrastRatio(TColor a, TColor b)
{
    const double la = Luminance(FromTColor(a));
    const double lb = Luminance(FromTColor(b));
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

EditorColors ColorsFor(const QPalette& palette)
{
    const QColor base = palette.color(QPalette::Active, QPalette::Base);
    const QColor text = palette.color(QPalette::Active, QPalette::Text);
    const bool dark = Luminance(base) < 0.2;
    const int linkHue = palette.color(QPalette::Active, QPalette::Link).hslHue();
    const int hue = linkHue >= 0 ? linkHue : kDefaultHue;

    EditorColors colors{};
    colors.background = ToTColor(base);
    colors.text = ToTColor(text);
    colors.offset = ToTColor(Mix(text, base, 0.3));
    // Two shades of the link colour for alternating column groups, as the
    // editor's own blue and navy.
    const QColor odd = ReadableOn(base, hue, 255, dark ? 190 : 128, true);
    const int oddLightness = odd.lightness();
    colors.oddColumn = ToTColor(odd);
    colors.evenColumn = ToTColor(ReadableOn(base, hue, 255, dark ? std::min(255, oddLightness + 35)
                                                                   : std::max(0, oddLightness - 64),
                                            true));
    const QColor changedGround = Mix(base, QColor(255, 220, 0), dark ? 0.22 : 0.35);
    colors.changedBackground = ToTColor(changedGround);
    colors.changedText = ToTColor(ReadableOn(changedGround, 0, 255, dark ? 190 : 70, false));
    // Bookmark numbers in the selection colours; many palettes pair a
    // middle blue with white, which is too faint for a small digit, so the
    // text becomes black or white when that reads better.
    colors.positionBackground = ToTColor(palette.color(QPalette::Active, QPalette::Highlight));
    colors.positionText = ToTColor(palette.color(QPalette::Active, QPalette::HighlightedText));
    if (ContrastRatio(colors.positionText, colors.positionBackground) < kMinimumContrast) {
        const TColor black = 0x000000, white = 0xFFFFFF;
        colors.positionText = ContrastRatio(black, colors.positionBackground) >
                                      ContrastRatio(white, colors.positionBackground)
                                  ? black
                                  : white;
    }
    // The caret is drawn by inverting with the complement of CursorFrame:
    // this value makes it the text colour on the plain ground.
    colors.cursorFrame = ~(colors.background ^ colors.text) & 0xFFFFFFu;
    return colors;
}

void ApplyColors(THexEditor& editor, const EditorColors& colors)
{
    TColors& c = editor.Colors();
    c.SetBackground(colors.background);
    c.SetOffset(colors.offset);
    c.SetOddColumn(colors.oddColumn);
    c.SetEvenColumn(colors.evenColumn);
    c.SetChangedText(colors.changedText);
    c.SetChangedBackground(colors.changedBackground);
    c.SetPositionText(colors.positionText);
    c.SetPositionBackground(colors.positionBackground);
    c.SetCursorFrame(colors.cursorFrame);
    editor.SetFontColor(colors.text);
}

}  // namespace hexwindow
