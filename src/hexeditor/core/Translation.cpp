// SPDX-License-Identifier: GPL-3.0-or-later
#include "hexeditor/core/Translation.h"

#include "platform/system/CodePages.h"

#include <cstring>

namespace translation {

void TranslateBuffer(TTranslationType translation, const std::uint8_t* source, std::uint8_t* destination,
                     std::int32_t count)
{
    if (count <= 0)
        return;
    const auto n = static_cast<std::size_t>(count);
    switch (translation) {
    case ttAnsi:
        if (source != destination)
            std::memmove(destination, source, n);
        break;
    case ttDos8:
    case ttASCII:
        // Unlike typing, nothing is refused here: control characters and
        // (under ttASCII) characters from 0x80 up convert like all others.
        platform::CharToOemBuff(source, destination, n);
        break;
    case ttMac:
        for (std::size_t i = 0; i < n; ++i)
            destination[i] = platform::CharToMac(source[i]);
        break;
    case ttEBCDIC:
        for (std::size_t i = 0; i < n; ++i)
            destination[i] = platform::AnsiToEbcdicTable[source[i]];
        break;
    default:
        break;
    }
}

std::uint8_t OemToAnsiChar(std::uint8_t b)
{
    return platform::OemToChar(b);
}

std::uint8_t AnsiToOemChar(std::uint8_t c)
{
    return platform::CharToOem(c);
}

}  // namespace translation

namespace hexcore {

std::uint8_t CharTranslation::ToChar(std::uint8_t b) const
{
    const auto mask = static_cast<std::uint8_t>(maskChar);
    std::uint8_t c;
    switch (translation) {
    case ttAnsi:
        c = b;
        break;
    case ttDos8:
        c = ::translation::OemToAnsiChar(b);
        break;
    case ttASCII:
        c = b >= 0x80 ? mask : ::translation::OemToAnsiChar(b);
        break;
    case ttMac:
        c = platform::MacToChar(b);
        break;
    case ttEBCDIC:
        c = platform::EbcdicToAnsiTable[b] != 0 ? platform::EbcdicToAnsiTable[b] : mask;
        break;
    default:
        c = mask;
        break;
    }
    if (maskWhiteSpaces && c < 0x20)
        c = mask;
    return c;
}

std::uint8_t CharTranslation::ToByte(std::uint8_t c) const
{
    switch (translation) {
    case ttAnsi:
        return c < 0x20 ? 0 : c;
    case ttDos8:
        return c < 0x20 ? 0 : ::translation::AnsiToOemChar(c);
    case ttASCII:
        return c < 0x20 || c >= 0x80 ? 0 : ::translation::AnsiToOemChar(c);
    case ttMac:
        if (c < 0x20)
            return 0;
        return platform::CharToMac(c);
    case ttEBCDIC:
        return platform::AnsiToEbcdicTable[c];
    default:
        return 0;
    }
}

}  // namespace hexcore
