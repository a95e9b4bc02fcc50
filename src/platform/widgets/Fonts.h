// SPDX-License-Identifier: GPL-3.0-or-later
// Font choices that resolve the same way on every machine the setup prepared.
#pragma once

#include <QFont>

namespace platform {

// "Arial", resolved as a plain request for it resolves: Arial where it is
// installed, else the face fontconfig gives Arial's metrics with (Nimbus
// Sans, Liberation Sans). Every Arial-like font of the program is this one.
// Size not set.
QFont ArialMetricSans();
// "MS Sans Serif" 8 pt: the Arial-metric sans at 11 pixels, so the fixed
// control sizes hold their captions.
QFont FormFont();
// "Courier" at the given pixel height, with a fixed-pitch fallback.
QFont CourierFont(int pixelHeight);
// "Arial" at the given point size: the Arial-metric sans.
QFont ArialFont(int pointSize);

}  // namespace platform
