// The command line: "klangheber --batch FOLDER [--pause MS]" runs the same
// run through the same main window, unshown, with FOLDER in place of the
// folder dialog's choice.
#pragma once

#include <optional>
#include <string>

namespace klangheber {

struct Options {
    bool help = false;
    bool version = false;
    std::optional<std::string> batchFolder;
    int pauseMs = 0;
    std::string error;  // non-empty when the arguments are wrong
};

Options ParseArguments(int argc, char** argv);
std::string UsageText();

// Exit codes of a batch run.
enum ExitCode { kRunCompleted = 0, kRunStopped = 1, kNothingToDo = 2 };

// Runs the batch over a folder through the main window's run interface;
// needs a QApplication. Prints each status text on stdout as "[3/120] text"
// and every message box on stderr.
int RunBatch(const std::string& folder, int pauseMs);

}  // namespace klangheber
