// SPDX-License-Identifier: GPL-3.0-or-later
// What every start of a program with byte editors (the converter, Klangheber
// Hex) does besides its window or its run: working copies that killed
// processes of this user left in the temporary folder are removed, and
// SIGINT, SIGTERM and SIGHUP end the program cleanly (the main window closes
// without a question, the editors remove their working copies).
#pragma once

namespace hexeditor {

// Call once the application object exists and before any window is made.
void PrepareProcess();

// The exit status for status: 128 + the signal's number when a signal ended
// the program, status otherwise.
int ExitStatus(int status);

}  // namespace hexeditor
