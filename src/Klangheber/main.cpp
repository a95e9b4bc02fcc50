// SPDX-License-Identifier: GPL-3.0-or-later
// Program start: the application object, its title, the main window and the
// event loop (with a folder as argument, its run started at once); or, with
// --batch, the same run without a window.
#include "Klangheber/CommandLine.h"
#include "ProgramInfo/ProgramInfo.h"
#include "hexeditor/Process.h"
#include "platform/widgets/Application.h"
#include "platform/widgets/Display.h"

#include <QApplication>
#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace {

const char* const kNoDisplayHint = "Ohne Fenster konvertiert klangheber --batch ORDNER.";

}  // namespace

int main(int argc, char** argv)
{
    // A full disk reached through a file-size limit must come back as an
    // error from write(), not end the program.
    std::signal(SIGXFSZ, SIG_IGN);

    const klangheber::Options options = klangheber::ParseArguments(argc, argv);
    if (!options.error.empty()) {
        std::fprintf(stderr, "klangheber: %s\nAlle Optionen zeigt: klangheber --help\n", options.error.c_str());
        return klangheber::kNothingToDo;
    }
    if (options.help) {
        std::fputs(klangheber::UsageText().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::fputs(programinfo::VersionText("klangheber").c_str(), stdout);
        return 0;
    }

    // The batch never needs a display and never tries one: a display that
    // is named but unreachable would end Qt's start with an abort.
    if (options.batchFolder)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    else if (!platform::DisplayNamed())
        return platform::ReportNoDisplay("klangheber", kNoDisplayHint);

    // The batch's stderr carries its message boxes only; Qt's own notices
    // (about the session environment, fonts and the like) stay out of it.
    if (options.batchFolder)
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
            if (type == QtCriticalMsg || type == QtFatalMsg)
                std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
        });
    else
        platform::ReportUnreachableDisplayAs("klangheber", kNoDisplayHint);

    QApplication app(argc, argv);
    if (!options.batchFolder)
        platform::DisplayReached();
    platform::Application().SetTitle(QStringLiteral("Klangheber"));
    hexeditor::PrepareProcess();

    if (options.batchFolder)
        return hexeditor::ExitStatus(klangheber::RunBatch(options));

    return hexeditor::ExitStatus(klangheber::RunWindow(options));
}
