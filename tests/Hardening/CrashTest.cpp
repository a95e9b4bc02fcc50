// SPDX-License-Identifier: GPL-3.0-or-later
// The command line killed at random moments of a run (and what the next run
// clears away), ended by a signal, and two runs side by side: over one
// temporary folder that holds planted links, and over one folder of packages.
#include "Hostile.h"
#include "RunSummary.h"

#include "hexeditor/core/WorkingCopy.h"
#include "platform/system/FileUtils.h"
#include "platform/system/UniqueFd.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace testsupport;
using namespace hardening;

namespace {

struct Song {
    std::string path;  // relative to the folder
    Bytes bytes;
    std::size_t start;
    Bytes earlier;  // a module of the same name from before, or empty
};

// Packages large enough that a run spends most of its time loading, cutting
// and extracting, where a kill hurts most.
std::vector<Song> MakeSongs(const std::string& root)
{
    std::vector<Song> songs;
    const std::size_t sizes[] = {2500000, 700000, 1800000, 3000, 1200000, 2200000};
    std::string folder;
    for (std::size_t i = 0; i < std::size(sizes); ++i) {
        folder += "/d" + std::to_string(i);
        ::mkdir((root + folder).c_str(), 0755);
        Song s;
        s.path = folder.substr(1) + "/lied" + std::to_string(i) + ".umx";
        s.start = 40 + 61 * i;
        s.bytes = SmallPackage(sizes[i], s.start, "IMPM");
        if (i % 2 == 0)
            s.earlier = SmallPackage(5000 + i, 0, "frueher");
        songs.push_back(std::move(s));
    }
    return songs;
}

void Lay(const std::string& root, const std::vector<Song>& songs)
{
    for (const Song& s : songs) {
        WriteFile(root + "/" + s.path, s.bytes);
        const std::string out = platform::ChangeFileExt(root + "/" + s.path, ".it");
        ::unlink(platform::ChangeFileExt(root + "/" + s.path, ".BAK").c_str());
        if (s.earlier.empty())
            ::unlink(out.c_str());
        else
            WriteFile(out, s.earlier);
    }
}

// Every module under a module name is whole (the new one or the earlier one),
// every scan copy holds the package's first 500 bytes, and nothing else
// stands in the folders but hidden leftovers of replacements in progress.
// Returns the number of such leftovers.
int CheckAfterKill(const std::string& root, const std::vector<Song>& songs)
{
    int leftovers = 0;
    for (const Song& s : songs) {
        SCOPED_TRACE(s.path);
        const std::string package = root + "/" + s.path;
        const std::string out = platform::ChangeFileExt(package, ".it");
        const std::string scanCopy = platform::ChangeFileExt(package, ".BAK");
        if (Exists(out)) {
            const Bytes now = ReadFile(out);
            const bool whole = now == Tail(s.bytes, s.start) || (!s.earlier.empty() && now == s.earlier);
            EXPECT_TRUE(whole) << "partial module of " << now.size() << " bytes";
        } else {
            EXPECT_TRUE(s.earlier.empty()) << "the earlier module is gone";
        }
        if (Exists(scanCopy)) {
            EXPECT_EQ(ReadFile(scanCopy), Bytes(s.bytes.begin(), s.bytes.begin() + 500));
        }
        EXPECT_EQ(ReadFile(package), s.bytes);
        const std::string folder = platform::ExtractFilePath(package);
        for (const std::string& name : ListDir(folder)) {
            if (name[0] == 'd' || name == platform::ExtractFileName(package) ||
                name == platform::ExtractFileName(out) || name == platform::ExtractFileName(scanCopy))
                continue;
            EXPECT_TRUE(IsReplacementLeftover(name)) << "unexpected entry " << name;
            ++leftovers;
        }
    }
    return leftovers;
}

// The working copies (".ZQWK") in a temporary folder.
std::vector<std::string> WorkingCopiesIn(const std::string& tmp)
{
    std::vector<std::string> names;
    for (const std::string& name : ListDir(tmp)) {
        if (name.size() > 5 && name.compare(name.size() - 5, 5, ".ZQWK") == 0)
            names.push_back(name);
    }
    return names;
}

}  // namespace

TEST(CrashSafety, KilledAtRandomMomentsNoPartialModuleIsLeftUnderAModuleName)
{
    TempDir dir;
    const std::string root = dir / "lieder";
    ::mkdir(root.c_str(), 0755);
    const std::string tmp = dir / "tmp";
    ::mkdir(tmp.c_str(), 0700);
    const std::vector<Song> songs = MakeSongs(root);
    const std::map<QString, QString> env {{"TMPDIR", Q(tmp)}};

    // One undisturbed run; its status lines mark the steps of a run.
    Lay(root, songs);
    const Outcome whole = RunKlangheber({"--batch", Q(root)}, env);
    ASSERT_EQ(whole.exitCode, 0) << whole.err.toStdString();
    const int lines = static_cast<int>(whole.out.size());
    for (const Song& s : songs)
        ASSERT_EQ(ReadFile(platform::ChangeFileExt(root + "/" + s.path, ".it")), Tail(s.bytes, s.start));

    // Each kill comes a random few milliseconds after a random status line,
    // so it lands inside the run whatever the machine's speed: while a
    // package is loaded, cut, saved as scan copy, searched or extracted.
    const unsigned seed = std::random_device {}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> line(1, lines - 1);
    std::uniform_int_distribution<int> delay(0, 25);
    int leftovers = 0;
    int killedMidRun = 0;
    constexpr int kTrials = 20;
    for (int trial = 0; trial < kTrials; ++trial) {
        Lay(root, songs);
        const int after = line(rng);
        const int ms = delay(rng);
        SCOPED_TRACE("trial " + std::to_string(trial) + ", kill " + std::to_string(ms) + " ms after line " +
                     std::to_string(after));
        QProcess process;
        // A pause between packages keeps the process alive between its
        // status lines, so a kill after any line but the last lands inside
        // the run even when the machine is busy.
        StartKlangheber(process, {"--batch", Q(root), "--pause", "40"}, env);
        ASSERT_TRUE(process.waitForStarted(10000));
        int seen = 0;
        while (seen < after && process.state() == QProcess::Running) {
            process.waitForReadyRead(1000);
            seen += static_cast<int>(process.readAllStandardOutput().count('\n'));
        }
        if (!process.waitForFinished(ms)) {
            process.kill();  // SIGKILL
            ++killedMidRun;
            ASSERT_TRUE(process.waitForFinished(10000));
        }
        leftovers += CheckAfterKill(root, songs);
    }
    EXPECT_GE(killedMidRun, kTrials / 4) << "the kills should land inside the runs";
    RecordProperty("leftovers", leftovers);

    // A run after the last kill converts everything, and clears away what
    // the killed runs left: the temporary files beside the packages it
    // converts, and the working copies in the temporary folder.
    const Outcome again = RunKlangheber({"--batch", Q(root)}, env);
    EXPECT_EQ(again.exitCode, 0) << again.err.toStdString();
    for (const Song& s : songs)
        EXPECT_EQ(ReadFile(platform::ChangeFileExt(root + "/" + s.path, ".it")), Tail(s.bytes, s.start));
    EXPECT_EQ(CheckAfterKill(root, songs), 0);
    EXPECT_EQ(WorkingCopiesIn(tmp), std::vector<std::string> {});
}

TEST(SideBySide, TwoRunsAtOnceShareNoWorkingCopyAndFollowNoPlantedLink)
{
    TempDir dir;
    const std::string tmp = dir / "tmp";
    ::mkdir(tmp.c_str(), 0700);
    const std::string victim = dir / "opfer";
    WriteFile(victim, std::string("bleibt"));
    const std::string victimFolder = dir / "opfer-ordner";
    ::mkdir(victimFolder.c_str(), 0755);

    // Links at the working-copy names of the next 20 seconds: every other one
    // names an existing file, the rest a file that does not exist yet.
    const std::uint32_t now = platform::GetTickCount();
    constexpr std::uint32_t kPlanted = 20000;
    for (std::uint32_t i = 0; i < kPlanted; ++i) {
        const std::string target = i % 2 ? victim : victimFolder + "/neu" + std::to_string(i);
        ASSERT_EQ(::symlink(target.c_str(), hexcore::WorkingCopy::NameFor(tmp + "/", now + i).c_str()), 0);
    }

    struct Side {
        std::string root;
        std::vector<std::pair<std::string, Bytes>> packages;
        QProcess process;
    } sides[2];
    const std::map<QString, QString> env {{"TMPDIR", Q(tmp)}};
    for (int k = 0; k < 2; ++k) {
        Side& side = sides[k];
        side.root = dir / ("seite" + std::to_string(k));
        ::mkdir(side.root.c_str(), 0755);
        for (int i = 0; i < 40; ++i) {
            // The same names on both sides, different content.
            const std::string name = "p" + std::to_string(i) + ".umx";
            Bytes bytes = SmallPackage(600 + 37 * i + 500 * k, (i * 11 + k * 5) % 400, "IMPM");
            WriteFile(side.root + "/" + name, bytes);
            side.packages.emplace_back(name, std::move(bytes));
        }
    }
    for (Side& side : sides)
        StartKlangheber(side.process, {"--batch", Q(side.root)}, env);
    for (Side& side : sides) {
        ASSERT_TRUE(side.process.waitForFinished(120000));
        EXPECT_EQ(side.process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(side.process.exitCode(), 0) << side.process.readAllStandardError().toStdString();
    }
    for (const Side& side : sides) {
        for (const auto& [name, bytes] : side.packages) {
            std::size_t start = 0;
            while (bytes[start] != 'I' || bytes[start + 1] != 'M')
                ++start;
            EXPECT_EQ(ReadFile(side.root + "/" + platform::ChangeFileExt(name, ".it")), Tail(bytes, start)) << name;
        }
    }
    EXPECT_EQ(ReadFile(victim), Bytes({'b', 'l', 'e', 'i', 'b', 't'}));
    EXPECT_EQ(ListDir(victimFolder), std::vector<std::string> {});
    // Both working copies were removed at the end; the links are untouched.
    // (Qt keeps its runtime folder here too when none is set.)
    std::size_t links = 0;
    for (const auto& [name, entry] : Snapshot(tmp)) {
        if (name.rfind("runtime-", 0) == 0)
            continue;
        EXPECT_EQ(entry.type, 'l') << name;
        ++links;
    }
    EXPECT_EQ(links, kPlanted);
}

namespace {
using Waiting = BatchRun;
}

TEST_F(Waiting, ARunWaitsWithItsWindowAliveForAPackageAnotherRunHolds)
{
    // The test holds the package's lock as another run converting it would.
    // The run waits there, processing events (a timer of the window fires),
    // and converts the package once the lock is released.
    const std::string root = dir / "lieder";
    ::mkdir(root.c_str(), 0755);
    const Bytes first = SmallPackage(3000, 70, "IMPM");
    const Bytes held = SmallPackage(4000, 90, "IMPM");
    WriteFile(root + "/a.umx", first);
    WriteFile(root + "/b.umx", held);
    platform::UniqueFd other(::open((root + "/b.umx").c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_EQ(::flock(other.Get(), LOCK_EX | LOCK_NB), 0);
    bool waited = false;
    QTimer release;
    release.setSingleShot(true);
    QObject::connect(&release, &QTimer::timeout, [&] {
        waited = form.StatusText() == Loading("b.umx") && !Exists(root + "/b.BAK");
        other.Reset();
    });
    onStatus = [&](const QString& text) {
        if (text == Loading("b.umx"))
            release.start(300);
    };
    Run(root);
    EXPECT_TRUE(waited) << "the run did not wait for the package";
    EXPECT_EQ(ErrorBox(), "");
    EXPECT_EQ(ReadFile(root + "/a.it"), Tail(first, 70));
    EXPECT_EQ(ReadFile(root + "/b.it"), Tail(held, 90));
    EXPECT_EQ(statuses.back(), kExtracted);
}

TEST(SideBySide, TwoRunsOverOneFolderTakeTurnsAtEachPackage)
{
    // Both runs walk the same packages in the same order. They meet at the
    // first one, which the test holds until both have come to it, and from
    // then on each waits whenever the other converts a package it comes to:
    // both finish with every module right and every text true.
    TempDir dir;
    const std::string root = dir / "lieder";
    const std::string tmp = dir / "tmp";
    ::mkdir(root.c_str(), 0755);
    ::mkdir(tmp.c_str(), 0700);
    constexpr int kPackages = 150;
    std::vector<Bytes> packages;
    for (int i = 0; i < kPackages; ++i) {
        packages.push_back(SmallPackage(20000 + 131 * i, (i * 13) % 400, "IMPM"));
        WriteFile(root + "/p" + std::to_string(i) + ".umx", packages.back());
    }
    platform::UniqueFd first(::open((root + "/p0.umx").c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_EQ(::flock(first.Get(), LOCK_EX | LOCK_NB), 0);
    QProcess runs[2];
    QByteArray outs[2];
    for (QProcess& run : runs)
        StartKlangheber(run, {"--batch", Q(root)}, {{"TMPDIR", Q(tmp)}});
    for (int k = 0; k < 2; ++k) {
        while (!outs[k].contains("p0.umx") && runs[k].waitForReadyRead(10000))
            outs[k] += runs[k].readAllStandardOutput();
    }
    first.Reset();
    for (int k = 0; k < 2; ++k) {
        QProcess& run = runs[k];
        ASSERT_TRUE(run.waitForFinished(120000));
        const QString err = QString::fromUtf8(run.readAllStandardError());
        outs[k] += run.readAllStandardOutput();
        const QStringList out = QString::fromUtf8(outs[k]).split('\n', Qt::SkipEmptyParts);
        EXPECT_EQ(run.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(run.exitCode(), 0) << err.toStdString();
        EXPECT_TRUE(testsupport::IsFaultlessSummary(err)) << err.toStdString();
        EXPECT_EQ(out.filter(kExtracted).size(), kPackages);
        EXPECT_EQ(out.filter(kNoModule).size(), 0);
    }
    for (int i = 0; i < kPackages; ++i)
        EXPECT_EQ(ReadFile(root + "/p" + std::to_string(i) + ".it"), Tail(packages[i], (i * 13) % 400)) << i;
    EXPECT_EQ(ListDir(root).size(), 2u * kPackages) << "packages and modules only";
}

namespace {

// The hidden temporary file of an output being written in folder, or "".
std::string TemporaryOutputIn(const std::string& folder, const std::string& output)
{
    for (const std::string& name : ListDir(folder)) {
        if (IsReplacementLeftover(name) && name.rfind("." + output + ".", 0) == 0)
            return name;
    }
    return {};
}

}  // namespace

TEST(Interrupted, SignalEndsTheProgramCleanlyWithStatus128PlusItsNumber)
{
    // The signal comes while a large module is being written (the run is
    // stopped until it is sent, so the moment is certain), or while the
    // window waits for the user. The program removes its temporary output and
    // its working copy, and exits with 128 + the signal's number.
    struct Case {
        const char* label;
        int sig;
        bool window;
    };
    const Case cases[] = {{"SIGINT", SIGINT, false},
                          {"SIGTERM", SIGTERM, false},
                          {"SIGHUP", SIGHUP, false},
                          {"window-SIGTERM", SIGTERM, true}};
    TempDir dir;
    const std::string root = dir / "lieder";
    const std::string tmp = dir / "tmp";
    ::mkdir(root.c_str(), 0755);
    ::mkdir(tmp.c_str(), 0700);
    const Bytes package = SmallPackage(96 << 20, 200, "IMPM");
    WriteFile(root + "/lied.umx", package);
    const Bytes earlier = SmallPackage(5000, 0, "frueher");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        WriteFile(root + "/lied.it", earlier);
        QProcess process;
        bool caught = false;
        for (int attempt = 0; attempt < 3 && !caught; ++attempt) {
            if (c.window) {
                StartKlangheber(process, {}, {{"TMPDIR", Q(tmp)}, {"QT_QPA_PLATFORM", "offscreen"}});
                ASSERT_TRUE(process.waitForStarted(10000));
                // The window's editor has made its working copy: the
                // program is past its start-up.
                QElapsedTimer clock;
                clock.start();
                while (WorkingCopiesIn(tmp).empty() && clock.elapsed() < 20000)
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                caught = !WorkingCopiesIn(tmp).empty();
            } else {
                StartKlangheber(process, {"--batch", Q(root)}, {{"TMPDIR", Q(tmp)}});
                ASSERT_TRUE(process.waitForStarted(10000));
                while (process.state() == QProcess::Running && TemporaryOutputIn(root, "lied.it").empty())
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
                ::kill(static_cast<pid_t>(process.processId()), SIGSTOP);
                caught = !TemporaryOutputIn(root, "lied.it").empty();
            }
            if (caught)
                ::kill(static_cast<pid_t>(process.processId()), c.sig);
            ::kill(static_cast<pid_t>(process.processId()), SIGCONT);
            ASSERT_TRUE(process.waitForFinished(60000));
            if (!caught)
                WriteFile(root + "/lied.it", earlier);
        }
        ASSERT_TRUE(caught) << "the signal never came at its moment";
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 128 + c.sig);
        if (!c.window)
            EXPECT_TRUE(process.readAllStandardError().contains(
                "Lauf abgebrochen: 1 Paket: 0 Module geschrieben, 0 ohne Modul, 0 Fehler, 1 nicht bearbeitet"));
        EXPECT_EQ(ListDir(root), (std::vector<std::string> {"lied.it", "lied.umx"}));
        EXPECT_EQ(ReadFile(root + "/lied.it"), earlier);
        EXPECT_EQ(WorkingCopiesIn(tmp), std::vector<std::string> {});
    }
}
