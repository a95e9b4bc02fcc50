// SPDX-License-Identifier: GPL-3.0-or-later
// The block file with a user-space buffer must behave like the plain one:
// same counts, same bytes, same errors, only raised no later than Close.
#include "platform/system/BlockFile.h"
#include "platform/system/Exceptions.h"

#include "FileSizeLimit.h"
#include "TempDir.h"

#include <gtest/gtest.h>
#include <random>

using namespace platform;
using namespace testsupport;

TEST(BufferedBlockFile, MixedReadsWritesAndSeeksMatchThePlainFile)
{
    // The same random sequence of calls on a plain file and on buffered ones
    // (a buffer smaller and one larger than most blocks) gives the same
    // results and the same file.
    TempDir dir;
    Bytes start(20000);
    for (std::size_t i = 0; i < start.size(); ++i)
        start[i] = static_cast<std::uint8_t>(i * 31 + i / 251);
    for (int bufferSize : {700, 4096, 65536}) {
        WriteFile(dir / "plain", start);
        WriteFile(dir / "buffered", start);
        TUntypedFile plain(dir / "plain");
        TUntypedFile buffered(dir / "buffered");
        buffered.SetBufferSize(bufferSize);
        plain.Reset();
        buffered.Reset();
        std::mt19937 random(static_cast<unsigned>(bufferSize));
        std::vector<char> a(9000), b(9000), data(9000);
        for (int step = 0; step < 400; ++step) {
            const int count = static_cast<int>(random() % 3000);
            switch (random() % 5) {
            case 0: {
                const std::int64_t to = random() % 26000;
                plain.Seek(to);
                buffered.Seek(to);
                break;
            }
            case 1:
            case 2:
                ASSERT_EQ(plain.BlockRead(a.data(), count), buffered.BlockRead(b.data(), count))
                    << "step " << step << ", buffer " << bufferSize;
                ASSERT_EQ(a, b) << "step " << step << ", buffer " << bufferSize;
                break;
            default:
                for (int i = 0; i < count; ++i)
                    data[static_cast<std::size_t>(i)] = static_cast<char>(random());
                ASSERT_EQ(plain.BlockWrite(data.data(), count), count);
                ASSERT_EQ(buffered.BlockWrite(data.data(), count), count);
            }
        }
        plain.Close();
        buffered.Close();
        EXPECT_EQ(ReadFile(dir / "buffered"), ReadFile(dir / "plain")) << "buffer " << bufferSize;
    }
}

TEST(BufferedBlockFile, CopyInSmallBlocksIsComplete)
{
    TempDir dir;
    Bytes source(3 * 65536 + 1234);
    for (std::size_t i = 0; i < source.size(); ++i)
        source[i] = static_cast<std::uint8_t>(i ^ (i >> 9));
    WriteFile(dir / "quelle", source);
    TUntypedFile in(dir / "quelle");
    in.SetBufferSize(65536);
    in.Reset(TUntypedFile::Access::ReadOnly);
    TUntypedFile out(dir / "ziel");
    out.SetBufferSize(65536);
    out.RewriteReplacing();
    in.Seek(1000);
    char block[2048];
    int read = 0;
    do {
        read = in.BlockRead(block, sizeof block);
        out.BlockWrite(block, read);
    } while (read > 0);
    EXPECT_FALSE(Exists(dir / "ziel")) << "the output appears only on Close";
    out.Close();
    in.Close();
    EXPECT_EQ(ReadFile(dir / "ziel"), Bytes(source.begin() + 1000, source.end()));
}

TEST(BufferedBlockFile, WriteFailureSurfacesByCloseAndLeavesTheTargetAlone)
{
    TempDir dir;
    WriteFile(dir / "ziel", "alt");
    int writeCode = -1;
    int closeCode = -1;
    {
        TUntypedFile f(dir / "ziel");
        f.SetBufferSize(65536);
        f.RewriteReplacing();
        const std::string block(2048, 'x');
        FileSizeLimit limit(3000);
        ASSERT_TRUE(limit.Applied());
        // Collected in the buffer: nothing has reached the file yet.
        writeCode = IoErrorCodeOf([&] {
            f.BlockWrite(block.data(), 2048);
            f.BlockWrite(block.data(), 2048);
        });
        closeCode = IoErrorCodeOf([&] { f.Close(); });
        limit.Lift();
        EXPECT_FALSE(f.IsOpen());
    }
    EXPECT_EQ(writeCode, 0);
    EXPECT_EQ(closeCode, 101);
    EXPECT_EQ(ListDir(dir.Path()), std::vector<std::string> {"ziel"});
    EXPECT_EQ(ReadFile(dir / "ziel"), Bytes({'a', 'l', 't'}));
}

TEST(BufferedBlockFile, WriteFailureSurfacesAtTheWriteThatFillsTheBuffer)
{
    TempDir dir;
    int code = 0;
    int blocksWritten = 0;
    {
        TUntypedFile f(dir / "neu");
        f.SetBufferSize(4096);
        f.RewriteReplacing();
        const std::string block(2048, 'y');
        FileSizeLimit limit(5000);
        ASSERT_TRUE(limit.Applied());
        code = IoErrorCodeOf([&] {
            for (int i = 0; i < 10; ++i) {
                f.BlockWrite(block.data(), 2048);
                ++blocksWritten;
            }
        });
        limit.Lift();
    }
    EXPECT_EQ(code, 101);
    // The first flush (4096 bytes) fits; the second passes the limit.
    EXPECT_EQ(blocksWritten, 4);
    EXPECT_TRUE(ListDir(dir.Path()).empty()) << "the destroyed file leaves nothing behind";
}
