// SPDX-License-Identifier: GPL-3.0-or-later
// What the start of a program clears from the temporary folder: working
// copies that killed processes left, and nothing else.
#include "DocumentFixture.h"

#include "hexeditor/core/WorkingCopy.h"
#include "platform/system/FileUtils.h"
#include "platform/system/UniqueFd.h"

#include <algorithm>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace testsupport;
using hexcore::WorkingCopy;

TEST_F(DocumentTest, OnlyAbandonedWorkingCopiesOfThisUserAreRemoved)
{
    WriteFile(dir_ / "opfer", std::string("bleibt"));
    auto live = NewDocument();
    const std::string liveName = platform::ExtractFileName(live->WorkingFileName());
    WriteFile(tmp_ + "0000AB12.ZQWK", std::string("verlassen"));
    WriteFile(tmp_ + "0A1B2C3D.ZQWK", Bytes {});
    WriteFile(tmp_ + ".0A1B2C3D.ZQWK.x7Yz09", std::string("halb ersetzt"));
    // Not of the name form.
    for (const char* name : {"0000ab12.ZQWK", "0000AB12.zqwk", "000AB12.ZQWK", "0000AB12.ZQWK.x", "G000AB12.ZQWK",
                             ".0000AB12.ZQWK.x7Yz0", ".0000ab12.ZQWK.x7Yz09"})
        WriteFile(tmp_ + name, std::string("fremd"));
    // Of the name form, but a link, a folder, held locked, or someone else's.
    ASSERT_EQ(::symlink((dir_ / "opfer").c_str(), (tmp_ + "0000CD34.ZQWK").c_str()), 0);
    ASSERT_EQ(::mkdir((tmp_ + "0000EF56.ZQWK").c_str(), 0700), 0);
    WriteFile(tmp_ + "00001111.ZQWK", std::string("in Arbeit"));
    const platform::UniqueFd held(::open((tmp_ + "00001111.ZQWK").c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_EQ(::flock(held.Get(), LOCK_EX | LOCK_NB), 0);
    WriteFile(tmp_ + "00002222.ZQWK", std::string("fremder Nutzer"));
    const bool othersFile = ::geteuid() == 0 && ::chown((tmp_ + "00002222.ZQWK").c_str(), 65534, 65534) == 0;

    WorkingCopy::RemoveAbandoned(tmp_);

    std::vector<std::string> kept {".0000AB12.ZQWK.x7Yz0", ".0000ab12.ZQWK.x7Yz09", "0000AB12.ZQWK.x", "0000AB12.zqwk", "0000CD34.ZQWK", "0000EF56.ZQWK",
                                   "0000ab12.ZQWK", "00001111.ZQWK", "000AB12.ZQWK", "G000AB12.ZQWK", liveName};
    if (othersFile)
        kept.push_back("00002222.ZQWK");
    std::sort(kept.begin(), kept.end());
    std::vector<std::string> now = ListDir(tmp_);
    if (!othersFile)
        now.erase(std::remove(now.begin(), now.end(), "00002222.ZQWK"), now.end());
    EXPECT_EQ(now, kept);
    EXPECT_EQ(ReadFile(dir_ / "opfer"), Bytes({'b', 'l', 'e', 'i', 'b', 't'}));
    // The live document goes on working in its copy.
    live->AppendBytes("abc", 3);
    EXPECT_EQ(Content(*live), Bytes({'a', 'b', 'c'}));
}
