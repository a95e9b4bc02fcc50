// SPDX-License-Identifier: GPL-3.0-or-later
// The document core on a disk that is full: the working copy on a small
// file system of its own, or under a file-size limit.
#include "DocumentFixture.h"
#include "FileSizeLimit.h"
#include "SmallFileSystem.h"

#include "platform/system/Exceptions.h"

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using Document = testsupport::DocumentProbe;
using testsupport::Bytes;
using testsupport::Pattern;

namespace {

// Fills the file system that holds folder up to its last byte.
void Fill(const std::string& folder)
{
    const int fd = ::open((folder + "/filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    const std::vector<char> zeros(4096, 0);
    while (::write(fd, zeros.data(), zeros.size()) > 0) {
    }
    ::close(fd);
}

}  // namespace

TEST_F(DocumentTest, GrowingOnAFullDiskFailsAndChangesNothing)
{
    // The new length is allocated before anything moves: a sparse tail
    // would take the insert, and the bytes written into it would be lost.
    const std::string disk = dir_ / "disk";
    ASSERT_EQ(::mkdir(disk.c_str(), 0700), 0);
    const Bytes data = Pattern(300000);
    const Bytes more = Pattern(200000, 7);
    testsupport::WriteFile(dir_ / "doc.bin", data);

    const auto outcome = testsupport::RunOnSmallDisk(disk, 1 << 20, [&] {
        testsupport::ScopedTmpDir onDisk(disk + "/");
        const struct {
            const char* name;
            std::int32_t position;  // -1: append
        } cases[] = {{"insert", 1000}, {"append", -1}};
        for (const auto& c : cases) {
            SCOPED_TRACE(c.name);
            auto e = NewDocument();
            ASSERT_TRUE(e->LoadFromFile(dir_ / "doc.bin"));
            Fill(disk);
            try {
                if (c.position < 0)
                    e->AppendBytes(more.data(), static_cast<std::int32_t>(more.size()));
                else
                    e->InsertBytes(more.data(), static_cast<std::int32_t>(more.size()), c.position);
                ADD_FAILURE() << "no error raised";
            } catch (const platform::EInOutError& error) {
                EXPECT_EQ(error.Message(), "Zu wenig Speicherplatz");
            }
            EXPECT_EQ(e->DataSize(), 300000);
            EXPECT_EQ(Content(*e), data);

            // With room again the same edit goes through.
            ::unlink((disk + "/filler").c_str());
            const std::int32_t at = c.position < 0 ? e->DataSize() : c.position;
            e->InsertBytes(more.data(), static_cast<std::int32_t>(more.size()), at);
            Bytes expected = data;
            expected.insert(expected.begin() + at, more.begin(), more.end());
            EXPECT_EQ(Content(*e), expected);
        }
    });
    if (outcome == testsupport::SmallDisk::Unavailable)
        GTEST_SKIP() << "no small file system of its own can be mounted here";
    EXPECT_EQ(outcome, testsupport::SmallDisk::Passed);
}

TEST_F(DocumentTest, AMoveStoppedByAFullDiskPutsBackWhatItWroteOver)
{
    // Writes stop at the limit, partway into a piece of the move: the source
    // range must hold what it held (the destination beside it may not).
    const std::int32_t piece = Document::kMovePiece;
    const Bytes data = Pattern(2 * static_cast<std::size_t>(piece) + 5020);
    const struct {
        const char* name;
        std::int32_t from;
        std::int32_t to;
        std::int32_t count;
        rlim_t limit;
    } cases[] = {
        {"up, stopped in its first piece", 0, 20, 2 * piece + 5000, 2 * piece + 4000},
        {"down, stopped after two pieces", 20, 0, 2 * piece + 5000, 2 * piece + 100},
        {"down, stopped in its first piece", 20, 0, 2 * piece + 5000, piece / 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto e = Loaded(data);
        {
            testsupport::FileSizeLimit full(c.limit);
            ASSERT_TRUE(full.Applied());
            try {
                e->MoveBlock(c.from, c.to, c.count);
                ADD_FAILURE() << "no error raised";
            } catch (const platform::EInOutError& error) {
                EXPECT_EQ(error.ErrorCode(), platform::ioDiskFull);
            }
        }
        const Bytes now = Content(*e);
        ASSERT_EQ(now.size(), data.size());
        EXPECT_TRUE(std::equal(now.begin() + c.from, now.begin() + c.from + c.count, data.begin() + c.from));
    }
}
