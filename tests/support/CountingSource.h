// SPDX-License-Identifier: GPL-3.0-or-later
// A package reader's byte source that counts what is read from it, so tests
// and the fuzz target can hold the reader to its reading bound on their own.
#pragma once

#include "PackageReader/PackageReader.h"

#include <cstdint>
#include <vector>

namespace testsupport {

class CountingSource final : public umx::ByteSource {
public:
    explicit CountingSource(const std::vector<std::uint8_t>& bytes) : inner_(bytes.data(), bytes.size()) {}
    std::int64_t Size() const override { return inner_.Size(); }
    std::int64_t ReadAt(std::int64_t offset, std::uint8_t* destination, std::size_t count) override
    {
        const std::int64_t n = inner_.ReadAt(offset, destination, count);
        read_ += n > 0 ? n : 0;
        ++calls_;
        return n;
    }
    std::int64_t BytesRead() const { return read_; }
    std::int64_t Calls() const { return calls_; }

private:
    umx::MemorySource inner_;
    std::int64_t read_ = 0;
    std::int64_t calls_ = 0;
};

}  // namespace testsupport
