// SPDX-License-Identifier: GPL-3.0-or-later
// The package reader: finds the music objects of an Unreal package from the
// package's own tables and says where each module's bytes lie, how many there
// are and whether they carry their format's signature. Plain C++, no Qt.
//
// What it accepts: package versions 61 to 69 (Unreal and Unreal Tournament),
// header, name, import and export tables as those versions lay them out, and
// music objects (exports whose class is the import Core.Class "Music") whose
// data holds no properties ("None" only), the format name, for versions above
// 61 the absolute offset just past the data, the data length and the bytes.
//
// Where it refuses (the package then counts as unreadable and the caller falls
// back to a signature search): no package tag, another version, a count,
// offset or length that reaches past the end of the file, an index or a
// reference out of range, a name longer than kMaxNameLength bytes, a compact
// index longer than 5 bytes or beyond 32 bits, a music object with properties
// or whose data does not end where its export entry (and, above version 61, its
// end offset) says, two music objects sharing bytes, more than
// kMaxMusicObjects music objects, a read error, and reading more bytes than
// the file holds (which only overlapping tables can cause).
//
// The reader trusts nothing it reads: every count is checked against the
// bytes left in the file before anything is sized by it, it follows exactly
// one reference per export (its class) and never a chain, and it reads at
// most the file's size in bytes, each table and data prefix only as far as
// that table certainly reaches.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace umx {

// Where the reader gets its bytes from.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::int64_t Size() const = 0;
    // Reads up to count bytes at offset into destination: how many were read
    // (fewer only at the end of the source), -1 on an error (errno says which).
    virtual std::int64_t ReadAt(std::int64_t offset, std::uint8_t* destination, std::size_t count) = 0;
};

// An open file of a known size, read with pread (the position stays alone).
class FileSource final : public ByteSource {
public:
    FileSource(int fd, std::int64_t size) : fd_(fd), size_(size) {}
    std::int64_t Size() const override { return size_; }
    std::int64_t ReadAt(std::int64_t offset, std::uint8_t* destination, std::size_t count) override;

private:
    int fd_;
    std::int64_t size_;
};

// Bytes already in memory (not copied; they must outlive the source).
class MemorySource final : public ByteSource {
public:
    MemorySource(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::int64_t Size() const override { return static_cast<std::int64_t>(size_); }
    std::int64_t ReadAt(std::int64_t offset, std::uint8_t* destination, std::size_t count) override;

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

inline constexpr int kFirstVersion = 61;
inline constexpr int kLastVersion = 69;
// Longest name (terminator included) the reader takes; the engine's own
// limit is 64.
inline constexpr std::int64_t kMaxNameLength = 1024;
inline constexpr std::size_t kMaxMusicObjects = 1024;

// Why a package's tables could not be read.
enum class Failure {
    None,
    NotAPackage,     // no package tag at the start
    UnknownVersion,  // a version outside kFirstVersion..kLastVersion
    OutsideFile,     // a table, entry or data reaches past the end of the file
    DamagedEntry,    // an entry contradicts the package (index, length, layout)
    ReadLimit,       // more than the file's size would be read: tables overlap
    ReadError,       // the file could not be read
};

// Whether a module's first bytes carry the signature of its stated format.
enum class Signature {
    Matches,
    Mismatch,       // the format is known and its signature is not there
    UnknownFormat,  // a format name the reader knows no signature for
};

struct MusicObject {
    std::string objectName;  // the export's name, as stored
    std::string format;      // the format name as stored
    std::int64_t offset = 0;  // absolute offset of the module's first byte
    std::int64_t length = 0;  // the module's bytes
    Signature signature = Signature::Mismatch;
};

struct PackageContents {
    Failure failure = Failure::None;
    // Why the tables could not be read, for diagnostics (German); empty when
    // they could.
    std::string reason;
    int version = 0;  // the package's file version once the header was read
    // The music objects in export table order; empty for a package without
    // music (or when the tables could not be read).
    std::vector<MusicObject> music;
    std::int64_t bytesRead = 0;  // never more than the file's size

    bool Readable() const { return failure == Failure::None; }
};

// Reads the package's tables. Never throws for anything in the bytes; only
// std::bad_alloc can leave it.
PackageContents ReadPackage(ByteSource& source);
// The same for an open file of the given size (taken from fstat).
PackageContents ReadPackage(int fd, std::int64_t size);
// Opens a regular file read-only and reads its tables; a file that cannot be
// opened gives Failure::ReadError.
PackageContents ReadPackageFile(const std::string& path);

// Checks a module's signature for a format name (compared without regard to
// case) as the kind table (ModuleKinds.h) says. module holds the module's
// first min(length, kSignatureBytes) bytes; length is the module's whole
// length.
inline constexpr std::size_t kSignatureBytes = 1084;
Signature CheckSignature(std::string_view format, const std::uint8_t* module, std::int64_t length);

}  // namespace umx
