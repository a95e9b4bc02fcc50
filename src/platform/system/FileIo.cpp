#include "platform/system/FileIo.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

UniqueFd OpenRegularFile(const std::string& path, int flags, mode_t mode)
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
    // Back to blocking mode for regular I/O.
    ::fcntl(fd.Get(), F_SETFL, ::fcntl(fd.Get(), F_GETFL) & ~O_NONBLOCK);
    return fd;
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

bool CopyDescriptor(int in, int out, std::int64_t size)
{
    loff_t inOffset = 0;
    loff_t outOffset = 0;
    while (inOffset < size) {
        const ssize_t n =
            ::copy_file_range(in, &inOffset, out, &outOffset, static_cast<size_t>(size - inOffset), 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
    }
    if (inOffset != outOffset)
        return false;
    if (inOffset == size)
        return true;
    constexpr std::int64_t kPiece = 1 << 16;
    std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[kPiece]);
    if (!buffer)
        return false;
    std::int64_t done = inOffset;
    while (done < size) {
        const std::int64_t n = ReadAt(in, buffer.get(), std::min(kPiece, size - done), done);
        if (n <= 0 || !WriteAt(out, buffer.get(), n, done))
            return false;
        done += n;
    }
    return true;
}

}  // namespace platform
