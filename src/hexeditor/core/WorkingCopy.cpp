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
#include <memory>
#include <new>
#include <optional>

namespace hexcore {

namespace {

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
// of its bytes were written; error is the errno of the read or write that
// failed (0: the file ended before the block did).
struct MoveProgress {
    std::int64_t done = 0;
    Extent piece;
    bool read = false;
    std::int64_t written = 0;
    int error = 0;
};

// Moves a block piece by piece through buffer, so that no piece overwrites
// bytes not yet moved: moving up from the end down, moving down from the
// start up. False when a read or write failed (progress tells how far the
// move came and why it stopped).
[[nodiscard]] bool MovePieces(int fd, std::int64_t from, std::int64_t to, std::int64_t count, std::uint8_t* buffer,
                              std::int64_t piece, MoveProgress& progress)
{
    while (progress.done < count) {
        const std::int64_t n = std::min(piece, count - progress.done);
        const std::int64_t offset = to > from ? count - progress.done - n : progress.done;
        progress.piece = {offset, offset + n};
        progress.read = false;
        progress.written = 0;
        bool failed = false;
        if (platform::ReadAt(fd, buffer, n, from + offset, &failed) != n) {
            progress.error = failed ? errno : 0;
            return false;
        }
        progress.read = true;
        if (!platform::WriteAt(fd, buffer, n, to + offset, &progress.written)) {
            progress.error = errno;
            return false;
        }
        progress.done += n;
    }
    return true;
}

// Undoes what a failed move wrote over, in an order in which nothing is read
// after it was written over: the failing piece's own source bytes from the
// buffer; the moved source bytes, from their copies, first those that the
// failing piece covered, then those that the complete pieces covered; last
// the destination bytes outside the source, from the caller's copy. Raises
// the EInOutError of a read or write of that which failed too.
void PutBack(int fd, std::int64_t from, std::int64_t to, std::int64_t count, const SavedBytes& outside,
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
        platform::RaiseLastSystemError();
    for (const Extent target : {Overlap(moved, partial), Overlap(moved, complete)}) {
        MoveProgress back;
        if (target.Length() > 0 && !MovePieces(fd, target.lo + shift, target.lo, target.Length(), buffer, piece, back))
            platform::RaiseSystemError(back.error);
    }
    if (outside.Empty())
        return;
    const Extent beside = up ? Extent{std::max(to, from + count), to + count} : Extent{to, std::min(to + count, from)};
    for (const Extent target : {Overlap(beside, complete), Overlap(beside, partial)}) {
        if (target.Length() > 0)
            outside.WriteInto(fd, target.lo - beside.lo, target.Length(), target.lo);
    }
}

// Writes the first size bytes of source into a replacement of name: a
// symbolic link as name is written through to the file it names, the target
// keeps its permissions (and, where allowed, its owner). The source is closed
// (not truncated) before the new file takes the target's place; a failing
// close fails the save. Raises; the target is then left as it was.
void WriteReplacing(platform::UniqueFd& source, std::int64_t size, const std::string& name)
{
    const auto statusOf = [](const std::string& path, platform::Links links) {
        std::optional<platform::FileStatus> status;
        // Nothing standing there (or nothing to be learned of it) is
        // written like a new file; the replacement tells what fails.
        platform::IgnoreFailure([&] { status = platform::StatusIn(platform::kCurrentFolder, path, links); });
        return status;
    };
    std::string target = name;
    // A link that leads nowhere is replaced like a missing file.
    if (const std::optional<platform::FileStatus> link = statusOf(name, platform::Links::Keep); link && link->link)
        platform::IgnoreFailure([&] { target = platform::ResolvedPath(name); });
    const std::optional<platform::FileStatus> existing = statusOf(target, platform::Links::Follow);
    if (existing && !existing->regular)
        platform::RaiseSystemError(existing->directory ? EISDIR : EINVAL);
    platform::ReplacingFile out;
    // An existing target's permissions are copied exactly; until then the
    // new file is the owner's alone. A new target gets the mode of a plain
    // create.
    if (!out.Create(target, existing ? 0600 : 0666))
        platform::RaiseLastSystemError();
    if (existing)
        platform::KeepPermissionsOf(out.Fd(), *existing);
    if (!platform::CopyDescriptor(source.Get(), out.Fd(), size))
        platform::RaiseSystemError(errno != 0 ? errno : EIO);
    if (!source.Close() || !out.Commit())
        platform::RaiseLastSystemError();
}

// Creates name exclusively (0600, never through a symbolic link); lock
// receives a descriptor of its own that holds the in-use lock, so the lock
// stays while the file is closed. Raises.
platform::UniqueFd CreateLocked(const std::string& name, platform::UniqueFd& lock)
{
    platform::UniqueFd fd = platform::CreateExclusive(name);
    // Without the lock the file works the same; only a later start may take
    // it for a killed process's and remove it while this one runs.
    platform::IgnoreFailure([&] {
        lock = platform::DuplicateFd(fd.Get());
        platform::TryLockInUse(lock.Get());
    });
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
        try {
            Create();
            break;
        } catch (const platform::Exception& e) {
            // Any refusal but an existing name (a full or read-only folder)
            // keeps this name; creating it is tried again when the first
            // document needs it.
            if (e.Errno() != EEXIST)
                break;
        }
    }
}

WorkingCopy::~WorkingCopy()
{
    fd_.Reset();
    // Nobody is left to be told of a file that could not be removed: it
    // loses its lock with this process, and the next start removes it.
    if (created_) {
        platform::IgnoreFailure([this] {
            if (IsOwn(platform::StatusIn(platform::kCurrentFolder, name_, platform::Links::Keep)))
                platform::RemoveIfPresent(name_);
        });
    }
    lock_.Reset();
}

platform::UniqueFd WorkingCopy::Create()
{
    platform::UniqueFd lock;
    platform::UniqueFd fd = CreateLocked(name_, lock);
    const platform::FileId id = platform::StatusOf(fd.Get()).id;
    created_ = true;
    dev_ = id.device;
    ino_ = id.inode;
    lock_ = std::move(lock);
    // A new file shares nothing with a record.
    shared_.reset();
    return fd;
}

bool WorkingCopy::IsOwn(const platform::FileStatus& status) const
{
    return created_ && status.regular && status.id.device == dev_ && status.id.inode == ino_;
}

void WorkingCopy::Open(bool mayCreate)
{
    if (fd_.IsOpen())
        return;
    length_ = -1;
    platform::FileStatus status;
    platform::UniqueFd fd = platform::OpenRegularFile(name_, O_RDWR | O_NOFOLLOW, 0666, &status);
    if (fd.IsOpen()) {
        // Another file under the name is never taken for this one.
        if (!IsOwn(status))
            platform::RaiseSystemError(ENOENT);
        fd_ = std::move(fd);
        return;
    }
    // Gone from the folder (or never created): created afresh, exclusively.
    if (errno != ENOENT || !mayCreate)
        platform::RaiseLastSystemError();
    fd_ = Create();
}

void WorkingCopy::CloseEmptied()
{
    if (!fd_.IsOpen())
        return;
    // The file is closed whatever becomes of emptying it: a record that
    // could not get its bytes keeps sharing them, and a file that could not
    // be cut is cut when it is used next (SetLength).
    platform::IgnoreFailure([this] {
        Unshare(0, -1, 0);
        platform::SetFileLength(fd_.Get(), 0);
    });
    Close();
}

std::int64_t WorkingCopy::Length() const
{
    if (!fd_.IsOpen())
        return 0;
    if (length_ < 0)
        length_ = platform::StatusOf(fd_.Get()).size;
    return length_;
}

void WorkingCopy::SetLength(std::int64_t length)
{
    length_ = -1;
    const std::int64_t old = platform::StatusOf(fd_.Get()).size;
    if (length < old)
        Unshare(length, -1, length);
    if (length > old) {
        // A length set by SetFileLength would leave a sparse tail that any
        // full disk accepts.
        try {
            platform::AllocateFile(fd_.Get(), old, length - old);
        } catch (const platform::Exception&) {
            // A refused allocation may have lengthened the file in part; its
            // own failure is the one to report.
            platform::IgnoreFailure([&] { platform::SetFileLength(fd_.Get(), old); });
            throw;
        }
        return;
    }
    platform::SetFileLength(fd_.Get(), length);
}

std::int64_t WorkingCopy::ReadAt(void* destination, std::int64_t count, std::int64_t offset) const
{
    bool failed = false;
    const std::int64_t got = platform::ReadAt(fd_.Get(), destination, count, offset, &failed);
    if (failed)
        platform::RaiseLastSystemError();
    return got;
}

void WorkingCopy::WriteAt(const void* source, std::int64_t count, std::int64_t offset)
{
    Unshare(offset, offset + count);
    length_ = -1;
    if (!platform::WriteAt(fd_.Get(), source, count, offset))
        platform::RaiseLastSystemError();
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
    if (MovePieces(fd_.Get(), from, to, count, buffer.get(), piece, progress))
        return;
    // The move's own failure is the one to report; should putting back fail
    // as well, the file stays as the failed move left it.
    platform::IgnoreFailure([&] { PutBack(fd_.Get(), from, to, count, outside, buffer.get(), piece, progress); });
    platform::RaiseSystemError(progress.error);
}

void WorkingCopy::Put(const SavedBytes& source, std::int64_t count, std::int64_t from, std::int64_t at)
{
    Unshare(at, at + count);
    length_ = -1;
    source.WriteInto(fd_.Get(), from, count, at);
}

void WorkingCopy::CopyFrom(int source)
{
    Unshare(0, -1, 0);
    length_ = -1;
    if (!platform::CopyFileInto(source, fd_.Get()))
        platform::RaiseLastSystemError();
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
    auto saved = std::make_shared<SavedFile>(platform::DuplicateFd(fd_.Get()), offset, length);
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
    // The new file is written beside the old one, locked, and renamed over
    // it once it holds the bytes that stay: a process killed on the way
    // leaves an unlocked replacement, which the next start removes
    // (RemoveAbandoned).
    platform::ReplacingFile replacement;
    if (!replacement.Create(name_, 0600))
        platform::RaiseLastSystemError();
    if (!platform::CopyRange(fd_.Get(), 0, replacement.Fd(), 0, keep))
        platform::RaiseSystemError(errno != 0 ? errno : EIO);
    // The name must still lead to the file created here.
    if (!IsOwn(platform::StatusIn(platform::kCurrentFolder, name_, platform::Links::Keep)))
        platform::RaiseSystemError(ENOENT);
    // Descriptors of its own stay open after the commit closes the
    // replacement's; they share its open file, and so its in-use lock.
    platform::UniqueFd fd = platform::DuplicateFd(replacement.Fd());
    platform::UniqueFd lock = platform::DuplicateFd(replacement.Fd());
    const platform::FileId id = platform::StatusOf(fd.Get()).id;
    if (!replacement.Commit())
        platform::RaiseLastSystemError();
    dev_ = id.device;
    ino_ = id.inode;
    fd_ = std::move(fd);
    length_ = -1;
    lock_ = std::move(lock);
    shared_.reset();
}

void WorkingCopy::SaveTo(const std::string& path)
{
    const std::int64_t length = Length();
    length_ = -1;
    try {
        WriteReplacing(fd_, length, path);
    } catch (const std::exception&) {
        fd_.Reset();  // closed either way
        throw;
    }
}

}  // namespace hexcore
