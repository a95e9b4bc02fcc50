// SPDX-License-Identifier: GPL-3.0-or-later
// Character translations: how the character pane reads bytes and how typed
// text becomes bytes, under five code pages. Every table is in
// platform/system/CodePages.h (ANSI = Windows-1252).
#pragma once

#include <cstdint>

// How the character pane reads bytes.
enum TTranslationType : std::uint8_t { ttAnsi, ttDos8, ttASCII, ttMac, ttEBCDIC };

// Character translation routines (independent of any document).
namespace translation {
// Converts count characters of text to bytes under a translation; source and
// destination may be the same buffer.
void TranslateBuffer(TTranslationType translation, const std::uint8_t* source, std::uint8_t* destination,
                     std::int32_t count);
// OEM (CP850) byte to ANSI (Windows-1252) character and back.
std::uint8_t OemToAnsiChar(std::uint8_t b);
std::uint8_t AnsiToOemChar(std::uint8_t c);
}  // namespace translation

namespace hexcore {

// How bytes read as characters: the translation, the character shown for a
// byte without one (and, with maskWhiteSpaces, for control characters).
struct CharTranslation {
    TTranslationType translation = ttAnsi;
    char maskChar = '.';
    bool maskWhiteSpaces = true;

    // The character a byte shows as.
    std::uint8_t ToChar(std::uint8_t b) const;
    // The byte a typed character stores; 0 when the translation refuses it.
    std::uint8_t ToByte(std::uint8_t c) const;
};

}  // namespace hexcore
