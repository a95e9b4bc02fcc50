// SPDX-License-Identifier: GPL-3.0-or-later
// Bytes an undo record saved, kept in a file instead of memory: a range of
// an open file. Large records live here, so the log's memory stays small
// whatever the document's size. The file is either one the working copy
// shares (its old bytes, see WorkingCopy::Share) or an unlinked temporary
// file of its own; either way no name leads to it, so nothing is left
// behind when the process ends.
#pragma once

#include "platform/system/UniqueFd.h"

#include <cstdint>
#include <string>

namespace hexcore {

class SavedFile {
public:
    SavedFile(platform::UniqueFd fd, std::int64_t offset, std::int64_t length)
        : fd_(std::move(fd)), offset_(offset), length_(length) {}
    SavedFile(const SavedFile&) = delete;
    SavedFile& operator=(const SavedFile&) = delete;

    // An unlinked file in folder holding length bytes of fd from offset on,
    // copied by the kernel. Raises the EInOutError of a failed create or
    // copy (nothing is left behind).
    static platform::UniqueFd CopyOf(const std::string& folder, int fd, std::int64_t offset, std::int64_t length);

    int Fd() const { return fd_.Get(); }
    std::int64_t Offset() const { return offset_; }
    std::int64_t Length() const { return length_; }
    // Reads count bytes from position from (of the saved bytes); raises the
    // EInOutError of a failed or short read.
    void Read(void* destination, std::int64_t count, std::int64_t from) const;
    // Takes the bytes from another file: they now start at offset there.
    void MoveTo(platform::UniqueFd fd, std::int64_t offset);

private:
    platform::UniqueFd fd_;
    std::int64_t offset_;
    std::int64_t length_;
};

// Bytes held apart from the document: size bytes in memory at data, or the
// bytes of file (an undo record's saved bytes, or bytes to insert).
struct SavedBytes {
    const std::uint8_t* data = nullptr;
    std::int64_t size = 0;
    const SavedFile* file = nullptr;

    std::int64_t Length() const;
    bool Empty() const { return Length() == 0; }
    // Writes count bytes from position from of them into fd at offset at;
    // raises EInOutError when that failed.
    void WriteInto(int fd, std::int64_t from, std::int64_t count, std::int64_t at) const;
};

}  // namespace hexcore
