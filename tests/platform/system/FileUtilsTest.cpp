// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/FileUtils.h"

#include "TempDir.h"
#include "platform/system/FileIo.h"

#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace platform;
using namespace testsupport;

TEST(ChangeFileExt, WorksOnTheNamePartOnly)
{
    EXPECT_EQ(ChangeFileExt("/musik/lied.umx", ".it"), "/musik/lied.it");
    EXPECT_EQ(ChangeFileExt("/musik/lied", ".BAK"), "/musik/lied.BAK");
    EXPECT_EQ(ChangeFileExt("/alte.musik/lied", ".xm"), "/alte.musik/lied.xm");
    EXPECT_EQ(ChangeFileExt("/alte.musik/lied.v2.umx", ".s3m"), "/alte.musik/lied.v2.s3m");
    EXPECT_EQ(ChangeFileExt("/musik/.umx", ".it"), "/musik/.it");
    EXPECT_EQ(ChangeFileExt("/musik/lied.", ".it"), "/musik/lied.it");
    EXPECT_EQ(ChangeFileExt("lied.umx", ".it"), "lied.it");
    EXPECT_EQ(ChangeFileExt("a:b.umx", ".it"), "a:b.it");
    EXPECT_EQ(ChangeFileExt("/musik/", ".it"), "/musik/.it");
}

TEST(PathParts, SplitAtTheLastSlashOnly)
{
    EXPECT_EQ(ExtractFileName("/a/b:c/lied.umx"), "lied.umx");
    EXPECT_EQ(ExtractFilePath("/a/b:c/lied.umx"), "/a/b:c/");
    EXPECT_EQ(ExtractFileName("C:lied.umx"), "C:lied.umx");
    EXPECT_EQ(ExtractFilePath("lied.umx"), "");
    EXPECT_EQ(ExtractFileName("/a/"), "");
}

TEST(PathParts, CleanAndAbsolutePaths)
{
    EXPECT_EQ(CleanPath("//a///b//"), "/a/b");
    EXPECT_EQ(CleanPath("///"), "/");
    EXPECT_EQ(CleanPath("a/"), "a");
    EXPECT_EQ(AbsolutePath("/x//y/"), "/x/y");
    char cwd[4096];
    ASSERT_TRUE(::getcwd(cwd, sizeof cwd));
    EXPECT_EQ(AbsolutePath("a//b/"), CleanPath(std::string(cwd) + "/a/b"));
    EXPECT_EQ(AbsolutePath(""), CleanPath(cwd));
}

TEST(FileHelpers, ExistsAndDeleteTellFilesFromFolders)
{
    TempDir dir;
    WriteFile(dir / "f", "x");
    ASSERT_EQ(::mkdir((dir / "d").c_str(), 0755), 0);
    ASSERT_EQ(::symlink((dir / "f").c_str(), (dir / "link").c_str()), 0);
    EXPECT_TRUE(FileExists(dir / "f"));
    EXPECT_FALSE(FileExists(dir / "d"));
    EXPECT_FALSE(FileExists(dir / "fehlt"));
    EXPECT_TRUE(DirectoryExists(dir / "d"));
    EXPECT_FALSE(DirectoryExists(""));
    ASSERT_EQ(::symlink((dir / "fehlt").c_str(), (dir / "haengt").c_str()), 0);
    EXPECT_TRUE(PathExists(dir / "f") && PathExists(dir / "d") && PathExists(dir / "link"));
    EXPECT_FALSE(PathExists(dir / "haengt")) << "a dangling link names nothing";
    EXPECT_FALSE(PathExists(""));
    EXPECT_TRUE(DeleteFile(dir / "haengt"));
    EXPECT_FALSE(DeleteFile(dir / "d"));
    EXPECT_FALSE(DeleteFile(dir / "fehlt"));
    EXPECT_TRUE(DeleteFile(dir / "link"));  // the link, not its target
    EXPECT_TRUE(FileExists(dir / "f"));
    EXPECT_TRUE(DeleteFile(dir / "f"));
    EXPECT_EQ(ListDir(dir.Path()), std::vector<std::string> {"d"});
}

// The system calls raise the errno of a failure; removing what is not there
// and making a folder that is there need no change and are none.
TEST(SystemCalls, RaiseTheirErrnoAndTakeNoNeededChangeForAFailure)
{
    TempDir dir;
    WriteFile(dir / "f", "x");
    MakeFolderIfMissing(dir / "d");
    MakeFolderIfMissing(dir / "d");
    WriteFile(dir / "d/tief", "y");
    EXPECT_EQ(ErrnoOf([&] { RemoveIfPresent(dir / "d"); }), EISDIR);
    EXPECT_EQ(ErrnoOf([&] { RemoveIfPresent(dir / "fehlt"); }), 0);
    EXPECT_EQ(ErrnoOf([&] { MakeFolderIfMissing(dir / "fehlt/neu"); }), ENOENT);
    EXPECT_EQ(ErrnoOf([&] { EXPECT_FALSE(CreateExclusive(dir / "f").IsOpen()); }), EEXIST);
    EXPECT_EQ(ErrnoOf([&] { EXPECT_TRUE(ResolvedPath(dir / "fehlt").empty()); }), ENOENT);
    EXPECT_EQ(StatusIn(kCurrentFolder, dir / "d").directory, true);
    RemoveIfPresent(dir / "f");
    RemoveTree(dir / "d");
    EXPECT_TRUE(ListDir(dir.Path()).empty());
}

TEST(CopyFile, CopiesLargeFilesCompletelyAndTruncatesTheDestination)
{
    TempDir dir;
    Bytes big(5 * 1024 * 1024 + 123);
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<std::uint8_t>(i * 7 + i / 4099);
    WriteFile(dir / "gross", big);
    WriteFile(dir / "kopie", Bytes(big.size() + 5000, 0xEE));
    ASSERT_TRUE(CopyFile(dir / "gross", dir / "kopie"));
    EXPECT_EQ(ReadFile(dir / "kopie"), big);
    ASSERT_TRUE(CopyFile(dir / "gross", dir / "neu"));
    EXPECT_EQ(ReadFile(dir / "neu"), big);
}

TEST(CopyFileInto, LeavesExactlyTheFilesBytesWhateverTheDescriptorHeld)
{
    TempDir dir;
    WriteFile(dir / "kurz", "kurz");
    WriteFile(dir / "lang", Bytes(70000, 0x5A));
    WriteFile(dir / "leer", Bytes());
    const int fd = ::open((dir / "ziel").c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(CopyFileInto(dir / "lang", fd));
    EXPECT_EQ(ReadFile(dir / "ziel"), Bytes(70000, 0x5A));
    ASSERT_TRUE(CopyFileInto(dir / "kurz", fd)) << "a longer content is cut to the file's length";
    EXPECT_EQ(ReadFile(dir / "ziel"), Bytes({'k', 'u', 'r', 'z'}));
    ASSERT_TRUE(CopyFileInto(dir / "leer", fd));
    EXPECT_EQ(ReadFile(dir / "ziel"), Bytes());
    EXPECT_FALSE(CopyFileInto(dir / "fehlt", fd));
    ::close(fd);
}

TEST(CopyFile, NeverWritesThroughASymbolicLink)
{
    TempDir dir;
    WriteFile(dir / "quelle", "neuer Inhalt");
    WriteFile(dir / "opfer", "bleibt");
    ASSERT_EQ(::symlink((dir / "opfer").c_str(), (dir / "link").c_str()), 0);
    ASSERT_EQ(::symlink((dir / "nirgends").c_str(), (dir / "haengt").c_str()), 0);
    EXPECT_FALSE(CopyFile(dir / "quelle", dir / "link"));
    EXPECT_FALSE(CopyFile(dir / "quelle", dir / "haengt"));
    EXPECT_EQ(ReadFile(dir / "opfer"), Bytes({'b', 'l', 'e', 'i', 'b', 't'}));
    EXPECT_FALSE(Exists(dir / "nirgends"));
}

TEST(CopyFile, RefusesWhatIsNotARegularFileWithoutBlocking)
{
    TempDir dir;
    WriteFile(dir / "f", "inhalt");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
    EXPECT_FALSE(CopyFile(dir / "fifo", dir / "a"));
    EXPECT_FALSE(CopyFile(dir.Path(), dir / "b"));
    EXPECT_FALSE(CopyFile(dir / "fehlt", dir / "c"));
    EXPECT_FALSE(CopyFile(dir / "f", dir / "fifo"));
    EXPECT_FALSE(CopyFile(dir / "f", dir / "f")) << "a copy onto itself would empty the file";
    EXPECT_EQ(ReadFile(dir / "f"), Bytes({'i', 'n', 'h', 'a', 'l', 't'}));
    EXPECT_FALSE(CanOpenForReading(dir / "fifo"));
    EXPECT_TRUE(CanOpenForReading(dir / "f"));
}

TEST(TempPath, FollowsTmpdirWhenItIsAFolder)
{
    TempDir dir;
    const char* saved = std::getenv("TMPDIR");
    const std::string keep = saved ? saved : "";
    ::setenv("TMPDIR", dir.Path().c_str(), 1);
    EXPECT_EQ(GetTempPath(), dir.Path());
    const std::string noSlash = dir.Path().substr(0, dir.Path().size() - 1);
    ::setenv("TMPDIR", noSlash.c_str(), 1);
    EXPECT_EQ(GetTempPath(), dir.Path());
    ::setenv("TMPDIR", (dir / "fehlt").c_str(), 1);
    EXPECT_EQ(GetTempPath(), "/tmp/");
    if (saved)
        ::setenv("TMPDIR", keep.c_str(), 1);
    else
        ::unsetenv("TMPDIR");
}
