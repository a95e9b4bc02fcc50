// SPDX-License-Identifier: GPL-3.0-or-later
// The command line of klangheber-hex: "klangheber-hex [DATEI]", -h/--help,
// -v/--version, with German texts as klangheber's. Read before Qt starts, so that --help and --version work
// without a display.
#pragma once

#include <string>

namespace hexwindow {

struct Arguments {
    bool help = false;
    bool version = false;
    std::string file;   // empty: start with an empty document
    std::string error;  // non-empty when the arguments are wrong
};

Arguments ParseArguments(int argc, const char* const* argv);
std::string UsageText();

}  // namespace hexwindow
