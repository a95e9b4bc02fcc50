// SPDX-License-Identifier: GPL-3.0-or-later
#include "KlangheberHex/ValueFormats.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <limits>

namespace hexwindow {

namespace {

bool IsSigned(ValueKind kind)
{
    return kind == ValueKind::Int8 || kind == ValueKind::Int16 || kind == ValueKind::Int32 ||
           kind == ValueKind::Int64;
}

bool IsFloat(ValueKind kind)
{
    return kind == ValueKind::Float32 || kind == ValueKind::Float64;
}

// The width's bytes as one unsigned number.
std::uint64_t Assemble(std::span<const std::uint8_t> bytes, int width, bool bigEndian)
{
    std::uint64_t value = 0;
    for (int i = 0; i < width; ++i) {
        const std::uint8_t b = bytes[static_cast<std::size_t>(bigEndian ? i : width - 1 - i)];
        value = (value << 8) | b;
    }
    return value;
}

std::vector<std::uint8_t> Split(std::uint64_t value, int width, bool bigEndian)
{
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(width));
    for (int i = 0; i < width; ++i)
        bytes[static_cast<std::size_t>(bigEndian ? width - 1 - i : i)] = static_cast<std::uint8_t>(value >> (8 * i));
    return bytes;
}

template <class T>
std::string ToText(T value, int base = 10)
{
    char buffer[64];
    std::to_chars_result result;
    if constexpr (std::is_floating_point_v<T>)
        result = std::to_chars(std::begin(buffer), std::end(buffer), value);
    else
        result = std::to_chars(std::begin(buffer), std::end(buffer), value, base);
    return std::string(buffer, result.ptr);
}

// The whole text as a number of type T; nothing when anything is left over.
template <class T>
std::optional<T> Parse(std::string_view text, int base = 10)
{
    T value{};
    std::from_chars_result result;
    if constexpr (std::is_floating_point_v<T>)
        result = std::from_chars(text.data(), text.data() + text.size(), value);
    else
        result = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::string_view Trimmed(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

// An integer as typed: an optional sign, then decimal digits or "0x" and
// hex digits (base 2 and 8 for binary and octal).
std::optional<std::uint64_t> ParseInteger(ValueKind kind, std::string_view text)
{
    const int width = ValueWidth(kind);
    if (kind == ValueKind::Binary || kind == ValueKind::Octal) {
        const auto value = Parse<std::uint64_t>(text, kind == ValueKind::Binary ? 2 : 8);
        return value && *value <= 0xFF ? value : std::nullopt;
    }
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const auto magnitude = Parse<std::uint64_t>(hex ? text.substr(2) : text, hex ? 16 : 10);
    if (!magnitude)
        return std::nullopt;
    const int bits = 8 * width;
    if (!IsSigned(kind)) {
        const std::uint64_t max = bits == 64 ? ~0ULL : (1ULL << bits) - 1;
        return !negative && *magnitude <= max ? magnitude : std::nullopt;
    }
    const std::uint64_t limit = 1ULL << (bits - 1);  // |min|; max is one less
    if (negative ? *magnitude > limit : *magnitude >= limit)
        return std::nullopt;
    const std::uint64_t value = negative ? 0 - *magnitude : *magnitude;
    return bits == 64 ? value : value & ((1ULL << bits) - 1);
}

}  // namespace

int ValueWidth(ValueKind kind)
{
    switch (kind) {
    case ValueKind::Int16:
    case ValueKind::UInt16: return 2;
    case ValueKind::Int32:
    case ValueKind::UInt32:
    case ValueKind::Float32: return 4;
    case ValueKind::Int64:
    case ValueKind::UInt64:
    case ValueKind::Float64: return 8;
    default: return 1;
    }
}

std::optional<std::string> DecodeValue(ValueKind kind, std::span<const std::uint8_t> bytes, bool bigEndian)
{
    const int width = ValueWidth(kind);
    if (bytes.size() < static_cast<std::size_t>(width))
        return std::nullopt;
    const std::uint64_t raw = Assemble(bytes, width, bigEndian);
    switch (kind) {
    case ValueKind::Float32: return ToText(std::bit_cast<float>(static_cast<std::uint32_t>(raw)));
    case ValueKind::Float64: return ToText(std::bit_cast<double>(raw));
    case ValueKind::Binary: {
        std::string bits = ToText(raw, 2);
        return std::string(8 - bits.size(), '0') + bits;
    }
    case ValueKind::Octal: return ToText(raw, 8);
    default: break;
    }
    if (!IsSigned(kind))
        return ToText(raw);
    // Sign extension from the width's top bit.
    const int shift = 64 - 8 * width;
    return ToText(static_cast<std::int64_t>(raw << shift) >> shift);
}

std::optional<std::vector<std::uint8_t>> EncodeValue(ValueKind kind, std::string_view text, bool bigEndian)
{
    text = Trimmed(text);
    const int width = ValueWidth(kind);
    std::uint64_t raw = 0;
    if (IsFloat(kind)) {
        std::string number(text);
        std::replace(number.begin(), number.end(), ',', '.');
        if (kind == ValueKind::Float32) {
            const auto value = Parse<float>(number);
            if (!value)
                return std::nullopt;
            raw = std::bit_cast<std::uint32_t>(*value);
        } else {
            const auto value = Parse<double>(number);
            if (!value)
                return std::nullopt;
            raw = std::bit_cast<std::uint64_t>(*value);
        }
    } else {
        const auto value = ParseInteger(kind, text);
        if (!value)
            return std::nullopt;
        raw = *value;
    }
    return Split(raw, width, bigEndian);
}

}  // namespace hexwindow
