// SPDX-License-Identifier: GPL-3.0-or-later
// The write-beside-then-rename helper on its own; the block file and the byte
// editor's save test it through their callers as well.
#include "platform/system/ReplacingFile.h"

#include "TempDir.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace platform;
using namespace testsupport;

TEST(ReplacingFile, TheTemporaryIsHiddenBesideTheTargetUntilCommit)
{
    TempDir dir;
    WriteFile(dir / "ziel", "alt");
    ReplacingFile file;
    ASSERT_TRUE(file.Create(dir / "ziel"));
    ASSERT_EQ(::write(file.Fd(), "neu", 3), 3);
    const std::vector<std::string> names = ListDir(dir.Path());
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0].rfind(".ziel.", 0), 0u) << names[0];
    EXPECT_EQ(names[0].size(), std::string(".ziel.XXXXXX").size());
    EXPECT_EQ(dir / names[0], file.TemporaryName());
    EXPECT_EQ(ReadFile(dir / "ziel"), Bytes({'a', 'l', 't'}));
    ASSERT_TRUE(file.Commit());
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(ListDir(dir.Path()), std::vector<std::string> {"ziel"});
    EXPECT_EQ(ReadFile(dir / "ziel"), Bytes({'n', 'e', 'u'}));
}

TEST(ReplacingFile, AFailedCommitRemovesTheTemporaryAndLeavesTheTarget)
{
    TempDir dir;
    ReplacingFile file;
    ASSERT_TRUE(file.Create(dir / "ziel"));
    // A folder with content takes the target's name before the rename.
    ASSERT_EQ(::mkdir((dir / "ziel").c_str(), 0755), 0);
    WriteFile(dir / "ziel/inhalt", "x");
    EXPECT_FALSE(file.Commit());
    EXPECT_EQ(errno, EISDIR);
    EXPECT_EQ(ListDir(dir.Path()), std::vector<std::string> {"ziel"});
    EXPECT_EQ(ReadFile(dir / "ziel/inhalt"), Bytes({'x'}));
    // Such a folder is refused up front as well.
    EXPECT_FALSE(file.Create(dir / "ziel"));
    EXPECT_EQ(errno, EISDIR);
    EXPECT_EQ(ListDir(dir.Path()), std::vector<std::string> {"ziel"});
}
