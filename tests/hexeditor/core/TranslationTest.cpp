// SPDX-License-Identifier: GPL-3.0-or-later
// Character translation: byte <-> character routines under every
// translation, and buffer conversion.
#include "hexeditor/core/Translation.h"

#include <gtest/gtest.h>
#include <cstring>

using hexcore::CharTranslation;
using namespace translation;

TEST(Translation, EbcdicShowsAndTypes)
{
    CharTranslation chars;
    chars.translation = ttEBCDIC;
    EXPECT_EQ(chars.ToChar(0xC1), 'A');
    EXPECT_EQ(chars.ToChar(0x00), '.');
    EXPECT_EQ(chars.ToChar(0x50), 0x26);
    EXPECT_EQ(chars.ToChar(0x51), 0x26);
    EXPECT_EQ(chars.ToByte('A'), 0xC1);
    EXPECT_EQ(chars.ToByte('['), 0);
    EXPECT_EQ(chars.ToByte(0x26), 0x50);
    chars.maskChar = '#';
    EXPECT_EQ(chars.ToChar(0xFF), '#');
}

TEST(Translation, MacShowsAndTypes)
{
    CharTranslation chars;
    chars.translation = ttMac;
    EXPECT_EQ(chars.ToChar(0x80), 0xC4);
    EXPECT_EQ(chars.ToByte(0xC4), 0x80);
    EXPECT_EQ(chars.ToChar('q'), 'q');
    EXPECT_EQ(chars.ToChar(0x07), '.');
    EXPECT_EQ(chars.ToByte(0x07), 0);
    chars.maskWhiteSpaces = false;
    EXPECT_EQ(chars.ToChar(0x07), 0x07);
}

TEST(Translation, AsciiMasksAndRefusesHighCharacters)
{
    CharTranslation chars;
    chars.translation = ttASCII;
    EXPECT_EQ(chars.ToChar(0x80), '.');
    EXPECT_EQ(chars.ToChar(0xFF), '.');
    EXPECT_EQ(chars.ToChar('K'), 'K');
    for (int c = 0x80; c < 0x100; ++c)
        EXPECT_EQ(chars.ToByte(static_cast<std::uint8_t>(c)), 0) << c;
    EXPECT_EQ(chars.ToByte('K'), 'K');
    EXPECT_EQ(chars.ToByte(0x1F), 0);
}

TEST(Translation, DosReadsCp850)
{
    CharTranslation chars;
    chars.translation = ttDos8;
    EXPECT_EQ(chars.ToChar(0x84), 0xE4);  // ä
    EXPECT_EQ(chars.ToChar(0xC4), '-');   // ─
    EXPECT_EQ(chars.ToByte(0xE4), 0x84);
    EXPECT_EQ(chars.ToByte(0x0D), 0);
}

TEST(Translation, AnsiMasksControlCodesOnlyWhenAsked)
{
    CharTranslation chars;
    EXPECT_EQ(chars.translation, ttAnsi);
    EXPECT_EQ(chars.maskChar, '.');
    EXPECT_TRUE(chars.maskWhiteSpaces);
    EXPECT_EQ(chars.ToChar(0x09), '.');
    EXPECT_EQ(chars.ToChar(0x80), 0x80);
    chars.maskWhiteSpaces = false;
    EXPECT_EQ(chars.ToChar(0x09), 0x09);
    EXPECT_EQ(chars.ToByte(0x09), 0);
    EXPECT_EQ(chars.ToByte(0xE4), 0xE4);
}

TEST(Translation, UnknownTranslationShowsMaskAndStoresNothing)
{
    CharTranslation chars;
    chars.translation = static_cast<TTranslationType>(9);
    EXPECT_EQ(chars.ToChar('A'), '.');
    EXPECT_EQ(chars.ToByte('A'), 0);
    std::uint8_t buffer[] = {'A', 'B'};
    TranslateBuffer(static_cast<TTranslationType>(9), buffer, buffer, 2);
    EXPECT_EQ(buffer[0], 'A');
}

// Every byte that a translation shows as a genuine character, and that is
// accepted back when typed, is stored as itself; the bytes that do not come
// back are exactly those the translation can only show by a look-alike. The
// mask is a control code, which no translation accepts back.
TEST(Translation, RoundTripsOfShownBytes)
{
    CharTranslation chars;
    chars.maskChar = '\x01';
    struct Expect {
        TTranslationType translation;
        int exact;
        int lost;
    };
    const Expect all[] = {
        {ttAnsi, 224, 0},
        {ttMac, 224, 0},
        {ttASCII, 96, 0},
        // CP850 has 32 characters Windows-1252 lacks; the florin sign is
        // the only one of 0x80-0x9F shared by both.
        {ttDos8, 96 + 97, 31},
        // 0x51 shows as '&' like 0x50, which is what '&' types as.
        {ttEBCDIC, 91, 1},
    };
    for (const auto& e : all) {
        chars.translation = e.translation;
        int exact = 0, lost = 0;
        for (int b = 0; b < 256; ++b) {
            const auto byte = static_cast<std::uint8_t>(b);
            const std::uint8_t stored = chars.ToByte(chars.ToChar(byte));
            if (stored == 0)
                continue;  // masked or refused
            if (stored == byte)
                ++exact;
            else
                ++lost;
        }
        EXPECT_EQ(exact, e.exact) << int(e.translation);
        EXPECT_EQ(lost, e.lost) << int(e.translation);
    }
}

TEST(Translation, BufferConversion)
{
    const std::uint8_t text[] = {'A', 0x09, 0xE4, 0xC4, '['};
    std::uint8_t out[sizeof text];

    TranslateBuffer(ttAnsi, text, out, sizeof text);
    EXPECT_EQ(0, std::memcmp(out, text, sizeof text));

    // Nothing is zeroed: control codes and high characters convert too.
    for (const auto t : {ttDos8, ttASCII}) {
        TranslateBuffer(t, text, out, sizeof text);
        const std::uint8_t oem[] = {'A', 0x09, 0x84, 0x8E, '['};
        EXPECT_EQ(0, std::memcmp(out, oem, sizeof out)) << int(t);
    }

    TranslateBuffer(ttMac, text, out, sizeof text);
    const std::uint8_t mac[] = {'A', 0x09, 0x8A, 0x80, '['};
    EXPECT_EQ(0, std::memcmp(out, mac, sizeof out));

    std::uint8_t inPlace[sizeof text];
    std::memcpy(inPlace, text, sizeof text);
    TranslateBuffer(ttEBCDIC, inPlace, inPlace, sizeof inPlace);
    const std::uint8_t ebcdic[] = {0xC1, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(0, std::memcmp(inPlace, ebcdic, sizeof inPlace));

    TranslateBuffer(ttEBCDIC, text, out, 0);
    TranslateBuffer(ttEBCDIC, text, out, -3);
}
