// SPDX-License-Identifier: GPL-3.0-or-later
// The single-byte code pages, all read against the ANSI code page
// Windows-1252: the OEM (DOS) code page CP850, Macintosh Roman and EBCDIC;
// Windows-1252 against Unicode; and Windows-1252 lower-casing.
//
// CP850:
// Characters present in both code pages convert exactly (0x00-0x7F to
// themselves); every other character converts through a fixed best-fit table
// (box drawing to "+", "-", "|", typographic quotes and dashes to their ASCII
// look-alikes, anything without a sensible fit to "?").
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace platform {

// One character from the OEM code page to the ANSI code page and back.
std::uint8_t OemToChar(std::uint8_t oem);
std::uint8_t CharToOem(std::uint8_t ansi);

// Whole buffers of count characters; source and destination may be the same
// buffer. Zero bytes are converted like any other (they stay 0).
void OemToCharBuff(const std::uint8_t* source, std::uint8_t* destination, std::size_t count);
void CharToOemBuff(const std::uint8_t* source, std::uint8_t* destination, std::size_t count);

// Macintosh Roman and Windows-1252 share 0x00-0x7F; their bytes 0x80-0xFF
// are a permutation of each other. The tables hold that half (index byte -
// 0x80) and are each other's inverse.
extern const std::uint8_t MacToAnsiTable[128];
extern const std::uint8_t AnsiToMacTable[128];
std::uint8_t MacToChar(std::uint8_t mac);
std::uint8_t CharToMac(std::uint8_t ansi);

// EBCDIC code to Windows-1252 character; 0 where the code has no character.
extern const std::uint8_t EbcdicToAnsiTable[256];
// The inverse of EbcdicToAnsiTable on every character it produces (0 for the
// others); 0x26 (&), shown by both 0x50 and 0x51, maps to 0x50.
extern const std::uint8_t AnsiToEbcdicTable[256];

// A Unicode character as one Windows-1252 byte; false when the code page
// lacks it.
bool UnicodeToAnsi(char32_t ch, std::uint8_t& byte);
// A Windows-1252 byte as a Unicode character (the five undefined bytes stand
// for the C1 controls of the same value).
char32_t AnsiToUnicode(std::uint8_t byte);

// Windows-1252 lower-casing: A-Z, 0xC0-0xDE except 0xD7, and 0x8A, 0x8C,
// 0x8E, 0x9F to their lower-case partners; every other byte unchanged.
inline constexpr std::array<std::uint8_t, 256> AnsiLowerTable = [] {
    std::array<std::uint8_t, 256> t{};
    for (int c = 0; c < 256; ++c)
        t[c] = static_cast<std::uint8_t>(c);
    for (int c = 'A'; c <= 'Z'; ++c)
        t[c] = static_cast<std::uint8_t>(c + 0x20);
    for (int c = 0xC0; c <= 0xDE; ++c)
        if (c != 0xD7)
            t[c] = static_cast<std::uint8_t>(c + 0x20);
    t[0x8A] = 0x9A;  // Š š
    t[0x8C] = 0x9C;  // Œ œ
    t[0x8E] = 0x9E;  // Ž ž
    t[0x9F] = 0xFF;  // Ÿ ÿ
    return t;
}();
inline std::uint8_t CharLower(std::uint8_t c) { return AnsiLowerTable[c]; }
// Lower-cases count characters in place.
void CharLowerBuff(std::uint8_t* buffer, std::size_t count);

}  // namespace platform
