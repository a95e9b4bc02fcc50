// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileSearchProbe.h"

#include "TempDir.h"
#include "platform/system/Exceptions.h"

#include <QMetaObject>
#include <QTimer>
#include <algorithm>
#include <dirent.h>
#include <gtest/gtest.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

using platform::TSearchRec;
using testsupport::FileSearchProbe;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

void MakeDir(const std::string& path)
{
    ASSERT_EQ(::mkdir(path.c_str(), 0755), 0) << path;
}

// Names of a folder's entries in the order readdir delivers them.
std::vector<std::string> ReaddirOrder(const std::string& path)
{
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(path.c_str())) {
        while (dirent* e = ::readdir(dir))
            names.push_back(e->d_name);
        ::closedir(dir);
    }
    return names;
}

std::size_t OpenDescriptors()
{
    return ReaddirOrder("/proc/self/fd").size();
}

// Records every event of a search as one line: "C path|name" for a folder
// entered, "F path|name" for a match, "E" for the end.
struct Recorder {
    explicit Recorder(TFileSearch& search, bool withFileFind = true)
    {
        search.OnChangeFolder = [this](const std::string& path, const TSearchRec& info) {
            log.push_back("C " + path + "|" + info.Name);
            infos.push_back(info);
        };
        if (withFileFind)
            search.OnFileFind = [this](const std::string& path, const TSearchRec& info) {
                log.push_back("F " + path + "|" + info.Name);
                infos.push_back(info);
            };
        search.OnFinish = [this, &search](QObject* sender) {
            log.push_back("E");
            EXPECT_EQ(sender, &search);
        };
    }
    std::vector<std::string> log;
    std::vector<TSearchRec> infos;

    std::size_t Count(char kind) const
    {
        return std::count_if(log.begin(), log.end(), [kind](const std::string& s) { return s[0] == kind; });
    }
};

std::set<std::string> AsSet(const std::vector<std::string>& v)
{
    return {v.begin(), v.end()};
}

// Changes into a folder for the lifetime of the object.
class CurrentDirectory {
public:
    explicit CurrentDirectory(const std::string& path)
    {
        char buf[4096];
        if (::getcwd(buf, sizeof buf))
            saved_ = buf;
        EXPECT_EQ(::chdir(path.c_str()), 0);
    }
    ~CurrentDirectory() { EXPECT_EQ(::chdir(saved_.c_str()), 0); }

private:
    std::string saved_;
};

std::string TopName(const TempDir& dir)
{
    const std::string& p = dir.Path();
    const std::string noSlash = p.substr(0, p.size() - 1);
    return noSlash.substr(noSlash.rfind('/') + 1);
}

}  // namespace

TEST(FileSearchWalk, EventsComeDepthFirstWithMatchesBeforeSubFolders)
{
    TempDir dir;
    const std::string m = dir.Path();
    WriteFile(m + "a.umx", "a");
    WriteFile(m + "notes.txt", "n");
    MakeDir(m + "s");
    WriteFile(m + "s/b.umx", "b");
    MakeDir(m + "t");

    FileSearchProbe search;
    EXPECT_TRUE(search.RecurseSubFolders());
    EXPECT_FALSE(search.Stop());
    search.SetSearchFile(m + "*.umx");
    Recorder rec(search);
    search.Search();

    // Sub-folders come in name order.
    const std::vector<std::string> expected = {"C " + m + "|" + TopName(dir), "F " + m + "|a.umx",
                                               "C " + m + "s/|s",           "F " + m + "s/|b.umx",
                                               "C " + m + "t/|t",           "E"};
    EXPECT_EQ(rec.log, expected);
    EXPECT_EQ(search.FilesFound(), (std::vector<std::string>{m + "a.umx", m + "s/b.umx"}));
    // The folder infos are the folders' own entries.
    for (const TSearchRec& info : rec.infos) {
        if (info.Name == "s" || info.Name == "t" || info.Name == TopName(dir)) {
            EXPECT_EQ(info.Attr & platform::faDirectory, platform::faDirectory);
        }
    }

    // A second search starts afresh.
    search.SetSearchFile(m + "*.none");
    search.Search();
    EXPECT_TRUE(search.FilesFound().empty());
}

TEST(FileSearchWalk, DeepTreeReportsEachFolderBeforeItsChildren)
{
    TempDir dir;
    // One entry per folder level, so the order is fixed whatever readdir does.
    std::string path = dir.Path();
    std::vector<std::string> expected;
    for (int level = 0; level < 6; ++level) {
        WriteFile(path + "f" + std::to_string(level) + ".umx", "x");
        expected.push_back(path + "f" + std::to_string(level) + ".umx");
        path += "d/";
        MakeDir(path.substr(0, path.size() - 1));
    }
    FileSearchProbe search;
    search.SetSearchFile(dir.Path() + "*.umx");
    Recorder rec(search);
    search.Search();
    EXPECT_EQ(search.FilesFound(), expected);
    EXPECT_EQ(rec.Count('C'), 7u);
}

TEST(FileSearchMasks, PiecesAreRelativeToThePreviousFolderPart)
{
    EXPECT_EQ(FileSearchProbe::SplitMasks("/m/*.umx"), (std::vector<std::string>{"/m/*.umx"}));
    EXPECT_EQ(FileSearchProbe::SplitMasks("/m/*.umx;sub/*.it;*.xm"),
              (std::vector<std::string>{"/m/*.umx", "/m/sub/*.it", "/m/sub/*.xm"}));
    EXPECT_EQ(FileSearchProbe::SplitMasks("/m/*.umx;"), (std::vector<std::string>{"/m/*.umx"}));
    EXPECT_EQ(FileSearchProbe::SplitMasks("/m/*.umx;*.xm;"), (std::vector<std::string>{"/m/*.umx", "/m/*.xm"}));
    EXPECT_EQ(FileSearchProbe::SplitMasks("*.umx;a/*.it"), (std::vector<std::string>{"*.umx", "a/*.it"}));
    EXPECT_EQ(FileSearchProbe::SplitMasks(""), (std::vector<std::string>{""}));
}

TEST(FileSearchMasks, ThreePiecesWalkTheirFolders)
{
    TempDir dir;
    const std::string m = dir.Path();
    WriteFile(m + "top.umx", "u");
    WriteFile(m + "top.xm", "x");  // outside the folder of the .xm piece
    MakeDir(m + "sub");
    WriteFile(m + "sub/one.it", "i");
    WriteFile(m + "sub/two.xm", "x");
    MakeDir(m + "sub/deep");
    WriteFile(m + "sub/deep/three.xm", "x");

    FileSearchProbe search;
    search.SetSearchFile(m + "*.umx;sub/*.it;*.xm");
    Recorder rec(search);
    search.Search();
    const auto& found = search.FilesFound();
    ASSERT_EQ(found.size(), 4u);
    EXPECT_EQ(found[0], m + "top.umx");
    EXPECT_EQ(found[1], m + "sub/one.it");
    EXPECT_EQ(AsSet({found[2], found[3]}), AsSet({m + "sub/two.xm", m + "sub/deep/three.xm"}));
    // Each piece walks its own tree: m (with sub and deep), then sub twice.
    EXPECT_EQ(rec.Count('C'), 3u + 2u + 2u);
    EXPECT_EQ(rec.Count('E'), 1u);
}

TEST(FileSearchMasks, PieceWithoutFolderWalksTheTreeAgain)
{
    TempDir dir;
    const std::string m = dir.Path();
    WriteFile(m + "a.umx", "u");
    MakeDir(m + "s");
    WriteFile(m + "s/b.xm", "x");
    WriteFile(m + "s/c.umx", "u");

    FileSearchProbe search;
    search.SetSearchFile(m + "*.umx;*.xm;");
    Recorder rec(search);
    search.Search();
    EXPECT_EQ(search.FilesFound(), (std::vector<std::string>{m + "a.umx", m + "s/c.umx", m + "s/b.xm"}));
    EXPECT_EQ(rec.Count('C'), 4u);
}

TEST(FileSearchMasks, EmptyFolderPartWalksTheCurrentDirectory)
{
    TempDir dir;
    WriteFile(dir / "a.umx", "a");
    MakeDir(dir / "sub");
    WriteFile(dir / "sub/b.umx", "b");

    FileSearchProbe search;
    search.SetSearchFile("*.umx");
    Recorder rec(search);
    {
        CurrentDirectory cd(dir.Path());
        search.Search();
    }
    EXPECT_EQ(rec.log, (std::vector<std::string>{"C |", "F |a.umx", "C sub/|sub", "F sub/|b.umx", "E"}));
    EXPECT_EQ(search.FilesFound(), (std::vector<std::string>{"a.umx", "sub/b.umx"}));
}

TEST(FileSearchProperties, SearchFileIsCutTo255Characters)
{
    FileSearchProbe search;
    EXPECT_EQ(search.SearchFile(), "");
    search.SetSearchFile(std::string(300, 'a'));
    EXPECT_EQ(search.SearchFile(), std::string(255, 'a'));
    search.SetSearchFile(std::string(255, 'b'));
    EXPECT_EQ(search.SearchFile(), std::string(255, 'b'));
}

TEST(FileSearchStop, StopInOnFileFindEndsTheWalk)
{
    TempDir dir;
    const std::string m = dir.Path();
    for (const char* name : {"1.umx", "2.umx", "3.umx"})
        WriteFile(m + name, "x");
    MakeDir(m + "s");
    WriteFile(m + "s/4.umx", "x");

    FileSearchProbe search;
    search.SetSearchFile(m + "*.umx;s/*.umx;*.umx");
    Recorder rec(search);
    search.OnFileFind = [&](const std::string& path, const TSearchRec& info) {
        rec.log.push_back("F " + path + "|" + info.Name);
        search.SetStop(true);
    };
    search.Search();
    EXPECT_EQ(search.FilesFound().size(), 1u);
    EXPECT_EQ(rec.Count('F'), 1u);
    // One folder event per mask, for its top folder only, then the end.
    EXPECT_EQ(rec.Count('C'), 3u);
    EXPECT_EQ(rec.log.back(), "E");
    EXPECT_TRUE(search.Stop());
    // The next search clears the stop.
    search.OnFileFind = nullptr;
    search.Search();
    EXPECT_FALSE(search.Stop());
}

TEST(FileSearchStop, StopFromAPendingEventDuringTheWalk)
{
    TempDir dir;
    for (int i = 0; i < 20; ++i)
        WriteFile(dir / ("f" + std::to_string(i) + ".umx"), "x");

    FileSearchProbe search;
    search.SetSearchFile(dir / "*.umx");
    Recorder rec(search);
    // Queued before the search starts, so it runs when the walk first lets
    // pending events through: after the first match.
    QMetaObject::invokeMethod(&search, [&search] { search.SetStop(true); }, Qt::QueuedConnection);
    search.Search();
    EXPECT_EQ(search.FilesFound().size(), 1u);
    EXPECT_EQ(rec.log.back(), "E");
}

TEST(FileSearchOptions, WithoutRecursionOnlyTheTopFolder)
{
    TempDir dir;
    WriteFile(dir / "a.umx", "a");
    MakeDir(dir / "s");
    WriteFile(dir / "s/b.umx", "b");

    FileSearchProbe search;
    search.SetRecurseSubFolders(false);
    search.SetSearchFile(dir / "*.umx");
    Recorder rec(search);
    search.Search();
    EXPECT_EQ(search.FilesFound(), (std::vector<std::string>{dir / "a.umx"}));
    EXPECT_EQ(rec.Count('C'), 1u);
}

TEST(FileSearchOptions, WithoutOnFileFindNothingIsCollected)
{
    TempDir dir;
    WriteFile(dir / "a.umx", "a");
    MakeDir(dir / "s");
    WriteFile(dir / "s/b.umx", "b");

    FileSearchProbe search;
    search.SetSearchFile(dir / "*.umx");
    Recorder rec(search, false);
    search.Search();
    EXPECT_TRUE(search.FilesFound().empty());
    // The walk itself still runs.
    EXPECT_EQ(rec.Count('C'), 2u);
    EXPECT_EQ(rec.log.back(), "E");
}

TEST(FileSearchEntries, MatchingSubFolderIsReportedAndEntered)
{
    TempDir dir;
    MakeDir(dir / "music.umx");
    WriteFile(dir / "music.umx/inner.umx", "x");

    FileSearchProbe search;
    search.SetSearchFile(dir / "*.umx");
    Recorder rec(search);
    search.Search();
    EXPECT_EQ(search.FilesFound(), (std::vector<std::string>{dir / "music.umx", dir / "music.umx/inner.umx"}));
    EXPECT_EQ(rec.infos[1].Name, "music.umx");
    EXPECT_EQ(rec.infos[1].Attr & platform::faDirectory, platform::faDirectory);
}

TEST(FileSearchEntries, DotEntriesAreNeverReportedNorEntered)
{
    TempDir dir;
    WriteFile(dir / "x", "x");
    MakeDir(dir / "s");

    FileSearchProbe search;
    search.SetSearchFile(dir / "*");
    Recorder rec(search);
    search.Search();
    EXPECT_EQ(AsSet(search.FilesFound()), AsSet({dir / "x", dir / "s", dir / "s"}));
    EXPECT_EQ(search.FilesFound().size(), 2u);
    EXPECT_EQ(rec.Count('C'), 2u);
    for (const std::string& line : rec.log)
        EXPECT_EQ(line.find("/./"), std::string::npos) << line;
}

TEST(FileSearchEntries, UpperCaseHiddenAndSpecialEntriesAreFound)
{
    TempDir dir;
    WriteFile(dir / "LOUD.UMX", "x");
    WriteFile(dir / ".UMX", "x");
    WriteFile(dir / ".hidden.umx", "x");
    MakeDir(dir / ".hiddendir");
    WriteFile(dir / ".hiddendir/c.umx", "x");
    // A FIFO that matches is reported; nothing ever opens it.
    ASSERT_EQ(::mkfifo((dir / "pipe.umx").c_str(), 0644), 0);
    WriteFile(dir / "other.txt", "x");

    FileSearchProbe search;
    search.SetSearchFile(dir / "*.umx");
    Recorder rec(search);
    search.Search();
    EXPECT_EQ(AsSet(search.FilesFound()),
              AsSet({dir / "LOUD.UMX", dir / ".UMX", dir / ".hidden.umx", dir / ".hiddendir/c.umx", dir / "pipe.umx"}));
}

TEST(FileSearchFailures, FolderThatCannotBeEnumeratedIsSkipped)
{
    TempDir dir;
    MakeDir(dir / "a");
    MakeDir(dir / "gone");
    MakeDir(dir / "z");
    WriteFile(dir / "a/1.umx", "x");
    WriteFile(dir / "z/2.umx", "x");

    FileSearchProbe search;
    search.SetSearchFile(dir / "*.umx");
    Recorder rec(search);
    // The folder disappears between its enumeration as an entry and its walk.
    auto log = search.OnChangeFolder;
    search.OnChangeFolder = [&](const std::string& path, const TSearchRec& info) {
        log(path, info);
        if (info.Name == "gone")
            ::rmdir(path.c_str());
    };
    search.Search();
    EXPECT_EQ(AsSet(search.FilesFound()), AsSet({dir / "a/1.umx", dir / "z/2.umx"}));
    EXPECT_EQ(rec.Count('C'), 4u);
    EXPECT_EQ(rec.log.back(), "E");
    EXPECT_TRUE(testsupport::Boxes().boxes.empty());

    // A file or a missing folder as the top folder: one folder event, then the end.
    WriteFile(dir / "file", "x");
    rec.log.clear();
    search.SetSearchFile(dir / "file/*.umx");
    search.Search();
    EXPECT_EQ(rec.log, (std::vector<std::string>{"C " + dir / "file/|file", "E"}));
    rec.log.clear();
    search.SetSearchFile(dir / "missing/*.umx");
    search.Search();
    // The failed lookup of the top folder leaves its info without a name.
    EXPECT_EQ(rec.log, (std::vector<std::string>{"C " + dir / "missing/|", "E"}));
}

TEST(FileSearchFailures, FolderWithoutPermissionIsSkipped)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "permission bits do not stop root";
    TempDir dir;
    MakeDir(dir / "closed");
    WriteFile(dir / "closed/hidden.umx", "x");
    WriteFile(dir / "open.umx", "x");
    ::chmod((dir / "closed").c_str(), 0);
    FileSearchProbe search;
    search.SetSearchFile(dir / "*.umx");
    Recorder rec(search);
    search.Search();
    EXPECT_EQ(search.FilesFound(), (std::vector<std::string>{dir / "open.umx"}));
    EXPECT_EQ(rec.log.back(), "E");
}

TEST(FileSearchFailures, SymbolicLinkLoopTerminates)
{
    TempDir dir;
    MakeDir(dir / "a");
    WriteFile(dir / "a/x.umx", "x");
    ASSERT_EQ(::symlink("..", (dir / "a/up").c_str()), 0);
    ASSERT_EQ(::symlink(dir.Path().c_str(), (dir / "a/top").c_str()), 0);
    // A linked folder whose name matches is reported, never entered.
    ASSERT_EQ(::symlink("a", (dir / "linked.umx").c_str()), 0);

    FileSearchProbe search;
    search.SetSearchFile(dir / "*.umx");
    Recorder rec(search);
    // Should the walk follow the links, end it early so the test fails
    // rather than hangs.
    auto log = search.OnChangeFolder;
    search.OnChangeFolder = [&](const std::string& path, const TSearchRec& info) {
        log(path, info);
        if (rec.Count('C') > 50)
            search.SetStop(true);
    };
    search.Search();
    EXPECT_EQ(AsSet(search.FilesFound()), AsSet({dir / "a/x.umx", dir / "linked.umx"}));
    EXPECT_EQ(search.FilesFound().size(), 2u);
    EXPECT_EQ(rec.Count('C'), 2u);
}

TEST(FileSearchFailures, HandlerExceptionLeavesNoFolderOpen)
{
    TempDir dir;
    std::string path = dir.Path();
    for (int i = 0; i < 4; ++i) {
        path += "d/";
        MakeDir(path);
    }
    WriteFile(path + "deep.umx", "x");

    FileSearchProbe search;
    search.SetSearchFile(dir / "*.umx");
    search.OnFileFind = [](const std::string&, const TSearchRec&) { throw platform::Exception("boom"); };
    const std::size_t before = OpenDescriptors();
    EXPECT_THROW(search.Search(), platform::Exception);
    EXPECT_EQ(OpenDescriptors(), before);
}

TEST(FileSearchWalk, SkippedFolderIsNeverEntered)
{
    TempDir dir;
    const std::string m = dir.Path();
    MakeDir(m + "out");
    MakeDir(m + "out/deeper");
    WriteFile(m + "out/deeper/x.umx", "x");
    WriteFile(m + "y.umx", "y");
    struct stat st {};
    ASSERT_EQ(::stat((m + "out").c_str(), &st), 0);

    FileSearchProbe search;
    search.SetSkippedFolder(platform::FileIdOf(st));
    search.SetSearchFile(m + "*.umx");
    Recorder rec(search);
    search.Search();
    EXPECT_EQ(rec.log, (std::vector<std::string> {"C " + m + "|" + TopName(dir), "F " + m + "|y.umx", "E"}));
}
