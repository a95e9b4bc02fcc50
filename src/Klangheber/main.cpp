// Program start: the application object, its title, the main window and the
// event loop.
#include "MainForm1/MainForm1.h"
#include "platform/Application.h"

#include <QApplication>
#include <csignal>

int main(int argc, char** argv)
{
    // A full disk reached through a file-size limit must come back as an
    // error from write(), not end the program.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication app(argc, argv);
    platform::Application().SetTitle(QStringLiteral("Klangheber"));
    TMainForm form;
    platform::Application().SetMainForm(&form);
    form.show();
    return platform::Application().Run();
}
