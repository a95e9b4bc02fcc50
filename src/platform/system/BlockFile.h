// SPDX-License-Identifier: GPL-3.0-or-later
// The untyped block file: open, create, seek, block read and write, close,
// each followed by an I/O check that raises EInOutError with the German text
// of the error code.
#pragma once

#include "platform/system/ReplacingFile.h"
#include "platform/system/UniqueFd.h"

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

class TUntypedFile {
public:
    enum class Access { ReadOnly, ReadWrite };

    TUntypedFile() = default;
    explicit TUntypedFile(std::string path) : path_(std::move(path)) {}
    TUntypedFile(const TUntypedFile&) = delete;
    TUntypedFile& operator=(const TUntypedFile&) = delete;
    // Closes a file still open; an unfinished replacement is discarded.
    ~TUntypedFile();

    const std::string& Path() const { return path_; }
    bool IsOpen() const { return file_.IsOpen() || replacement_.IsOpen(); }

    // Gives the file a user-space buffer of that many bytes (0, the default:
    // none), so that small blocks become large system calls. Reads then fetch
    // up to a buffer's worth ahead; writes are collected until the buffer is
    // full. Seek, Close and a read after a write pass the collected bytes on
    // first. A write error therefore surfaces at the BlockWrite that fills the
    // buffer, at Seek, or at Close at the latest, which then raises it and
    // drops the file; a RewriteReplacing file never reaches its target.
    void SetBufferSize(int bytes);

    // Opens an existing regular file.
    void Reset(Access access = Access::ReadWrite);
    // Creates the file, or empties an existing one.
    void Rewrite();
    // Creates a hidden temporary file beside the path; Close renames it over
    // the path once everything was written, so a failure never leaves a
    // partial file under the path nor destroys what stood there. As with
    // Rewrite, an existing file the user may not write is refused (error 5),
    // and the new file keeps the old one's permission bits.
    void RewriteReplacing();
    // Lets the next RewriteReplacing write into the file at path instead of
    // a new one (ReplacingFile::Adopt): path is renamed away at once, and
    // removed unless a RewriteReplacing puts it in place. False, with the
    // file as it was, when it cannot be taken.
    bool TakeOver(const std::string& path);
    void Seek(std::int64_t position);
    // Reads up to count bytes; a short read at the end of the file is no error.
    int BlockRead(void* buffer, int count);
    // Writes count bytes; a short write (disk full) raises error 101.
    int BlockWrite(const void* buffer, int count);
    // Copies up to count bytes from source's position to this file's
    // position, in the kernel where it can (copy_file_range), and moves both
    // positions on; how many were copied (fewer only at the end of source).
    // Errors raise as BlockRead and BlockWrite raise them.
    std::int64_t BlockCopyFrom(TUntypedFile& source, std::int64_t count);
    // Closes the file (and for RewriteReplacing, puts it in place).
    void Close();
    // Drops the file without an error: a replacement in progress is removed.
    void Abandon() noexcept;

private:
    enum class Buffered { Nothing, ReadAhead, PendingWrites };

    [[noreturn]] void RaiseFromErrno(int err);
    void OpenRegular(int flags);
    // The open descriptor: the replacement's while one is in progress.
    int Fd() const { return replacement_.IsOpen() ? replacement_.Fd() : file_.Get(); }
    int ReadDirect(char* out, int count);
    void WriteDirect(const char* in, int count);
    // Writes the collected bytes; raises the I/O error when that fails.
    void FlushWrites();
    // Puts the file position back to where the reader stands.
    void DropReadAhead();
    void ClearBuffer() noexcept;
    // Passes buffered bytes on and puts the file position where the reader
    // or writer stands.
    void Settle();
    // Notes how far the writes reached in a file taken over.
    void NoteReach();

    std::string path_;
    UniqueFd file_;              // Reset and Rewrite
    ReplacingFile replacement_;  // RewriteReplacing
    std::unique_ptr<char[]> buffer_;
    int bufferSize_ = 0;
    Buffered buffered_ = Buffered::Nothing;
    int bufferPos_ = 0;  // read ahead: next unread byte
    int bufferLen_ = 0;  // read ahead: bytes held; pending writes: bytes collected
    // The end of the furthest write into a file taken over: Close cuts the
    // file there, as its old bytes may reach further.
    std::int64_t reach_ = 0;
};

}  // namespace platform
