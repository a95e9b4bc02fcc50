#include "Klangheber/CommandLine.h"

#include "MainForm1/MainForm1.h"
#include "platform/system/FileUtils.h"
#include "platform/widgets/Application.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <unistd.h>

namespace klangheber {

namespace {

bool ParseNonNegative(const char* text, int& value)
{
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || parsed < 0 || parsed > INT_MAX)
        return false;
    value = static_cast<int>(parsed);
    return true;
}

// FOLDER as an absolute path without a trailing "/" (except for "/" itself).
std::string AbsoluteFolder(std::string folder)
{
    if (folder.empty() || folder[0] != '/') {
        char cwd[PATH_MAX];
        if (::getcwd(cwd, sizeof cwd))
            folder = std::string(cwd) + "/" + folder;
    }
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

int ExitCodeOf(TRunOutcome outcome)
{
    switch (outcome) {
    case roCompleted: return kRunCompleted;
    case roStopped: return kRunStopped;
    default: return kNothingToDo;
    }
}

}  // namespace

std::string UsageText()
{
    return "Usage: klangheber [--batch FOLDER [--pause MS]]\n"
           "\n"
           "Without options the window opens; the start button asks for a folder.\n"
           "\n"
           "  --batch FOLDER  convert every Unreal music package (*.umx) in FOLDER and its\n"
           "                  sub-folders without showing a window; status texts go to\n"
           "                  stdout, message and error boxes to stderr\n"
           "  --pause MS      pause between two packages in milliseconds (default 0)\n"
           "  --help          show this text\n"
           "  --version       show the version\n"
           "\n"
           "Exit status: 0 the run reached its end, 1 an error stopped it,\n"
           "2 no package was found or the arguments are wrong, 128 + N the signal N\n"
           "(SIGINT, SIGTERM, SIGHUP) ended it.\n";
}

Options ParseArguments(int argc, char** argv)
{
    Options options;
    bool pauseGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg == "--batch" || arg == "--pause") {
            if (i + 1 >= argc) {
                options.error = arg + " needs a value";
                return options;
            }
            const char* value = argv[++i];
            if (arg == "--batch") {
                // An empty name would stand for the current folder.
                if (*value == '\0') {
                    options.error = "--batch needs a folder, not an empty name";
                    return options;
                }
                options.batchFolder = value;
            } else if (!ParseNonNegative(value, options.pauseMs)) {
                options.error = std::string("--pause needs a number of milliseconds, not '") + value + "'";
                return options;
            } else {
                pauseGiven = true;
            }
        } else {
            options.error = "unknown argument '" + arg + "'";
            return options;
        }
    }
    if (pauseGiven && !options.batchFolder)
        options.error = "--pause goes with --batch";
    return options;
}

int RunBatch(const std::string& folderArgument, int pauseMs)
{
    const std::string folder = AbsoluteFolder(folderArgument);
    if (!platform::DirectoryExists(folder)) {
        std::fprintf(stderr, "klangheber: '%s' is not a folder\n", folderArgument.c_str());
        return kNothingToDo;
    }

    // The program ends with the run, so the boxes go to stderr for good.
    static platform::StderrMessageSink boxesOnStderr;
    platform::Application().SetSink(&boxesOnStderr);

    TMainForm form;
    form.SetPackagePause(pauseMs);
    form.OnRunStatus = [](const QString& text, const TQueuePlace& place) {
        std::printf("[%d/%d] %s\n", place.index + 1, place.count, text.toUtf8().constData());
        std::fflush(stdout);
    };
    std::optional<TRunOutcome> outcome;
    form.OnRunEnd = [&outcome](const TRunEnd& end) { outcome = end.outcome; };

    form.StartRun(folder);
    // A signal between two packages ends the run as well.
    while (!outcome && !platform::Application().TerminationSignal())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return ExitCodeOf(*outcome);
}

}  // namespace klangheber
