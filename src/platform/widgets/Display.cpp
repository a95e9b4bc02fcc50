// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/widgets/Display.h"

#include <QString>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

namespace platform {

namespace {

bool IsSet(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value;
}

struct HeldNotice {
    QtMsgType type;
    QString text;
};

struct DisplayWatch {
    std::string program;
    std::string hint;
    QtMessageHandler previous = nullptr;
    std::vector<HeldNotice> notices;
};

DisplayWatch& Watch()
{
    static DisplayWatch watch;
    return watch;
}

void HoldOrReport(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    DisplayWatch& watch = Watch();
    if (type != QtFatalMsg) {
        watch.notices.push_back({type, text});
        return;
    }
    // Nothing of the program has started yet (no window, no working copy):
    // ending here, without the abort that would follow, loses nothing.
    ReportNoDisplay(watch.program, watch.hint);
    std::fflush(stderr);
    std::_Exit(kNoDisplayStatus);
}

}  // namespace

bool DisplayNamed()
{
    return IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY") || IsSet("QT_QPA_PLATFORM");
}

int ReportNoDisplay(const std::string& program, const std::string& hint)
{
    std::string line = program + ": Keine Anzeige verfügbar.";
    if (!hint.empty())
        line += " " + hint;
    std::fprintf(stderr, "%s\n", line.c_str());
    return kNoDisplayStatus;
}

void ReportUnreachableDisplayAs(const std::string& program, const std::string& hint)
{
    DisplayWatch& watch = Watch();
    watch.program = program;
    watch.hint = hint;
    watch.notices.clear();
    watch.previous = qInstallMessageHandler(HoldOrReport);
}

void DisplayReached()
{
    DisplayWatch& watch = Watch();
    qInstallMessageHandler(watch.previous);
    std::vector<HeldNotice> notices = std::exchange(watch.notices, {});
    if (!watch.previous)
        return;
    for (const HeldNotice& notice : notices)
        watch.previous(notice.type, QMessageLogContext(), notice.text);
}

}  // namespace platform
