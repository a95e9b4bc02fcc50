// SPDX-License-Identifier: GPL-3.0-or-later
// The command line's arguments: parsed with QCommandLineParser, every text
// the user sees in German like the window.
#include "Klangheber/CommandLine.h"

#include "ModuleAudio/ModuleAudio.h"

#include <QCommandLineParser>
#include <QRegularExpression>
#include <QStringList>
#include <climits>

namespace klangheber {

namespace {

// Arguments travel as Latin-1 so that every byte of a file name comes back
// unchanged, whatever the locale.
QString FromBytes(const char* bytes)
{
    return QString::fromLatin1(bytes);
}

std::string ToBytes(const QString& text)
{
    return text.toLatin1().toStdString();
}

// The parser's own error texts are English; these are the ones it gives.
std::string GermanParseError(const QString& english)
{
    static const struct {
        const char* pattern;
        const char* german;
    } kTexts[] = {
        {"^Unknown option '(.*)'\\.$", "Unbekannte Option: %1"},
        {"^Unknown options: (.*)\\.$", "Unbekannte Optionen: %1"},
        {"^Missing value after '(.*)'\\.$", "Nach %1 fehlt ein Wert"},
        {"^Unexpected value after '(.*)'\\.$", "%1 nimmt keinen Wert"},
    };
    for (const auto& text : kTexts) {
        const QRegularExpressionMatch match = QRegularExpression(QString::fromLatin1(text.pattern)).match(english);
        if (match.hasMatch())
            return ToBytes(QString::fromUtf8(text.german).arg(match.captured(1)));
    }
    return "Falsche Argumente: " + ToBytes(english);
}

bool ParseMilliseconds(const QString& text, int& value)
{
    bool ok = false;
    const qlonglong parsed = text.toLongLong(&ok);
    if (!ok || parsed < 0 || parsed > INT_MAX || text.startsWith(QLatin1Char('+')))
        return false;
    value = static_cast<int>(parsed);
    return true;
}

// A whole number from low to high, written without a sign.
bool ParseNumber(const QString& text, int low, int high, int& value)
{
    bool ok = false;
    const qlonglong parsed = text.toLongLong(&ok);
    if (!ok || parsed < low || parsed > high || text.startsWith(QLatin1Char('+')))
        return false;
    value = static_cast<int>(parsed);
    return true;
}

// The values of --render, --sample-rate and --jobs; empty when they are sound.
std::string AudioOptionError(Options& options, const QCommandLineParser& parser)
{
    const auto quoted = [&](const char* name) { return "„" + ToBytes(parser.value(QString::fromLatin1(name))) + "“"; };
    options.render = ToBytes(parser.value(QStringLiteral("render")));
    if (parser.isSet(QStringLiteral("render")) && !moduleaudio::AudioFormatNamed(options.render))
        return "--render kennt flac, ogg, opus und wav, nicht " + quoted("render");
    if (parser.isSet(QStringLiteral("sample-rate")) &&
        !ParseNumber(parser.value(QStringLiteral("sample-rate")), 8000, 192000, options.sampleRate))
        return "--sample-rate braucht eine Zahl von 8000 bis 192000, nicht " + quoted("sample-rate");
    if (parser.isSet(QStringLiteral("jobs")) && !ParseNumber(parser.value(QStringLiteral("jobs")), 1, 1024, options.jobs))
        return "--jobs braucht eine Zahl von 1 bis 1024, nicht " + quoted("jobs");
    for (const char* name : {"sample-rate", "jobs"})
        if (parser.isSet(QString::fromLatin1(name)) && options.render.empty())
            return std::string("--") + name + " gilt nur mit --render";
    const auto format = moduleaudio::AudioFormatNamed(options.render);
    if (format && !moduleaudio::TakesRate(*format, options.sampleRate))
        return "Opus nimmt nur 8000, 12000, 16000, 24000 oder 48000 Hz";
    return {};
}

// The combinations the run does not take; empty when options are sound.
std::string Contradiction(const Options& options, const QCommandLineParser& parser)
{
    if (options.batchFolder && options.batchFolder->empty())
        return "--batch braucht einen Ordner, keinen leeren Namen";
    if (parser.isSet(QStringLiteral("output")) && options.outputFolder.empty())
        return "--output braucht einen Ordner, keinen leeren Namen";
    if (parser.positionalArguments().size() > 1)
        return "Nur ein Ordner kann angegeben werden";
    if (options.windowFolder && options.batchFolder)
        return "Ein Ordner wird entweder mit --batch oder allein angegeben";
    if (options.windowFolder && options.windowFolder->empty())
        return "Ein leerer Name ist kein Ordner";
    if (!options.batchFolder) {
        for (const char* name :
             {"pause", "keep-going", "output", "list", "json", "exact", "render", "sample-rate", "jobs"})
            if (parser.isSet(QString::fromLatin1(name)))
                return std::string("--") + name + " gilt nur mit --batch";
    }
    if (options.list && !options.outputFolder.empty())
        return "--list schreibt nichts, --output passt nicht dazu";
    if (options.list && !options.render.empty())
        return "--list schreibt nichts, --render passt nicht dazu";
    return {};
}

}  // namespace

Options ParseArguments(int argc, char** argv)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    const QCommandLineOption batch({"b", "batch"}, {}, "ORDNER");
    const QCommandLineOption pause("pause", {}, "MS");
    const QCommandLineOption keepGoing({"k", "keep-going"}, {});
    const QCommandLineOption output({"o", "output"}, {}, "ORDNER");
    const QCommandLineOption list("list", {});
    const QCommandLineOption json("json", {});
    const QCommandLineOption exact("exact", {});
    const QCommandLineOption render("render", {}, "FORMAT");
    const QCommandLineOption sampleRate("sample-rate", {}, "HZ");
    const QCommandLineOption jobs({"j", "jobs"}, {}, "N");
    const QCommandLineOption help({"h", "help"}, {});
    const QCommandLineOption version({"v", "version"}, {});
    parser.addOptions({batch, pause, keepGoing, output, list, json, exact, render, sampleRate, jobs, help, version});

    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << FromBytes(argv[i]);

    Options options;
    if (!parser.parse(arguments)) {
        options.error = GermanParseError(parser.errorText());
        return options;
    }
    options.help = parser.isSet(help);
    options.version = parser.isSet(version);
    if (parser.isSet(batch))
        options.batchFolder = ToBytes(parser.value(batch));
    if (!parser.positionalArguments().isEmpty())
        options.windowFolder = ToBytes(parser.positionalArguments().first());
    options.outputFolder = ToBytes(parser.value(output));
    options.keepGoing = parser.isSet(keepGoing);
    options.list = parser.isSet(list);
    options.json = parser.isSet(json);
    options.exact = parser.isSet(exact);
    if (parser.isSet(pause) && !ParseMilliseconds(parser.value(pause), options.pauseMs)) {
        options.error = "--pause braucht eine Zahl von Millisekunden, nicht „" + ToBytes(parser.value(pause)) + "“";
        return options;
    }
    options.error = AudioOptionError(options, parser);
    if (options.error.empty())
        options.error = Contradiction(options, parser);
    return options;
}

std::string UsageText()
{
    return "Aufruf: klangheber [ORDNER]\n"
           "        klangheber --batch ORDNER [-k] [-o ZIELORDNER | --list] [--json] [--exact]\n"
           "                   [--render FORMAT [--sample-rate HZ] [--jobs N]] [--pause MS]\n"
           "\n"
           "Ohne Optionen öffnet sich das Fenster; der Startknopf fragt nach einem Ordner.\n"
           "Mit ORDNER öffnet sich das Fenster und konvertiert diesen Ordner sofort.\n"
           "\n"
           "Optionen:\n"
           "  -b, --batch ORDNER   jedes Unreal-Musikpaket (*.umx) in ORDNER und seinen\n"
           "                       Unterordnern ohne Fenster konvertieren; die Statustexte\n"
           "                       gehen als \"[3/120] Text\" auf stdout, Fehler als\n"
           "                       \"klangheber: PAKET: Fehler\" und die Bilanz auf stderr\n"
           "                       (auch --batch=ORDNER)\n"
           "  -k, --keep-going     nach einem Fehler mit dem nächsten Paket weitermachen;\n"
           "                       der Exit-Status ist am Ende 1, wenn ein Paket scheiterte\n"
           "  -o, --output ZIEL    Module und Scan-Kopien unter ZIEL schreiben, in denselben\n"
           "                       Unterordnern wie die Pakete; ORDNER wird nur gelesen\n"
           "  --list               nur suchen: je Paket Modulart, Start, Größe, Titel und\n"
           "                       Länge, \"ohne Modul\" oder den Fehler ausgeben (\"Modul\n"
           "                       nicht lesbar\", wenn es nicht gelesen werden kann); ein\n"
           "                       Fehler hält die Liste nicht an; nichts wird geschrieben\n"
           "  --json               statt der Statustexte eine JSON-Zeile je Paket auf stdout\n"
           "                       (package, result: module/none/error, kind: it/s3m/xm/mod,\n"
           "                       start, size, output, error, dazu je Modul title,\n"
           "                       tracker, channels, patterns, orders, instruments,\n"
           "                       samples und duration in Sekunden), zuletzt die Bilanz\n"
           "                       (summary); Bytes eines Namens, die kein UTF-8 sind,\n"
           "                       stehen als \\udc80 bis \\udcff (U+DC00 + Byte)\n"
           "  --exact              Module nach den Tabellen des Pakets holen: jedes\n"
           "                       Musikobjekt ergibt genau seine Bytes (it, s3m, xm, mod,\n"
           "                       auch hinter Byte 500) als PAKET.it, jedes weitere als\n"
           "                       PAKET.Objekt.xm; sind die Tabellen unlesbar oder fehlt\n"
           "                       die Signatur, wird wie ohne --exact gesucht (\"Tabellen\n"
           "                       unlesbar, Suche nach Signatur\"); --list nennt dazu die\n"
           "                       Ausgabe, --json gibt je Ausgabe eine Zeile mit object,\n"
           "                       fallback und reason\n"
           "  --render FORMAT      neben jedes geschriebene Modul eine Audiodatei eines\n"
           "                       Durchlaufs legen (flac, ogg, opus oder wav; Stereo),\n"
           "                       benannt wie das Modul (Impulsgeber.flac); ein Modul, das\n"
           "                       nicht wiedergegeben werden kann, ist ein Fehler seines\n"
           "                       Pakets; --json nennt die Datei in audio\n"
           "  --sample-rate HZ     Abtastrate der Audiodateien, 8000 bis 192000 (Vorgabe\n"
           "                       48000; Opus nur 8000, 12000, 16000, 24000 oder 48000)\n"
           "  -j, --jobs N         Audiodateien mit N Threads erzeugen (Vorgabe: einer je\n"
           "                       Prozessorkern)\n"
           "  --pause MS           Pause zwischen zwei Paketen in Millisekunden (Vorgabe 0)\n"
           "  -h, --help           diesen Text zeigen\n"
           "  -v, --version        die Version und die Lizenz zeigen\n"
           "\n"
           "Beispiele:\n"
           "  klangheber ~/Spiele/UT/Music\n"
           "  klangheber --batch ~/Spiele/UT/Music\n"
           "  klangheber -b /media/cdrom/Music -k -o ~/Musik/UT\n"
           "  klangheber --batch ~/Spiele/UT/Music --list\n"
           "  klangheber --batch ~/Spiele/UT/Music --list --json > pakete.jsonl\n"
           "  klangheber --batch ~/Spiele/UT/Music --exact -o ~/Musik/UT\n"
           "  klangheber --batch ~/Spiele/UT -k -o ~/Musik/UT --render flac\n"
           "\n"
           "Exit-Status: 0 Lauf vollständig, 1 ein Paket scheiterte, 2 nichts zu tun oder\n"
           "falsche Argumente, 128 + N der Lauf wurde vom Signal N beendet (SIGINT, SIGTERM,\n"
           "SIGHUP).\n";
}

}  // namespace klangheber
