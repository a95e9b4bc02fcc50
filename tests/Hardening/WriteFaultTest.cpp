// SPDX-License-Identifier: GPL-3.0-or-later
// Faults while the batch writes: a full disk during the scan copy and during
// the extraction, a folder that goes away or stops taking files between the
// scan and the extraction, a package that disappears before its turn. The run
// stops with the error's text, no partial module is left under a module name,
// and an earlier module of the same name is intact.
#include "Hostile.h"

#include "FileSizeLimit.h"
#include "fixtures/Fixtures.h"
#include "platform/system/FileUtils.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace testsupport;
using namespace hardening;
using fixtures::ModuleKind;

namespace {

const Bytes kEarlier = {'f', 'r', 'u', 'e', 'h', 'e', 'r'};

fixtures::Package RealPackage(ModuleKind kind, std::uint32_t sampleLength, std::uint32_t moduleStart = 0)
{
    fixtures::ModuleOptions song;
    song.sampleLength = sampleLength;
    fixtures::PackageOptions options;
    if (moduleStart)
        options.moduleStart = moduleStart;
    return fixtures::WrapInPackage(fixtures::MakeModule(kind, song), options);
}

// No hidden temporary file of a replacement remains anywhere below root.
void ExpectNoLeftovers(const std::string& root)
{
    for (const auto& [path, entry] : Snapshot(root))
        EXPECT_FALSE(IsReplacementLeftover(platform::ExtractFileName(path))) << path;
}

using WriteFault = BatchRun;

}  // namespace

TEST_F(WriteFault, DiskFullDuringTheExtractionStopsTheRunAndKeepsTheEarlierModule)
{
    const std::string root = dir / "voll";
    ::mkdir(root.c_str(), 0755);
    ::mkdir((root + "/b").c_str(), 0755);
    ::mkdir((root + "/b/c").c_str(), 0755);
    const auto first = RealPackage(ModuleKind::ScreamTracker3, 1000);
    const auto second = RealPackage(ModuleKind::ImpulseTracker, 30000);
    WriteFile(root + "/a.umx", first.bytes);
    WriteFile(root + "/b/lied.umx", second.bytes);
    WriteFile(root + "/b/lied.it", kEarlier);
    WriteFile(root + "/b/c/spaeter.umx", first.bytes);

    // The limit comes into force when the second extraction begins: the
    // working copy and the scan copy are written by then.
    FileSizeLimit limit;
    onStatus = [&](const QString& text) {
        if (text == kExtracting && form.CurrentFile == root + "/b/lied.umx")
            limit.Apply(10000);
    };
    Run(root);
    ASSERT_TRUE(limit.Applied());
    limit.Lift();

    EXPECT_EQ(ErrorBox(), "Zu wenig Speicherplatz.");
    EXPECT_EQ(form.StatusText(), kExtracting);
    EXPECT_EQ(form.ListBox1->currentRow(), 1);
    EXPECT_EQ(ReadFile(root + "/a.s3m"), Tail(first.bytes, first.moduleStart));
    EXPECT_EQ(ReadFile(root + "/b/lied.it"), kEarlier);
    EXPECT_FALSE(Exists(root + "/b/c/spaeter.s3m"));
    EXPECT_EQ(ListDir(root + "/b"), (std::vector<std::string> {"c", "lied.it", "lied.umx"}));
    ExpectNoLeftovers(root);
}

namespace {

// The file system of a run on a small file system of its own.
enum class Space { Full, ReadOnly };

// Runs the command line over a copy of source on a small file system of its
// own (a tmpfs in a private mount namespace, mounted at result + ".mnt"):
// full except for free bytes, or read-only. Afterwards the file system's
// content is copied to result. Skips the test where no such file system can
// be had. options go before the program's --batch.
Outcome RunOnSmallFileSystem(const std::string& source, const std::string& result, Space space, long free,
                             const std::string& tmp, const QStringList& options = {})
{
    const char* script = R"(
M="$1"; SRC="$2"; OUT="$3"; FREE="$4"; SPACE="$5"; shift 5
mount -t tmpfs -o size=1m,mode=0755 kh-voll "$M" || exit 99
cp -a "$SRC"/. "$M"/ || exit 98
if [ "$SPACE" = full ]; then
  dd if=/dev/zero of="$M/.fueller" bs=4096 2>/dev/null
  sync
  if [ "$FREE" -gt 0 ]; then truncate -s "-$FREE" "$M/.fueller"; fi
else
  mount -o remount,ro "$M" || exit 99
fi
"$@" --batch "$M"
rc=$?
mount -o remount,rw "$M"
rm -f "$M/.fueller"
cp -a "$M"/. "$OUT"/
umount "$M"
exit $rc
)";
    const std::string mountPoint = result + ".mnt";
    ::mkdir(mountPoint.c_str(), 0755);
    ::mkdir(result.c_str(), 0755);
    QStringList args;
    if (::geteuid() != 0)
        args << "-r" << "-U";
    args << "-m" << "--propagation" << "private" << "sh" << "-c" << script << "sh" << Q(mountPoint) << Q(source)
         << Q(result) << QString::number(free) << (space == Space::Full ? "full" : "ro") << KlangheberPath()
         << options;
    return RunProgram(QStringLiteral("unshare"), args, {{"TMPDIR", Q(tmp)}});
}

// Sets or clears the immutable flag of a file or folder (which stops root
// too); false where the file system has no such flag.
bool SetImmutable(const std::string& path, bool on)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    ::close(fd);
    return ok;
}

}  // namespace

TEST_F(WriteFault, ScanCopyThatCannotBeWrittenStopsTheRunAtItsPackage)
{
    // A full disk, a read-only mount, or a stale scan copy that can be
    // neither removed nor replaced: the run stops at the package with the
    // scan copy's create error. Neither the editor's cut content nor the
    // stale copy (with a signature at 0) is ever searched in its place.
    const auto package = RealPackage(ModuleKind::ImpulseTracker, 20000, 300);
    const std::string cases[] = {"full", "read-only", "stale-immutable"};
    std::string leftOut;
    for (const std::string& label : cases) {
        SCOPED_TRACE(label);
        const std::string source = dir / ("quelle-" + label);
        const std::string result = dir / ("ergebnis-" + label);
        ::mkdir(source.c_str(), 0755);
        ::mkdir((source + "/b").c_str(), 0755);
        WriteFile(source + "/lied.umx", package.bytes);
        WriteFile(source + "/lied.it", kEarlier);
        WriteFile(source + "/b/zwei.umx", package.bytes);
        Outcome r;
        std::string ranIn = source;
        std::string looked = source;
        if (label == "stale-immutable") {
            WriteFile(source + "/lied.BAK", SmallPackage(500, 0, "IMPM"));
            if (!SetImmutable(source + "/lied.BAK", true)) {
                leftOut += " " + label + ": no immutable files here;";
                continue;
            }
            r = RunKlangheber({"--batch", Q(source)}, {{"TMPDIR", Q(tmp.Path())}});
            SetImmutable(source + "/lied.BAK", false);
        } else {
            r = RunOnSmallFileSystem(source, result, label == "full" ? Space::Full : Space::ReadOnly, 0, tmp.Path());
            if (r.exitCode == 99) {
                leftOut += " " + label + ": no small file system can be mounted here;";
                continue;
            }
            ranIn = result + ".mnt";
            looked = result;
        }
        ASSERT_TRUE(r.finished);
        EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(Q("Datei " + ranIn + "/lied.BAK kann nicht erstellt werden."))) << r.err.toStdString();
        EXPECT_EQ(r.out, QStringList {"[1/2] Datei lied.umx wird geladen. Bitte warten..."});
        EXPECT_EQ(ReadFile(looked + "/lied.it"), kEarlier);
        EXPECT_EQ(ReadFile(looked + "/lied.umx"), package.bytes);
        EXPECT_EQ(ListDir(looked + "/b"), std::vector<std::string> {"zwei.umx"});
        ExpectNoLeftovers(looked);
    }
    if (!leftOut.empty())
        GTEST_SKIP() << "cases left out:" << leftOut;
}

TEST_F(WriteFault, ReadOnlyMediumConvertsIntoAnOutputFolder)
{
    const std::string source = dir / "medium";
    ::mkdir(source.c_str(), 0755);
    ::mkdir((source + "/b").c_str(), 0755);
    const auto first = RealPackage(ModuleKind::ScreamTracker3, 1000);
    const auto second = RealPackage(ModuleKind::ImpulseTracker, 3000, 300);
    WriteFile(source + "/a.umx", first.bytes);
    WriteFile(source + "/b/lied.umx", second.bytes);
    const Tree before = Snapshot(source);

    const Outcome r = RunOnSmallFileSystem(source, dir / "kopie", Space::ReadOnly, 0, tmp.Path(),
                                           {"-o", Q(dir / "ziel")});
    if (r.exitCode == 99)
        GTEST_SKIP() << "no small file system can be mounted here: " << r.err.toStdString();
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(Snapshot(dir / "kopie"), before);
    EXPECT_EQ(ReadFile(dir / "ziel/a.s3m"), Tail(first.bytes, first.moduleStart));
    EXPECT_EQ(ReadFile(dir / "ziel/b/lied.it"), Tail(second.bytes, second.moduleStart));
    EXPECT_EQ(ListDir(dir / "ziel"), (std::vector<std::string> {"a.s3m", "b"}));
}

TEST_F(WriteFault, FullDiskDuringTheExtractionAfterAnEarlierPackageWasConverted)
{
    // Room for the first module and a scan copy, not for the second module.
    const std::string source = dir / "quelle";
    ::mkdir(source.c_str(), 0755);
    ::mkdir((source + "/b").c_str(), 0755);
    const Bytes small = SmallPackage(1500, 300, "IMPM");
    const auto large = RealPackage(ModuleKind::FastTracker2, 40000);
    WriteFile(source + "/a.umx", small);
    WriteFile(source + "/b/lied.umx", large.bytes);
    WriteFile(source + "/b/lied.xm", kEarlier);

    const Outcome r = RunOnSmallFileSystem(source, dir / "ergebnis", Space::Full, 8192, tmp.Path());
    if (r.exitCode == 99)
        GTEST_SKIP() << "no small file system can be mounted here: " << r.err.toStdString();
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("Zu wenig Speicherplatz.")) << r.err.toStdString();
    ASSERT_FALSE(r.out.isEmpty());
    EXPECT_EQ(r.out.last(), "[2/2] Daten werden extrahiert. Bitte warten...");
    EXPECT_EQ(ReadFile(dir / "ergebnis/a.it"), Tail(small, 300));
    EXPECT_EQ(ReadFile(dir / "ergebnis/b/lied.xm"), kEarlier);
    EXPECT_EQ(ListDir(dir / "ergebnis/b"), (std::vector<std::string> {"lied.umx", "lied.xm"}));
    ExpectNoLeftovers(dir / "ergebnis");
}

TEST_F(WriteFault, FolderMovedOrRemovedBetweenScanAndExtraction)
{
    const std::string root = dir / "weg";
    ::mkdir(root.c_str(), 0755);
    ::mkdir((root + "/z").c_str(), 0755);
    const Bytes song = SmallPackage(4000, 100, "IMPM");
    WriteFile(root + "/z/lied.umx", song);
    WriteFile(root + "/z/lied.it", kEarlier);

    // Moved away: nothing may appear under the old path again.
    onStatus = [&](const QString& text) {
        if (text == kEngineStarted) {
            ASSERT_EQ(::rename((root + "/z").c_str(), (dir / "woanders").c_str()), 0);
        }
    };
    Run(root);
    EXPECT_EQ(ErrorBox(), "Datei nicht gefunden.");
    EXPECT_EQ(form.StatusText(), kExtracting);
    EXPECT_FALSE(Exists(root + "/z"));
    EXPECT_EQ(ReadFile(dir / "woanders/lied.it"), kEarlier);
    EXPECT_EQ(ReadFile(dir / "woanders/lied.umx"), song);
    ExpectNoLeftovers(dir / "woanders");

    // Removed with everything in it.
    Boxes().boxes.clear();
    ::mkdir((root + "/z").c_str(), 0755);
    WriteFile(root + "/z/lied.umx", song);
    onStatus = [&](const QString& text) {
        if (text == kEngineStarted) {
            for (const std::string& name : ListDir(root + "/z"))
                ::unlink((root + "/z/" + name).c_str());
            ASSERT_EQ(::rmdir((root + "/z").c_str()), 0);
        }
    };
    Run(root);
    EXPECT_EQ(ErrorBox(), "Datei nicht gefunden.");
    EXPECT_EQ(ListDir(root), std::vector<std::string> {});
}

TEST_F(WriteFault, FolderThatStopsTakingFilesBetweenScanAndExtraction)
{
    const std::string root = dir / "zu";
    ::mkdir(root.c_str(), 0755);
    const Bytes song = SmallPackage(4000, 100, "IMPM");
    WriteFile(root + "/lied.umx", song);
    WriteFile(root + "/lied.it", kEarlier);

    // Root ignores permission bits; the immutable flag stops it too.
    auto setImmutable = [&](bool on) { return SetImmutable(root, on); };
    bool locked = false;
    onStatus = [&](const QString& text) {
        if (text != kEngineStarted)
            return;
        if (::geteuid() == 0)
            locked = setImmutable(true);
        else
            locked = ::chmod(root.c_str(), 0555) == 0;
    };
    Run(root);
    if (::geteuid() == 0)
        setImmutable(false);
    else
        ::chmod(root.c_str(), 0755);
    if (!locked)
        GTEST_SKIP() << "this file system cannot make a folder refuse new files";

    EXPECT_EQ(ErrorBox(), "Dateizugriff verweigert.");
    EXPECT_EQ(form.StatusText(), kExtracting);
    EXPECT_EQ(ReadFile(root + "/lied.it"), kEarlier);
    ExpectNoLeftovers(root);
}

TEST_F(WriteFault, FolderStandingUnderTheModuleNameBetweenScanAndExtraction)
{
    const std::string root = dir / "ordner";
    ::mkdir(root.c_str(), 0755);
    WriteFile(root + "/lied.umx", SmallPackage(4000, 100, "IMPM"));
    onStatus = [&](const QString& text) {
        if (text == kEngineStarted) {
            ::mkdir((root + "/lied.it").c_str(), 0755);
            WriteFile(root + "/lied.it/inhalt", kEarlier);
        }
    };
    Run(root);
    EXPECT_EQ(ErrorBox(), "Dateizugriff verweigert.");
    EXPECT_EQ(ListDir(root + "/lied.it"), std::vector<std::string> {"inhalt"});
    EXPECT_EQ(ReadFile(root + "/lied.it/inhalt"), kEarlier);
    ExpectNoLeftovers(root);
}

TEST_F(WriteFault, PackageGoneOrReplacedBeforeItsTurnStopsTheRunThere)
{
    for (const char* how : {"removed", "fifo"}) {
        SCOPED_TRACE(how);
        Boxes().boxes.clear();
        const std::string root = dir / how;
        ::mkdir(root.c_str(), 0755);
        ::mkdir((root + "/b").c_str(), 0755);
        ::mkdir((root + "/b/c").c_str(), 0755);
        const Bytes song = SmallPackage(2000, 64, "IMPM");
        WriteFile(root + "/a.umx", song);
        WriteFile(root + "/b/zwei.umx", song);
        WriteFile(root + "/b/c/drei.umx", song);
        onStatus = [&](const QString& text) {
            if (text == kExtracted && form.CurrentFile == root + "/a.umx") {
                ::unlink((root + "/b/zwei.umx").c_str());
                if (std::string(how) == "fifo")
                    ::mkfifo((root + "/b/zwei.umx").c_str(), 0644);
            }
        };
        const Tree before = Snapshot(root);
        Run(root);
        EXPECT_EQ(ErrorBox(), Q("Datei " + root + "/b/zwei.umx kann nicht geöffnet werden."));
        EXPECT_EQ(form.ListBox1->currentRow(), 1);
        EXPECT_EQ(form.StatusText(), Loading("zwei.umx"));
        EXPECT_EQ(ReadFile(root + "/a.it"), Tail(song, 64));
        EXPECT_FALSE(Exists(root + "/b/c/drei.it"));
        EXPECT_FALSE(Exists(root + "/b/zwei.BAK"));
        EXPECT_FALSE(Exists(root + "/b/zwei.it"));
    }
}

TEST_F(WriteFault, WorkingCopyOnAFullDiskStopsTheRunNamingItsFolder)
{
    const std::string root = dir / "voll";
    ::mkdir(root.c_str(), 0755);
    WriteFile(root + "/a.umx", SmallPackage(1000, 100, "IMPM"));
    WriteFile(root + "/lied.umx", SmallPackage(4000, 100, "IMPM"));
    FileSizeLimit limit;
    onStatus = [&](const QString& text) {
        if (text == Loading("lied.umx"))
            limit.Apply(3000);
    };
    Run(root);
    limit.Lift();
    EXPECT_EQ(ErrorBox(), Q("Zu wenig Speicherplatz im Ordner " + tmp.Path() + "."));
    EXPECT_EQ(form.CurrentFile, root + "/lied.umx");
}

TEST_F(WriteFault, ReplacedOutputKeepsItsPermissionsAndOneTheUserMayNotWriteIsRefused)
{
    // A private module stays private. A module the user may not write
    // (someone else's, in a folder the user may write) is refused as a
    // rewrite in place would refuse it, not replaced through the folder's
    // rights. Root passes every permission check, so the refusal is seen by
    // an unprivileged user running the program.
    struct Case {
        const char* label;
        mode_t mode;
        bool asNobody;
        bool replaced;
    };
    const Case cases[] = {{"private", 0600, false, true}, {"group-readable", 0640, false, true},
                          {"someone-elses", 0644, true, false}};
    const Bytes song = SmallPackage(3000, 100, "IMPM");
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0755), 0);
    const std::string sharedTmp = dir / "tmp-alle";
    ::mkdir(sharedTmp.c_str(), 01777);
    ::chmod(sharedTmp.c_str(), 01777);
    std::string leftOut;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        if (c.asNobody && ::geteuid() != 0) {
            leftOut += std::string(" ") + c.label + ": needs root to run the program as another user;";
            continue;
        }
        const std::string root = dir / c.label;
        ::mkdir(root.c_str(), 0777);
        ::chmod(root.c_str(), 0777);
        WriteFile(root + "/lied.umx", song);
        WriteFile(root + "/lied.it", kEarlier);
        ASSERT_EQ(::chmod((root + "/lied.it").c_str(), c.mode), 0);

        const Outcome r =
            c.asNobody ? RunProgram(QStringLiteral("setpriv"),
                                    {"--reuid=65534", "--regid=65534", "--clear-groups", KlangheberPath(), "--batch",
                                     Q(root)},
                                    {{"TMPDIR", Q(sharedTmp)}, {"HOME", Q(sharedTmp)}})
                       : RunKlangheber({"--batch", Q(root)}, {{"TMPDIR", Q(tmp.Path())}});
        ASSERT_TRUE(r.finished);
        struct stat st {};
        ASSERT_EQ(::stat((root + "/lied.it").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, c.mode);
        if (c.replaced) {
            EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
            EXPECT_EQ(ReadFile(root + "/lied.it"), Tail(song, 100));
        } else {
            EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
            EXPECT_TRUE(r.err.contains("Dateizugriff verweigert.")) << r.err.toStdString();
            EXPECT_EQ(ReadFile(root + "/lied.it"), kEarlier);
            EXPECT_EQ(st.st_uid, 0u);
        }
        ExpectNoLeftovers(root);
    }
    if (!leftOut.empty())
        GTEST_SKIP() << "cases left out:" << leftOut;
}

TEST_F(WriteFault, FolderOrPackageSwappedAfterTheWalkIsNeverFollowed)
{
    // Between the walk and the conversion a sub-folder is swapped for a link
    // to a folder outside (before the package's turn, or between its scan and
    // its extraction), or the package for another file. Nothing outside is
    // read, removed or replaced; the package fails with the open error.
    struct Case {
        const char* label;
        bool atScan;  // swap when the package is loaded, else when scanned
        bool folder;  // swap the folder, else the package
    };
    const Case cases[] = {{"folder-before-its-turn", true, true},
                          {"folder-between-scan-and-extraction", false, true},
                          {"package-before-its-turn", true, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Boxes().boxes.clear();
        const std::string root = dir / c.label;
        const std::string outside = dir / (std::string(c.label) + "-draussen");
        ::mkdir(root.c_str(), 0755);
        ::mkdir((root + "/a").c_str(), 0755);
        ::mkdir(outside.c_str(), 0755);
        const Bytes first = SmallPackage(2000, 64, "IMPM");
        WriteFile(root + "/erst.umx", first);
        WriteFile(root + "/a/lied.umx", SmallPackage(2500, 80, "IMPM"));
        WriteFile(outside + "/lied.umx", SmallPackage(2600, 90, "IMPM"));
        WriteFile(outside + "/lied.BAK", kEarlier);
        WriteFile(outside + "/lied.it", kEarlier);
        const Tree outsideBefore = Snapshot(outside);
        onStatus = [&](const QString& text) {
            if (form.CurrentFile != root + "/a/lied.umx" || text != (c.atScan ? Loading("lied.umx") : kEngineStarted))
                return;
            if (c.folder) {
                ASSERT_EQ(::rename((root + "/a").c_str(), (root + "/a.alt").c_str()), 0);
                ASSERT_EQ(::symlink(outside.c_str(), (root + "/a").c_str()), 0);
            } else {
                ASSERT_EQ(::rename((outside + "/lied.umx").c_str(), (root + "/a/lied.umx").c_str()), 0);
            }
        };
        Run(root);
        EXPECT_EQ(ErrorBox(), Q("Datei " + root + "/a/lied.umx kann nicht geöffnet werden."));
        EXPECT_EQ(form.ListBox1->currentRow(), 1);
        EXPECT_EQ(ReadFile(root + "/erst.it"), Tail(first, 64));
        EXPECT_FALSE(Exists(root + "/a.alt/lied.it"));
        if (c.folder)
            EXPECT_EQ(Snapshot(outside), outsideBefore);
        else
            EXPECT_FALSE(Exists(root + "/a/lied.it"));
    }
}

TEST_F(WriteFault, ExactModuleCutShortBeforeItsCopyFailsAndKeepsTheEarlierModule)
{
    // The tables said 2 KiB more than the package holds by the time its
    // bytes are copied: no short module is put in place.
    const std::string root = dir / "ordner";
    ::mkdir(root.c_str(), 0755);
    const fixtures::Package package = RealPackage(ModuleKind::ImpulseTracker, 4096, 600);
    WriteFile(root + "/lied.umx", package.bytes);
    WriteFile(root + "/lied.it", kEarlier);
    onStatus = [&](const QString& text) {
        if (text == kExtracting) {
            EXPECT_EQ(::truncate((root + "/lied.umx").c_str(), package.moduleStart + package.moduleSize - 2048), 0);
        }
    };
    TRunOptions exact;
    exact.exact = true;
    form.SetRunOptions(exact);
    Run(root);
    EXPECT_EQ(ErrorBox(), "Versuch hinter dem Dateiende zu lesen.");
    EXPECT_EQ(ReadFile(root + "/lied.it"), kEarlier);
    ExpectNoLeftovers(root);
}
