// SPDX-License-Identifier: GPL-3.0-or-later
// The document's life: construction, loading, saving, new documents, the
// working copy's opening and closing, and the mode properties.
#include "hexeditor/core/Document.h"

#include "platform/system/Exceptions.h"
#include "platform/system/FileIo.h"
#include "platform/system/FileUtils.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace hexcore {

Document::Document() : pageBuffer_(new std::uint8_t[kPageSize]()) {}

Document::~Document()
{
    CloseWorkingFile();
}

bool Document::LoadFromFile(const std::string& path, const std::string& name)
{
    // Probe: regular files only (nothing blocks on a FIFO or a device), and
    // nothing of 2 GiB or more. The copy reads through the probe's
    // descriptor.
    loadFailure_ = lfUnreadable;
    struct stat st {};
    const platform::UniqueFd source = platform::OpenRegularFile(path, O_RDONLY, 0666, &st);
    const bool known = source.IsOpen() || ::stat(path.c_str(), &st) == 0;
    if (known && S_ISREG(st.st_mode) && st.st_size > kMaxDataSize)
        return false;
    fileIsReadOnly_ = true;
    if (!source.IsOpen())
        return false;
    if (platform::CanOpenForWriting(path))
        fileIsReadOnly_ = false;

    CloseWorkingFile();
    if (!workingCopy_.Open(true)) {
        StartEmptyDocument();
        throw platform::EFOpenError(workingCopy_.Name());
    }
    const bool copied = workingCopy_.CopyFrom(source.Get());
    // Only writes fail for want of room: the file is just read.
    const int err = copied ? 0 : errno;
    if (!copied || workingCopy_.Length() > kMaxDataSize) {
        loadFailure_ = err == ENOSPC || err == EDQUOT || err == EFBIG ? lfDiskFull : lfCopyFailed;
        // Never present a partial copy as the file: start an empty document.
        StartEmptyDocument();
        return false;
    }
    loadFailure_ = lfNone;
    DropPage();
    fileName_ = name;
    ResetUndo();
    changedBytes_.clear();
    SizeChanged();
    modified_ = false;
    if (listener_)
        listener_->Replaced();
    return true;
}

bool Document::SaveToFile(const std::string& path, const std::string& name)
{
    // errno of a failed step, never 0 (a refusal without one is an I/O error).
    const auto fail = [this](bool backup) {
        saveFailure_ = {backup, errno != 0 ? errno : EIO};
        return false;
    };
    saveFailure_ = {};
    errno = 0;
    if (createBackup_ && modified_ && name == fileName_ &&
        !platform::CopyFile(path, BackupName(path, backupExtension_)))
        return fail(true);
    bool result = false;
    // An empty new document has no working copy to copy or reopen.
    bool lost = !workingCopy_.IsOpen();
    if (!lost) {
        errno = 0;
        result = workingCopy_.SaveTo(path);
        if (!result)
            fail(false);
        lost = !workingCopy_.Open(false);
    }
    if (lost) {
        // Nothing may be read or written through the lost working copy: the
        // document starts over empty.
        StartEmptyDocument();
        throw platform::EFOpenError(workingCopy_.Name());
    }
    if (result) {
        changedBytes_.clear();
        modified_ = false;
        fileIsReadOnly_ = false;
        fileName_ = name;
        ResetUndo();
    }
    return result;
}

void Document::StartEmptyDocument()
{
    NewFile("Untitled");
}

void Document::NewFile(const std::string& name)
{
    CloseWorkingFile();
    fileName_ = name;
    ResetUndo();
    changedBytes_.clear();
    SizeChanged();
    modified_ = false;
    fileIsReadOnly_ = true;
    if (listener_)
        listener_->Replaced();
}

void Document::EnsureWorkingFile()
{
    if (workingCopy_.IsOpen())
        return;
    if (!workingCopy_.Open(true))
        throw platform::EFCreateError(workingCopy_.Name());
    try {
        workingCopy_.SetLength(0);
    } catch (...) {
        workingCopy_.Close();
        throw;
    }
    DropPage();
    changedBytes_.clear();
}

void Document::CloseWorkingFile()
{
    if (!workingCopy_.IsOpen())
        return;
    // The emptied file stays on disk, reserved for this document.
    workingCopy_.CloseEmptied();
    DropPage();
}

void Document::SetAllowInsertMode(bool on)
{
    allowInsertMode_ = noSizeChange_ ? false : on;
    NotifyStateChanged();
}

void Document::SetNoSizeChange(bool on)
{
    noSizeChange_ = on;
    SetAllowInsertMode(allowInsertMode_);
}

void Document::NotifyStateChanged()
{
    if (listener_)
        listener_->StateChanged();
}

}  // namespace hexcore
