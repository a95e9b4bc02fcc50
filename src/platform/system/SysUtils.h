// String and number conversions.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Decimal text to a 32-bit integer: optional blanks in front, an optional sign,
// then digits only. Anything else, or a value out of range, raises
// EConvertError "'%s' ist kein gültiger Integerwert".
std::int32_t StrToInt(const std::string& text);

}  // namespace platform
