// SPDX-License-Identifier: GPL-3.0-or-later
#include "hexeditor/core/SavedFile.h"

#include "hexeditor/core/WorkingCopy.h"
#include "platform/system/Exceptions.h"
#include "platform/system/FileIo.h"
#include "platform/system/FileUtils.h"
#include "platform/system/InUseLock.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace hexcore {

namespace {

[[noreturn]] void RaiseIoError(int err)
{
    throw platform::EInOutError(err == 0 ? platform::ioReadBeyondEnd : platform::IoCodeFromErrno(err));
}

// A file in folder without a name: O_TMPFILE, or where the file system has
// none, a file created under a fresh working-copy name, locked, and unlinked
// at once (a process killed in between leaves a working copy nobody holds,
// which the next start removes).
platform::UniqueFd UnnamedFile(const std::string& folder)
{
    platform::UniqueFd fd(::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
    if (fd.IsOpen() || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL))
        return fd;
    std::uint32_t tick = platform::GetTickCount();
    for (int attempt = 0; attempt < 0x10000; ++attempt, ++tick) {
        const std::string name = WorkingCopy::NameFor(folder, tick);
        fd.Reset(::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (fd.IsOpen()) {
            platform::TryLockInUse(fd.Get());
            ::unlink(name.c_str());
            break;
        }
        if (errno != EEXIST)
            break;
    }
    return fd;
}

}  // namespace

platform::UniqueFd SavedFile::CopyOf(const std::string& folder, int fd, std::int64_t offset, std::int64_t length)
{
    platform::UniqueFd copy = UnnamedFile(folder);
    if (!copy.IsOpen())
        RaiseIoError(errno);
    if (!platform::CopyRange(fd, offset, copy.Get(), 0, length))
        RaiseIoError(errno);
    return copy;
}

void SavedFile::Read(void* destination, std::int64_t count, std::int64_t from) const
{
    bool failed = false;
    if (platform::ReadAt(fd_.Get(), destination, count, offset_ + from, &failed) != count)
        RaiseIoError(failed ? errno : 0);
}

std::int64_t SavedBytes::Length() const
{
    return file ? file->Length() : size;
}

bool SavedBytes::WriteInto(int fd, std::int64_t from, std::int64_t count, std::int64_t at) const
{
    if (file) {
        const bool ok = platform::CopyRange(file->Fd(), file->Offset() + from, fd, at, count);
        if (!ok && errno == 0)
            errno = EIO;  // the saved file ended early
        return ok;
    }
    return platform::WriteAt(fd, data + from, count, at);
}

void SavedFile::MoveTo(platform::UniqueFd fd, std::int64_t offset)
{
    fd_ = std::move(fd);
    offset_ = offset;
}

}  // namespace hexcore
