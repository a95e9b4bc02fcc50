// SPDX-License-Identifier: GPL-3.0-or-later
// The program's window: the main form shown, and a folder given on the
// command line converted in it.
#include "Klangheber/CommandLine.h"
#include "MainForm1/MainForm1.h"
#include "platform/system/FileUtils.h"
#include "platform/widgets/Application.h"

#include <QFile>
#include <QTimer>

namespace klangheber {

int RunWindow(const Options& options)
{
    TMainForm form;
    platform::Application().SetMainForm(&form);
    form.show();
    // Once the window is up, a folder given starts its run as if chosen in
    // the dialog; anything else is reported there, since a desktop that
    // passed it shows no terminal.
    if (options.windowFolder) {
        const std::string given = *options.windowFolder;
        const std::string folder = platform::AbsolutePath(given);
        QTimer::singleShot(0, &form, [&form, given, folder] {
            if (platform::DirectoryExists(folder))
                form.StartRun(folder);
            else
                platform::Application().Sink().ShowError(platform::Application().Title(),
                                                         QFile::decodeName(given.c_str()) + " ist kein Ordner");
        });
    }
    const int status = platform::Application().Run();
    platform::Application().SetMainForm(nullptr);
    return status;
}

}  // namespace klangheber
