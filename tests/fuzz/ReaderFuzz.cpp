// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: the package reader on any bytes. It may refuse them (with a
// reason); what it finds must lie inside the input, each module in bytes of
// its own, with the signature it claims, and it may read at most as many
// bytes as the input holds.
#include "CountingSource.h"
#include "FuzzSupport.h"
#include "PackageReader/PackageReader.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool Holds(const std::uint8_t* data, std::int64_t length, std::int64_t at, const char* text)
{
    const auto n = static_cast<std::int64_t>(std::strlen(text));
    return at + n <= length && std::memcmp(data + at, text, static_cast<std::size_t>(n)) == 0;
}

// The fixed signatures, checked here on their own.
void CheckClaimedSignature(const umx::MusicObject& music, const std::uint8_t* module)
{
    std::string format = music.format;
    std::transform(format.begin(), format.end(), format.begin(), [](unsigned char c) { return std::tolower(c); });
    const bool known = format == "it" || format == "s3m" || format == "xm" || format == "mod";
    FUZZ_CHECK(known == (music.signature != umx::Signature::UnknownFormat), "format '" + music.format + "'");
    if (music.signature != umx::Signature::Matches)
        return;
    if (format == "it")
        FUZZ_CHECK(Holds(module, music.length, 0, "IMPM"), "an IT module without IMPM");
    else if (format == "s3m")
        FUZZ_CHECK(Holds(module, music.length, 44, "SCRM"), "an S3M module without SCRM");
    else if (format == "xm")
        FUZZ_CHECK(Holds(module, music.length, 0, "Extended Module"), "an XM module without its text");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<std::uint8_t> input(data, data + size);
    testsupport::CountingSource source(input);
    const umx::PackageContents contents = umx::ReadPackage(source);
    const auto fileSize = static_cast<std::int64_t>(size);

    FUZZ_CHECK(contents.bytesRead == source.BytesRead(), "bytes read miscounted");
    FUZZ_CHECK(source.BytesRead() <= fileSize, "read " + std::to_string(source.BytesRead()) + " bytes");
    FUZZ_CHECK(contents.Readable() == contents.reason.empty(), "reason '" + contents.reason + "'");
    if (!contents.Readable()) {
        FUZZ_CHECK(contents.music.empty(), "music from unreadable tables");
        return 0;
    }
    FUZZ_CHECK(Holds(data, fileSize, 0, "\xC1\x83\x2A\x9E"), "no tag");
    FUZZ_CHECK(contents.version >= umx::kFirstVersion && contents.version <= umx::kLastVersion, "version");
    FUZZ_CHECK(contents.music.size() <= umx::kMaxMusicObjects, "too many music objects");

    std::vector<umx::MusicObject> byOffset = contents.music;
    std::sort(byOffset.begin(), byOffset.end(), [](const auto& a, const auto& b) { return a.offset < b.offset; });
    std::int64_t end = 0;
    for (const umx::MusicObject& music : byOffset) {
        FUZZ_CHECK(music.offset >= end && music.length >= 0 && music.length <= fileSize - music.offset,
                   "module at " + std::to_string(music.offset) + ", " + std::to_string(music.length) + " bytes");
        end = music.offset + music.length;
        CheckClaimedSignature(music, data + music.offset);
    }
    return 0;
}
