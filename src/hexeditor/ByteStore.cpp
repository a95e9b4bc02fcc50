// The working-copy byte store: the document lives in a private file in the
// temporary folder, read through a 64 KiB page buffer. Every access goes
// through the descriptor workingFile_ with positional reads and writes, so
// there is no stream position to keep in step.
//
// The working copy is created exclusively (0600, never through a symbolic
// link) when its name is chosen, and its identity (device, inode) is kept: a
// file of that name that is not the one this editor created is never opened,
// written or deleted.
#include "hexeditor/hexeditor.h"

#include "platform/Cursor.h"
#include "platform/system/Exceptions.h"
#include "platform/system/FileUtils.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Reads up to count bytes at offset; returns how many were read.
std::int64_t ReadAt(int fd, void* destination, std::int64_t count, std::int64_t offset)
{
    auto* out = static_cast<std::uint8_t*>(destination);
    std::int64_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(fd, out + done, static_cast<size_t>(count - done), offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    return done;
}

// Writes count bytes at offset; false when not all of them were written.
bool WriteAt(int fd, const void* source, std::int64_t count, std::int64_t offset)
{
    const auto* in = static_cast<const std::uint8_t*>(source);
    std::int64_t done = 0;
    while (done < count) {
        const ssize_t n = ::pwrite(fd, in + done, static_cast<size_t>(count - done), offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// Copies the first size bytes of in to the start of out: the kernel's copy
// first, a read/write loop where the kernel refuses. False on a short copy.
bool CopyDescriptor(int in, int out, std::int64_t size)
{
    loff_t inOffset = 0;
    loff_t outOffset = 0;
    while (inOffset < size) {
        const ssize_t n =
            ::copy_file_range(in, &inOffset, out, &outOffset, static_cast<size_t>(size - inOffset), 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
    }
    if (inOffset != outOffset)
        return false;
    std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[1 << 16]);
    if (!buffer)
        return false;
    std::int64_t done = inOffset;
    while (done < size) {
        const std::int64_t n = ReadAt(in, buffer.get(), std::min<std::int64_t>(1 << 16, size - done), done);
        if (n <= 0 || !WriteAt(out, buffer.get(), n, done))
            return false;
        done += n;
    }
    return true;
}

mode_t CurrentUmask()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// Writes size bytes of the descriptor source into a temporary file beside
// target and, once that copy is complete and beforeRename agrees, renames it
// over target. The target keeps its permissions (and, where allowed, its
// owner). A symbolic link as target is written through to the file it names.
// On failure the target is left as it was and the temporary file removed.
template <class BeforeRename>
bool WriteReplacing(int source, std::int64_t size, const std::string& name, BeforeRename beforeRename)
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
    if (exists && !S_ISREG(st.st_mode)) {
        beforeRename();
        return false;
    }
    // The temporary name must fit where the target's name fits: keep at most
    // 200 bytes of the name, cut before a UTF-8 continuation byte.
    std::string base = platform::ExtractFileName(target);
    if (base.size() > 200) {
        std::size_t cut = 200;
        while (cut > 0 && (static_cast<unsigned char>(base[cut]) & 0xC0) == 0x80)
            --cut;
        base.resize(cut);
    }
    std::string pattern = platform::ExtractFilePath(target) + "." + base + ".XXXXXX";
    std::vector<char> tempName(pattern.begin(), pattern.end());
    tempName.push_back('\0');
    const int out = ::mkostemp(tempName.data(), O_CLOEXEC);
    if (out < 0) {
        beforeRename();
        return false;
    }
    const mode_t mode = exists ? (st.st_mode & 07777) : (0666 & ~CurrentUmask());
    bool ok = ::fchmod(out, mode) == 0;
    if (ok && exists && (st.st_uid != ::geteuid() || st.st_gid != ::getegid())) {
        // Only a privileged user may hand the file back to its owner; the
        // permission bits are kept either way.
        if (::fchown(out, st.st_uid, st.st_gid) == 0)
            ok = ::fchmod(out, mode) == 0;
    }
    ok = ok && CopyDescriptor(source, out, size);
    if (::close(out) != 0)
        ok = false;
    if (!beforeRename())
        ok = false;
    if (ok && ::rename(tempName.data(), target.c_str()) != 0)
        ok = false;
    if (!ok)
        ::unlink(tempName.data());
    return ok;
}

}  // namespace

std::string THexEditor::WorkingCopyName(const std::string& folder, std::uint32_t tick)
{
    char digits[16];
    std::snprintf(digits, sizeof digits, "%08X", static_cast<unsigned>(tick));
    return folder + digits + ".ZQWK";
}

void THexEditor::ChooseWorkingCopy()
{
    // Names are tried from the current tick on; a name that exists in any
    // form (a file of another editor, a planted symbolic link) is passed over.
    std::string folder = platform::GetTempPath();
    std::uint32_t tick = platform::GetTickCount();
    std::string name;
    for (int attempt = 0; attempt < 0x10000; ++attempt, ++tick) {
        name = WorkingCopyName(folder, tick);
        const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            struct stat st {};
            if (::fstat(fd, &st) == 0) {
                ownsWorkingCopy_ = true;
                workingDev_ = st.st_dev;
                workingIno_ = st.st_ino;
            }
            ::close(fd);
            break;
        }
        // Any other refusal (a full or read-only folder) keeps this name;
        // creating it is tried again when the first document needs it.
        if (errno != EEXIST)
            break;
    }
    workingFileName_ = name;
}

bool THexEditor::IsOwnWorkingCopy(int fd) const
{
    struct stat st {};
    return ownsWorkingCopy_ && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_dev == workingDev_ &&
           st.st_ino == workingIno_;
}

int THexEditor::OpenWorkingCopy(bool mayCreate)
{
    int fd = ::open(workingFileName_.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        if (!IsOwnWorkingCopy(fd)) {
            ::close(fd);
            return -1;
        }
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        return fd;
    }
    if (errno != ENOENT || !mayCreate)
        return -1;
    // Gone from the folder (or never created): create it afresh, exclusively.
    fd = ::open(workingFileName_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return -1;
    }
    ownsWorkingCopy_ = true;
    workingDev_ = st.st_dev;
    workingIno_ = st.st_ino;
    return fd;
}

void THexEditor::RemoveWorkingCopy()
{
    struct stat st {};
    if (ownsWorkingCopy_ && ::lstat(workingFileName_.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        st.st_dev == workingDev_ && st.st_ino == workingIno_)
        ::unlink(workingFileName_.c_str());
}

std::int64_t THexEditor::WorkingLength() const
{
    struct stat st {};
    if (workingFile_ < 0 || ::fstat(workingFile_, &st) != 0)
        return 0;
    return st.st_size;
}

void THexEditor::SetWorkingLength(std::int64_t length)
{
    // The page and the cached size describe the old length from here on.
    cachedSize_ = -1;
    pageStart_ = -1;
    if (::ftruncate(workingFile_, length) != 0)
        throw platform::EInOutError(platform::IoCodeFromErrno(errno));
}

// ---- Loading, saving, new documents ------------------------------------------

bool THexEditor::LoadFromFile(const std::string& name)
{
    // Probe: regular files only (nothing blocks on a FIFO or a device), and
    // nothing of 2 GiB or more.
    struct stat st {};
    if (::stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > kMaxDataSize)
        return false;
    fileIsReadOnly_ = true;
    if (!platform::CanOpenForReading(name))
        return false;
    if (platform::CanOpenForWriting(name))
        fileIsReadOnly_ = false;

    CloseWorkingFile();
    int fd = -1;
    bool copied = false;
    {
        platform::WaitCursor wait(this);
        fd = OpenWorkingCopy(true);
        if (fd >= 0) {
            copied = platform::CopyFileInto(name, fd);
            struct stat copy {};
            if (copied && (::fstat(fd, &copy) != 0 || copy.st_size > kMaxDataSize))
                copied = false;
        }
    }
    if (fd < 0) {
        StartEmptyDocument();
        throw platform::EFOpenError(workingFileName_);
    }
    workingFile_ = fd;
    if (!copied) {
        // Never present a partial copy as the file: start an empty document.
        StartEmptyDocument();
        return false;
    }
    fileName_ = name;
    ResetUndo();
    changedBytes_.clear();
    SizeChanged();
    modified_ = false;
    ClearSelection(false);
    SetSelecting(false);
    SetCurrentCell(2, 0, true, true);
    return true;
}

bool THexEditor::SaveToFile(const std::string& name)
{
    bool result = false;
    bool lost = false;
    {
        platform::WaitCursor wait(this);
        if (createBackup_ && modified_ && name == fileName_ &&
            !platform::CopyFile(name, platform::ChangeFileExt(name, backupExtension_))) {
            InvalidateGrid();
            return false;
        }
        if (workingFile_ >= 0) {
            const int fd = workingFile_;
            result = WriteReplacing(fd, WorkingLength(), name, [&] {
                // The working copy is closed (not truncated) before the new
                // file takes the target's place; a failing close fails the save.
                workingFile_ = -1;
                return ::close(fd) == 0;
            });
            const int reopened = OpenWorkingCopy(false);
            if (reopened >= 0)
                workingFile_ = reopened;
            else
                lost = true;
        } else {
            // An empty new document has no working copy to copy or reopen.
            lost = true;
        }
        if (!lost && result) {
            changedBytes_.clear();
            modified_ = false;
            fileIsReadOnly_ = false;
            fileName_ = name;
            ResetUndo();
        }
    }
    InvalidateGrid();
    if (lost) {
        DropLostWorkingFile();
        throw platform::EFOpenError(workingFileName_);
    }
    return result;
}

void THexEditor::DropLostWorkingFile()
{
    // Nothing may be read or written through the lost descriptor: the editor
    // starts over as an empty document.
    if (workingFile_ >= 0) {
        ::close(workingFile_);
        workingFile_ = -1;
    }
    StartEmptyDocument();
}

void THexEditor::StartEmptyDocument()
{
    NewFile("Untitled");
    SetSelecting(false);
}

void THexEditor::NewFile(const std::string& name)
{
    CloseWorkingFile();
    fileName_ = name;
    ResetUndo();
    ClearSelection(false);
    changedBytes_.clear();
    SizeChanged();
    modified_ = false;
    fileIsReadOnly_ = true;
    SetCurrentCell(2, 0, true, true);
}

void THexEditor::EnsureWorkingFile()
{
    if (workingFile_ >= 0)
        return;
    const int fd = OpenWorkingCopy(true);
    if (fd < 0)
        throw platform::EFCreateError(workingFileName_);
    if (::ftruncate(fd, 0) != 0) {
        const int err = errno;
        ::close(fd);
        throw platform::EInOutError(platform::IoCodeFromErrno(err));
    }
    workingFile_ = fd;
    cachedSize_ = -1;
    pageStart_ = -1;
    changedBytes_.clear();
}

void THexEditor::CloseWorkingFile()
{
    if (workingFile_ < 0)
        return;
    // The emptied file stays on disk, reserved for this editor.
    (void)::ftruncate(workingFile_, 0);
    ::close(workingFile_);
    workingFile_ = -1;
    cachedSize_ = -1;
    pageStart_ = -1;
}

// ---- Size, page and byte access ----------------------------------------------

std::int32_t THexEditor::DataSize()
{
    if (cachedSize_ == -1 || pageStart_ == -1)
        cachedSize_ = static_cast<std::int32_t>(std::min<std::int64_t>(WorkingLength(), kMaxDataSize));
    return cachedSize_;
}

void THexEditor::EnsurePage(std::int32_t position)
{
    if (pageStart_ != -1 && pageStart_ <= position &&
        static_cast<std::int64_t>(position) + bytesPerLine_ <= static_cast<std::int64_t>(pageStart_) + kPageSize)
        return;
    cachedSize_ = -1;
    const std::int32_t start = position > kPageSize / 2 ? position - kPageSize / 2 : 0;
    // A read that ends at the end of the file leaves the rest of the buffer.
    if (workingFile_ >= 0)
        ReadAt(workingFile_, pageBuffer_.get(), kPageSize, start);
    pageStart_ = start;
}

void THexEditor::UpdatePage(std::int32_t position, std::uint8_t value)
{
    if (pageStart_ != -1 && pageStart_ <= position && position - pageStart_ < kPageSize)
        pageBuffer_[position - pageStart_] = value;
}

std::uint8_t THexEditor::ReadByte(std::int32_t position)
{
    std::uint8_t value = 0;
    ReadBuffer(&value, position, 1);
    return value;
}

void THexEditor::WriteByte(std::int32_t position, std::uint8_t value)
{
    WriteBuffer(&value, position, 1);
}

void THexEditor::ReadBuffer(void* destination, std::int32_t position, std::int32_t count)
{
    // Failures are not reported; a short read leaves the rest as it was.
    if (workingFile_ < 0 || position < 0 || count <= 0)
        return;
    ReadAt(workingFile_, destination, count, position);
}

void THexEditor::WriteBuffer(const void* source, std::int32_t position, std::int32_t count)
{
    // Failures are not reported; a write that would take the working copy
    // beyond the largest document size is not made.
    if (workingFile_ < 0 || position < 0 || count <= 0 ||
        static_cast<std::int64_t>(position) + count > kMaxDataSize)
        return;
    WriteAt(workingFile_, source, count, position);
}

void THexEditor::MoveBlock(std::int32_t from, std::int32_t to, std::int32_t count)
{
    if (workingFile_ < 0 || count <= 0 || from == to || from < 0 || to < 0 ||
        static_cast<std::int64_t>(to) + count > kMaxDataSize)
        return;
    // One bounded buffer, allocated before anything moves: when memory is
    // short the working copy is still untouched.
    const std::int32_t piece = std::min(count, kMovePiece);
    std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[piece]);
    if (!buffer)
        throw platform::EOutOfMemory();
    // Overlapping ranges: moving up copies from the end down, moving down
    // from the start up, so no piece overwrites bytes not yet moved.
    std::int64_t done = 0;
    while (done < count) {
        const std::int64_t n = std::min<std::int64_t>(piece, count - done);
        const std::int64_t offset = to > from ? count - done - n : done;
        const std::int64_t got = ReadAt(workingFile_, buffer.get(), n, from + offset);
        if (got > 0)
            WriteAt(workingFile_, buffer.get(), got, to + offset);
        done += n;
    }
}

// ---- Size-changing primitives ----------------------------------------------

void THexEditor::InsertBytes(const void* source, std::int32_t count, std::int32_t position)
{
    if (count < 0)
        return;
    EnsureWorkingFile();
    // The length is read afresh: callers have dropped the page before.
    const std::int64_t old = WorkingLength();
    if (old == 0)
        changedBytes_.clear();
    if (position < 0 || position > old)
        return;
    if (old + count > kMaxDataSize)
        throw platform::EInOutError(platform::ioDiskFull);
    SetWorkingLength(old + count);
    if (position < old) {
        try {
            MoveBlock(position, position + count, static_cast<std::int32_t>(old - position));
        } catch (...) {
            // Nothing has moved yet: give the document its old length back.
            (void)::ftruncate(workingFile_, old);
            throw;
        }
    }
    WriteBuffer(source, position, count);
    SizeChanged();
}

void THexEditor::AppendBytes(const void* source, std::int32_t count)
{
    if (count < 0)
        return;
    EnsureWorkingFile();
    // Inserting at the end moves no tail: the same steps as an insert.
    InsertBytes(source, count, static_cast<std::int32_t>(WorkingLength()));
}

void THexEditor::DeleteRange(std::int32_t start, std::int32_t end, std::int32_t caretRow, std::int32_t caretCol)
{
    const std::int64_t size = WorkingLength();
    if (workingFile_ < 0 || start < 0 || end < start || end > size)
        return;
    if (end <= size - 1)
        MoveBlock(end, start, static_cast<std::int32_t>(size - end));
    SetWorkingLength(size - (end - start));

    const std::int32_t newSize = DataSize();
    Cell caret {caretCol, caretRow};
    if (CellToPosition(caretCol, caretRow) >= newSize) {
        bool charPane = false;
        TwinColumn(caretCol, &charPane);
        caret = PositionToCell(newSize - 1, charPane);  // (2, 0) once the document is empty
    }
    SetCurrentCell(caret.col, caret.row, true, true);

    SizeChanged();
    ClearSelection(false);
    InvalidateGrid();
}

void THexEditor::SizeChanged()
{
    cachedSize_ = -1;
    const std::int32_t size = DataSize();
    if (changedBytes_.size() > static_cast<std::size_t>(size))
        changedBytes_.resize(static_cast<std::size_t>(size));
    GridSizeChanged();
    pageStart_ = -1;
}

// ---- Change marks and properties ---------------------------------------------

bool THexEditor::IsByteChanged(std::int32_t position) const
{
    if (InsertModeActive() || position < 0 || static_cast<std::size_t>(position) >= changedBytes_.size())
        return false;
    return changedBytes_[static_cast<std::size_t>(position)];
}

void THexEditor::SetAllowInsertMode(bool on)
{
    allowInsertMode_ = noSizeChange_ ? false : on;
    NotifyStateChanged();
}

void THexEditor::SetNoSizeChange(bool on)
{
    noSizeChange_ = on;
    SetAllowInsertMode(allowInsertMode_);
}
