// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/widgets/Colors.h"

#include <QGuiApplication>

namespace platform {

namespace {

// The palette role that shows what a Windows system colour index shows.
QColor SystemColor(unsigned index, const QPalette& palette)
{
    switch (index) {
    case 5:  // COLOR_WINDOW: background of edit and list controls
        return palette.color(QPalette::Active, QPalette::Base);
    case 8:  // COLOR_WINDOWTEXT
        return palette.color(QPalette::Active, QPalette::Text);
    case 6:  // COLOR_WINDOWFRAME
        return palette.color(QPalette::Active, QPalette::Shadow);
    case 13:  // COLOR_HIGHLIGHT
        return palette.color(QPalette::Active, QPalette::Highlight);
    case 14:  // COLOR_HIGHLIGHTTEXT
        return palette.color(QPalette::Active, QPalette::HighlightedText);
    case 16:  // COLOR_BTNSHADOW
        return palette.color(QPalette::Active, QPalette::Dark);
    case 17:  // COLOR_GRAYTEXT
        return palette.color(QPalette::Disabled, QPalette::Text);
    case 18:  // COLOR_BTNTEXT
        return palette.color(QPalette::Active, QPalette::ButtonText);
    case 20:  // COLOR_BTNHIGHLIGHT
        return palette.color(QPalette::Active, QPalette::Light);
    case 23:  // COLOR_INFOTEXT
        return palette.color(QPalette::Active, QPalette::ToolTipText);
    case 24:  // COLOR_INFOBK
        return palette.color(QPalette::Active, QPalette::ToolTipBase);
    case 15:  // COLOR_BTNFACE
    default:
        return palette.color(QPalette::Active, QPalette::Button);
    }
}

}  // namespace

TColor ColorToRGB(TColor color)
{
    return ColorToRGB(color, QGuiApplication::palette());
}

TColor ColorToRGB(TColor color, const QPalette& palette)
{
    if (IsSystemColor(color))
        return FromQColor(SystemColor(static_cast<std::uint32_t>(color) & 0xFFu, palette));
    return static_cast<TColor>(static_cast<std::uint32_t>(color) & 0x00FFFFFFu);
}

QColor ToQColor(TColor color)
{
    const auto v = static_cast<std::uint32_t>(color);
    return QColor(static_cast<int>(v & 0xFF), static_cast<int>((v >> 8) & 0xFF), static_cast<int>((v >> 16) & 0xFF));
}

TColor FromQColor(const QColor& color)
{
    return RGB(color.red(), color.green(), color.blue());
}

}  // namespace platform
