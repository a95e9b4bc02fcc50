// SPDX-License-Identifier: GPL-3.0-or-later
// Module signatures by format name, as the kind table gives them. ProTracker
// and the trackers that share its layout (31 samples, 64-row patterns) write
// a tag at offset 1080; the Soundtracker's 15-sample layout has none and is
// judged by how plausible its header is.
#include "PackageReader/ModuleKinds.h"
#include "PackageReader/PackageReader.h"

#include <algorithm>
#include <cstring>

namespace umx {

namespace {

bool At(const std::uint8_t* module, std::int64_t length, std::size_t offset, std::string_view text)
{
    return length >= static_cast<std::int64_t>(offset + text.size()) &&
           std::memcmp(module + offset, text.data(), text.size()) == 0;
}

bool IsDigit(std::uint8_t c)
{
    return c >= '0' && c <= '9';
}

// Tags at offset 1080:
//   M.K.  M!K!  M&K!  N.T.     ProTracker, NoiseTracker (4 channels)
//   FLT4  FLT8  EXO4  EXO8     Startrekker, Exotracker
//   CD81  CD61  OKTA  OCTA     Oktalyzer and Atari trackers (8 or 6 channels)
//   nCHN                       1 to 9 channels (FastTracker, TakeTracker)
//   nnCH  nnCN                 10 to 99 channels (FastTracker, TakeTracker)
//   TDZn                       TakeTracker, 1 to 9 channels
bool IsProTrackerTag(const std::uint8_t* t)
{
    static constexpr const char* kFixed[] = {"M.K.", "M!K!", "M&K!", "N.T.", "FLT4", "FLT8",
                                             "EXO4", "EXO8", "CD81", "CD61", "OKTA", "OCTA"};
    for (const char* tag : kFixed)
        if (std::memcmp(t, tag, 4) == 0)
            return true;
    if (IsDigit(t[0]) && t[0] != '0' && std::memcmp(t + 1, "CHN", 3) == 0)
        return true;
    if (IsDigit(t[0]) && t[0] != '0' && IsDigit(t[1]) && t[2] == 'C' && (t[3] == 'H' || t[3] == 'N'))
        return true;
    return std::memcmp(t, "TDZ", 3) == 0 && IsDigit(t[3]) && t[3] != '0';
}

// Text fields of the old trackers: characters or zeros, no control codes.
bool PlausibleText(const std::uint8_t* text, std::size_t size)
{
    return std::none_of(text, text + size, [](std::uint8_t c) { return c > 0 && c < 32; });
}

std::uint32_t BigEndian16(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) << 8 | p[1];
}

// The 15-sample Soundtracker layout: 20-byte title, 15 sample headers of 30
// bytes (22-byte name, length in words, finetune, volume, loop start and
// length), song length, restart byte, 128 orders, then 1024-byte patterns.
bool IsSoundTrackerModule(const std::uint8_t* m, std::int64_t length)
{
    constexpr std::size_t kSamples = 15, kSampleHeader = 30, kSongLength = 20 + kSamples * kSampleHeader;
    constexpr std::size_t kOrders = kSongLength + 2, kPatterns = kOrders + 128;
    if (length < static_cast<std::int64_t>(kPatterns) || !PlausibleText(m, 20))
        return false;
    for (std::size_t s = 0; s < kSamples; ++s) {
        const std::uint8_t* h = m + 20 + s * kSampleHeader;
        if (!PlausibleText(h, 22) || BigEndian16(h + 22) > 32768 || h[24] > 15 || h[25] > 64)
            return false;
    }
    const std::uint8_t songLength = m[kSongLength];
    if (songLength < 1 || songLength > 128)
        return false;
    const std::uint8_t* orders = m + kOrders;
    if (std::any_of(orders, orders + 128, [](std::uint8_t o) { return o >= 128; }))
        return false;
    const std::int64_t patterns = *std::max_element(orders, orders + 128) + 1;
    return static_cast<std::int64_t>(kPatterns) + patterns * 1024 <= length;
}

}  // namespace

Signature CheckSignature(std::string_view format, const std::uint8_t* module, std::int64_t length)
{
    const ModuleKind* kind = KindOfFormat(format);
    if (!kind)
        return Signature::UnknownFormat;
    const auto offset = static_cast<std::size_t>(kind->signatureOffset);
    bool matches = false;
    switch (kind->check) {
    case SignatureCheck::Fixed:
        matches = At(module, length, offset, kind->signature);
        break;
    case SignatureCheck::ProTrackerLayout:
        matches = (length >= static_cast<std::int64_t>(offset + 4) && IsProTrackerTag(module + offset)) ||
                  IsSoundTrackerModule(module, length);
        break;
    }
    return matches ? Signature::Matches : Signature::Mismatch;
}

}  // namespace umx
