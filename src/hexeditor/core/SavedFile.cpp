// SPDX-License-Identifier: GPL-3.0-or-later
#include "hexeditor/core/SavedFile.h"

#include "hexeditor/core/WorkingCopy.h"
#include "platform/system/Exceptions.h"
#include "platform/system/FileIo.h"
#include "platform/system/FileUtils.h"
#include "platform/system/InUseLock.h"

#include <cerrno>

namespace hexcore {

namespace {

// A file in folder without a name: O_TMPFILE, or where the file system has
// none, a file created under a fresh working-copy name, locked, and unlinked
// at once (a process killed in between leaves a working copy nobody holds,
// which the next start removes).
platform::UniqueFd UnnamedFile(const std::string& folder)
{
    try {
        return platform::CreateUnnamedIn(folder);
    } catch (const platform::Exception& e) {
        if (e.Errno() != EOPNOTSUPP && e.Errno() != EISDIR && e.Errno() != EINVAL)
            throw;
    }
    std::uint32_t tick = platform::GetTickCount();
    for (int attempt = 0;; ++attempt, ++tick) {
        const std::string name = WorkingCopy::NameFor(folder, tick);
        try {
            platform::UniqueFd fd = platform::CreateExclusive(name);
            // Unlocked, or left under its name, the file works the same; a
            // name left is removed by the next start once this process ends.
            platform::IgnoreFailure([&] {
                platform::TryLockInUse(fd.Get());
                platform::RemoveIfPresent(name);
            });
            return fd;
        } catch (const platform::Exception& e) {
            if (e.Errno() != EEXIST || attempt + 1 >= 0x10000)
                throw;
        }
    }
}

}  // namespace

platform::UniqueFd SavedFile::CopyOf(const std::string& folder, int fd, std::int64_t offset, std::int64_t length)
{
    platform::UniqueFd copy = UnnamedFile(folder);
    if (!platform::CopyRange(fd, offset, copy.Get(), 0, length))
        platform::RaiseLastSystemError();
    return copy;
}

void SavedFile::Read(void* destination, std::int64_t count, std::int64_t from) const
{
    bool failed = false;
    if (platform::ReadAt(fd_.Get(), destination, count, offset_ + from, &failed) != count)
        platform::RaiseSystemError(failed ? errno : 0);
}

std::int64_t SavedBytes::Length() const
{
    return file ? file->Length() : size;
}

void SavedBytes::WriteInto(int fd, std::int64_t from, std::int64_t count, std::int64_t at) const
{
    // A saved file that ended early is an I/O error of its own.
    const bool written = file ? platform::CopyRange(file->Fd(), file->Offset() + from, fd, at, count)
                              : platform::WriteAt(fd, data + from, count, at);
    if (!written)
        platform::RaiseSystemError(errno != 0 ? errno : EIO);
}

void SavedFile::MoveTo(platform::UniqueFd fd, std::int64_t offset)
{
    fd_ = std::move(fd);
    offset_ = offset;
}

}  // namespace hexcore
