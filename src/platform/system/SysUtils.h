// SPDX-License-Identifier: GPL-3.0-or-later
// String and number conversions.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Decimal text to a 32-bit integer: optional blanks in front, an optional sign,
// then digits only. Anything else, or a value out of range, raises
// EConvertError "'%s' ist kein gültiger Integerwert".
std::int32_t StrToInt(const std::string& text);

// The length of the valid UTF-8 sequence at bytes[at], 0 when none starts
// there (overlong forms, surrogates and values past U+10FFFF are invalid).
std::size_t Utf8SequenceAt(const std::string& bytes, std::size_t at);

}  // namespace platform
