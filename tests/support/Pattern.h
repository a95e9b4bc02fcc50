// SPDX-License-Identifier: GPL-3.0-or-later
// Test data: bytes that look random but are the same on every run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace testsupport {

// size bytes from a linear congruential generator started from seed; two
// seeds give unrelated contents.
inline std::vector<std::uint8_t> Pattern(std::size_t size, std::uint32_t seed = 1)
{
    std::vector<std::uint8_t> data(size);
    std::uint32_t x = seed * 2654435761u + 12345u;
    for (auto& b : data) {
        x = x * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(x >> 16);
    }
    return data;
}

}  // namespace testsupport
