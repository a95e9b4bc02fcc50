// SPDX-License-Identifier: GPL-3.0-or-later
// The command line, run as a separate process the way a person without a
// desktop runs it (klangheber, and klangheber-hex where it starts without
// one).
#include "CommandLineRun.h"
#include "RunSummary.h"

#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace testsupport;
using fixtures::ModuleKind;

namespace {

// The tree used by most option tests, in the order the run meets it:
// a.umx (it), sub/b.umx (no module), sub/c.umx (100 bytes: an error),
// sub/d.umx (xm).
struct Collection {
    explicit Collection(const std::string& root)
    {
        ::mkdir((root + "/sub").c_str(), 0755);
        a = PutPackage(root + "/a.umx", ModuleKind::ImpulseTracker);
        WriteFile(root + "/sub/b.umx", fixtures::MakePackageWithoutModule().bytes);
        WriteFile(root + "/sub/c.umx", std::string(100, 'x'));
        d = PutPackage(root + "/sub/d.umx", ModuleKind::FastTracker2);
    }
    fixtures::Package a, d;
};

}  // namespace

TEST(CommandLine, ConvertsATreeInNameOrderAndReportsEachStepWithItsPackagesPlace)
{
    // Byte order would be B, D, a, c; the run goes a, B, c, D. The "Keine"
    // line carries the number of the package without a module, although the
    // next one is already being loaded.
    TempDir dir;
    ::mkdir((dir / "sub").c_str(), 0755);
    PutPackage(dir / "a.umx", ModuleKind::ImpulseTracker);
    WriteFile(dir / "B.umx", fixtures::MakePackageWithoutModule().bytes);
    PutPackage(dir / "c.umx", ModuleKind::ScreamTracker3);
    PutPackage(dir / "D.umx", ModuleKind::FastTracker2);
    const Result r = Klangheber({"--batch", Folder(dir)});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(QRegularExpression(SummaryPattern(
                                       "4 Pakete: 3 Module geschrieben (1 it, 1 s3m, 1 xm), 0:35 Musik, 1 ohne Modul, 0 Fehler"))
                    .match(r.err)
                    .hasMatch())
        << r.err.toStdString();
    QStringList expected;
    for (const char* step : {"[1/4] Datei a.umx wird geladen. Bitte warten...", "[1/4] Engine gestartet.",
                             "[1/4] Daten werden extrahiert. Bitte warten...", "[1/4] Daten erfolgreich extrahiert!",
                             "[2/4] Datei B.umx wird geladen. Bitte warten...", "[2/4] Engine gestartet.",
                             "[3/4] Datei c.umx wird geladen. Bitte warten...",
                             "[2/4] Keine Impulse-/Scream-/FastTracker-Dateien gefunden!", "[3/4] Engine gestartet.",
                             "[3/4] Daten werden extrahiert. Bitte warten...", "[3/4] Daten erfolgreich extrahiert!",
                             "[4/4] Datei D.umx wird geladen. Bitte warten...", "[4/4] Engine gestartet.",
                             "[4/4] Daten werden extrahiert. Bitte warten...", "[4/4] Daten erfolgreich extrahiert!"})
        expected << QString::fromUtf8(step);
    EXPECT_EQ(r.out, expected);
    for (const char* output : {"a.it", "B.BAK", "c.s3m", "D.xm"})
        EXPECT_TRUE(Exists(dir / output)) << output;
}

TEST(CommandLine, ErrorStopsTheRunWithStatusOneAndTheErrorOnStderrNamingThePackage)
{
    // A control character in the name is shown escaped: one status, one line.
    TempDir dir;
    WriteFile(dir / "tiny\n\x1b.umx", std::string(100, 'x'));
    PutPackage(dir / "zweites.umx", ModuleKind::ImpulseTracker);
    const Result r = Klangheber({"--batch", Folder(dir), "--pause", "5"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.startsWith(Q("klangheber: " + (dir / "tiny\\n\\x1b.umx") + ": Invalid SelStart.\n")))
        << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("1 Fehler, 1 nicht bearbeitet")) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringList{"[1/2] Datei tiny\\n\\x1b.umx wird geladen. Bitte warten..."});
    EXPECT_FALSE(Exists(dir / "zweites.it"));
}

TEST(CommandLine, KeepGoingReportsEachErrorAndConvertsTheRest)
{
    // a.umx fails in the middle of its extraction (a folder stands under its
    // module's name), sub/c.umx before its scan.
    TempDir dir;
    const Collection tree(dir.Path());
    ::mkdir((dir / "a.it").c_str(), 0755);
    const Result r = Klangheber({"-k", "--batch", Folder(dir)});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.startsWith(Q("klangheber: " + (dir / "a.umx") + ": Dateizugriff verweigert.\nklangheber: " +
                                   (dir / "sub/c.umx") + ": Invalid SelStart.\n")))
        << r.err.toStdString();
    EXPECT_TRUE(QRegularExpression(SummaryPattern("4 Pakete: 1 Modul geschrieben (1 xm), 0:06 Musik, 1 ohne Modul, 2 Fehler"))
                    .match(r.err.section('\n', 2))
                    .hasMatch())
        << r.err.toStdString();
    EXPECT_EQ(ListDir(dir.Path()), (std::vector<std::string> {"a.it", "a.umx", "sub"}));
    EXPECT_EQ(ListDir(dir / "a.it"), std::vector<std::string> {});
    EXPECT_EQ(ReadFile(dir / "sub/d.xm"), Bytes(tree.d.bytes.begin() + tree.d.moduleStart, tree.d.bytes.end()));
    EXPECT_EQ(ListDir(dir / "sub"), (std::vector<std::string> {"b.BAK", "b.umx", "c.umx", "d.umx", "d.xm"}));
}

TEST(CommandLine, OutputFolderTakesEveryWriteAndIsNotSearched)
{
    // The output folder lies inside the chosen folder and holds a package
    // of its own; a link planted where a sub-folder must be made is not
    // followed.
    TempDir dir, elsewhere;
    const Collection tree(dir.Path());
    ::mkdir((dir / "linked").c_str(), 0755);
    PutPackage(dir / "linked/e.umx", ModuleKind::ImpulseTracker);
    ::mkdir((dir / "out").c_str(), 0755);
    PutPackage(dir / "out/alt.umx", ModuleKind::ImpulseTracker);
    ::symlink(elsewhere.Path().c_str(), (dir / "out/linked").c_str());
    std::map<std::string, Bytes> expected = Files(dir.Path());

    const Result r = Klangheber({"--batch", Folder(dir), "--keep-going", "-o", Folder(dir) + "/out"});
    EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(Q("klangheber: " + (dir / "linked/e.umx") + ": Ordner " + (dir / "out/linked") +
                                 " kann nicht angelegt werden.\n")))
        << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("5 Pakete: 2 Module geschrieben (1 it, 1 xm), 0:12 Musik, 1 ohne Modul, 2 Fehler"))
        << r.err.toStdString();
    EXPECT_EQ(r.err.count(Q("klangheber: " + (dir / "out") +
                            ": Ausgabeordner im durchsuchten Ordner, die Pakete darin werden nicht bearbeitet\n")),
              1)
        << r.err.toStdString();
    expected["out/a.it"] = Bytes(tree.a.bytes.begin() + tree.a.moduleStart, tree.a.bytes.end());
    const Bytes withoutModule = fixtures::MakePackageWithoutModule().bytes;
    expected["out/sub/b.BAK"] = Bytes(withoutModule.begin(), withoutModule.begin() + 500);
    expected["out/sub/d.xm"] = Bytes(tree.d.bytes.begin() + tree.d.moduleStart, tree.d.bytes.end());
    EXPECT_EQ(Files(dir.Path()), expected);
    EXPECT_EQ(ListDir(elsewhere.Path()), std::vector<std::string> {});
}

TEST(CommandLine, ListScansOnlyAndWritesNothing)
{
    TempDir dir, tmp;
    const Collection tree(dir.Path());
    const std::map<std::string, Bytes> before = Files(dir.Path());
    const Result r = Klangheber({"--batch", Folder(dir), "--list"}, {{"TMPDIR", Folder(tmp)}});
    EXPECT_EQ(r.exitCode, 1);
    // The generated modules' title and length, as libopenmpt gives them.
    const std::string kFacts = " Bytes, „Klangheber Testlied“, 0:06";
    EXPECT_EQ(r.out, (QStringList {Q("[1/4] " + (dir / "a.umx") + ": it, Start " + std::to_string(tree.a.moduleStart) +
                                     ", " + std::to_string(tree.a.bytes.size() - tree.a.moduleStart) + kFacts),
                                   Q("[2/4] " + (dir / "sub/b.umx") + ": ohne Modul"),
                                   Q("[4/4] " + (dir / "sub/d.umx") + ": xm, Start " +
                                     std::to_string(tree.d.moduleStart) + ", " + std::to_string(tree.d.bytes.size() - tree.d.moduleStart) +
                                     kFacts)}));
    EXPECT_TRUE(r.err.startsWith(Q("klangheber: " + (dir / "sub/c.umx") + ": Invalid SelStart.\n")));
    EXPECT_TRUE(r.err.contains("4 Pakete: 2 Module gefunden (1 it, 1 xm), 0:12 Musik, 1 ohne Modul, 1 Fehler"));
    EXPECT_EQ(Files(dir.Path()), before);
    for (const std::string& name : ListDir(tmp.Path()))
        EXPECT_EQ(name.find("klangheber"), std::string::npos) << name;
}

TEST(CommandLine, JsonGivesOneObjectPerPackageAndTheSummaryLast)
{
    // Names that are no UTF-8, or hold a control character or a quote, come
    // back byte for byte.
    TempDir dir;
    const Collection tree(dir.Path());
    const std::string odd = "sub/\xff\xc3(\n\"q\".umx";
    const fixtures::Package oddPackage = PutPackage(dir / odd, ModuleKind::ScreamTracker3);
    const Result r = Klangheber({"--batch=" + Folder(dir), "--json", "-k"});
    EXPECT_EQ(r.exitCode, 1);
    const auto moduleSize = [](const fixtures::Package& p) { return static_cast<int>(p.bytes.size() - p.moduleStart); };
    const struct {
        std::string package, result, kind;
        int start, size;
        std::string output, error;
    } expected[] = {
        {"a.umx", "module", "it", int(tree.a.moduleStart), moduleSize(tree.a), "a.it", ""},
        {"sub/b.umx", "none", "", 0, 0, "", ""},
        {"sub/c.umx", "error", "", 0, 0, "", "Invalid SelStart."},
        {"sub/d.umx", "module", "xm", int(tree.d.moduleStart), moduleSize(tree.d), "sub/d.xm", ""},
        {odd, "module", "s3m", int(oddPackage.moduleStart), moduleSize(oddPackage), "sub/\xff\xc3(\n\"q\".s3m", ""},
    };
    ASSERT_EQ(r.out.size(), 6) << r.out.join('\n').toStdString();
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const auto& e = expected[i];
        SCOPED_TRACE(e.package);
        QJsonParseError error {};
        const QJsonObject o = ParseJsonLine(r.out[int(i)], &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError) << r.out[int(i)].toStdString();
        EXPECT_EQ(BytesOf(o["package"].toString()), dir / e.package);
        EXPECT_EQ(o["result"].toString().toStdString(), e.result);
        const bool module = e.result == "module";
        EXPECT_EQ(o["kind"].isNull(), !module);
        EXPECT_EQ(o["kind"].toString().toStdString(), e.kind);
        EXPECT_EQ(o["start"].toInt(), e.start);
        EXPECT_EQ(o["size"].toInt(), e.size);
        EXPECT_EQ(BytesOf(o["output"].toString()), module ? dir / e.output : "");
        EXPECT_EQ(o["error"].toString().toStdString(), e.error);
    }
    const QJsonObject summary = ParseJsonLine(r.out.last());
    EXPECT_EQ(summary["packages"].toInt(), 5);
    EXPECT_EQ(summary["modules"].toInt(), 3);
    EXPECT_EQ(summary["s3m"].toInt(), 1);
    EXPECT_EQ(summary["none"].toInt(), 1);
    EXPECT_EQ(summary["errors"].toInt(), 1);
    EXPECT_TRUE(summary["summary"].toString().startsWith("5 Pakete: 3 Module geschrieben (1 it, 1 s3m, 1 xm)"));
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
}

TEST(CommandLine, AFolderAsArgumentOpensTheWindowAndStartsItsRun)
{
    TempDir dir;
    PutPackage(dir / "a.umx", ModuleKind::ImpulseTracker);
    QProcess process;
    process.setProcessEnvironment(WithoutDisplay({{"QT_QPA_PLATFORM", "offscreen"}}));
    process.start(QStringLiteral(KLANGHEBER_EXE), {Folder(dir)});
    ASSERT_TRUE(process.waitForStarted());
    for (int i = 0; i < 600 && !Exists(dir / "a.it"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(Exists(dir / "a.it"));
    ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 128 + SIGTERM);
}

TEST(CommandLine, NothingFoundOrWrongArgumentsGiveStatusTwo)
{
    TempDir dir;
    Result r = Klangheber({"--batch", Folder(dir)});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.startsWith("klangheber: Keine Unreal Musikdateien gefunden (*.umx)!\n")) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());

    const struct {
        QStringList args;
        QString message;
    } cases[] = {
        {{"--batch"}, "Nach --batch fehlt ein Wert"},
        {{"--bogus"}, "Unbekannte Option: bogus"},
        {{"--batch", Folder(dir), "--pause", "-3"}, "--pause braucht eine Zahl von Millisekunden"},
        {{"--pause", "10"}, "--pause gilt nur mit --batch"},
        {{"-k", Folder(dir)}, "--keep-going gilt nur mit --batch"},
        {{"--exact", Folder(dir)}, "--exact gilt nur mit --batch"},
        {{"--batch", Folder(dir), "--list", "-o", Folder(dir)}, "--output passt nicht dazu"},
        {{"--batch", Folder(dir), Folder(dir)}, "entweder mit --batch oder allein"},
        {{"--batch", Folder(dir) + "missing"}, "kein Ordner"},
    };
    for (const auto& c : cases) {
        r = Klangheber(c.args);
        EXPECT_EQ(r.exitCode, 2) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.startsWith("klangheber: ") && r.err.contains(c.message)) << r.err.toStdString();
    }
}

TEST(CommandLine, HelpAndVersion)
{
    Result r = Klangheber({"--help"});
    EXPECT_EQ(r.exitCode, 0);
    for (const char* text : {"-b, --batch ORDNER", "--pause MS", "-k, --keep-going", "-o, --output ZIEL", "--list",
                             "--json", "\\udc80", "--exact", "PAKET.Objekt.xm", "-h, --help", "-v, --version",
                             "Beispiele:", "Exit-Status: 0"})
        EXPECT_TRUE(r.out.join('\n').contains(QString::fromUtf8(text))) << text;
    for (const char* option : {"--version", "-v"}) {
        r = Klangheber({option});
        EXPECT_EQ(r.exitCode, 0);
        ASSERT_FALSE(r.out.isEmpty());
        EXPECT_TRUE(r.out[0].startsWith("klangheber "));
    }
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
    // (no DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM), or with one named that
    // is not there (a stale DISPLAY or WAYLAND_DISPLAY). The batch never
    // tries a display: it runs whatever the environment names.
    TempDir dir;
    const std::map<QString, QString> none;
    const std::map<QString, QString> staleX {{"DISPLAY", ":87"}};
    const std::map<QString, QString> staleWayland {{"WAYLAND_DISPLAY", "klangheber-gone"},
                                                   {"XDG_RUNTIME_DIR", Folder(dir)}};
    const QString noWindow =
        "klangheber: Keine Anzeige verfügbar. Ohne Fenster konvertiert klangheber --batch ORDNER.\n";
    const QString noHexWindow = "klangheber-hex: Keine Anzeige verfügbar. Klangheber Hex braucht ein Fenster.\n";
    const struct {
        const char* program;
        QStringList arguments;
        std::map<QString, QString> env;
        int exitCode;
        QString stream;  // "err": the no-display line; "out": the program's own output
        QString text;
    } cases[] = {
        {KLANGHEBER_EXE, {}, none, 2, "err", noWindow},
        {KLANGHEBER_HEX_EXE, {}, none, 2, "err", noHexWindow},
        {KLANGHEBER_EXE, {}, staleX, 2, "err", noWindow},
        {KLANGHEBER_EXE, {}, staleWayland, 2, "err", noWindow},
        {KLANGHEBER_HEX_EXE, {}, staleX, 2, "err", noHexWindow},
        {KLANGHEBER_EXE, {"--batch", Folder(dir)}, staleX, 0, "out", "[1/1] Datei lied.umx wird geladen."},
        {KLANGHEBER_EXE, {"--batch", Folder(dir), "--list"}, staleWayland, 0, "out", "[1/1] "},
        {KLANGHEBER_HEX_EXE, {"--help"}, none, 0, "out", "Aufruf: klangheber-hex [DATEI]"},
        {KLANGHEBER_HEX_EXE, {"-v"}, none, 0, "out", "klangheber-hex "},
    };
    PutPackage(dir / "lied.umx", ModuleKind::ImpulseTracker);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.program) + " " + c.arguments.join(' ').toStdString() + " " +
                     (c.env.empty() ? "" : c.env.begin()->first.toStdString()));
        const Result r = RunProgram(c.program, c.arguments, c.env);
        EXPECT_EQ(r.exitCode, c.exitCode);
        if (c.stream == "err") {
            EXPECT_EQ(r.err.toStdString(), c.text.toStdString());
            EXPECT_TRUE(r.out.isEmpty());
        } else {
            ASSERT_FALSE(r.out.isEmpty());
            EXPECT_TRUE(r.out[0].startsWith(c.text)) << r.out[0].toStdString();
        }
    }
}

TEST(CommandLine, OutputThatCannotBeWrittenEndsTheRun)
{
    TempDir dir;
    const std::string root = dir / "lieder";
    const std::string tmp = dir / "tmp";
    ::mkdir(root.c_str(), 0755);
    ::mkdir(tmp.c_str(), 0700);
    std::map<std::string, Bytes> modules;
    for (const char* name : {"a", "b", "c"}) {
        const fixtures::Package package = PutPackage(root + "/" + name + ".umx", ModuleKind::ImpulseTracker);
        modules[std::string(name) + ".it"] = Bytes(package.bytes.begin() + package.moduleStart, package.bytes.end());
    }

    // A full device: the listing's lines are lost, so the run is an error.
    QProcess full;
    full.setProcessEnvironment(WithoutDisplay());
    full.setStandardOutputFile(QStringLiteral("/dev/full"));
    full.start(QString::fromUtf8(KLANGHEBER_EXE), {"--batch", Q(root), "--list", "--json"});
    ASSERT_TRUE(full.waitForFinished(60000));
    EXPECT_EQ(full.exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(full.readAllStandardError())
                    .contains("klangheber: Standardausgabe kann nicht geschrieben werden: Zu wenig Speicherplatz.\n"));

    // A pipe whose reader has gone: the program ends as on SIGTERM, with
    // 128 + SIGPIPE, and leaves no working copy and no temporary output
    // (a scan copy may stay, as after SIGTERM).
    QProcess piped;
    piped.setProcessEnvironment(WithoutDisplay({{"TMPDIR", Q(tmp)}}));
    piped.start("bash", {"-c", "\"$0\" --batch \"$1\" --pause 300 | head -1 >/dev/null; exit ${PIPESTATUS[0]}",
                         QString::fromUtf8(KLANGHEBER_EXE), Q(root)});
    ASSERT_TRUE(piped.waitForFinished(60000));
    EXPECT_EQ(piped.exitCode(), 128 + SIGPIPE);
    const auto endsWith = [](const std::string& name, const std::string& ext) {
        return name.size() >= ext.size() && name.compare(name.size() - ext.size(), ext.size(), ext) == 0;
    };
    for (const std::string& name : ListDir(tmp))
        EXPECT_FALSE(endsWith(name, ".ZQWK")) << name;
    for (const std::string& name : ListDir(root))
        if (!endsWith(name, ".umx") && !endsWith(name, ".BAK")) {
            EXPECT_EQ(ReadFile(root + "/" + name), modules[name]) << name;
        }
    EXPECT_LT(ListDir(root).size(), 6u) << "the run went on after the pipe was closed";
}

TEST(CommandLine, UnreadableFoldersAreErrorsOfTheRunAndDeepTreesAreConverted)
{
    // Run as root without the right to pass over permission bits, so that a
    // folder of mode 000 stops the program as it stops a user. "{R}" stands
    // for the run's folder.
    const QStringList asUser {"--bounding-set=-dac_override,-dac_read_search",
                              "--inh-caps=-dac_override,-dac_read_search", KLANGHEBER_EXE};
    if (Result probe = RunProgram("setpriv", QStringList(asUser.mid(0, 2)) << "true"); probe.exitCode != 0)
        GTEST_SKIP() << "no unprivileged run possible here: " << probe.err.toStdString();
    const auto closedSubFolder = [](const std::string& root) {
        PutPackage(root + "/a.umx", ModuleKind::ImpulseTracker);
        ::mkdir((root + "/zu\xff").c_str(), 0755);
        PutPackage(root + "/zu\xff/b.umx", ModuleKind::ImpulseTracker);
        ::chmod((root + "/zu\xff").c_str(), 0);
        ::mkdir((root + "/z").c_str(), 0755);
        PutPackage(root + "/z/c.umx", ModuleKind::ImpulseTracker);
    };
    const struct Case {
        const char* label;
        std::function<void(const std::string&)> make;
        QStringList options;
        int exitCode;
        const char* err;
        const char* out;
        const char* written;
    } cases[] = {
        {"sub-folder", closedSubFolder, {}, 1,
         "klangheber: Ordner {R}/zu\\xff kann nicht gelesen werden.\n"
         "2 Pakete: 2 Module geschrieben (2 it), 0:12 Musik, 0 ohne Modul, 0 Fehler, 1 Ordner nicht lesbar",
         "", "c.it"},
        {"json", closedSubFolder, {"--json"}, 1, "",
         R"({"folder":"{R}/zu\udcff","result":"error","error":"Ordner {R}/zu\udcff kann nicht gelesen werden."})",
         "a.it"},
        {"chosen-folder",
         [](const std::string& root) {
             PutPackage(root + "/a.umx", ModuleKind::ImpulseTracker);
             ::chmod(root.c_str(), 0);
         },
         {}, 1, "klangheber: Ordner {R} kann nicht gelesen werden.\n0 Pakete", "", ""},
        {"deep-tree",
         [](const std::string& root) {
             // 200 levels of 30-character names, made one level at a time.
             int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
             for (int level = 0; level < 200; ++level) {
                 ::mkdirat(fd, std::string(30, 'd').c_str(), 0755);
                 const int next = ::openat(fd, std::string(30, 'd').c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
                 ::close(fd);
                 fd = next;
             }
             PutPackage(root + "/a.umx", ModuleKind::ImpulseTracker);
             PutPackage("/proc/self/fd/" + std::to_string(fd) + "/tief.umx", ModuleKind::ImpulseTracker);
             ::close(fd);
         },
         {}, 0, "2 Pakete: 2 Module geschrieben (2 it), 0:12 Musik, 0 ohne Modul, 0 Fehler, 0,", "", "tief.it"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir dir;
        const std::string root = dir / "lieder";
        ::mkdir(root.c_str(), 0755);
        c.make(root);
        const Result r = RunProgram("setpriv", QStringList(asUser) << "--batch" << Q(root) << c.options);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.err).replace("{R}", Q(root)))) << r.err.toStdString();
        EXPECT_TRUE(r.out.join('\n').contains(QString::fromUtf8(c.out).replace("{R}", Q(root))))
            << r.out.join('\n').toStdString();
        EXPECT_FALSE(r.err.contains("Keine Unreal Musikdateien"));
        // Found, and the tree removed, with tools that go to any depth.
        if (*c.written)
            EXPECT_EQ(RunProgram("find", {Q(root), "-name", c.written}).out.size(), 1) << c.written;
        RunProgram("rm", {"-rf", Q(root)});
    }
}

TEST(CommandLine, ErrorTextsKeepTheBytesOfANameInJsonAndEscapeThemOnTheTerminal)
{
    // A file stands where the package's output folder must be made.
    TempDir dir, out;
    ::mkdir((dir / "\xff").c_str(), 0755);
    PutPackage(dir / "\xff/a.umx", ModuleKind::ImpulseTracker);
    WriteFile(out / "\xff", std::string("im Weg"));
    const std::string error = " kann nicht angelegt werden.";
    const Result json = Klangheber({"--batch", Folder(dir), "--json", "-o", Folder(out)});
    ASSERT_FALSE(json.out.empty());
    EXPECT_EQ(BytesOf(ParseJsonLine(json.out[0])["error"].toString()), "Ordner " + (out / "\xff") + error)
        << json.out[0].toStdString();
    const Result terminal = Klangheber({"--batch", Folder(dir), "-o", Folder(out)});
    EXPECT_TRUE(terminal.err.contains(Q("Ordner " + (out / "\\xff") + error))) << terminal.err.toStdString();
}
