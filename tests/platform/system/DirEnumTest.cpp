// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/DirEnum.h"

#include "TempDir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

using namespace platform;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

// Every entry the enumeration delivers for path, by name.
std::map<std::string, TSearchRec> Enumerate(const std::string& path, int attr = faAnyFile)
{
    std::map<std::string, TSearchRec> found;
    TSearchRec rec;
    for (int rc = FindFirst(path, attr, rec); rc == 0; rc = FindNext(rec))
        found[rec.Name] = rec;
    FindClose(rec);
    return found;
}

std::vector<std::string> Names(const std::map<std::string, TSearchRec>& entries)
{
    std::vector<std::string> names;
    for (const auto& [name, rec] : entries)
        names.push_back(name);
    return names;
}

}  // namespace

TEST(MatchesMask, WildcardsAndAsciiCase)
{
    EXPECT_TRUE(MatchesMask("song.umx", "*.umx"));
    EXPECT_TRUE(MatchesMask("SONG.UMX", "*.umx"));
    EXPECT_TRUE(MatchesMask(".UMX", "*.umx"));
    EXPECT_FALSE(MatchesMask("song.umxx", "*.umx"));
    EXPECT_FALSE(MatchesMask("song.um", "*.umx"));
    EXPECT_TRUE(MatchesMask("a.b.umx", "*.umx"));
    EXPECT_TRUE(MatchesMask("abc", "a?c"));
    EXPECT_FALSE(MatchesMask("ac", "a?c"));
    EXPECT_TRUE(MatchesMask("axxbyyc", "a*b*c"));
    EXPECT_FALSE(MatchesMask("axxbyy", "a*b*c"));
    EXPECT_TRUE(MatchesMask("README", "readme"));
    // "*.*" matches every name, also one without a dot.
    EXPECT_TRUE(MatchesMask("noext", "*.*"));
    EXPECT_TRUE(MatchesMask(".", "*.*"));
    // Case folding is ASCII only: bytes above 0x7F compare exactly.
    EXPECT_FALSE(MatchesMask("\xc3\x84.umx", "\xc3\xa4.umx"));
    EXPECT_FALSE(MatchesMask("x", ""));
}

TEST(DirEnum, DeliversEveryEntryWithItsAttributes)
{
    TempDir dir;
    WriteFile(dir / "plain.txt", std::string(1234, 'x'));
    WriteFile(dir / ".hidden", "h");
    WriteFile(dir / "locked", "r");
    ::chmod((dir / "locked").c_str(), 0444);
    ASSERT_EQ(::mkdir((dir / "sub").c_str(), 0755), 0);
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0644), 0);
    timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (dir / "plain.txt").c_str(), times, 0), 0);

    const auto all = Enumerate(dir.Path() + "*.*");
    EXPECT_EQ(Names(all), (std::vector<std::string>{".", "..", ".hidden", "locked", "pipe", "plain.txt", "sub"}));
    EXPECT_EQ(all.at("plain.txt").Attr, faArchive);
    EXPECT_EQ(all.at("plain.txt").Size, 1234);
    EXPECT_EQ(all.at("plain.txt").Time, 1000000000);
    EXPECT_EQ(all.at(".hidden").Attr, faArchive | faHidden);
    EXPECT_EQ(all.at("locked").Attr, faArchive | faReadOnly);
    EXPECT_EQ(all.at("sub").Attr & faDirectory, faDirectory);
    EXPECT_EQ(all.at(".").Attr & (faDirectory | faHidden), faDirectory);
    EXPECT_EQ(all.at("..").Attr & (faDirectory | faHidden), faDirectory);
    // A FIFO is delivered (and never opened): neither directory nor archive.
    EXPECT_EQ(all.at("pipe").Attr & (faDirectory | faArchive), 0);
    for (const auto& [name, rec] : all)
        EXPECT_EQ(rec.Attr & (faSysFile | faVolumeID), 0) << name;
}

TEST(DirEnum, AttributeMaskLeavesOutHiddenAndDirectories)
{
    TempDir dir;
    WriteFile(dir / "a.umx", "a");
    WriteFile(dir / ".b.umx", "b");
    ASSERT_EQ(::mkdir((dir / "c.umx").c_str(), 0755), 0);

    EXPECT_EQ(Names(Enumerate(dir.Path() + "*.umx", 0)), (std::vector<std::string>{"a.umx"}));
    EXPECT_EQ(Names(Enumerate(dir.Path() + "*.umx", faHidden)), (std::vector<std::string>{".b.umx", "a.umx"}));
    EXPECT_EQ(Names(Enumerate(dir.Path() + "*.umx", faDirectory)), (std::vector<std::string>{"a.umx", "c.umx"}));
    // Read-only and archive are not filtering bits.
    EXPECT_EQ(Names(Enumerate(dir.Path() + "*.umx", faReadOnly)), (std::vector<std::string>{"a.umx"}));
}

TEST(DirEnum, SizeIsSixtyFourBit)
{
    TempDir dir;
    const int fd = ::open((dir / "big").c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    const off_t size = (off_t{5} << 30) + 7;  // sparse, 5 GiB + 7
    const bool sized = ::ftruncate(fd, size) == 0;
    ::close(fd);
    if (!sized)
        GTEST_SKIP() << "file system refuses a 5 GiB sparse file";
    EXPECT_EQ(Enumerate(dir / "big").at("big").Size, size);
}

TEST(DirEnum, SymbolicLinksFollowedForTypeAndMarked)
{
    TempDir dir;
    ASSERT_EQ(::mkdir((dir / "real").c_str(), 0755), 0);
    WriteFile(dir / "file", "12345");
    ASSERT_EQ(::symlink("real", (dir / "dirlink").c_str()), 0);
    ASSERT_EQ(::symlink("file", (dir / "filelink").c_str()), 0);
    ASSERT_EQ(::symlink("nowhere", (dir / "dangling").c_str()), 0);

    const auto all = Enumerate(dir.Path() + "*");
    EXPECT_FALSE(all.at("real").SymLink);
    EXPECT_TRUE(all.at("dirlink").SymLink);
    EXPECT_EQ(all.at("dirlink").Attr & faDirectory, faDirectory);
    EXPECT_TRUE(all.at("filelink").SymLink);
    EXPECT_EQ(all.at("filelink").Attr, faArchive);
    EXPECT_EQ(all.at("filelink").Size, 5);
    EXPECT_TRUE(all.at("dangling").SymLink);
    EXPECT_EQ(all.at("dangling").Attr & faDirectory, 0);
}

TEST(DirEnum, ResultCodesAndHandles)
{
    TempDir dir;
    WriteFile(dir / "one.txt", "1");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
    TSearchRec rec;
    rec.Name = "stale";

    EXPECT_EQ(FindFirst(dir / "missing/*.*", faAnyFile, rec), 2);
    EXPECT_EQ(rec.Name, "");
    EXPECT_FALSE(rec.FindHandle.IsOpen());
    // A file or a FIFO as the folder fails at once instead of blocking.
    EXPECT_NE(FindFirst(dir / "one.txt/*.*", faAnyFile, rec), 0);
    EXPECT_NE(FindFirst(dir / "fifo/*.*", faAnyFile, rec), 0);
    EXPECT_EQ(FindFirst(dir / "*.xyz", faAnyFile, rec), feFileNotFound);
    EXPECT_EQ(FindFirst(dir.Path(), faAnyFile, rec), feFileNotFound);

    // A name without wildcards matches without regard to case as well.
    ASSERT_EQ(FindFirst(dir / "ONE.TXT", faAnyFile, rec), 0);
    EXPECT_EQ(rec.Name, "one.txt");
    EXPECT_TRUE(rec.FindHandle.IsOpen());
    // A copy carries the entry but not the open enumeration.
    TSearchRec copy = rec;
    EXPECT_EQ(copy.Name, "one.txt");
    EXPECT_FALSE(copy.FindHandle.IsOpen());
    EXPECT_EQ(FindNext(rec), feNoMoreFiles);
    EXPECT_EQ(FindNext(rec), feNoMoreFiles);
    FindClose(rec);
    FindClose(rec);
    EXPECT_FALSE(rec.FindHandle.IsOpen());
    EXPECT_EQ(FindNext(rec), feNoMoreFiles);

    // The folder's own entry, looked up by its name.
    const std::string folder = dir.Path().substr(0, dir.Path().size() - 1);
    ASSERT_EQ(FindFirst(folder, faAnyFile, rec), 0);
    EXPECT_EQ(rec.Name, folder.substr(folder.rfind('/') + 1));
    EXPECT_EQ(rec.Attr & faDirectory, faDirectory);
    FindClose(rec);
}

TEST(DirEnum, EmptyFolderPartIsTheCurrentDirectory)
{
    TempDir dir;
    WriteFile(dir / "here.umx", "x");
    char saved[4096];
    ASSERT_NE(::getcwd(saved, sizeof saved), nullptr);
    ASSERT_EQ(::chdir(dir.Path().c_str()), 0);
    const auto found = Names(Enumerate("*.umx"));
    EXPECT_EQ(::chdir(saved), 0);
    EXPECT_EQ(found, (std::vector<std::string>{"here.umx"}));
}

TEST(DirEnum, DeliversEntriesSortedByNameWithoutRegardToCase)
{
    TempDir dir;
    // Byte order would give "B", "Zeta", "_x", "a", "a", "b" ...: upper case first.
    for (const char* name : {"b.umx", "Zeta", "a.umx", "A.umx", "_x", "B", "\xc3\xa4.umx", "ab"})
        WriteFile(dir / name, "x");
    std::vector<std::string> order;
    TSearchRec rec;
    for (int rc = FindFirst(dir / "*", faAnyFile, rec); rc == 0; rc = FindNext(rec))
        order.push_back(rec.Name);
    FindClose(rec);
    EXPECT_EQ(order, (std::vector<std::string> {".", "..", "_x", "A.umx", "a.umx", "ab", "B", "b.umx", "Zeta",
                                                "\xc3\xa4.umx"}));
}
