// SPDX-License-Identifier: GPL-3.0-or-later
// The package reader's way to the bytes: every read counted against the
// file's size, and a cursor that reads a region ahead only as far as the
// region certainly reaches. Internal to the package reader.
#pragma once

#include "PackageReader/PackageReader.h"

#include <array>
#include <cstdint>
#include <string>

namespace umx::detail {

// Leaves the reader with the reason its package counts as unreadable.
struct Refusal {
    Failure failure;
    std::string reason;
};

[[noreturn]] void Refuse(Failure failure, std::string reason);

// Reads exact byte counts from a source; all reads together may not exceed
// the source's size (a package whose tables overlap would otherwise cost
// more than its size).
class BoundedReader {
public:
    explicit BoundedReader(ByteSource& source) : source_(source), size_(source.Size()) {}

    std::int64_t Size() const { return size_; }
    std::int64_t BytesRead() const { return read_; }
    // Reads exactly count bytes at offset; what names the region in a refusal.
    void Read(std::int64_t offset, std::uint8_t* destination, std::size_t count, const std::string& what);

private:
    ByteSource& source_;
    std::int64_t size_;
    std::int64_t read_ = 0;
};

// Reads a region field by field from its start up to limit (exclusive). It
// fetches ahead only as many bytes as were promised to belong to the region,
// so reading a well-formed package never reads a byte twice.
class Cursor {
public:
    Cursor(BoundedReader& reader, std::int64_t start, std::int64_t limit, std::string what);

    std::int64_t Position() const { return bufferStart_ + static_cast<std::int64_t>(at_); }
    // The next bytes bytes certainly belong to the region (a lower bound, e.g.
    // entries left times an entry's least size).
    void Promise(std::int64_t bytes);

    std::uint8_t U8();
    std::uint32_t U32();
    std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
    // Unreal's compact index: sign, "more" and 6 bits in the first byte, then
    // "more" and 7 bits a byte; at most 5 bytes and 32 bits of magnitude.
    std::int32_t Compact();
    // Appends count bytes to out.
    void Take(std::size_t count, std::string& out);
    const std::string& What() const { return what_; }

private:
    static constexpr std::size_t kChunk = 4096;
    void Need(std::size_t count);
    void Consume(std::size_t count);

    BoundedReader& reader_;
    std::int64_t limit_;
    std::string what_;
    std::array<std::uint8_t, kChunk> buffer_ {};
    std::int64_t bufferStart_;  // file offset of buffer_[0]
    std::size_t at_ = 0;        // next unread byte
    std::size_t end_ = 0;       // bytes held
    std::int64_t promised_ = 0;  // bytes from Position() known to belong to the region
};

}  // namespace umx::detail
