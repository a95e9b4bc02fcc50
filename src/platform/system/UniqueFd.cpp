// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/UniqueFd.h"

#include <cerrno>
#include <unistd.h>

namespace platform {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept
{
    if (this != &other)
        Reset(other.Release());
    return *this;
}

int UniqueFd::Release() noexcept
{
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void UniqueFd::Reset(int fd) noexcept
{
    if (fd_ >= 0 && fd_ != fd) {
        const int saved = errno;  // callers read errno after dropping a descriptor
        ::close(fd_);
        errno = saved;
    }
    fd_ = fd;
}

bool UniqueFd::Close() noexcept
{
    const int fd = Release();
    return fd < 0 || ::close(fd) == 0;
}

}  // namespace platform
