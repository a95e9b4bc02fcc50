// SPDX-License-Identifier: GPL-3.0-or-later
// What every program of the project says about itself: its version and its
// licence, for --version and an About box.
#pragma once

#include <string>

namespace programinfo {

// The project's version, e.g. "0.1.0".
const char* Version();

// The copyright and the licence (GPL-3.0-or-later) in German, a few lines
// of UTF-8, each ending with "\n".
const char* LicenceNotice();

// What --version prints: "PROGRAM VERSION" on the first line, then the
// licence notice.
std::string VersionText(const std::string& program);

}  // namespace programinfo
