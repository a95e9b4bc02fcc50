// The two single-byte code pages of the byte editor: the OEM (DOS) code page
// CP850 and the ANSI code page Windows-1252, with conversions between them
// and Windows-1252 lower-casing.
//
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
