// SPDX-License-Identifier: GPL-3.0-or-later
// The command line: "klangheber --batch FOLDER" runs the same run through the
// same main window, unshown, with FOLDER in place of the folder dialog's
// choice; "klangheber FOLDER" shows the window and starts that run at once.
#pragma once

#include <optional>
#include <string>

namespace klangheber {

struct Options {
    bool help = false;
    bool version = false;
    std::optional<std::string> batchFolder;   // --batch
    std::optional<std::string> windowFolder;  // a folder as a plain argument
    int pauseMs = 0;
    bool keepGoing = false;
    std::string outputFolder;  // empty: beside each package
    bool list = false;
    bool json = false;
    bool exact = false;  // modules from the packages' own tables
    std::string render;      // --render: "flac", "ogg", "opus" or "wav"; empty for none
    int sampleRate = 48000;  // --sample-rate, Hz
    int jobs = 0;            // --jobs: render workers; 0 for one per core
    std::string error;  // non-empty when the arguments are wrong
};

// Parses argv with QCommandLineParser; needs no application object. Folder
// names keep their bytes as given.
Options ParseArguments(int argc, char** argv);
// The --help text, German like the window.
std::string UsageText();

// Exit codes of a batch run.
enum ExitCode { kRunCompleted = 0, kRunStopped = 1, kNothingToDo = 2 };

// Shows the main window and runs the event loop until it closes. With
// options.windowFolder, its run starts once the window is up; a name that is
// no folder gets the error box "NAME ist kein Ordner" there instead.
int RunWindow(const Options& options);

// Runs the batch over options.batchFolder through the main window's run
// interface; needs a QApplication. Status lines ("[3/120] text") or JSON
// Lines on stdout, errors and the summary on stderr.
int RunBatch(const Options& options);

}  // namespace klangheber
