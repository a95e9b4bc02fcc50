// SPDX-License-Identifier: GPL-3.0-or-later
// Colours as the design stores them: a TColor is 0x00BBGGRR for an RGB colour,
// or a system colour code (high byte 0xFF, low byte the COLOR_* index) that
// stands for a colour of the desktop's palette. ColorToRGB is the one place
// that resolves system colours.
#pragma once

#include <QColor>
#include <QPalette>
#include <cstdint>

namespace platform {

using TColor = std::int32_t;

constexpr TColor RGB(int r, int g, int b)
{
    return static_cast<TColor>((static_cast<std::uint32_t>(b & 0xFF) << 16) |
                               (static_cast<std::uint32_t>(g & 0xFF) << 8) | static_cast<std::uint32_t>(r & 0xFF));
}

// System colour codes: 0xFF000000 | COLOR_* index.
constexpr TColor kSystemColor = static_cast<TColor>(0xFF000000u);
constexpr TColor clScrollBar = kSystemColor | 0;
constexpr TColor clBackground = kSystemColor | 1;
constexpr TColor clWindow = kSystemColor | 5;
constexpr TColor clWindowFrame = kSystemColor | 6;
constexpr TColor clWindowText = kSystemColor | 8;
constexpr TColor clHighlight = kSystemColor | 13;
constexpr TColor clHighlightText = kSystemColor | 14;
constexpr TColor clBtnFace = kSystemColor | 15;
constexpr TColor clBtnShadow = kSystemColor | 16;
constexpr TColor clGrayText = kSystemColor | 17;
constexpr TColor clBtnText = kSystemColor | 18;
constexpr TColor clBtnHighlight = kSystemColor | 20;
constexpr TColor clInfoText = kSystemColor | 23;
constexpr TColor clInfoBk = kSystemColor | 24;

constexpr TColor clBlack = RGB(0, 0, 0);
constexpr TColor clMaroon = RGB(128, 0, 0);
constexpr TColor clGreen = RGB(0, 128, 0);
constexpr TColor clOlive = RGB(128, 128, 0);
constexpr TColor clNavy = RGB(0, 0, 128);
constexpr TColor clPurple = RGB(128, 0, 128);
constexpr TColor clTeal = RGB(0, 128, 128);
constexpr TColor clGray = RGB(128, 128, 128);
constexpr TColor clSilver = RGB(192, 192, 192);
constexpr TColor clRed = RGB(255, 0, 0);
constexpr TColor clLime = RGB(0, 255, 0);
constexpr TColor clYellow = RGB(255, 255, 0);
constexpr TColor clBlue = RGB(0, 0, 255);
constexpr TColor clFuchsia = RGB(255, 0, 255);
constexpr TColor clAqua = RGB(0, 255, 255);
constexpr TColor clWhite = RGB(255, 255, 255);

constexpr bool IsSystemColor(TColor color)
{
    return (static_cast<std::uint32_t>(color) & 0xFF000000u) == 0xFF000000u;
}

// The RGB value (0x00BBGGRR) of a colour; system colours are looked up in
// the palette (the application's palette when none is given). Bits 24-31 of
// other values are dropped.
TColor ColorToRGB(TColor color);
TColor ColorToRGB(TColor color, const QPalette& palette);

// An RGB TColor as a Qt colour (after ColorToRGB for system colours).
QColor ToQColor(TColor color);
// A Qt colour as an RGB TColor.
TColor FromQColor(const QColor& color);

}  // namespace platform
