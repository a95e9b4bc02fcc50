// SPDX-License-Identifier: GPL-3.0-or-later
// The command line's writes to stdout and stderr. A write that fails (a full
// disk, a broken device) is remembered so that the run ends as an error
// instead of going on with its output lost. A closed pipe is not remembered:
// its SIGPIPE ends the program as SIGTERM does.
#pragma once

#include <cstdio>
#include <string>

namespace klangheber {

// Writes text to stream and flushes it; a failure is remembered.
void Emit(std::FILE* stream, const std::string& text);

// A progress line kept at the foot of the terminal on stderr: every Emit
// clears it first and draws it again after its text. An empty line clears
// it for good. Only for a stderr that is a terminal.
void ShowProgress(const std::string& line);

// Whether a write failed; the first failure's text, e.g.
// "Standardausgabe kann nicht geschrieben werden: Zu wenig Speicherplatz".
bool OutputFailed();
std::string OutputFailureText();

}  // namespace klangheber
