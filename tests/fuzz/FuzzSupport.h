// SPDX-License-Identifier: GPL-3.0-or-later
// Shared by the fuzz targets: the Qt application they run in (offscreen,
// message boxes recorded), a folder of their own, and the check that stops a
// run with a message when an invariant fails.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace fuzzsupport {

// Creates the offscreen QApplication once (the "Klangheber" title, boxes
// recorded, SIGXFSZ ignored).
void StartApplication();
// A fresh folder below $TMPDIR (or /tmp) whose name starts with prefix; ends in "/".
std::string MakeFolder(const std::string& prefix);
void WriteAll(const std::string& path, const std::vector<std::uint8_t>& bytes);

[[noreturn]] inline void Fail(const char* file, int line, const std::string& message)
{
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, message.c_str());
    std::fflush(stderr);
    std::abort();
}

}  // namespace fuzzsupport

#define FUZZ_CHECK(condition, message)                                   \
    do {                                                                 \
        if (!(condition))                                                \
            ::fuzzsupport::Fail(__FILE__, __LINE__, std::string(message)); \
    } while (0)
