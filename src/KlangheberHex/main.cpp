// SPDX-License-Identifier: GPL-3.0-or-later
// Klangheber Hex: the byte editor as a program of its own.
#include "KlangheberHex/Arguments.h"
#include "KlangheberHex/HexWindow.h"
#include "ProgramInfo/ProgramInfo.h"
#include "hexeditor/Process.h"
#include "platform/widgets/Application.h"
#include "platform/widgets/Display.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <csignal>
#include <cstdio>

namespace {

// Qt's own texts (file dialogs, standard buttons) in German, where Qt's
// translations are installed.
void UseGermanQtTexts(QApplication& app)
{
    auto* translator = new QTranslator(&app);
    if (translator->load(QLocale(QLocale::German), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(translator);
}

}  // namespace

int main(int argc, char** argv)
{
    // A full disk reached through a file-size limit must come back as an
    // error from write(), not end the program.
    std::signal(SIGXFSZ, SIG_IGN);

    const hexwindow::Arguments arguments = hexwindow::ParseArguments(argc, argv);
    if (!arguments.error.empty()) {
        std::fprintf(stderr, "klangheber-hex: %s\nAlle Optionen zeigt: klangheber-hex --help\n",
                     arguments.error.c_str());
        return 2;
    }
    if (arguments.help) {
        std::fputs(hexwindow::UsageText().c_str(), stdout);
        return 0;
    }
    if (arguments.version) {
        std::fputs(programinfo::VersionText("klangheber-hex").c_str(), stdout);
        return 0;
    }
    const char* const noDisplayHint = "Klangheber Hex braucht ein Fenster.";
    if (!platform::DisplayNamed())
        return platform::ReportNoDisplay("klangheber-hex", noDisplayHint);

    platform::ReportUnreachableDisplayAs("klangheber-hex", noDisplayHint);
    QApplication app(argc, argv);
    platform::DisplayReached();
    QApplication::setOrganizationName(QString::fromLatin1(hexwindow::kSettingsOrganization));
    QApplication::setApplicationName(QString::fromLatin1(hexwindow::kSettingsApplication));
    QApplication::setApplicationVersion(QString::fromLatin1(programinfo::Version()));
    QGuiApplication::setDesktopFileName(QStringLiteral("klangheber-hex"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/klangheber-hex.png")));
    UseGermanQtTexts(app);
    platform::Application().SetTitle(QStringLiteral("Klangheber Hex"));
    hexeditor::PrepareProcess();

    hexwindow::HexWindow window;
    platform::Application().SetMainForm(&window);
    window.show();
    if (!arguments.file.empty())
        window.OpenFile(arguments.file);
    const int status = platform::Application().Run();
    platform::Application().SetMainForm(nullptr);
    return hexeditor::ExitStatus(status);
}
