#include "platform/system/FileUtils.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// Opens a regular file without blocking on FIFOs or devices; -1 otherwise.
int OpenRegular(const std::string& path, int flags)
{
    int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = EACCES;
        return -1;
    }
    // Back to blocking mode for regular I/O.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

bool WriteAll(int fd, const char* data, size_t count)
{
    while (count > 0) {
        ssize_t n = ::write(fd, data, count);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        count -= static_cast<size_t>(n);
    }
    return true;
}

// Copies size bytes from in to out: the kernel's copy first, then a plain
// read/write loop where the kernel refuses.
bool CopyDescriptor(int in, int out, off_t size)
{
    off_t done = 0;
    while (done < size) {
        ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, static_cast<size_t>(size - done), 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    if (done == size)
        return true;
    if (::lseek(in, done, SEEK_SET) != done || ::lseek(out, done, SEEK_SET) != done)
        return false;
    char buffer[1 << 16];
    while (true) {
        ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        if (!WriteAll(out, buffer, static_cast<size_t>(n)))
            return false;
        done += n;
    }
    return done >= size;
}

}  // namespace

bool FileExists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool DeleteFile(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return false;
    return ::unlink(path.c_str()) == 0;
}

std::string ChangeFileExt(const std::string& path, const std::string& ext)
{
    const size_t slash = path.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot < nameStart)
        return path + ext;
    return path.substr(0, dot) + ext;
}

std::string ExtractFileName(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ExtractFilePath(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool CopyFileInto(const std::string& from, int out)
{
    int in = OpenRegular(from, O_RDONLY);
    if (in < 0)
        return false;
    // The bytes go over whatever the descriptor held and the length is set
    // afterwards, and only when it differs: on ext4, truncating a file to 0
    // marks it for a flush on its next close, and the flush makes a later
    // truncation wait for the disk.
    struct stat st {};
    struct stat outStat {};
    bool ok = ::fstat(in, &st) == 0 && ::lseek(out, 0, SEEK_SET) == 0 && CopyDescriptor(in, out, st.st_size) &&
              ::fstat(out, &outStat) == 0 && (outStat.st_size == st.st_size || ::ftruncate(out, st.st_size) == 0);
    ::close(in);
    return ok;
}

bool CopyFile(const std::string& from, const std::string& to)
{
    int in = OpenRegular(from, O_RDONLY);
    if (in < 0)
        return false;
    struct stat st {};
    if (::fstat(in, &st) != 0) {
        ::close(in);
        return false;
    }
    int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                     st.st_mode & 0777);
    if (out < 0) {
        ::close(in);
        return false;
    }
    struct stat outStat {};
    bool ok = ::fstat(out, &outStat) == 0 && S_ISREG(outStat.st_mode) &&
              !(outStat.st_dev == st.st_dev && outStat.st_ino == st.st_ino);
    if (ok) {
        ::fcntl(out, F_SETFL, ::fcntl(out, F_GETFL) & ~O_NONBLOCK);
        ok = ::ftruncate(out, 0) == 0 && CopyDescriptor(in, out, st.st_size);
    }
    ::close(in);
    if (::close(out) != 0)
        ok = false;
    return ok;
}

std::string GetTempPath()
{
    std::string dir;
    if (const char* env = std::getenv("TMPDIR"); env && *env && DirectoryExists(env))
        dir = env;
    else
        dir = "/tmp";
    if (dir.back() != '/')
        dir += '/';
    return dir;
}

std::uint32_t GetTickCount()
{
    timespec ts {};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    const unsigned long long ms =
        static_cast<unsigned long long>(ts.tv_sec) * 1000ULL + static_cast<unsigned long long>(ts.tv_nsec) / 1000000ULL;
    return static_cast<std::uint32_t>(ms);
}

bool CanOpenForReading(const std::string& path)
{
    int fd = OpenRegular(path, O_RDONLY);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

bool CanOpenForWriting(const std::string& path)
{
    int fd = OpenRegular(path, O_RDWR);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

}  // namespace platform
