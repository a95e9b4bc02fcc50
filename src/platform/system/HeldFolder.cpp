// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/HeldFolder.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace platform {

namespace {

// Longest piece of a path opened at once; well below PATH_MAX.
constexpr std::size_t kPathPiece = 2048;

// Opens the folder at path for passing through (O_PATH). A path longer than
// the system takes at once is opened piece by piece, each piece relative to
// the folder the one before reached.
int OpenFolderPath(const std::string& path)
{
    constexpr int kFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;
    const int fd = ::open(path.c_str(), kFlags);
    if (fd >= 0 || errno != ENAMETOOLONG)
        return fd;
    UniqueFd reached(::open(path.empty() || path[0] != '/' ? "." : "/", kFlags));
    std::size_t from = 0;
    while (reached.IsOpen()) {
        from = path.find_first_not_of('/', from);
        if (from == std::string::npos)
            return reached.Release();
        std::size_t end = path.size();
        if (end - from > kPathPiece) {
            end = path.rfind('/', from + kPathPiece);
            if (end == std::string::npos || end <= from) {
                errno = ENAMETOOLONG;  // a single name longer than a piece
                return -1;
            }
        }
        reached.Reset(::openat(reached.Get(), path.substr(from, end - from).c_str(), kFlags));
        from = end;
    }
    return -1;
}

}  // namespace

bool HeldFolder::Open(const std::string& path)
{
    // O_PATH: a folder that may be passed through but not listed is held too.
    fd_.Reset(OpenFolderPath(path));
    struct stat st {};
    if (fd_.IsOpen() && ::fstat(fd_.Get(), &st) != 0)
        fd_.Reset();
    id_ = fd_.IsOpen() ? FileIdOf(st) : FileId {};
    return fd_.IsOpen();
}

bool HeldFolder::OpenOrCreate(const std::string& path)
{
    const int made = ::mkdir(path.c_str(), 0777) == 0 ? 0 : errno;
    if (Open(path))
        return true;
    if (made != 0 && made != EEXIST)
        errno = made;
    return false;
}

bool HeldFolder::OpenSubFolder(const HeldFolder& parent, const std::string& name)
{
    fd_.Reset();
    id_ = {};
    if (::mkdirat(parent.Fd(), name.c_str(), 0777) != 0 && errno != EEXIST)
        return false;
    UniqueFd fd(::openat(parent.Fd(), name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (!fd.IsOpen() || ::fstat(fd.Get(), &st) != 0)
        return false;
    if (!S_ISDIR(st.st_mode)) {
        errno = ENOTDIR;
        return false;
    }
    fd_ = std::move(fd);
    id_ = FileIdOf(st);
    return true;
}

std::string HeldFolder::PathOf(const std::string& name) const
{
    return DescriptorPath(fd_.Get()) + "/" + name;
}

std::string DescriptorPath(int fd)
{
    return "/proc/self/fd/" + std::to_string(fd);
}

}  // namespace platform
