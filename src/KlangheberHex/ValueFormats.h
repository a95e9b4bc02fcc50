// SPDX-License-Identifier: GPL-3.0-or-later
// The bytes at the caret read as numbers, and numbers typed back into bytes:
// signed and unsigned integers of 8, 16, 32 and 64 bits, 32- and 64-bit
// floating point numbers (IEEE 754), and one byte in binary and in octal,
// little- or big-endian. Plain C++, so every width and byte order is tested
// without a window.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace hexwindow {

enum class ValueKind { Int8, UInt8, Int16, UInt16, Int32, UInt32, Int64, UInt64, Float32, Float64, Binary, Octal };

// How many bytes a value of the kind takes.
int ValueWidth(ValueKind kind);

// The value the first ValueWidth bytes hold, as text ("-2", "1.5", "01000001",
// "101"); nothing when there are fewer bytes.
std::optional<std::string> DecodeValue(ValueKind kind, std::span<const std::uint8_t> bytes, bool bigEndian);

// The bytes of a typed value; nothing when the text is no value of the kind
// or lies outside its range. Integers are decimal or, after "0x",
// hexadecimal; a floating point number may use a decimal comma; blanks
// around the text are ignored.
std::optional<std::vector<std::uint8_t>> EncodeValue(ValueKind kind, std::string_view text, bool bigEndian);

}  // namespace hexwindow
