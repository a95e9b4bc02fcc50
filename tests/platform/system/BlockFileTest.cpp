// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/BlockFile.h"
#include "platform/system/Exceptions.h"

#include "FileSizeLimit.h"
#include "Pattern.h"
#include "TempDir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace platform;
using namespace testsupport;

TEST(BlockFile, ResetRefusesWhatIsNotARegularFileWithTheRightCode)
{
    TempDir dir;
    TUntypedFile missing(dir / "fehlt");
    EXPECT_EQ(IoErrorCodeOf([&] { missing.Reset(); }), 2);
    TUntypedFile folder(dir.Path());
    EXPECT_EQ(IoErrorCodeOf([&] { folder.Reset(TUntypedFile::Access::ReadOnly); }), 5);
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
    TUntypedFile fifo(dir / "fifo");  // must not block waiting for a writer
    EXPECT_EQ(IoErrorCodeOf([&] { fifo.Reset(TUntypedFile::Access::ReadOnly); }), 5);
    EXPECT_FALSE(fifo.IsOpen());
    TUntypedFile notDir(dir / "fehlt/x");
    EXPECT_EQ(IoErrorCodeOf([&] { notDir.Reset(); }), 2);
}

TEST(BlockFile, ReadsShortAtTheEndAndSeeksAnywhereButBelowZero)
{
    TempDir dir;
    WriteFile(dir / "f", "0123456789");
    TUntypedFile f(dir / "f");
    f.Reset(TUntypedFile::Access::ReadOnly);
    char buffer[8] = {};
    f.Seek(6);
    EXPECT_EQ(f.BlockRead(buffer, 8), 4);
    EXPECT_EQ(std::string(buffer, 4), "6789");
    EXPECT_EQ(f.BlockRead(buffer, 8), 0);
    f.Seek(1000);
    EXPECT_EQ(f.BlockRead(buffer, 8), 0);
    EXPECT_EQ(IoErrorCodeOf([&] { f.Seek(-1); }), 131);
    f.Close();
    EXPECT_EQ(IoErrorCodeOf([&] { f.BlockRead(buffer, 1); }), 103);
    EXPECT_STREQ(EInOutError(103).what(), "E/A-Fehler 103");
}

TEST(BlockFile, RewriteCreatesOrEmpties)
{
    TempDir dir;
    WriteFile(dir / "f", std::string(100, 'x'));
    TUntypedFile f(dir / "f");
    f.Rewrite();
    f.BlockWrite("abc", 3);
    f.Close();
    EXPECT_EQ(ReadFile(dir / "f"), Bytes({'a', 'b', 'c'}));
}

TEST(BlockFile, ReplacementAppearsOnlyOnClose)
{
    TempDir dir;
    WriteFile(dir / "ziel", "alt");
    {
        TUntypedFile f(dir / "ziel");
        f.RewriteReplacing();
        f.BlockWrite("neu!", 4);
        EXPECT_EQ(ReadFile(dir / "ziel"), Bytes({'a', 'l', 't'})) << "the old file stands until Close";
        f.Close();
    }
    EXPECT_EQ(ReadFile(dir / "ziel"), Bytes({'n', 'e', 'u', '!'}));
    EXPECT_EQ(ListDir(dir.Path()), std::vector<std::string> {"ziel"});
    struct stat st {};
    ASSERT_EQ(::stat((dir / "ziel").c_str(), &st), 0);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask) << "the mode a plain create gives";
}

TEST(BlockFile, AbandonedOrDestroyedReplacementLeavesNothingBehind)
{
    TempDir dir;
    WriteFile(dir / "ziel", "alt");
    TUntypedFile a(dir / "ziel");
    a.RewriteReplacing();
    a.BlockWrite("teil", 4);
    a.Abandon();
    EXPECT_FALSE(a.IsOpen());
    {
        TUntypedFile b(dir / "neu");
        b.RewriteReplacing();
        b.BlockWrite("teil", 4);
    }
    EXPECT_EQ(ListDir(dir.Path()), std::vector<std::string> {"ziel"});
    EXPECT_EQ(ReadFile(dir / "ziel"), Bytes({'a', 'l', 't'}));
}

TEST(BlockFile, WriteFailureRaisesDiskFullAndTheReplacementIsDropped)
{
    TempDir dir;
    WriteFile(dir / "ziel", "alt");
    int code = 0;
    {
        TUntypedFile f(dir / "ziel");
        f.RewriteReplacing();
        const std::string block(2048, 'x');
        FileSizeLimit limit(3000);
        ASSERT_TRUE(limit.Applied());
        code = IoErrorCodeOf([&] {
            f.BlockWrite(block.data(), 2048);
            f.BlockWrite(block.data(), 2048);
        });
    }
    EXPECT_EQ(code, 101);
    EXPECT_EQ(ListDir(dir.Path()), std::vector<std::string> {"ziel"});
    EXPECT_EQ(ReadFile(dir / "ziel"), Bytes({'a', 'l', 't'}));
}

TEST(BlockFile, ReplacementRefusesADirectoryAndAMissingFolder)
{
    TempDir dir;
    ASSERT_EQ(::mkdir((dir / "ordner").c_str(), 0755), 0);
    TUntypedFile f(dir / "ordner");
    EXPECT_EQ(IoErrorCodeOf([&] { f.RewriteReplacing(); }), 5);
    TUntypedFile g(dir / "fehlt/ziel");
    EXPECT_EQ(IoErrorCodeOf([&] { g.RewriteReplacing(); }), 2);
    EXPECT_EQ(ListDir(dir.Path()), std::vector<std::string> {"ordner"});
}

TEST(BlockFile, ReplacementWorksForTheLongestNameTheFolderTakes)
{
    TempDir dir;
    const std::string name(255, 'n');
    TUntypedFile f(dir / name);
    f.RewriteReplacing();
    f.BlockWrite("x", 1);
    f.Close();
    EXPECT_EQ(ListDir(dir.Path()), std::vector<std::string> {name});
}

TEST(BlockFile, CopyStopsShortAtTheSourceEndAndRaisesDiskFullWhenTheTargetIsFull)
{
    TempDir dir;
    const Bytes data = Pattern(40000);
    WriteFile(dir / "quelle", data);
    TUntypedFile source(dir / "quelle");
    source.Reset(TUntypedFile::Access::ReadOnly);
    source.Seek(1000);
    {
        TUntypedFile out(dir / "ziel");
        out.RewriteReplacing();
        EXPECT_EQ(out.BlockCopyFrom(source, 30000), 30000);
        EXPECT_EQ(out.BlockCopyFrom(source, 30000), 9000);
        EXPECT_EQ(out.BlockCopyFrom(source, 30000), 0);
        out.Close();
    }
    EXPECT_EQ(ReadFile(dir / "ziel"), Bytes(data.begin() + 1000, data.end()));

    source.Seek(0);
    int code = 0;
    {
        TUntypedFile out(dir / "ziel");
        out.RewriteReplacing();
        FileSizeLimit limit(10000);
        ASSERT_TRUE(limit.Applied());
        code = IoErrorCodeOf([&] { out.BlockCopyFrom(source, 30000); });
    }
    EXPECT_EQ(code, 101);
    EXPECT_EQ(ListDir(dir.Path()), (std::vector<std::string> {"quelle", "ziel"}));
    EXPECT_EQ(ReadFile(dir / "ziel"), Bytes(data.begin() + 1000, data.end()));
}

TEST(BlockFile, AReplacementCanReuseAFileThatIsToGo)
{
    TempDir dir;
    WriteFile(dir / "alt.bak", std::string(500, 'b'));
    struct stat before {};
    ASSERT_EQ(::stat((dir / "alt.bak").c_str(), &before), 0);
    {
        TUntypedFile out(dir / "neu");
        ASSERT_TRUE(out.TakeOver(dir / "alt.bak"));
        EXPECT_FALSE(Exists(dir / "alt.bak"));
        out.RewriteReplacing();
        out.BlockWrite("kurz", 4);
        out.Close();
    }
    // The same file under the new name, cut where the writes ended, with
    // the mode of a new file.
    struct stat after {};
    ASSERT_EQ(::stat((dir / "neu").c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(ReadFile(dir / "neu"), Bytes({'k', 'u', 'r', 'z'}));
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(after.st_mode & 0777, 0666 & ~mask);

    // Taken but never written: gone. A file with a second link is not taken.
    WriteFile(dir / "weg.bak", "x");
    { TUntypedFile(dir / "nie").TakeOver(dir / "weg.bak"); }
    ASSERT_EQ(::link((dir / "neu").c_str(), (dir / "zweiter").c_str()), 0);
    EXPECT_FALSE(TUntypedFile(dir / "x").TakeOver(dir / "neu"));
    EXPECT_EQ(ListDir(dir.Path()), (std::vector<std::string> {"neu", "zweiter"}));
}
