// SPDX-License-Identifier: GPL-3.0-or-later
// The extraction behind the hidden button Rip: what it writes, the texts it
// shows, the advance step it ends with, and every way it can fail.
#include "MainFormProbe.h"
#include "FileSizeLimit.h"
#include "Pattern.h"
#include "TempDir.h"
#include "fixtures/Fixtures.h"
#include "fixtures/OpenMpt.h"
#include "platform/system/Exceptions.h"

#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace testsupport;

namespace {

const QString kExtracting = QStringLiteral("Daten werden extrahiert. Bitte warten...");
const QString kExtracted = QStringLiteral("Daten erfolgreich extrahiert!");

Bytes Slice(const Bytes& b, std::size_t from, std::size_t to)
{
    return Bytes(b.begin() + static_cast<long>(from), b.begin() + static_cast<long>(std::min(to, b.size())));
}

class RipClick : public ::testing::Test {
protected:
    void SetUp() override
    {
        Boxes().boxes.clear();
        form.StatusBar1->OnTextChanged = [this](const QString& text) { statuses.push_back(text); };
    }

    // Queues the packages (paths in the temporary folder) and makes entry
    // current the current one.
    void Queue(const std::vector<std::string>& names, int current)
    {
        for (const auto& name : names)
            form.AppendToQueue(dir / name);
        form.ListBox1->setCurrentRow(current);
        form.CurrentFile = dir / names.at(static_cast<std::size_t>(current));
    }

    void Rip(const QString& start, const QString& end, std::uint8_t kind = 0)
    {
        form.ModuleKind = kind;
        form.edtStart->setText(start);
        form.edtEnd->setText(end);
        form.Rip->Click();
    }
    void Rip(long start, long end, std::uint8_t kind = 0) { Rip(QString::number(start), QString::number(end), kind); }

    // After a failed extraction: the run stopped at the current package with
    // the extraction's text, the scan copy is gone and nothing was written
    // beside the package except what the test put there.
    void ExpectStoppedCleanly(const std::vector<std::string>& expectedFiles)
    {
        EXPECT_EQ(form.StatusText(), kExtracting);
        EXPECT_FALSE(form.Timer1->Enabled());
        EXPECT_EQ(form.ListBox1->currentRow(), 0);
        EXPECT_EQ(ListDir(dir.Path()), expectedFiles);
    }

    TempDir dir;
    testsupport::MainFormProbe form;
    std::vector<QString> statuses;
};

}  // namespace

TEST_F(RipClick, CopyEndsAtTheEndOffsetEvenWhereThePackageGoesOn)
{
    // A package that grew after its scan: what was appended is not the
    // module's. Spans of every length against the 2048-byte blocks.
    const Bytes longer = Pattern(12000);
    WriteFile(dir / "lang.umx", longer);
    Queue({"lang.umx"}, 0);
    for (const auto& [start, end] : {std::pair {56, 10000}, {2048, 6144}, {0, 4096}, {100, 101}}) {
        SCOPED_TRACE(end);
        Rip(start, end);
        EXPECT_EQ(ReadFile(dir / "lang.it"), Slice(longer, start, end));
    }

    // With the package ending at the end offset the module runs to its end.
    const Bytes exact = Pattern(10000, 3);
    WriteFile(dir / "genau.umx", exact);
    form.CurrentFile = dir / "genau.umx";
    Rip(56, 10000);
    EXPECT_EQ(ReadFile(dir / "genau.it"), Slice(exact, 56, 10000));
}

TEST_F(RipClick, StartZeroCopiesTheWholePackageAndEmptyPackageGivesEmptyOutput)
{
    const Bytes all = Pattern(777);
    WriteFile(dir / "ganz.umx", all);
    Queue({"ganz.umx", "leer.umx"}, 0);
    Rip(0, 777);
    EXPECT_EQ(ReadFile(dir / "ganz.it"), all);

    WriteFile(dir / "leer.umx", Bytes {});
    form.ListBox1->setCurrentRow(1);
    form.CurrentFile = dir / "leer.umx";
    Rip(0, 0);
    EXPECT_EQ(ReadFile(dir / "leer.it"), Bytes {});
}

TEST_F(RipClick, ReplacesAnEarlierOutputAndDeletesTheScanCopy)
{
    const Bytes package = Pattern(3000);
    WriteFile(dir / "lied.umx", package);
    WriteFile(dir / "lied.BAK", Slice(package, 0, 500));
    WriteFile(dir / "lied.xm", Pattern(50000, 9));
    Queue({"lied.umx"}, 0);
    Rip(100, 3000, 2);
    EXPECT_EQ(ReadFile(dir / "lied.xm"), Slice(package, 100, 3000));
    // Nothing else: no scan copy, no temporary file.
    EXPECT_EQ(ListDir(dir.Path()), (std::vector<std::string> {"lied.umx", "lied.xm"}));
}

TEST_F(RipClick, MissingScanCopyIsNoError)
{
    WriteFile(dir / "lied.umx", Pattern(600));
    Queue({"lied.umx"}, 0);
    EXPECT_NO_THROW(Rip(10, 600));
    EXPECT_EQ(ListDir(dir.Path()), (std::vector<std::string> {"lied.it", "lied.umx"}));
}

TEST_F(RipClick, ModuleKindChoosesTheExtension)
{
    WriteFile(dir / "lied.umx", Pattern(100));
    Queue({"lied.umx"}, 0);
    const std::pair<std::uint8_t, const char*> cases[] = {{0, "lied.it"}, {1, "lied.s3m"}, {2, "lied.xm"}, {3, "lied.xm"}, {255, "lied.xm"}};
    for (const auto& [kind, name] : cases) {
        ::unlink((dir / name).c_str());
        Rip(0, 100, kind);
        EXPECT_TRUE(Exists(dir / name)) << int(kind);
    }
    EXPECT_EQ(ListDir(dir.Path()), (std::vector<std::string> {"lied.it", "lied.s3m", "lied.umx", "lied.xm"}));
}

TEST_F(RipClick, OutputNameReplacesOnlyTheLastExtensionOfTheName)
{
    ASSERT_EQ(::mkdir((dir / "alte.musik").c_str(), 0755), 0);
    WriteFile(dir / "alte.musik/Lied.v2.umx", Pattern(64));
    WriteFile(dir / "alte.musik/ohne", Pattern(64));
    form.AppendToQueue(dir / "alte.musik/Lied.v2.umx");
    form.ListBox1->setCurrentRow(0);
    form.CurrentFile = dir / "alte.musik/Lied.v2.umx";
    Rip(0, 64, 1);
    EXPECT_TRUE(Exists(dir / "alte.musik/Lied.v2.s3m"));
    form.CurrentFile = dir / "alte.musik/ohne";
    Rip(0, 64, 1);
    EXPECT_TRUE(Exists(dir / "alte.musik/ohne.s3m"));
}

TEST_F(RipClick, AtTheLastEntryTheRunEndsWithTheSuccessText)
{
    WriteFile(dir / "a.umx", Pattern(3000));
    WriteFile(dir / "b.umx", Pattern(3000));
    Queue({"a.umx", "b.umx"}, 1);
    Rip(56, 3000);
    EXPECT_EQ(statuses, (std::vector<QString> {kExtracting, kExtracted}));
    EXPECT_EQ(form.StatusText(), kExtracted);
    EXPECT_FALSE(form.Timer1->Enabled());
    EXPECT_EQ(form.ListBox1->currentRow(), 1);
    EXPECT_EQ(form.CurrentFile, dir / "b.umx");
    // Both fields now hold the end offset.
    EXPECT_EQ(form.edtStart->text(), "3000");
    EXPECT_EQ(form.edtEnd->text(), "3000");
}

TEST_F(RipClick, InTheMiddleOfTheQueueTheNextPackageBecomesCurrent)
{
    // Names are bytes: a colon is an ordinary character, UTF-8 is shown decoded.
    const std::string third = "Drittes:Lied \xC3\x84.umx";
    WriteFile(dir / "b.umx", Pattern(1000));
    Queue({"a.umx", "b.umx", third}, 1);
    Rip(0, 1000);
    EXPECT_EQ(statuses, (std::vector<QString> {kExtracting, kExtracted,
                                               QStringLiteral("Datei Drittes:Lied Ä.umx wird geladen. Bitte warten...")}));
    EXPECT_EQ(form.ListBox1->currentRow(), 2);
    EXPECT_EQ(form.CurrentFile, dir / third);
    EXPECT_TRUE(form.Timer1->Enabled());
    EXPECT_EQ(form.Timer1->Interval(), 200);
    form.Timer1->SetEnabled(false);
}

// ---- failures ---------------------------------------------------------------

TEST_F(RipClick, MissingPackageFailsWithFileNotFound)
{
    WriteFile(dir / "weg.BAK", Pattern(500));
    WriteFile(dir / "weg.it", Pattern(900, 4));
    Queue({"weg.umx", "next.umx"}, 0);
    try {
        Rip(0, 1000);
        FAIL() << "no error";
    } catch (const platform::EInOutError& e) {
        EXPECT_STREQ(e.what(), "Datei nicht gefunden");
        EXPECT_EQ(e.ErrorCode(), 2);
    }
    ExpectStoppedCleanly({"weg.it"});
    EXPECT_EQ(ReadFile(dir / "weg.it"), Pattern(900, 4)) << "the earlier output is kept";
}

TEST_F(RipClick, DirectoryWhereTheOutputMustGoFailsWithAccessDenied)
{
    WriteFile(dir / "lied.umx", Pattern(5000));
    ASSERT_EQ(::mkdir((dir / "lied.s3m").c_str(), 0755), 0);
    WriteFile(dir / "lied.s3m/inhalt", "bleibt");
    Queue({"lied.umx", "next.umx"}, 0);
    try {
        Rip(0, 5000, 1);
        FAIL() << "no error";
    } catch (const platform::EInOutError& e) {
        EXPECT_STREQ(e.what(), "Dateizugriff verweigert");
    }
    ExpectStoppedCleanly({"lied.s3m", "lied.umx"});
    EXPECT_EQ(ListDir(dir / "lied.s3m"), std::vector<std::string> {"inhalt"});
}

TEST_F(RipClick, NegativeStartFailsBeforeTheCopyAndLeavesNoOutput)
{
    WriteFile(dir / "lied.umx", Pattern(5000));
    WriteFile(dir / "lied.BAK", Pattern(500));
    WriteFile(dir / "lied.s3m", "frueher");
    Queue({"lied.umx", "next.umx"}, 0);
    EXPECT_EQ(ErrorMessageOf([&] { Rip(-3, 5000, 1); }), "Modul beginnt vor dem Anfang der Datei " + dir / "lied.umx");
    ExpectStoppedCleanly({"lied.s3m", "lied.umx"});
    EXPECT_EQ(ReadFile(dir / "lied.s3m"), Bytes({'f', 'r', 'u', 'e', 'h', 'e', 'r'}));

    // Without an earlier output there is none afterwards either.
    ::unlink((dir / "lied.s3m").c_str());
    EXPECT_THROW(Rip(-41, 5000, 1), platform::Exception);
    EXPECT_EQ(ListDir(dir.Path()), std::vector<std::string> {"lied.umx"});
}

TEST_F(RipClick, FieldThatIsNotAnIntegerNamesItsText)
{
    WriteFile(dir / "lied.umx", Pattern(5000));
    WriteFile(dir / "lied.BAK", Pattern(500));
    Queue({"lied.umx", "next.umx"}, 0);
    // The end field is converted first.
    EXPECT_THROW(
        {
            try {
                Rip(QStringLiteral("abc"), QStringLiteral("10.000"));
            } catch (const platform::EConvertError& e) {
                EXPECT_STREQ(e.what(), "'10.000' ist kein gültiger Integerwert");
                throw;
            }
        },
        platform::EConvertError);
    ExpectStoppedCleanly({"lied.umx"});
    EXPECT_THROW(
        {
            try {
                Rip(QStringLiteral("5k"), QStringLiteral("5000"));
            } catch (const platform::EConvertError& e) {
                EXPECT_STREQ(e.what(), "'5k' ist kein gültiger Integerwert");
                throw;
            }
        },
        platform::EConvertError);
    EXPECT_THROW(Rip(QStringLiteral(""), QStringLiteral("5000")), platform::EConvertError);
    ExpectStoppedCleanly({"lied.umx"});
}

TEST_F(RipClick, WriteFailureLeavesNoPartialModuleAndKeepsTheEarlierOne)
{
    WriteFile(dir / "lied.umx", Pattern(20000));
    WriteFile(dir / "lied.it", "frueher");
    Queue({"lied.umx", "next.umx"}, 0);
    FileSizeLimit limit(5000);
    ASSERT_TRUE(limit.Applied());
    std::string message;
    try {
        Rip(0, 20000);
    } catch (const platform::EInOutError& e) {
        message = e.what();
    }
    limit.Lift();
    EXPECT_EQ(message, "Zu wenig Speicherplatz");
    ExpectStoppedCleanly({"lied.it", "lied.umx"});
    EXPECT_EQ(ReadFile(dir / "lied.it"), Bytes({'f', 'r', 'u', 'e', 'h', 'e', 'r'}));
}

TEST_F(RipClick, UserClickShowsTheErrorInTheBoxInsteadOfThrowing)
{
    Queue({"fehlt.umx"}, 0);
    form.edtStart->setText("0");
    form.edtEnd->setText("10");
    form.Rip->click();  // the path Qt takes: through the guard
    ASSERT_EQ(Boxes().boxes.size(), 1u);
    EXPECT_TRUE(Boxes().boxes[0].error);
    EXPECT_EQ(Boxes().boxes[0].title, "Klangheber");
    EXPECT_EQ(Boxes().boxes[0].text, "Datei nicht gefunden.");
    EXPECT_EQ(form.StatusText(), kExtracting);
}

TEST_F(RipClick, ReadOnlyPackageConverts)
{
    // The package is made unwritable in a way that holds for root too: it is
    // a program that is running (the kernel refuses writers with ETXTBSY).
    const std::string package = dir / "schreibgeschuetzt.umx";
    const Bytes program = ReadFile("/bin/sleep");
    WriteFile(package, program);
    ASSERT_EQ(::chmod(package.c_str(), 0555), 0);
    pid_t child = 0;
    char arg0[] = "sleep";
    char arg1[] = "60";
    char* argv[] = {arg0, arg1, nullptr};
    ASSERT_EQ(::posix_spawn(&child, package.c_str(), nullptr, nullptr, argv, environ), 0);
    struct Reaper {
        pid_t pid;
        ~Reaper()
        {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    } reaper {child};
    int fd = -1;
    for (int i = 0; i < 200; ++i) {  // until the exec has happened
        fd = ::open(package.c_str(), O_RDWR);
        if (fd < 0)
            break;
        ::close(fd);
        ::usleep(10000);
    }
    if (fd >= 0)
        GTEST_SKIP() << "this system lets the package be opened for writing";

    Queue({"schreibgeschuetzt.umx"}, 0);
    Rip(100, static_cast<long>(program.size()), 2);
    EXPECT_EQ(ReadFile(dir / "schreibgeschuetzt.xm"), Slice(program, 100, program.size()));
    EXPECT_EQ(form.StatusText(), kExtracted);
}

// ---- with real modules --------------------------------------------------------

TEST_F(RipClick, ProducedModulesPlayLikeTheWrappedOnes)
{
    using fixtures::ModuleKind;
    const std::pair<ModuleKind, std::uint32_t> cases[] = {
        {ModuleKind::ImpulseTracker, 0}, {ModuleKind::ScreamTracker3, 0}, {ModuleKind::FastTracker2, 0},
        {ModuleKind::ImpulseTracker, 496}, {ModuleKind::ScreamTracker3, 300}, {ModuleKind::FastTracker2, 485}};
    for (const auto& [kind, start] : cases) {
        SCOPED_TRACE(fixtures::FormatName(kind) + " at " + std::to_string(start));
        fixtures::ModuleOptions song;
        song.title = "Lied " + fixtures::FormatName(kind);
        song.sampleLength = 5000;  // more than two blocks
        const fixtures::Bytes module = fixtures::MakeModule(kind, song);
        fixtures::PackageOptions options;
        if (start)
            options.moduleStart = start;
        const fixtures::Package package = fixtures::WrapInPackage(module, options);
        const std::string path = dir / ("lied-" + fixtures::FormatName(kind) + ".umx");
        WriteFile(path, package.bytes);
        form.ListBox1->clear();
        form.AppendToQueue(path);
        form.ListBox1->setCurrentRow(0);
        form.CurrentFile = path;

        Rip(package.moduleStart, static_cast<long>(package.bytes.size()), static_cast<std::uint8_t>(kind));

        const Bytes out = ReadFile(dir / ("lied-" + fixtures::FormatName(kind) + fixtures::Extension(kind)));
        ASSERT_EQ(out, Slice(package.bytes, package.moduleStart, package.bytes.size()));
        const auto wrapped = fixtures::LoadWithOpenMpt(package.bytes);
        const auto bare = fixtures::LoadWithOpenMpt(module);
        std::string error;
        const auto produced = fixtures::LoadWithOpenMpt(out, &error);
        ASSERT_TRUE(wrapped && bare);
        ASSERT_TRUE(produced) << error;
        EXPECT_EQ(produced->type, fixtures::FormatName(kind));
        EXPECT_EQ(produced->container, "") << "a plain module, no longer a package";
        EXPECT_EQ(produced->title, song.title);
        EXPECT_TRUE(fixtures::SameMusic(*produced, *wrapped))
            << fixtures::Describe(*produced) << "\n" << fixtures::Describe(*wrapped);
        EXPECT_TRUE(fixtures::SameMusic(*produced, *bare));
    }
}
