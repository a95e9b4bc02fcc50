// The command line, run as a separate process the way a person without a
// desktop runs it (klangheber, and klangheber-hex where it starts without
// one).
#include "TempDir.h"
#include "fixtures/Fixtures.h"

#include <QProcess>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace testsupport;
using fixtures::ModuleKind;

namespace {

struct Result {
    int exitCode = -1;
    QStringList out;
    QString err;
};

// Runs a program without a display.
Result RunProgram(const char* program, const QStringList& arguments)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    process.setProcessEnvironment(env);
    process.start(QString::fromUtf8(program), arguments);
    EXPECT_TRUE(process.waitForFinished(60000));
    Result result;
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

Result Klangheber(const QStringList& arguments)
{
    return RunProgram(KLANGHEBER_EXE, arguments);
}

QString Folder(const TempDir& dir)
{
    return QString::fromStdString(dir.Path());
}

}  // namespace

TEST(CommandLine, ConvertsATreeAndReportsEachStepWithItsPlaceInTheQueue)
{
    TempDir dir;
    ::mkdir((dir / "sub").c_str(), 0755);
    WriteFile(dir / "a.umx", fixtures::WrapInPackage(fixtures::MakeModule(ModuleKind::ImpulseTracker)).bytes);
    WriteFile(dir / "sub/b.umx", fixtures::MakePackageWithoutModule().bytes);
    const Result r = Klangheber({"--batch", Folder(dir)});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
    EXPECT_EQ(r.out, (QStringList{"[1/2] Datei a.umx wird geladen. Bitte warten...", "[1/2] Engine gestartet.",
                                  "[1/2] Daten werden extrahiert. Bitte warten...",
                                  "[1/2] Daten erfolgreich extrahiert!",
                                  "[2/2] Datei b.umx wird geladen. Bitte warten...", "[2/2] Engine gestartet.",
                                  "[2/2] Keine Impulse-/Scream-/FastTracker-Dateien gefunden!"}));
    EXPECT_TRUE(Exists(dir / "a.it"));
    EXPECT_TRUE(Exists(dir / "sub/b.BAK"));
}

TEST(CommandLine, ErrorStopsTheRunWithStatusOneAndTheErrorOnStderr)
{
    TempDir dir;
    WriteFile(dir / "tiny.umx", std::string(100, 'x'));
    const Result r = Klangheber({"--batch", Folder(dir), "--pause", "5"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("Invalid SelStart.")) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringList{"[1/1] Datei tiny.umx wird geladen. Bitte warten..."});
}

TEST(CommandLine, NothingFoundOrWrongArgumentsGiveStatusTwo)
{
    TempDir dir;
    Result r = Klangheber({"--batch", Folder(dir)});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("Keine Unreal Musikdateien gefunden (*.umx)!")) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());

    for (const QStringList& args : {QStringList{"--batch"}, QStringList{"--bogus"},
                                    QStringList{"--batch", Folder(dir), "--pause", "-3"},
                                    QStringList{"--pause", "10"}, QStringList{"--batch", Folder(dir) + "missing"}}) {
        r = Klangheber(args);
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_FALSE(r.err.isEmpty());
    }
}

TEST(CommandLine, HelpAndVersion)
{
    Result r = Klangheber({"--help"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.join('\n').contains("--batch FOLDER"));
    r = Klangheber({"--version"});
    EXPECT_EQ(r.exitCode, 0);
    ASSERT_EQ(r.out.size(), 1);
    EXPECT_TRUE(r.out[0].startsWith("klangheber "));
}

TEST(CommandLine, EmptyFolderNameIsRefusedNotTakenAsTheCurrentFolder)
{
    TempDir dir;
    WriteFile(dir / "a.umx", fixtures::WrapInPackage(fixtures::MakeModule(ModuleKind::ImpulseTracker)).bytes);
    QProcess process;
    process.setWorkingDirectory(Folder(dir));
    process.start(QStringLiteral(KLANGHEBER_EXE), {"--batch", ""});
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 2);
    EXPECT_TRUE(QString::fromUtf8(process.readAllStandardError()).contains("--batch"));
    EXPECT_FALSE(Exists(dir / "a.it"));
}

TEST(CommandLine, WithoutADisplayTheProgramsSaySoAndExitTwo)
{
    // What a person sees who starts a program on a machine without a desktop
    // (no DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM).
    const struct {
        const char* program;
        QStringList arguments;
        int exitCode;
        QString stream;  // "err": the no-display line; "out": the program's own output
        QString text;
    } cases[] = {
        {KLANGHEBER_EXE, {}, 2, "err",
         "klangheber: Keine Anzeige verfügbar. Ohne Fenster konvertiert klangheber --batch ORDNER.\n"},
        {KLANGHEBER_HEX_EXE, {}, 2, "err",
         "klangheber-hex: Keine Anzeige verfügbar. Klangheber Hex braucht ein Fenster.\n"},
        {KLANGHEBER_HEX_EXE, {"--help"}, 0, "out", "Usage: klangheber-hex [FILE]"},
        {KLANGHEBER_HEX_EXE, {"--version"}, 0, "out", "klangheber-hex "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.program) + " " + c.arguments.join(' ').toStdString());
        const Result r = RunProgram(c.program, c.arguments);
        EXPECT_EQ(r.exitCode, c.exitCode);
        if (c.stream == "err") {
            EXPECT_EQ(r.err.toStdString(), c.text.toStdString());
            EXPECT_TRUE(r.out.isEmpty());
        } else {
            ASSERT_FALSE(r.out.isEmpty());
            EXPECT_TRUE(r.out[0].startsWith(c.text)) << r.out[0].toStdString();
            EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
        }
    }
}
