// SPDX-License-Identifier: GPL-3.0-or-later
// The code pages: CP850 <-> Windows-1252 and Windows-1252 <-> Unicode checked
// against glibc's iconv tables, lower-casing against Qt's Unicode case
// mapping, and the Macintosh and EBCDIC tables against each other.
#include "platform/system/CodePages.h"

#include <QChar>
#include <cstring>
#include <gtest/gtest.h>
#include <iconv.h>
#include <optional>
#include <set>
#include <vector>

namespace {

// Converts one byte between two iconv encodings; nothing when the character
// does not exist in the target (or the byte is unassigned in the source).
std::optional<char32_t> Decode(const char* codePage, std::uint8_t byte)
{
    iconv_t cd = iconv_open("UTF-32LE", codePage);
    EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1)) << codePage;
    char in = static_cast<char>(byte);
    char32_t out = 0;
    char* inp = &in;
    char* outp = reinterpret_cast<char*>(&out);
    size_t inLeft = 1, outLeft = sizeof out;
    const size_t r = iconv(cd, &inp, &inLeft, &outp, &outLeft);
    iconv_close(cd);
    if (r == static_cast<size_t>(-1) || outLeft != 0)
        return std::nullopt;
    return out;
}

std::optional<std::uint8_t> Encode(const char* codePage, char32_t ch)
{
    iconv_t cd = iconv_open(codePage, "UTF-32LE");
    EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1)) << codePage;
    char in[4];
    std::memcpy(in, &ch, 4);
    char out[4] = {};
    char* inp = in;
    char* outp = out;
    size_t inLeft = 4, outLeft = sizeof out;
    const size_t r = iconv(cd, &inp, &inLeft, &outp, &outLeft);
    iconv_close(cd);
    if (r == static_cast<size_t>(-1) || sizeof out - outLeft != 1)
        return std::nullopt;
    return static_cast<std::uint8_t>(out[0]);
}

}  // namespace

TEST(CodePages, SharedCharactersConvertExactlyOthersToAsciiFallbacks)
{
    int exactOem = 0, exactAnsi = 0;
    for (int b = 0; b < 256; ++b) {
        const auto byte = static_cast<std::uint8_t>(b);
        // OEM -> ANSI
        const auto oemChar = Decode("IBM850", byte);
        ASSERT_TRUE(oemChar) << b;
        if (const auto ansi = Encode("CP1252", *oemChar)) {
            EXPECT_EQ(platform::OemToChar(byte), *ansi) << "OEM " << b;
            ++exactOem;
        } else {
            EXPECT_LT(platform::OemToChar(byte), 0x80) << "OEM best fit is plain ASCII " << b;
        }
        // ANSI -> OEM
        const auto ansiChar = Decode("CP1252", byte);
        const auto oem = ansiChar ? Encode("IBM850", *ansiChar) : std::nullopt;
        if (oem) {
            EXPECT_EQ(platform::CharToOem(byte), *oem) << "ANSI " << b;
            ++exactAnsi;
        } else {
            EXPECT_LT(platform::CharToOem(byte), 0x80) << "ANSI best fit is plain ASCII " << b;
        }
    }
    // 0x00-0x7F, all of Latin-1's upper half, and the florin sign.
    EXPECT_EQ(exactOem, 128 + 96 + 1);
    EXPECT_EQ(exactAnsi, 128 + 96 + 1);
}

TEST(CodePages, BestFitsForBoxDrawingAndTypography)
{
    EXPECT_EQ(platform::OemToChar(0xB3), '|');  // │
    EXPECT_EQ(platform::OemToChar(0xBA), '|');  // ║
    EXPECT_EQ(platform::OemToChar(0xC4), '-');  // ─
    EXPECT_EQ(platform::OemToChar(0xCD), '-');  // ═
    EXPECT_EQ(platform::OemToChar(0xDA), '+');  // ┌
    EXPECT_EQ(platform::OemToChar(0xCE), '+');  // ╬
    EXPECT_EQ(platform::OemToChar(0xB1), '?');  // ▒
    EXPECT_EQ(platform::CharToOem(0x93), '"');  // “
    EXPECT_EQ(platform::CharToOem(0x96), '-');  // –
    EXPECT_EQ(platform::CharToOem(0x81), '?');  // unassigned
}

TEST(CodePages, BufferConversionsWorkInPlaceAndKeepZero)
{
    std::uint8_t text[] = {'H', 0xE4, 0x00, 0xDF, 0x09};  // H ä NUL ß TAB
    platform::CharToOemBuff(text, text, sizeof text);
    const std::uint8_t oem[] = {'H', 0x84, 0x00, 0xE1, 0x09};
    EXPECT_EQ(0, std::memcmp(text, oem, sizeof text));
    std::uint8_t back[sizeof text];
    platform::OemToCharBuff(text, back, sizeof text);
    const std::uint8_t ansi[] = {'H', 0xE4, 0x00, 0xDF, 0x09};
    EXPECT_EQ(0, std::memcmp(back, ansi, sizeof back));
}

TEST(CodePages, LowerCasingFollowsWindows1252)
{
    for (int b = 0; b < 256; ++b) {
        const auto byte = static_cast<std::uint8_t>(b);
        std::uint8_t expected = byte;
        if (const auto ch = Decode("CP1252", byte)) {
            const char32_t lower = QChar::toLower(*ch);
            // Only pairs inside the code page; µ, ß and ÿ have no partner here.
            if (const auto enc = Encode("CP1252", lower))
                expected = *enc;
        }
        EXPECT_EQ(platform::CharLower(byte), expected) << b;
        EXPECT_EQ(platform::CharLower(platform::CharLower(byte)), platform::CharLower(byte)) << b;
    }
    EXPECT_EQ(platform::CharLower(0xD7), 0xD7);  // × is no letter
    EXPECT_EQ(platform::CharLower(0x9F), 0xFF);  // Ÿ ÿ

    std::uint8_t buffer[] = {'M', 'z', 0xC4, 0x8A, '['};
    platform::CharLowerBuff(buffer, sizeof buffer);
    const std::uint8_t lowered[] = {'m', 'z', 0xE4, 0x9A, '['};
    EXPECT_EQ(0, std::memcmp(buffer, lowered, sizeof buffer));
}

TEST(CodePages, Windows1252AgainstUnicodeBothWays)
{
    for (int b = 0; b < 256; ++b) {
        // The bytes iconv leaves undefined stand for the C1 control of the
        // same value.
        const char32_t expected = Decode("CP1252", static_cast<std::uint8_t>(b)).value_or(static_cast<char32_t>(b));
        EXPECT_EQ(platform::AnsiToUnicode(static_cast<std::uint8_t>(b)), expected) << b;
        std::uint8_t back = 0;
        EXPECT_TRUE(platform::UnicodeToAnsi(expected, back)) << b;
        EXPECT_EQ(back, b);
    }
    std::uint8_t byte = 0;
    EXPECT_FALSE(platform::UnicodeToAnsi(0x0100, byte));
    EXPECT_FALSE(platform::UnicodeToAnsi(0x20AD, byte));
}

TEST(CodePages, MacTablesAreInversePermutations)
{
    std::set<int> seen;
    for (int i = 0; i < 128; ++i) {
        const int ansi = platform::MacToAnsiTable[i];
        ASSERT_GE(ansi, 0x80);
        seen.insert(ansi);
        EXPECT_EQ(platform::AnsiToMacTable[ansi - 0x80], i + 0x80) << i;
        EXPECT_EQ(platform::MacToAnsiTable[platform::AnsiToMacTable[i] - 0x80], i + 0x80) << i;
    }
    EXPECT_EQ(seen.size(), 128u);
    EXPECT_EQ(platform::MacToAnsiTable[0x80 - 0x80], 0xC4);
    EXPECT_EQ(platform::MacToAnsiTable[0xFF - 0x80], 0x9D);
}

TEST(CodePages, AnsiToEbcdicInvertsEbcdicToAnsi)
{
    int produced = 0;
    for (int c = 0; c < 256; ++c) {
        // The EBCDIC codes that show as c.
        std::vector<int> codes;
        for (int e = 0; e < 256; ++e)
            if (platform::EbcdicToAnsiTable[e] == c && c != 0)
                codes.push_back(e);
        if (codes.empty()) {
            EXPECT_EQ(platform::AnsiToEbcdicTable[c], 0) << c;
        } else {
            ++produced;
            EXPECT_EQ(platform::AnsiToEbcdicTable[c], codes.front()) << c;
        }
    }
    EXPECT_EQ(produced, 91);
    EXPECT_EQ(platform::EbcdicToAnsiTable[0x50], 0x26);
    EXPECT_EQ(platform::EbcdicToAnsiTable[0x51], 0x26);
    EXPECT_EQ(platform::AnsiToEbcdicTable[0x26], 0x50);
    // A few entries of the code table that differ from other EBCDIC variants.
    EXPECT_EQ(platform::EbcdicToAnsiTable[0x4F], 0xFE);
    EXPECT_EQ(platform::EbcdicToAnsiTable[0x6A], 0x7C);
    EXPECT_EQ(platform::EbcdicToAnsiTable[0xE0], 0x5C);
    EXPECT_EQ(platform::EbcdicToAnsiTable[0xA1], 0x7E);
    EXPECT_EQ(platform::EbcdicToAnsiTable[0x4A], 0x00);
}
