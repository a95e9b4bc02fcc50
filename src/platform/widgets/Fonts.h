// Font choices that resolve the same way on every machine the setup prepared.
#pragma once

#include <QFont>

namespace platform {

// "MS Sans Serif" 8 pt: an Arial-metric sans at 11 pixels, so the fixed
// control sizes hold their captions.
QFont FormFont();
// "Courier" at the given pixel height, with a fixed-pitch fallback.
QFont CourierFont(int pixelHeight);
// "Arial" at the given point size, with a sans fallback.
QFont ArialFont(int pointSize);

}  // namespace platform
