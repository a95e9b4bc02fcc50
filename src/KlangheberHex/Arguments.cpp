#include "KlangheberHex/Arguments.h"

namespace hexwindow {

std::string UsageText()
{
    return "Usage: klangheber-hex [FILE]\n"
           "\n"
           "Shows FILE (or an empty document) in Klangheber's byte editor: hex digits and\n"
           "characters side by side, editable in both. Files up to 2 GiB - 1 byte open.\n"
           "\n"
           "  --help     show this text\n"
           "  --version  show the version and the licence\n"
           "  --         what follows is the file, even when it starts with \"-\"\n";
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
        } else if (!optionsEnded && arg == "--version") {
            arguments.version = true;
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            arguments.error = "unknown option '" + arg + "'";
            return arguments;
        } else if (!arguments.file.empty()) {
            arguments.error = "one file at a time, not '" + arguments.file + "' and '" + arg + "'";
            return arguments;
        } else if (arg.empty()) {
            arguments.error = "the file name is empty";
            return arguments;
        } else {
            arguments.file = arg;
        }
    }
    return arguments;
}

}  // namespace hexwindow
