// SPDX-License-Identifier: GPL-3.0-or-later
// Whether a program can open windows, checked before Qt starts: without a
// window system Qt ends the program with an abort and a hint to reinstall.
#pragma once

#include <string>

namespace platform {

// A window system is named for Qt: DISPLAY or WAYLAND_DISPLAY is set, or a
// platform is chosen with QT_QPA_PLATFORM.
bool DisplayNamed();

// The exit status of a program started without a display.
constexpr int kNoDisplayStatus = 2;

// Prints "<program>: Keine Anzeige verfügbar." and, when given, the hint on
// the same line to stderr; returns kNoDisplayStatus.
int ReportNoDisplay(const std::string& program, const std::string& hint);

// A window system that is named but cannot be reached (a stale DISPLAY or
// WAYLAND_DISPLAY) makes Qt's application object end the program with an
// abort. Between these two calls, around the construction of the
// application object, such an end becomes ReportNoDisplay(program, hint) and
// the exit status kNoDisplayStatus instead. Qt's notices of that time are
// held back and passed on once the display was reached, so the failed
// connection's own lines never reach the user.
void ReportUnreachableDisplayAs(const std::string& program, const std::string& hint);
void DisplayReached();

}  // namespace platform
