// SPDX-License-Identifier: GPL-3.0-or-later
// Module signatures by format: the fixed places of IT, S3M and XM, the
// ProTracker family's tags at 1080 and the plausibility of a 15-sample
// Soundtracker header.
#include "Reading.h"

using namespace readertest;

namespace {

umx::Signature Check(const std::string& format, const Bytes& module)
{
    return umx::CheckSignature(format, module.data(), static_cast<std::int64_t>(module.size()));
}

Bytes WithBytes(Bytes module, std::size_t position, const std::string& bytes)
{
    std::copy(bytes.begin(), bytes.end(), module.begin() + static_cast<long>(position));
    return module;
}

}  // namespace

TEST(ModuleSignature, EachFormatHasItsPlace)
{
    const Bytes it = fixtures::MakeModule(ModuleKind::ImpulseTracker);
    const Bytes s3m = fixtures::MakeModule(ModuleKind::ScreamTracker3);
    const Bytes xm = fixtures::MakeModule(ModuleKind::FastTracker2);
    struct Case {
        const char* format;
        Bytes module;
        umx::Signature expected;
    };
    const Case cases[] = {
        {"it", it, umx::Signature::Matches},
        {"It", it, umx::Signature::Matches},
        {"it", Bytes(it.begin(), it.begin() + 4), umx::Signature::Matches},
        {"it", Bytes(it.begin(), it.begin() + 3), umx::Signature::Mismatch},
        {"it", WithBytes(it, 0, "impm"), umx::Signature::Mismatch},
        {"s3m", s3m, umx::Signature::Matches},
        {"s3m", Bytes(s3m.begin(), s3m.begin() + 47), umx::Signature::Mismatch},
        {"s3m", WithBytes(s3m, 44, "SCRI"), umx::Signature::Mismatch},
        {"xm", xm, umx::Signature::Matches},
        {"XM", WithBytes(xm, 14, "M"), umx::Signature::Mismatch},
        {"it", xm, umx::Signature::Mismatch},
        {"xm", {}, umx::Signature::Mismatch},
        {"umx", it, umx::Signature::UnknownFormat},
        {"", it, umx::Signature::UnknownFormat},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.format) + ", " + std::to_string(c.module.size()) + " bytes");
        EXPECT_EQ(Check(c.format, c.module), c.expected);
    }
}

TEST(ModuleSignature, ProTrackerTagsAtOffset1080)
{
    const Bytes mod = fixtures::MakeModule(ModuleKind::ProTracker);
    for (const char* tag : {"M.K.", "M!K!", "M&K!", "N.T.", "FLT4", "FLT8", "EXO4", "EXO8", "CD81", "CD61", "OKTA",
                            "OCTA", "1CHN", "6CHN", "9CHN", "10CH", "32CH", "99CN", "TDZ1", "TDZ9"})
        EXPECT_EQ(Check("mod", WithBytes(mod, 1080, tag)), umx::Signature::Matches) << tag;
    // Not tags, and the 15-sample reading of the header fails too (sample 16's
    // name would be the song length's place).
    for (const char* other : {"m.k.", "M.K ", "0CHN", "05CH", "1CH ", "TDZ0", "TDZA", "IMPM", "\0\0\0\0"})
        EXPECT_EQ(Check("mod", WithBytes(mod, 1080, std::string(other, 4))), umx::Signature::Mismatch) << other;
    EXPECT_EQ(Check("mod", Bytes(mod.begin(), mod.begin() + 1083)), umx::Signature::Mismatch) << "tag cut off";
    EXPECT_EQ(Check("MOD", Bytes(mod.begin(), mod.begin() + 1084)), umx::Signature::Matches);
}

TEST(ModuleSignature, A15SampleHeaderMustBePlausible)
{
    const Bytes st = fixtures::MakeModule(ModuleKind::SoundTracker);
    constexpr std::size_t kSample = 20, kSongLength = 470, kOrders = 472;
    ASSERT_EQ(Check("mod", st), umx::Signature::Matches);
    struct Case {
        const char* what;
        Bytes module;
        umx::Signature expected;
    };
    const Case cases[] = {
        {"control code in the title", WithBytes(st, 3, "\x07"), umx::Signature::Mismatch},
        {"control code in a sample name", WithBytes(st, kSample + 14 * 30 + 5, "\x1F"), umx::Signature::Mismatch},
        {"sample length 32768 words", WithBytes(st, kSample + 22, std::string("\x80\x00", 2)), umx::Signature::Matches},
        {"sample length 32769 words", WithBytes(st, kSample + 22, std::string("\x80\x01", 2)), umx::Signature::Mismatch},
        {"finetune 15", WithBytes(st, kSample + 24, "\x0F"), umx::Signature::Matches},
        {"finetune 16", WithBytes(st, kSample + 24, "\x10"), umx::Signature::Mismatch},
        {"volume 64", WithBytes(st, kSample + 30 + 25, "\x40"), umx::Signature::Matches},
        {"volume 65", WithBytes(st, kSample + 30 + 25, "\x41"), umx::Signature::Mismatch},
        {"song length 0", WithBytes(st, kSongLength, std::string(1, '\0')), umx::Signature::Mismatch},
        {"song length 128", WithBytes(st, kSongLength, "\x80"), umx::Signature::Matches},
        {"song length 129", WithBytes(st, kSongLength, "\x81"), umx::Signature::Mismatch},
        {"order 128", WithBytes(st, kOrders + 127, "\x80"), umx::Signature::Mismatch},
        {"the patterns cut", Bytes(st.begin(), st.begin() + 600 + 3 * 1024 - 1), umx::Signature::Mismatch},
        {"the patterns whole, the sample cut", Bytes(st.begin(), st.begin() + 600 + 3 * 1024),
         umx::Signature::Matches},
        {"an order naming a pattern past the end", WithBytes(st, kOrders + 127, "\x03"), umx::Signature::Mismatch},
    };
    ASSERT_EQ(st.size(), 600 + 3 * 1024 + 256u) << "3 patterns and a 256-byte sample";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Check("mod", c.module), c.expected);
    }
}
