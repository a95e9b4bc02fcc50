// CP850 <-> Windows-1252 conversions and Windows-1252 lower-casing, checked
// against glibc's iconv code page tables and Qt's Unicode case mapping.
#include "platform/system/CodePages.h"

#include <QChar>
#include <cstring>
#include <gtest/gtest.h>
#include <iconv.h>
#include <optional>

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
