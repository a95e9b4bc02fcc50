// SPDX-License-Identifier: GPL-3.0-or-later
// The recent-files list: newest first, each file once, at most five.
#include "KlangheberHex/RecentFiles.h"

#include <gtest/gtest.h>

using hexwindow::RecentFiles;

TEST(RecentFiles, NewestFirstEachOnceAtMostFive)
{
    RecentFiles recent;
    for (const char* path : {"/a", "/b", "/c", "/d", "/e", "/f"})
        recent.Add(QString::fromLatin1(path));
    EXPECT_EQ(recent.Files(), (QStringList{"/f", "/e", "/d", "/c", "/b"}));

    recent.Add("/d");  // moves up, nothing falls off
    EXPECT_EQ(recent.Files(), (QStringList{"/d", "/f", "/e", "/c", "/b"}));

    recent.Remove("/f");
    recent.Remove("/gone");
    recent.Add(QString());
    EXPECT_EQ(recent.Files(), (QStringList{"/d", "/e", "/c", "/b"}));
}

TEST(RecentFiles, AStoredListIsCleanedAsItIsRead)
{
    const RecentFiles recent(QStringList{"/a", "", "/b", "/a", "/c", "/d", "/e", "/f"});
    EXPECT_EQ(recent.Files(), (QStringList{"/a", "/b", "/c", "/d", "/e"}));
}
