// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/InUseLock.h"

#include "platform/system/FileId.h"
#include "platform/system/FolderListing.h"
#include "platform/system/UniqueFd.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform {

bool TryLockInUse(int fd)
{
    int result;
    do
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    while (result != 0 && errno == EINTR);
    return result == 0;
}

bool RemoveIfAbandoned(int folderFd, const std::string& name)
{
    const UniqueFd file(::openat(folderFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (!file.IsOpen() || ::fstat(file.Get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() ||
        !TryLockInUse(file.Get()))
        return false;
    // Held locked from here on, so no process can take the file up again;
    // the name must still be this file.
    struct stat now {};
    return ::fstatat(folderFd, name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 && FileIdOf(now) == FileIdOf(st) &&
           ::unlinkat(folderFd, name.c_str(), 0) == 0;
}

std::vector<std::string> NamesIn(int folderFd, const std::function<bool(const std::string&)>& wanted)
{
    std::vector<std::string> names;
    FolderListing listing(folderFd);
    FolderEntry entry;
    while (listing.Next(entry))
        if (wanted(entry.name))
            names.push_back(std::move(entry.name));
    return names;
}

}  // namespace platform
