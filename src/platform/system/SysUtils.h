// SPDX-License-Identifier: GPL-3.0-or-later
// String and number conversions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// Decimal text to a 32-bit integer: optional blanks in front, an optional sign,
// then digits only. Anything else, or a value out of range, raises
// EConvertError "'%s' ist kein gültiger Integerwert".
std::int32_t StrToInt(const std::string& text);

// The length of the valid UTF-8 sequence at bytes[at], 0 when none starts
// there (overlong forms, surrogates and values past U+10FFFF are invalid).
std::size_t Utf8SequenceAt(const std::string& bytes, std::size_t at);

// c with an ASCII capital letter made small; every other byte as it is.
constexpr char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether a and b are the same text when ASCII letters are compared without
// regard to case.
constexpr bool SameText(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    return true;
}

// The value of the hexadecimal digit c (0-9, a-f, A-F), -1 for any other
// character.
constexpr int HexDigitValue(char32_t c)
{
    if (c >= '0' && c <= '9')
        return static_cast<int>(c - '0');
    if (c >= 'a' && c <= 'f')
        return static_cast<int>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F')
        return static_cast<int>(c - 'A' + 10);
    return -1;
}

}  // namespace platform
