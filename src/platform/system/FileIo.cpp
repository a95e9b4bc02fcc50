// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/FileIo.h"

#include "platform/system/Exceptions.h"

#include <algorithm>
#include <cerrno>
#include <climits>
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

FileStatus StatusFrom(const struct stat& st)
{
    FileStatus status;
    status.id = FileIdOf(st);
    status.size = st.st_size;
    status.regular = S_ISREG(st.st_mode);
    status.directory = S_ISDIR(st.st_mode);
    status.link = S_ISLNK(st.st_mode);
    status.permissions = st.st_mode & 07777;
    status.owner = st.st_uid;
    status.group = st.st_gid;
    return status;
}

}  // namespace

UniqueFd OpenRegularFile(const std::string& path, int flags, mode_t mode, FileStatus* info)
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
        *info = StatusFrom(st);
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

namespace {

int LinkFlag(Links links, int flag)
{
    return links == Links::Keep ? flag : 0;
}

// The descriptor fd as the owner of an open file; raises when fd tells of a
// failed open.
UniqueFd Opened(int fd)
{
    if (fd < 0)
        RaiseLastSystemError();
    return UniqueFd(fd);
}

}  // namespace

FileStatus StatusOf(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        RaiseLastSystemError();
    return StatusFrom(st);
}

FileStatus StatusIn(int folder, const std::string& name, Links links)
{
    struct stat st {};
    if (::fstatat(folder, name.c_str(), &st, LinkFlag(links, AT_SYMLINK_NOFOLLOW)) != 0)
        RaiseLastSystemError();
    return StatusFrom(st);
}

void SetFileLength(int fd, std::int64_t length)
{
    int result;
    do
        result = ::ftruncate(fd, length);
    while (result != 0 && errno == EINTR);
    if (result != 0)
        RaiseLastSystemError();
}

void AllocateFile(int fd, std::int64_t offset, std::int64_t count)
{
    int err;
    do
        err = ::posix_fallocate(fd, offset, count);
    while (err == EINTR);
    if (err != 0)
        RaiseSystemError(err);
}

UniqueFd DuplicateFd(int fd)
{
    return Opened(::fcntl(fd, F_DUPFD_CLOEXEC, 0));
}

void KeepPermissionsOf(int fd, const FileStatus& status)
{
    if (::fchmod(fd, status.permissions) != 0)
        RaiseLastSystemError();
    if (status.owner == ::geteuid() && status.group == ::getegid())
        return;
    // Only a privileged user may hand the file to another owner; the
    // permission bits are kept either way.
    if (::fchown(fd, status.owner, status.group) == 0 && ::fchmod(fd, status.permissions) != 0)
        RaiseLastSystemError();
}

UniqueFd CreateExclusive(const std::string& path, mode_t mode)
{
    return Opened(::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
}

UniqueFd CreateUnnamedIn(const std::string& folder)
{
    return Opened(::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
}

UniqueFd OpenFolderIn(int parent, const std::string& name, Links links)
{
    return Opened(
        ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC | LinkFlag(links, O_NOFOLLOW)));
}

UniqueFd HoldFolderIn(int parent, const std::string& name, Links links)
{
    return Opened(::openat(parent, name.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC | LinkFlag(links, O_NOFOLLOW)));
}

UniqueFd OpenRegularFileIn(int folder, const std::string& name)
{
    // Looked at first, so that no device is opened at all.
    if (!StatusIn(folder, name).regular)
        RaiseSystemError(EACCES);
    UniqueFd fd = Opened(::openat(folder, name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!StatusOf(fd.Get()).regular)
        RaiseSystemError(EACCES);
    ClearNonBlocking(fd.Get(), O_RDONLY);
    return fd;
}

std::size_t NameMaxIn(int folder)
{
    const long max = ::fpathconf(folder, _PC_NAME_MAX);
    return max > 0 ? static_cast<std::size_t>(max) : NAME_MAX;
}

bool IsTerminal(std::FILE* stream)
{
    return ::isatty(::fileno(stream)) == 1;
}

}  // namespace platform
