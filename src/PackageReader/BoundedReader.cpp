// SPDX-License-Identifier: GPL-3.0-or-later
#include "PackageReader/BoundedReader.h"

#include "platform/system/FileIo.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace umx {

std::int64_t FileSource::ReadAt(std::int64_t offset, std::uint8_t* destination, std::size_t count)
{
    bool failed = false;
    const std::int64_t n = platform::ReadAt(fd_, destination, static_cast<std::int64_t>(count), offset, &failed);
    return failed ? -1 : n;
}

std::int64_t MemorySource::ReadAt(std::int64_t offset, std::uint8_t* destination, std::size_t count)
{
    if (offset < 0 || static_cast<std::uint64_t>(offset) >= size_)
        return 0;
    const std::size_t n = std::min(count, size_ - static_cast<std::size_t>(offset));
    std::memcpy(destination, data_ + offset, n);
    return static_cast<std::int64_t>(n);
}

namespace detail {

void Refuse(Failure failure, std::string reason)
{
    throw Refusal {failure, std::move(reason)};
}

void BoundedReader::Read(std::int64_t offset, std::uint8_t* destination, std::size_t count, const std::string& what)
{
    const auto n = static_cast<std::int64_t>(count);
    if (offset < 0 || offset > size_ || n > size_ - offset)
        Refuse(Failure::OutsideFile, what + " reicht über das Dateiende");
    if (n > size_ - read_)
        Refuse(Failure::ReadLimit, "Tabellen überlappen sich (mehr gelesen, als die Datei hält)");
    read_ += n;
    const std::int64_t got = source_.ReadAt(offset, destination, count);
    if (got < 0)
        Refuse(Failure::ReadError, "Lesefehler: " + std::string(std::strerror(errno)));
    if (got < n)
        Refuse(Failure::OutsideFile, "Datei kürzer als angegeben");
}

Cursor::Cursor(BoundedReader& reader, std::int64_t start, std::int64_t limit, std::string what)
    : reader_(reader), limit_(std::min(limit, reader.Size())), what_(std::move(what)), bufferStart_(start)
{
    if (start < 0 || start > limit_)
        Refuse(Failure::OutsideFile, what_ + " beginnt außerhalb der Datei");
}

void Cursor::Promise(std::int64_t bytes)
{
    promised_ = std::max(promised_, bytes);
}

void Cursor::Consume(std::size_t count)
{
    at_ += count;
    promised_ = std::max<std::int64_t>(0, promised_ - static_cast<std::int64_t>(count));
}

void Cursor::Need(std::size_t count)
{
    const std::size_t held = end_ - at_;
    if (held >= count)
        return;
    // Keep the unread bytes, then read what is missing and as much of the
    // promised rest as fits, never past the region's limit.
    std::memmove(buffer_.data(), buffer_.data() + at_, held);
    bufferStart_ += static_cast<std::int64_t>(at_);
    at_ = 0;
    end_ = held;
    const std::int64_t next = bufferStart_ + static_cast<std::int64_t>(held);
    const std::int64_t left = limit_ - next;
    const auto missing = static_cast<std::int64_t>(count - held);
    if (missing > left)
        Refuse(Failure::OutsideFile,
               what_ + " reicht über " + (limit_ < reader_.Size() ? "ihr Ende" : "das Dateiende"));
    const std::int64_t ahead = std::min<std::int64_t>(promised_, static_cast<std::int64_t>(kChunk)) -
                               static_cast<std::int64_t>(held);
    const std::int64_t want = std::min(std::max(missing, ahead), left);
    reader_.Read(next, buffer_.data() + held, static_cast<std::size_t>(want), what_);
    end_ += static_cast<std::size_t>(want);
}

std::uint8_t Cursor::U8()
{
    Need(1);
    const std::uint8_t b = buffer_[at_];
    Consume(1);
    return b;
}

std::uint32_t Cursor::U32()
{
    Need(4);
    const std::uint8_t* p = buffer_.data() + at_;
    const std::uint32_t v = static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                            static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    Consume(4);
    return v;
}

std::int32_t Cursor::Compact()
{
    const std::uint8_t first = U8();
    std::int64_t magnitude = first & 0x3F;
    bool more = (first & 0x40) != 0;
    for (int shift = 6; more; shift += 7) {
        if (shift > 27)
            Refuse(Failure::DamagedEntry, what_ + ": Kompaktindex länger als 5 Bytes");
        const std::uint8_t b = U8();
        magnitude |= static_cast<std::int64_t>(b & 0x7F) << shift;
        more = (b & 0x80) != 0;
    }
    if (magnitude > INT32_MAX)
        Refuse(Failure::DamagedEntry, what_ + ": Kompaktindex über 32 Bit");
    return static_cast<std::int32_t>(first & 0x80 ? -magnitude : magnitude);
}

void Cursor::Take(std::size_t count, std::string& out)
{
    while (count > 0) {
        const std::size_t piece = std::min(count, kChunk);
        Need(piece);
        out.append(reinterpret_cast<const char*>(buffer_.data() + at_), piece);
        Consume(piece);
        count -= piece;
    }
}

}  // namespace detail
}  // namespace umx
