// SPDX-License-Identifier: GPL-3.0-or-later
#include "KlangheberHex/Arguments.h"

namespace hexwindow {

std::string UsageText()
{
    return "Aufruf: klangheber-hex [DATEI]\n"
           "\n"
           "Zeigt DATEI (oder ein leeres Dokument) im Byte-Editor von Klangheber: links die\n"
           "Offsets, in der Mitte jedes Byte als zwei Hex-Ziffern, rechts als Zeichen; beide\n"
           "Seiten lassen sich bearbeiten. Dateien bis 2 GiB - 1 Byte lassen sich öffnen.\n"
           "\n"
           "Optionen:\n"
           "  -h, --help     diesen Text zeigen\n"
           "  -v, --version  die Version und die Lizenz zeigen\n"
           "  --             was folgt, ist die Datei, auch wenn ihr Name mit \"-\" beginnt\n"
           "\n"
           "Exit-Status: 0 das Fenster wurde geschlossen, 2 falsche Argumente, 128 + N das\n"
           "Programm wurde vom Signal N beendet (SIGINT, SIGTERM, SIGHUP).\n";
}

Arguments ParseArguments(int argc, const char* const* argv)
{
    Arguments arguments;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && (arg == "--help" || arg == "-h")) {
            arguments.help = true;
        } else if (!optionsEnded && (arg == "--version" || arg == "-v")) {
            arguments.version = true;
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            arguments.error = "Unbekannte Option: " + arg;
            return arguments;
        } else if (!arguments.file.empty()) {
            arguments.error = "Nur eine Datei auf einmal, nicht „" + arguments.file + "“ und „" + arg + "“";
            return arguments;
        } else if (arg.empty()) {
            arguments.error = "Ein leerer Name ist keine Datei";
            return arguments;
        } else {
            arguments.file = arg;
        }
    }
    return arguments;
}

}  // namespace hexwindow
