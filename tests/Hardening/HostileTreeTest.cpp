// SPDX-License-Identifier: GPL-3.0-or-later
// Runs over folder trees as a person's disk holds them: entries named like
// packages that are no packages, links that loop, awkward names, packages too
// small or far too large, a great many packages. Every run ends, says why it
// ended, and writes nothing but scan copies and modules beside the packages.
#include "Hostile.h"
#include "RunSummary.h"

#include "platform/system/FileUtils.h"

#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace testsupport;
using namespace hardening;

namespace {

struct HostileEntry {
    const char* label;
    const char* name;
    std::function<bool(const std::string& path)> make;  // false: cannot be made here
    bool loads = false;  // a package the editor loads, of 500 bytes or fewer
};

bool MakeSocket(const std::string& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (fd < 0 || path.size() >= sizeof address.sun_path)
        return false;
    std::copy(path.begin(), path.end(), address.sun_path);
    const bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

bool MakeFile(const std::string& path, const Bytes& bytes)
{
    WriteFile(path, bytes);
    return true;
}

const HostileEntry kHostile[] = {
    {"Fifo", "pipe.umx", [](const std::string& p) { return ::mkfifo(p.c_str(), 0644) == 0; }},
    {"Socket", "sock.umx", MakeSocket},
    {"Directory", "ordner.umx",
     [](const std::string& p) {
         return ::mkdir(p.c_str(), 0755) == 0 && MakeFile(p + "/drin.txt", SmallPackage(800));
     }},
    {"DanglingLink", "weg.umx", [](const std::string& p) { return ::symlink("nirgends/da.umx", p.c_str()) == 0; }},
    {"LinkToItself", "kreis.umx", [](const std::string& p) { return ::symlink("kreis.umx", p.c_str()) == 0; }},
    {"LinkToParentFolder", "hoch.umx", [](const std::string& p) { return ::symlink("..", p.c_str()) == 0; }},
    {"LinkToEndlessDevice", "null.umx", [](const std::string& p) { return ::symlink("/dev/zero", p.c_str()) == 0; }},
    {"EmptyPackage", "leer.umx", [](const std::string& p) { return MakeFile(p, Bytes {}); }, true},
    {"FiveHundredBytes", "knapp.umx", [](const std::string& p) { return MakeFile(p, SmallPackage(500, 0)); }, true},
    {"Unreadable", "gesperrt.umx",
     [](const std::string& p) {
         // Permission bits do not stop root from reading.
         return ::geteuid() != 0 && MakeFile(p, SmallPackage(900)) && ::chmod(p.c_str(), 0) == 0;
     }},
};

void PrintTo(const HostileEntry& entry, std::ostream* os)
{
    *os << entry.label;
}

class StopsAt : public BatchRun, public ::testing::WithParamInterface<HostileEntry> {};

}  // namespace

// Each entry that is no readable package of more than 500 bytes stops the run
// where it stands in the queue: with "Invalid SelStart" when it is a package
// of 500 bytes or fewer, else with the load's error naming it.
TEST_P(StopsAt, EntryNamedLikeAPackage)
{
    const HostileEntry& hostile = GetParam();
    const auto expected = [&](const std::string& path) {
        return hostile.loads ? QString("Invalid SelStart.") : Q("Datei " + path + " kann nicht geöffnet werden.");
    };
    const std::string root = dir / "baum";
    ::mkdir(root.c_str(), 0755);
    ::mkdir((root + "/z").c_str(), 0755);
    ::mkdir((root + "/z/zz").c_str(), 0755);
    const Bytes good = SmallPackage(1200, 300, "IMPM");
    WriteFile(root + "/gut.umx", good);
    WriteFile(root + "/z/zz/spaeter.umx", SmallPackage(1200, 200, "IMPM"));
    if (!hostile.make(root + "/z/" + hostile.name))
        GTEST_SKIP() << "cannot make this entry here";
    const Tree before = Snapshot(root);

    Run(root);

    EXPECT_EQ(ErrorBox(), expected(root + "/z/" + hostile.name));
    ASSERT_GE(form.ListBox1->count(), 3);
    EXPECT_EQ(form.ListBox1->currentRow(), 1);
    EXPECT_EQ(form.CurrentFile, root + "/z/" + hostile.name);
    EXPECT_EQ(form.StatusText(), Loading(hostile.name));
    EXPECT_EQ(ReadFile(root + "/gut.it"), Tail(good, 300));
    ExpectOnlyOutputsChanged(before, Snapshot(root), {"gut.umx"});

    // The same entry alone in a folder of its own.
    Boxes().boxes.clear();
    const std::string alone = dir / "allein";
    ::mkdir(alone.c_str(), 0755);
    ASSERT_TRUE(hostile.make(alone + "/" + hostile.name));
    const Tree aloneBefore = Snapshot(alone);
    Run(alone);
    EXPECT_EQ(ErrorBox(), expected(alone + "/" + hostile.name));
    EXPECT_EQ(form.ListBox1->currentRow(), 0);
    ExpectOnlyOutputsChanged(aloneBefore, Snapshot(alone), {});
}

INSTANTIATE_TEST_SUITE_P(Hostile, StopsAt, ::testing::ValuesIn(kHostile),
                         [](const auto& info) { return std::string(info.param.label); });

namespace {
using HostileTree = BatchRun;
}

TEST_F(HostileTree, SparsePackageOfThreeGibibytesIsRefusedWithoutBeingRead)
{
    const std::string root = dir / "gross";
    ::mkdir(root.c_str(), 0755);
    const Bytes good = SmallPackage(2000, 120, "IMPM");
    WriteFile(root + "/a.umx", good);
    ::mkdir((root + "/b").c_str(), 0755);
    const std::string huge = root + "/b/riesig.umx";
    const int fd = ::open(huge.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    // A module signature at the start, so a load that went ahead would find it.
    ASSERT_EQ(::pwrite(fd, "IMPM", 4, 0), 4);
    const bool sized = ::ftruncate(fd, 3LL << 30) == 0;
    ::close(fd);
    if (!sized)
        GTEST_SKIP() << "the file system refuses a 3 GiB sparse file";

    Run(root);

    EXPECT_EQ(ErrorBox(), Q("Datei " + huge + " kann nicht geöffnet werden."));
    EXPECT_EQ(form.CurrentFile, huge);
    EXPECT_EQ(ReadFile(root + "/a.it"), Tail(good, 120));
    EXPECT_FALSE(Exists(root + "/b/riesig.BAK"));
    EXPECT_FALSE(Exists(root + "/b/riesig.it"));
    // The working copy never took the package in: it still holds the previous
    // scan copy, and nothing else grew in the temporary folder.
    struct stat st {};
    ASSERT_EQ(::stat(form.HexEditor1->WorkingFileName().c_str(), &st), 0);
    EXPECT_LE(st.st_size, 500);
    for (const auto& [name, entry] : Snapshot(tmp.Path()))
        EXPECT_LE(entry.size, 4096) << name;
}

TEST_F(HostileTree, LinkLoopsAndLinkedFoldersEndTheWalk)
{
    const std::string root = dir / "schleifen";
    ::mkdir(root.c_str(), 0755);
    ::mkdir((root + "/a").c_str(), 0755);
    ::mkdir((root + "/a/b").c_str(), 0755);
    ASSERT_EQ(::symlink("..", (root + "/a/b/zurueck").c_str()), 0);
    ASSERT_EQ(::symlink(root.c_str(), (root + "/a/wurzel").c_str()), 0);
    ASSERT_EQ(::symlink("x", (root + "/a/y").c_str()), 0);
    ASSERT_EQ(::symlink("y", (root + "/a/x").c_str()), 0);
    // A package reached through a folder link would be converted twice.
    const Bytes song = SmallPackage(900, 50, "IMPM");
    WriteFile(root + "/a/b/lied.umx", song);
    const Tree before = Snapshot(root);

    Run(root);

    EXPECT_EQ(ErrorBox(), "");
    EXPECT_EQ(form.ListBox1->count(), 1);
    EXPECT_EQ(ReadFile(root + "/a/b/lied.it"), Tail(song, 50));
    ExpectOnlyOutputsChanged(before, Snapshot(root), {"a/b/lied.umx"});
}

namespace {

// Names as they turn up on real disks; every one is a good package.
std::vector<std::string> AwkwardNames()
{
    return {"mit Leerzeichen .umx",
            " f\xC3\xBChrend.umx",
            "neue\nZeile.umx",
            "tab\tund\rwagen.umx",
            "-rf.umx",
            "--batch.umx",
            "-.umx",
            "\xFF\xFE kaputt.umx",
            "M\xFCller.umx",
            "stern*frage?.umx",
            "semi;kolon.umx",
            "back\\slash.umx",
            "doppel.punkt..umx",
            ".umx",
            "GROSS.UMX",
            "doppelpunkt:x.umx",
            std::string(246, 'L') + ".umx"};
}

}  // namespace

TEST_F(HostileTree, AwkwardNamesConvertBesideThemselves)
{
    const std::string root = dir / "namen";
    ::mkdir(root.c_str(), 0755);
    std::vector<std::string> names = AwkwardNames();
    std::map<std::string, Bytes> packages;
    std::size_t at = 20;
    for (const std::string& name : names) {
        packages[name] = SmallPackage(700 + at, at, "IMPM");
        WriteFile(root + "/" + name, packages[name]);
        at += 23;
    }
    // A package of 501 bytes with the signature in the very last bytes searched.
    names.push_back("501.umx");
    packages["501.umx"] = SmallPackage(501, 496, "IMPM");
    WriteFile(root + "/501.umx", packages["501.umx"]);
    const Tree before = Snapshot(root);

    Run(root);

    EXPECT_EQ(ErrorBox(), "");
    EXPECT_EQ(form.ListBox1->count(), static_cast<int>(names.size()));
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const std::string out = platform::ChangeFileExt(root + "/" + name, ".it");
        ASSERT_TRUE(Exists(out));
        const Bytes& package = packages[name];
        std::size_t start = 0;
        while (!(package[start] == 'I' && package[start + 1] == 'M' && package[start + 2] == 'P'))
            ++start;
        EXPECT_EQ(ReadFile(out), Tail(package, start));
        EXPECT_FALSE(Exists(platform::ChangeFileExt(root + "/" + name, ".BAK")));
        EXPECT_NE(std::find(statuses.begin(), statuses.end(), Loading(name)), statuses.end());
    }
    std::vector<std::string> relative;
    for (const auto& name : names)
        relative.push_back(name);
    ExpectOnlyOutputsChanged(before, Snapshot(root), relative);

    // The command line prints each of these names on its status lines.
    for (const std::string& name : names)
        ::unlink(platform::ChangeFileExt(root + "/" + name, ".it").c_str());
    const Outcome r = RunKlangheber({"--batch", Q(root)});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(testsupport::IsFaultlessSummary(r.err)) << r.err.toStdString();
    EXPECT_EQ(r.out.filter(kExtracted).size(), static_cast<int>(names.size()));
    for (const std::string& name : names)
        EXPECT_TRUE(Exists(platform::ChangeFileExt(root + "/" + name, ".it"))) << name;
}

TEST_F(HostileTree, NamesThatDifferOnlyInCaseNeverReplaceAModuleOfTheSameRun)
{
    // All three write "song.it". The module there from before the run is
    // replaced by the first package's; the second package stops the run
    // instead of replacing that one in turn.
    const std::string root = dir / "faelle";
    ::mkdir(root.c_str(), 0755);
    std::map<std::string, Bytes> packages;
    std::size_t at = 100;
    for (const std::string name : {"song.umx", "song.Umx", "song.UMX"}) {
        packages[root + "/" + name] = SmallPackage(1500 + at, at, "IMPM");
        WriteFile(root + "/" + name, packages[root + "/" + name]);
        at += 10;
    }
    WriteFile(root + "/song.it", std::string("frueher"));

    Run(root);

    ASSERT_EQ(form.ListBox1->count(), 3);
    EXPECT_EQ(form.ListBox1->currentRow(), 1);
    EXPECT_EQ(ErrorBox(), Q("Datei " + root + "/song.it wurde in diesem Lauf schon geschrieben."));
    EXPECT_EQ(form.StatusText(), kExtracting);
    const Bytes& first = packages[form.QueueEntry(0)];
    std::size_t start = 0;
    while (first[start] != 'I' || first[start + 1] != 'M')
        ++start;
    EXPECT_EQ(ReadFile(root + "/song.it"), Tail(first, start));
}

TEST_F(HostileTree, NamesThatDifferOnlyInCaseWithoutModuleNeverReplaceTheFirstScanCopy)
{
    const std::string root = dir / "zwillinge";
    ::mkdir(root.c_str(), 0755);
    const Bytes first = SmallPackage(900, 10, "EINS");
    WriteFile(root + "/song.UMX", first);
    WriteFile(root + "/song.umx", SmallPackage(1000, 10, "ZWEI"));
    Run(root);
    EXPECT_EQ(ErrorBox(), Q("Datei " + root + "/song.BAK wurde in diesem Lauf schon geschrieben."));
    EXPECT_EQ(ReadFile(root + "/song.BAK"), Bytes(first.begin(), first.begin() + 500));
}

TEST_F(HostileTree, FolderWithAwkwardNameIsFoundByTheCommandLine)
{
    // The folder's name reaches the program as raw bytes (printf in a shell:
    // Qt would pass arguments as UTF-8 only).
    const std::pair<const char*, std::string> folders[] = {{"-x", "-x"},
                                                           {"--batch", "--batch"},
                                                           {"leer zeichen", "leer zeichen"},
                                                           {"zeilen\\numbruch", "zeilen\numbruch"},
                                                           {"\\0377\\0376", "\xFF\xFE"},
                                                           {"a*b?", "a*b?"}};
    for (const auto& [escaped, folder] : folders) {
        SCOPED_TRACE(escaped);
        const std::string root = dir / folder;
        ASSERT_EQ(::mkdir(root.c_str(), 0755), 0);
        const Bytes song = SmallPackage(800, 64, "IMPM");
        WriteFile(root + "/a.umx", song);
        const Outcome r = RunProgram(QStringLiteral("sh"),
                                     {"-c", "exec \"$0\" --batch \"$1$(printf '%b' \"$2\")\" --pause 0", KlangheberPath(),
                                      Q(dir.Path()), QString::fromLatin1(escaped)});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(ReadFile(root + "/a.it"), Tail(song, 64));
    }
}

TEST_F(HostileTree, LinksPlantedUnderTheOutputNamesAreReplacedNotWrittenThrough)
{
    const std::string root = dir / "fallen";
    const std::string outside = dir / "draussen";
    ::mkdir(root.c_str(), 0755);
    ::mkdir(outside.c_str(), 0755);
    WriteFile(outside + "/opfer1", std::string("bleibt 1"));
    WriteFile(outside + "/opfer2", std::string("bleibt 2"));
    WriteFile(outside + "/opfer3", std::string("bleibt 3"));
    const Bytes withModule = SmallPackage(1500, 80, "IMPM");
    const Bytes withoutModule = SmallPackage(1500, 0, "");
    ::mkdir((root + "/a").c_str(), 0755);
    ::mkdir((root + "/a/b").c_str(), 0755);
    WriteFile(root + "/mit.umx", withModule);
    WriteFile(root + "/a/ohne.umx", withoutModule);
    ASSERT_EQ(::symlink((outside + "/opfer1").c_str(), (root + "/mit.BAK").c_str()), 0);
    ASSERT_EQ(::symlink((outside + "/opfer2").c_str(), (root + "/mit.it").c_str()), 0);
    ASSERT_EQ(::symlink((outside + "/opfer3").c_str(), (root + "/a/ohne.BAK").c_str()), 0);
    // The scan copy's and the module's names as links to the package itself:
    // written through, the package would be cut or overwritten.
    const Bytes self = SmallPackage(3000, 90, "IMPM");
    WriteFile(root + "/a/b/selbst.umx", self);
    ASSERT_EQ(::symlink("selbst.umx", (root + "/a/b/selbst.BAK").c_str()), 0);
    ASSERT_EQ(::symlink("selbst.umx", (root + "/a/b/selbst.it").c_str()), 0);
    const Tree outsideBefore = Snapshot(outside);

    Run(root);

    EXPECT_EQ(ErrorBox(), "");
    EXPECT_EQ(Snapshot(outside), outsideBefore);
    struct stat st {};
    ASSERT_EQ(::lstat((root + "/mit.it").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(ReadFile(root + "/mit.it"), Tail(withModule, 80));
    ASSERT_EQ(::lstat((root + "/a/ohne.BAK").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode)) << "the scan copy replaced the link";
    EXPECT_EQ(ReadFile(root + "/a/ohne.BAK"), Bytes(withoutModule.begin(), withoutModule.begin() + 500));
    EXPECT_EQ(ReadFile(root + "/a/b/selbst.umx"), self);
    EXPECT_EQ(ReadFile(root + "/a/b/selbst.it"), Tail(self, 90));
}

TEST_F(HostileTree, StaleScanCopyIsNeverSearchedInsteadOfThePackage)
{
    // A scan copy from an older version of the package (with a signature at
    // 0) stands beside it. Whatever happens to the new scan copy, the module
    // is taken from the package as it is now.
    const std::string root = dir / "alt";
    ::mkdir(root.c_str(), 0755);
    for (const std::string& name : {std::string("kurz"), std::string(246, 'N')}) {
        SCOPED_TRACE(name.size());
        const Bytes now = SmallPackage(3000, 260, "IMPM");
        WriteFile(root + "/" + name + ".umx", now);
        WriteFile(root + "/" + name + ".BAK", SmallPackage(500, 0, "IMPM"));
    }
    Run(root);
    EXPECT_EQ(ErrorBox(), "");
    for (const std::string& name : {std::string("kurz"), std::string(246, 'N')})
        EXPECT_EQ(ReadFile(root + "/" + name + ".it"), Tail(SmallPackage(3000, 260, "IMPM"), 260));
}

TEST_F(HostileTree, FolderNameWithASemicolonIsRefusedInsteadOfSearchingElsewhere)
{
    // SearchFile separates masks with ";": "x/a;b/*.umx" would search "x/"
    // for entries named "a" and then "x/b/". Neither may be touched.
    ::mkdir((dir / "a").c_str(), 0755);
    ::mkdir((dir / "b").c_str(), 0755);
    ::mkdir((dir / "a;b").c_str(), 0755);
    WriteFile(dir / "b/fremd.umx", SmallPackage(900, 10, "IMPM"));
    WriteFile(dir / "a;b/eigen.umx", SmallPackage(900, 10, "IMPM"));
    WriteFile(dir / "a/a", SmallPackage(900, 10, "IMPM"));
    const Tree before = Snapshot(dir.Path());

    Run(dir / "a;b");

    ASSERT_EQ(Boxes().boxes.size(), 1u);
    EXPECT_FALSE(Boxes().boxes[0].error);
    EXPECT_TRUE(Boxes().boxes[0].text.contains(QStringLiteral(";"))) << Boxes().boxes[0].text.toStdString();
    EXPECT_EQ(form.ListBox1->count(), 0);
    Tree after = Snapshot(dir.Path());
    EXPECT_EQ(after, before);
}

TEST_F(HostileTree, TenThousandPackagesInOneFolder)
{
    const std::string root = dir / "viele";
    ::mkdir(root.c_str(), 0755);
    constexpr int kCount = 10000;
    for (int i = 0; i < kCount; ++i)
        WriteFile(root + "/p" + std::to_string(i) + ".umx", SmallPackage(520 + i % 50, i % 400, "IMPM"));

    const Outcome r = RunKlangheber({"--batch", Q(root)}, {}, 900000);
    ASSERT_TRUE(r.finished) << "the run did not end";
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(testsupport::IsFaultlessSummary(r.err)) << r.err.left(2000).toStdString();
    EXPECT_EQ(r.out.size(), 4 * kCount);
    EXPECT_EQ(r.out.last(), QStringLiteral("[%1/%1] Daten erfolgreich extrahiert!").arg(kCount));
    const std::vector<std::string> names = ListDir(root);
    EXPECT_EQ(names.size(), 2u * kCount) << "packages and modules, no scan copies";
    for (int i = 0; i < kCount; i += 97) {
        const std::string base = root + "/p" + std::to_string(i);
        EXPECT_EQ(ReadFile(base + ".it"), Tail(SmallPackage(520 + i % 50, i % 400, "IMPM"), i % 400)) << i;
    }
}
