#include "platform/system/HeldFolder.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace platform {

bool HeldFolder::Open(const std::string& path)
{
    // O_PATH: a folder that may be passed through but not listed is held too.
    fd_.Reset(::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    struct stat st {};
    if (fd_.IsOpen() && ::fstat(fd_.Get(), &st) != 0)
        fd_.Reset();
    id_ = fd_.IsOpen() ? FileIdOf(st) : FileId {};
    return fd_.IsOpen();
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
