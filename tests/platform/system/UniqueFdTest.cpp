// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/UniqueFd.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

using platform::UniqueFd;

namespace {

bool IsOpenDescriptor(int fd)
{
    return ::fcntl(fd, F_GETFD) != -1;
}

}  // namespace

TEST(UniqueFd, ClosesItsDescriptorOnceWhereverOwnershipEnds)
{
    int raw = -1;
    {
        UniqueFd first(::open("/dev/null", O_RDONLY | O_CLOEXEC));
        raw = first.Get();
        ASSERT_TRUE(first.IsOpen());
        UniqueFd second = std::move(first);
        EXPECT_FALSE(first.IsOpen());
        EXPECT_EQ(second.Get(), raw);
        EXPECT_TRUE(IsOpenDescriptor(raw));
    }
    EXPECT_FALSE(IsOpenDescriptor(raw)) << "closed when its owner went away";

    UniqueFd a(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    const int old = a.Get();
    a.Reset(::open("/dev/null", O_RDONLY | O_CLOEXEC));  // opened while old is still open
    EXPECT_NE(a.Get(), old);
    EXPECT_FALSE(IsOpenDescriptor(old)) << "Reset closes the descriptor it held";
    const int kept = a.Release();
    EXPECT_FALSE(a.IsOpen());
    EXPECT_TRUE(IsOpenDescriptor(kept)) << "Release gives it up unclosed";
    UniqueFd b(kept);
    EXPECT_TRUE(b.Close());
    EXPECT_FALSE(b.IsOpen());
    EXPECT_FALSE(IsOpenDescriptor(kept));
    EXPECT_TRUE(b.Close()) << "nothing left to close";
}
