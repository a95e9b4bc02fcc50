#include "platform/system/HeldFolder.h"

#include <fcntl.h>

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

std::string HeldFolder::PathOf(const std::string& name) const
{
    return DescriptorPath(fd_.Get()) + "/" + name;
}

std::string DescriptorPath(int fd)
{
    return "/proc/self/fd/" + std::to_string(fd);
}

}  // namespace platform
