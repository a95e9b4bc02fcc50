#include "hexeditor/core/WorkingCopy.h"

#include "platform/system/Exceptions.h"
#include "platform/system/FileIo.h"
#include "platform/system/FileUtils.h"
#include "platform/system/InUseLock.h"
#include "platform/system/ReplacingFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace hexcore {

namespace {

// Writes the first size bytes of source into a replacement of name: a
// symbolic link as name is written through to the file it names, the target
// keeps its permissions (and, where allowed, its owner). The source is closed
// (not truncated) before the new file takes the target's place; a failing
// close fails the save. On failure the target is left as it was.
bool WriteReplacing(platform::UniqueFd& source, std::int64_t size, const std::string& name)
{
    std::string target = name;
    struct stat st {};
    if (::lstat(name.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* resolved = ::realpath(name.c_str(), nullptr)) {
            target = resolved;
            std::free(resolved);
        }
    }
    const bool exists = ::stat(target.c_str(), &st) == 0;
    platform::ReplacingFile out;
    // An existing target's permissions are copied exactly; until then the
    // new file is the owner's alone. A new target gets the mode of a plain
    // create.
    bool ok = !(exists && !S_ISREG(st.st_mode)) && out.Create(target, exists ? 0600 : 0666);
    if (ok && exists) {
        const mode_t mode = st.st_mode & 07777;
        ok = ::fchmod(out.Fd(), mode) == 0;
        if (ok && (st.st_uid != ::geteuid() || st.st_gid != ::getegid())) {
            // Only a privileged user may hand the file back to its owner; the
            // permission bits are kept either way.
            if (::fchown(out.Fd(), st.st_uid, st.st_gid) == 0)
                ok = ::fchmod(out.Fd(), mode) == 0;
        }
    }
    ok = ok && platform::CopyDescriptor(source.Get(), out.Fd(), size);
    if (!source.Close())
        ok = false;
    return ok && out.Commit();
}

}  // namespace

std::string WorkingCopy::NameFor(const std::string& folder, std::uint32_t tick)
{
    char digits[16];
    std::snprintf(digits, sizeof digits, "%08X", static_cast<unsigned>(tick));
    return folder + digits + ".ZQWK";
}

WorkingCopy::WorkingCopy()
{
    // Names are tried from the current tick on; a name that exists in any
    // form (a file of another editor, a planted symbolic link) is passed over.
    const std::string folder = platform::GetTempPath();
    std::uint32_t tick = platform::GetTickCount();
    for (int attempt = 0; attempt < 0x10000; ++attempt, ++tick) {
        name_ = NameFor(folder, tick);
        // Any refusal but an existing name (a full or read-only folder)
        // keeps this name; creating it is tried again when the first
        // document needs it.
        if (Create().IsOpen() || errno != EEXIST)
            break;
    }
}

WorkingCopy::~WorkingCopy()
{
    fd_.Reset();
    struct stat st {};
    if (created_ && ::lstat(name_.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_dev == dev_ &&
        st.st_ino == ino_)
        ::unlink(name_.c_str());
    lock_.Reset();
}

platform::UniqueFd WorkingCopy::Create()
{
    platform::UniqueFd fd(::open(name_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    struct stat st {};
    if (fd.IsOpen() && ::fstat(fd.Get(), &st) == 0) {
        created_ = true;
        dev_ = st.st_dev;
        ino_ = st.st_ino;
        // A descriptor of its own keeps the lock while the file is closed.
        lock_.Reset(::dup(fd.Get()));
        if (lock_.IsOpen())
            platform::TryLockInUse(lock_.Get());
    } else {
        fd.Reset();
    }
    return fd;
}

bool WorkingCopy::IsOwn(int fd) const
{
    struct stat st {};
    return created_ && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_dev == dev_ && st.st_ino == ino_;
}

bool WorkingCopy::Open(bool mayCreate)
{
    if (fd_.IsOpen())
        return true;
    platform::UniqueFd fd = platform::OpenRegularFile(name_, O_RDWR | O_NOFOLLOW);
    if (fd.IsOpen()) {
        if (IsOwn(fd.Get()))
            fd_ = std::move(fd);
    } else if (errno == ENOENT && mayCreate) {
        // Gone from the folder (or never created): create it afresh, exclusively.
        fd_ = Create();
    }
    return fd_.IsOpen();
}

void WorkingCopy::CloseEmptied()
{
    if (!fd_.IsOpen())
        return;
    (void)::ftruncate(fd_.Get(), 0);
    fd_.Reset();
}

std::int64_t WorkingCopy::Length() const
{
    struct stat st {};
    if (!fd_.IsOpen() || ::fstat(fd_.Get(), &st) != 0)
        return 0;
    return st.st_size;
}

void WorkingCopy::SetLength(std::int64_t length)
{
    if (::ftruncate(fd_.Get(), length) != 0)
        throw platform::EInOutError(platform::IoCodeFromErrno(errno));
}

std::int64_t WorkingCopy::ReadAt(void* destination, std::int64_t count, std::int64_t offset) const
{
    return platform::ReadAt(fd_.Get(), destination, count, offset);
}

bool WorkingCopy::WriteAt(const void* source, std::int64_t count, std::int64_t offset)
{
    return platform::WriteAt(fd_.Get(), source, count, offset);
}

void WorkingCopy::MoveBlock(std::int64_t from, std::int64_t to, std::int64_t count)
{
    // One bounded buffer, allocated before anything moves: when memory is
    // short the file is still untouched.
    const std::int64_t piece = std::min<std::int64_t>(count, kMovePiece);
    std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(piece)]);
    if (!buffer)
        throw platform::EOutOfMemory();
    // Overlapping ranges: moving up copies from the end down, moving down
    // from the start up, so no piece overwrites bytes not yet moved.
    std::int64_t done = 0;
    while (done < count) {
        const std::int64_t n = std::min(piece, count - done);
        const std::int64_t offset = to > from ? count - done - n : done;
        const std::int64_t got = ReadAt(buffer.get(), n, from + offset);
        if (got > 0)
            WriteAt(buffer.get(), got, to + offset);
        done += n;
    }
}

bool WorkingCopy::CopyFrom(const std::string& path)
{
    return platform::CopyFileInto(path, fd_.Get());
}

bool WorkingCopy::SaveTo(const std::string& path)
{
    return WriteReplacing(fd_, Length(), path);
}

}  // namespace hexcore
