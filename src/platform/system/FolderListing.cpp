// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/FolderListing.h"

#include "platform/system/UniqueFd.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>

namespace platform {

namespace {

constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC;

EntryType TypeOf(const dirent& entry)
{
    switch (entry.d_type) {
    case DT_DIR: return EntryType::Folder;
    case DT_LNK: return EntryType::Link;
    case DT_UNKNOWN: return EntryType::Unknown;
    default: return EntryType::Other;
    }
}

}  // namespace

void FolderListing::Closer::operator()(void* dir) const noexcept
{
    ::closedir(static_cast<DIR*>(dir));
}

FolderListing::FolderListing(const std::string& path)
{
    Start(::open(path.c_str(), kFlags));
}

FolderListing::FolderListing(int folderFd)
{
    Start(::openat(folderFd, ".", kFlags));
}

void FolderListing::Start(int fd)
{
    UniqueFd own(fd);
    DIR* dir = own.IsOpen() ? ::fdopendir(own.Get()) : nullptr;
    if (!dir) {
        error_ = errno;
        return;
    }
    own.Release();  // the DIR owns it now
    dir_.reset(dir);
}

int FolderListing::Fd() const
{
    return dir_ ? ::dirfd(static_cast<DIR*>(dir_.get())) : -1;
}

bool FolderListing::Next(FolderEntry& entry)
{
    if (!dir_)
        return false;
    errno = 0;
    const dirent* next = ::readdir(static_cast<DIR*>(dir_.get()));
    if (!next) {
        error_ = errno;
        return false;
    }
    entry.name = next->d_name;
    entry.type = TypeOf(*next);
    return true;
}

}  // namespace platform
