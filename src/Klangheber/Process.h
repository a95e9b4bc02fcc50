// What every start of the program does besides its window or its run:
// working copies that killed runs left in the temporary folder are removed,
// and SIGINT, SIGTERM and SIGHUP end the program cleanly.
#pragma once

namespace klangheber {

// Call once the application object exists and before any window is made.
void PrepareProcess();

// The exit status for status: 128 + the signal's number when a signal ended
// the program, status otherwise.
int ExitStatus(int status);

}  // namespace klangheber
