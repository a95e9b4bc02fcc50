// SPDX-License-Identifier: GPL-3.0-or-later
// What the command line prints about a run: status lines that stay one line
// each, JSON Lines for scripts, and the summary at the end.
#pragma once

#include "PackageReader/ModuleKinds.h"

#include <array>
#include <cstdint>
#include <string>

namespace klangheber {

// text (UTF-8 bytes) with control characters written as "\n", "\t", "\r"
// or "\x1b", so that it prints as one line, and every byte that is not part
// of valid UTF-8 as "\xNN", so that a terminal shows it as it is.
std::string Printable(const std::string& text);

// bytes as a JSON string literal, quotes included. Valid UTF-8 stays as it
// is; every byte that is not part of valid UTF-8 is written as \udcXX
// (U+DC00 + the byte, as "surrogateescape" does), so the bytes can be
// restored exactly.
std::string JsonString(const std::string& bytes);

// The count of a run's packages by outcome.
struct Tally {
    int packages = 0;  // in the queue
    // Modules by kind, in the order of umx::kModuleKinds.
    std::array<int, umx::kModuleKinds.size()> modules {};
    int none = 0;
    int errors = 0;
    // Modules after the first of their package (an exact run writes one
    // per music object), and those of a package that an error ended.
    int laterModules = 0;
    // Folders the walk could not read.
    int unreadFolders = 0;
    // The run was interrupted; the walk was over before (else packages is
    // only what it had found by then).
    bool interrupted = false;
    bool walkComplete = true;
    // The playing time of the modules libopenmpt could read (music is
    // false when it could read none).
    bool music = false;
    double musicSeconds = 0;
    // Audio files written, and their bytes (rendering: the run renders).
    bool rendering = false;
    int audioFiles = 0;
    std::int64_t audioBytes = 0;
    int Modules() const;
    int Unprocessed() const { return packages - (Modules() - laterModules) - none - errors; }
    void AddModule(const umx::ModuleKind& kind) { ++modules[umx::IndexOf(kind)]; }
};

// seconds as a playing time, rounded to the second: "3:07", "1:02:41".
std::string PlayingTime(double seconds);

// "4 Pakete: 3 Module geschrieben (1 it, 1 s3m, 1 xm), 1 ohne Modul,
// 0 Fehler, 0,1 s", with the music's playing time after the kinds ("12:41
// Musik") and in a rendering run the audio files ("3 Audiodateien (41,2 MB)");
// "gefunden" in place of "geschrieben" for a scan-only run.
// An interrupted run's text begins with "Lauf abgebrochen: "; when its walk
// was not over, the counts of packages and of those not reached are given as
// "mindestens N".
std::string SummaryText(const Tally& tally, double seconds, bool scanOnly);
// The same as the last JSON line: the text and each count.
std::string SummaryJson(const Tally& tally, double seconds, bool scanOnly);

}  // namespace klangheber
