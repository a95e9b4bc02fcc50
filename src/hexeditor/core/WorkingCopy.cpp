// SPDX-License-Identifier: GPL-3.0-or-later
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

[[noreturn]] void RaiseIoError(int err)
{
    throw platform::EInOutError(platform::IoCodeFromErrno(err));
}

// The bytes lo .. hi - 1 of the file (none when hi <= lo).
struct Extent {
    std::int64_t lo = 0;
    std::int64_t hi = 0;
    std::int64_t Length() const { return std::max<std::int64_t>(hi - lo, 0); }
    Extent Shifted(std::int64_t by) const { return {lo + by, hi + by}; }
};

Extent Overlap(Extent a, Extent b)
{
    return {std::max(a.lo, b.lo), std::min(a.hi, b.hi)};
}

// How far a move of a block came: the bytes moved completely (the block's
// start when moving down, its end when moving up), and the piece under way
// (offsets in the block), whether it was read into the buffer and how many
// of its bytes were written.
struct MoveProgress {
    std::int64_t done = 0;
    Extent piece;
    bool read = false;
    std::int64_t written = 0;
};

// Moves a block piece by piece through buffer, so that no piece overwrites
// bytes not yet moved: moving up from the end down, moving down from the
// start up. 0 when every piece moved, else the I/O error code of the read or
// write that failed (progress tells how far the move came).
int MovePieces(int fd, std::int64_t from, std::int64_t to, std::int64_t count, std::uint8_t* buffer,
               std::int64_t piece, MoveProgress& progress)
{
    while (progress.done < count) {
        const std::int64_t n = std::min(piece, count - progress.done);
        const std::int64_t offset = to > from ? count - progress.done - n : progress.done;
        progress.piece = {offset, offset + n};
        progress.read = false;
        progress.written = 0;
        bool failed = false;
        if (platform::ReadAt(fd, buffer, n, from + offset, &failed) != n)
            return failed ? platform::IoCodeFromErrno(errno) : platform::ioReadBeyondEnd;
        progress.read = true;
        if (!platform::WriteAt(fd, buffer, n, to + offset, &progress.written))
            return platform::IoCodeFromErrno(errno);
        progress.done += n;
    }
    return 0;
}

// Undoes what a failed move wrote over, in an order in which nothing is read
// after it was written over: the failing piece's own source bytes from the
// buffer; the moved source bytes, from their copies, first those that the
// failing piece covered, then those that the complete pieces covered; last
// the destination bytes outside the source, from the caller's copy. False
// when a read or write of that failed too.
bool PutBack(int fd, std::int64_t from, std::int64_t to, std::int64_t count, const SavedBytes& outside,
             std::uint8_t* buffer, std::int64_t piece, const MoveProgress& progress)
{
    const bool up = to > from;
    const std::int64_t shift = to - from;
    const Extent moved = up ? Extent{from + count - progress.done, from + count} : Extent{from, from + progress.done};
    const Extent complete = moved.Shifted(shift);
    const Extent pieceSource = progress.piece.Shifted(from);
    const Extent partial{to + progress.piece.lo, to + progress.piece.lo + progress.written};

    const Extent own = Overlap(pieceSource, partial);
    if (progress.read && own.Length() > 0 &&
        !platform::WriteAt(fd, buffer + (own.lo - pieceSource.lo), own.Length(), own.lo))
        return false;
    for (const Extent target : {Overlap(moved, partial), Overlap(moved, complete)}) {
        MoveProgress back;
        if (target.Length() > 0 && MovePieces(fd, target.lo + shift, target.lo, target.Length(), buffer, piece, back))
            return false;
    }
    if (outside.Empty())
        return true;
    const Extent beside = up ? Extent{std::max(to, from + count), to + count} : Extent{to, std::min(to + count, from)};
    for (const Extent target : {Overlap(beside, complete), Overlap(beside, partial)}) {
        if (target.Length() > 0 &&
            !outside.WriteInto(fd, target.lo - beside.lo, target.Length(), target.lo))
            return false;
    }
    return true;
}

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
    if (exists && !S_ISREG(st.st_mode))
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
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

// Creates name exclusively (0600, never through a symbolic link); lock
// receives a descriptor of its own that holds the in-use lock, so the lock
// stays while the file is closed. Not open (errno set) on failure.
platform::UniqueFd CreateLocked(const std::string& name, platform::UniqueFd& lock)
{
    platform::UniqueFd fd(::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (fd.IsOpen()) {
        lock.Reset(::fcntl(fd.Get(), F_DUPFD_CLOEXEC, 0));
        if (lock.IsOpen())
            platform::TryLockInUse(lock.Get());
    }
    return fd;
}

constexpr int kNameAttempts = 0x10000;

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
    for (int attempt = 0; attempt < kNameAttempts; ++attempt, ++tick) {
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
    platform::UniqueFd lock;
    platform::UniqueFd fd = CreateLocked(name_, lock);
    struct stat st {};
    if (fd.IsOpen() && ::fstat(fd.Get(), &st) == 0) {
        created_ = true;
        dev_ = st.st_dev;
        ino_ = st.st_ino;
        lock_ = std::move(lock);
        // A new file shares nothing with a record.
        shared_.reset();
    } else {
        fd.Reset();
    }
    return fd;
}

bool WorkingCopy::IsOwn(const struct stat& st) const
{
    return created_ && S_ISREG(st.st_mode) && st.st_dev == dev_ && st.st_ino == ino_;
}

bool WorkingCopy::Open(bool mayCreate)
{
    if (fd_.IsOpen())
        return true;
    length_ = -1;
    struct stat st {};
    platform::UniqueFd fd = platform::OpenRegularFile(name_, O_RDWR | O_NOFOLLOW, 0666, &st);
    if (fd.IsOpen()) {
        if (IsOwn(st))
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
    try {
        Unshare(0, -1, 0);
        (void)::ftruncate(fd_.Get(), 0);
    } catch (const platform::Exception&) {
        // The record keeps the bytes; the file is closed as it is.
    }
    Close();
}

std::int64_t WorkingCopy::Length() const
{
    if (!fd_.IsOpen())
        return 0;
    if (length_ < 0) {
        struct stat st {};
        if (::fstat(fd_.Get(), &st) != 0)
            return 0;
        length_ = st.st_size;
    }
    return length_;
}

void WorkingCopy::SetLength(std::int64_t length)
{
    length_ = -1;
    struct stat st {};
    if (::fstat(fd_.Get(), &st) != 0)
        RaiseIoError(errno);
    const std::int64_t old = st.st_size;
    if (length < old)
        Unshare(length, -1, length);
    if (length > old) {
        // ftruncate would make a sparse tail that any full disk accepts.
        int err = 0;
        do
            err = ::posix_fallocate(fd_.Get(), old, length - old);
        while (err == EINTR);
        if (err == 0)
            return;
        // A refused allocation may have lengthened the file in part.
        (void)::ftruncate(fd_.Get(), old);
        RaiseIoError(err);
    }
    if (::ftruncate(fd_.Get(), length) != 0)
        RaiseIoError(errno);
}

std::int64_t WorkingCopy::ReadAt(void* destination, std::int64_t count, std::int64_t offset) const
{
    bool failed = false;
    const std::int64_t got = platform::ReadAt(fd_.Get(), destination, count, offset, &failed);
    if (failed)
        RaiseIoError(errno);
    return got;
}

void WorkingCopy::WriteAt(const void* source, std::int64_t count, std::int64_t offset)
{
    Unshare(offset, offset + count);
    length_ = -1;
    if (!platform::WriteAt(fd_.Get(), source, count, offset))
        RaiseIoError(errno);
}

void WorkingCopy::MoveBlock(std::int64_t from, std::int64_t to, std::int64_t count, const SavedBytes& outside)
{
    if (count <= 0 || from == to)
        return;
    Unshare(to, to + count);
    length_ = -1;
    // One bounded buffer, allocated before anything moves: when memory is
    // short the file is still untouched.
    const std::int64_t piece = std::min<std::int64_t>(count, kMovePiece);
    std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(piece)]);
    if (!buffer)
        throw platform::EOutOfMemory();
    MoveProgress progress;
    const int error = MovePieces(fd_.Get(), from, to, count, buffer.get(), piece, progress);
    if (error == 0)
        return;
    (void)PutBack(fd_.Get(), from, to, count, outside, buffer.get(), piece, progress);
    throw platform::EInOutError(error);
}

void WorkingCopy::Put(const SavedBytes& source, std::int64_t count, std::int64_t from, std::int64_t at)
{
    Unshare(at, at + count);
    length_ = -1;
    if (!source.WriteInto(fd_.Get(), from, count, at))
        RaiseIoError(errno);
}

bool WorkingCopy::CopyFrom(int source)
{
    try {
        Unshare(0, -1, 0);
    } catch (const platform::Exception& e) {
        // errno tells the caller whether the disk was full.
        const auto* io = dynamic_cast<const platform::EInOutError*>(&e);
        errno = io && io->ErrorCode() == platform::ioDiskFull ? ENOSPC : EIO;
        return false;
    }
    length_ = -1;
    return platform::CopyFileInto(source, fd_.Get());
}

std::unique_ptr<SavedFile> WorkingCopy::CopyOut(std::int64_t offset, std::int64_t length) const
{
    return std::make_unique<SavedFile>(SavedFile::CopyOf(platform::ExtractFilePath(name_), fd_.Get(), offset, length),
                                       0, length);
}

std::shared_ptr<SavedFile> WorkingCopy::Share(std::int64_t offset, std::int64_t length)
{
    // One record at a time shares the file: an earlier one gets its copy.
    Unshare(0, -1);
    platform::UniqueFd own(::fcntl(fd_.Get(), F_DUPFD_CLOEXEC, 0));
    if (!own.IsOpen())
        RaiseIoError(errno);
    auto saved = std::make_shared<SavedFile>(std::move(own), offset, length);
    shared_ = saved;
    return saved;
}

void WorkingCopy::Unshare(std::int64_t from, std::int64_t to, std::int64_t keep)
{
    if (to >= 0 && to <= from)
        return;  // nothing changes
    const std::shared_ptr<SavedFile> saved = shared_.lock();
    if (!saved) {
        shared_.reset();
        return;
    }
    const std::int64_t end = saved->Offset() + saved->Length();
    if ((to >= 0 && to <= saved->Offset()) || from >= end)
        return;  // the shared bytes stay as they are
    if (keep >= 0 && keep <= saved->Offset() && keep <= saved->Length()) {
        SplitOff(keep);
        return;
    }
    saved->MoveTo(SavedFile::CopyOf(platform::ExtractFilePath(name_), fd_.Get(), saved->Offset(), saved->Length()), 0);
    shared_.reset();
}

void WorkingCopy::SplitOff(std::int64_t keep)
{
    // The new file is made under a working-copy name of its own, locked, and
    // renamed over the old one once it holds the bytes that stay: a process
    // killed on the way leaves an unlocked working copy, which the next start
    // removes.
    const std::string folder = platform::ExtractFilePath(name_);
    std::string name;
    platform::UniqueFd lock;
    platform::UniqueFd fd;
    std::uint32_t tick = platform::GetTickCount();
    for (int attempt = 0; attempt < kNameAttempts && !fd.IsOpen(); ++attempt, ++tick) {
        name = NameFor(folder, tick);
        fd = CreateLocked(name, lock);
        if (!fd.IsOpen() && errno != EEXIST)
            break;
    }
    if (!fd.IsOpen())
        RaiseIoError(errno);
    struct stat st {};
    struct stat now {};
    int err = 0;
    if (!platform::CopyRange(fd_.Get(), 0, fd.Get(), 0, keep))
        err = errno != 0 ? errno : EIO;
    // The name must still lead to the file created here.
    else if (::lstat(name_.c_str(), &now) != 0 || now.st_dev != dev_ || now.st_ino != ino_)
        err = ENOENT;
    else if (::fstat(fd.Get(), &st) != 0 || ::rename(name.c_str(), name_.c_str()) != 0)
        err = errno;
    if (err != 0) {
        ::unlink(name.c_str());
        RaiseIoError(err);
    }
    dev_ = st.st_dev;
    ino_ = st.st_ino;
    fd_ = std::move(fd);
    length_ = -1;
    lock_ = std::move(lock);
    shared_.reset();
}

bool WorkingCopy::SaveTo(const std::string& path)
{
    const std::int64_t length = Length();
    length_ = -1;
    return WriteReplacing(fd_, length, path);
}

}  // namespace hexcore
