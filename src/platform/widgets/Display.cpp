#include "platform/widgets/Display.h"

#include <cstdio>
#include <cstdlib>

namespace platform {

namespace {

bool IsSet(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value;
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

}  // namespace platform
