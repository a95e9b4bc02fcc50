// Program start: the application object, its title, the main window and the
// event loop (with a folder as argument, its run started at once); or, with
// --batch, the same run without a window.
#include "Klangheber/CommandLine.h"
#include "Klangheber/Process.h"
#include "ProgramInfo/ProgramInfo.h"
#include "platform/widgets/Application.h"
#include "platform/widgets/Display.h"

#include <QApplication>
#include <csignal>
#include <cstdio>
#include <cstdlib>

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

    // Without a display the batch still runs, on the offscreen platform; the
    // window cannot open.
    if (!platform::DisplayNamed()) {
        if (!options.batchFolder)
            return platform::ReportNoDisplay("klangheber", "Ohne Fenster konvertiert klangheber --batch ORDNER.");
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }

    // The batch's stderr carries its message boxes only; Qt's own notices
    // (about the session environment, fonts and the like) stay out of it.
    if (options.batchFolder)
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
            if (type == QtCriticalMsg || type == QtFatalMsg)
                std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
        });

    QApplication app(argc, argv);
    platform::Application().SetTitle(QStringLiteral("Klangheber"));
    klangheber::PrepareProcess();

    if (options.batchFolder)
        return klangheber::ExitStatus(klangheber::RunBatch(options));

    return klangheber::ExitStatus(klangheber::RunWindow(options));
}
