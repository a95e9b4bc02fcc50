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

#include "platform/system/Exceptions.h"
#include "platform/system/FileIo.h"
#include "platform/system/FileUtils.h"
#include "platform/system/ReplacingFile.h"
#include "platform/widgets/Cursor.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

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

std::string THexEditor::WorkingCopyName(const std::string& folder, std::uint32_t tick)
{
    char digits[16];
    std::snprintf(digits, sizeof digits, "%08X", static_cast<unsigned>(tick));
    return folder + digits + ".ZQWK";
}

platform::UniqueFd THexEditor::CreateWorkingCopy(const std::string& name)
{
    platform::UniqueFd fd(::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    struct stat st {};
    if (fd.IsOpen() && ::fstat(fd.Get(), &st) == 0) {
        ownsWorkingCopy_ = true;
        workingDev_ = st.st_dev;
        workingIno_ = st.st_ino;
    } else {
        fd.Reset();
    }
    return fd;
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
        // Any refusal but an existing name (a full or read-only folder)
        // keeps this name; creating it is tried again when the first
        // document needs it.
        if (CreateWorkingCopy(name).IsOpen() || errno != EEXIST)
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

platform::UniqueFd THexEditor::OpenWorkingCopy(bool mayCreate)
{
    platform::UniqueFd fd = platform::OpenRegularFile(workingFileName_, O_RDWR | O_NOFOLLOW);
    if (fd.IsOpen())
        return IsOwnWorkingCopy(fd.Get()) ? std::move(fd) : platform::UniqueFd();
    if (errno != ENOENT || !mayCreate)
        return {};
    // Gone from the folder (or never created): create it afresh, exclusively.
    return CreateWorkingCopy(workingFileName_);
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
    if (!workingFile_.IsOpen() || ::fstat(workingFile_.Get(), &st) != 0)
        return 0;
    return st.st_size;
}

void THexEditor::SetWorkingLength(std::int64_t length)
{
    // The page and the cached size describe the old length from here on.
    cachedSize_ = -1;
    pageStart_ = -1;
    if (::ftruncate(workingFile_.Get(), length) != 0)
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
    platform::UniqueFd fd;
    bool copied = false;
    {
        platform::WaitCursor wait(this);
        fd = OpenWorkingCopy(true);
        if (fd.IsOpen()) {
            copied = platform::CopyFileInto(name, fd.Get());
            struct stat copy {};
            if (copied && (::fstat(fd.Get(), &copy) != 0 || copy.st_size > kMaxDataSize))
                copied = false;
        }
    }
    if (!fd.IsOpen()) {
        StartEmptyDocument();
        throw platform::EFOpenError(workingFileName_);
    }
    workingFile_ = std::move(fd);
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
    SetCurrentCell(2, 0, true);
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
        if (workingFile_.IsOpen()) {
            result = WriteReplacing(workingFile_, WorkingLength(), name);
            workingFile_ = OpenWorkingCopy(false);
            lost = !workingFile_.IsOpen();
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
    workingFile_.Reset();
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
    SetCurrentCell(2, 0, true);
}

void THexEditor::EnsureWorkingFile()
{
    if (workingFile_.IsOpen())
        return;
    platform::UniqueFd fd = OpenWorkingCopy(true);
    if (!fd.IsOpen())
        throw platform::EFCreateError(workingFileName_);
    if (::ftruncate(fd.Get(), 0) != 0)
        throw platform::EInOutError(platform::IoCodeFromErrno(errno));
    workingFile_ = std::move(fd);
    cachedSize_ = -1;
    pageStart_ = -1;
    changedBytes_.clear();
}

void THexEditor::CloseWorkingFile()
{
    if (!workingFile_.IsOpen())
        return;
    // The emptied file stays on disk, reserved for this editor.
    (void)::ftruncate(workingFile_.Get(), 0);
    workingFile_.Reset();
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
    if (workingFile_.IsOpen())
        platform::ReadAt(workingFile_.Get(), pageBuffer_.get(), kPageSize, start);
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
    if (!workingFile_.IsOpen() || position < 0 || count <= 0)
        return;
    platform::ReadAt(workingFile_.Get(), destination, count, position);
}

void THexEditor::WriteBuffer(const void* source, std::int32_t position, std::int32_t count)
{
    // Failures are not reported; a write that would take the working copy
    // beyond the largest document size is not made.
    if (!workingFile_.IsOpen() || position < 0 || count <= 0 ||
        static_cast<std::int64_t>(position) + count > kMaxDataSize)
        return;
    platform::WriteAt(workingFile_.Get(), source, count, position);
}

void THexEditor::MoveBlock(std::int32_t from, std::int32_t to, std::int32_t count)
{
    if (!workingFile_.IsOpen() || count <= 0 || from == to || from < 0 || to < 0 ||
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
        const std::int64_t got = platform::ReadAt(workingFile_.Get(), buffer.get(), n, from + offset);
        if (got > 0)
            platform::WriteAt(workingFile_.Get(), buffer.get(), got, to + offset);
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
            (void)::ftruncate(workingFile_.Get(), old);
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
    if (!workingFile_.IsOpen() || start < 0 || end < start || end > size)
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
    SetCurrentCell(caret.col, caret.row, true);

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
