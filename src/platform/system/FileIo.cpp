// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/FileIo.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr std::int64_t kPageBytes = 4096;
// The buffer of a copy through the program.
constexpr std::int64_t kCopyPiece = 1 << 20;

// The buffer of copies through the program, one per thread, kept from the
// first copy on: a batch copies once or more per package, and a fresh 1 MiB
// allocation each time costs a mapping and a page fault per page touched.
// Null when memory is short.
std::uint8_t* CopyBuffer()
{
    thread_local std::unique_ptr<std::uint8_t[]> buffer;
    if (!buffer)
        buffer.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(kCopyPiece)]);
    return buffer.get();
}

}  // namespace

UniqueFd OpenRegularFile(const std::string& path, int flags, mode_t mode, struct stat* info)
{
    UniqueFd fd(::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, mode));
    if (!fd.IsOpen())
        return fd;
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        fd.Reset();
        errno = EACCES;
        return fd;
    }
    ClearNonBlocking(fd.Get(), flags);
    if (info)
        *info = st;
    return fd;
}

void ClearNonBlocking(int fd, int openFlags)
{
    // F_SETFL changes only the status flags (O_APPEND, O_NONBLOCK, ...); the
    // ones given to open are the ones the file has, so there is nothing to
    // ask for first.
    ::fcntl(fd, F_SETFL, openFlags & ~O_NONBLOCK);
}

std::int64_t ReadAt(int fd, void* destination, std::int64_t count, std::int64_t offset, bool* failed)
{
    auto* out = static_cast<std::uint8_t*>(destination);
    std::int64_t done = 0;
    bool error = false;
    while (done < count) {
        const ssize_t n = ::pread(fd, out + done, static_cast<size_t>(count - done), offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        error = n < 0;
        if (n <= 0)
            break;
        done += n;
    }
    if (failed)
        *failed = error;
    return done;
}

bool WriteAt(int fd, const void* source, std::int64_t count, std::int64_t offset, std::int64_t* written)
{
    const auto* in = static_cast<const std::uint8_t*>(source);
    std::int64_t done = 0;
    while (done < count) {
        const ssize_t n = ::pwrite(fd, in + done, static_cast<size_t>(count - done), offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;  // nothing written and no reason given
            break;
        }
        done += n;
    }
    if (written)
        *written = done;
    return done == count;
}

bool CopyRange(int in, std::int64_t inOffset, int out, std::int64_t outOffset, std::int64_t count,
               std::int64_t* copied)
{
    std::int64_t done = 0;
    // The kernel's copy only where both offsets lie alike within a page:
    // there a file system may share the blocks or copy whole pages. Where
    // they do not, the kernel (ext4 at least) moves every page in two parts
    // and takes longer than a read and a write through a buffer.
    if ((inOffset - outOffset) % kPageBytes == 0) {
        loff_t from = inOffset;
        loff_t to = outOffset;
        while (done < count) {
            const ssize_t n = ::copy_file_range(in, &from, out, &to, static_cast<size_t>(count - done), 0);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            done = from - inOffset;
        }
    }
    // Where the kernel stopped short (another file system, an error, the
    // end of in) or was not asked, plain reads and writes go on and tell
    // which it was.
    errno = 0;
    if (done < count) {
        const std::int64_t piece = kCopyPiece;
        std::uint8_t* const buffer = CopyBuffer();
        if (!buffer)
            errno = ENOMEM;
        while (buffer && done < count) {
            bool failed = false;
            const std::int64_t n = ReadAt(in, buffer, std::min(piece, count - done), inOffset + done, &failed);
            if (n <= 0) {
                if (!failed)
                    errno = 0;
                break;
            }
            std::int64_t written = 0;
            const bool ok = WriteAt(out, buffer, n, outOffset + done, &written);
            done += written;
            if (!ok)
                break;
        }
    }
    if (copied)
        *copied = done;
    return done == count;
}

bool CopyDescriptor(int in, int out, std::int64_t size)
{
    return CopyRange(in, 0, out, 0, size);
}

}  // namespace platform
