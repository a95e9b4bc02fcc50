// SPDX-License-Identifier: GPL-3.0-or-later
// The document's life: construction, loading, saving, new documents, the
// working copy's opening and closing, and the mode properties.
#include "hexeditor/core/Document.h"

#include "platform/system/Exceptions.h"
#include "platform/system/FileIo.h"
#include "platform/system/FileUtils.h"

#include <cerrno>

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
    platform::FileStatus status;
    const platform::UniqueFd source = platform::OpenRegularFile(path, O_RDONLY, 0666, &status);
    // A file that cannot be opened is refused below whatever its size.
    const bool known = source.IsOpen() || platform::IgnoreFailure([&] {
        status = platform::StatusIn(platform::kCurrentFolder, path);
    });
    if (known && status.regular && status.size > kMaxDataSize)
        return false;
    fileIsReadOnly_ = true;
    if (!source.IsOpen())
        return false;
    if (platform::CanOpenForWriting(path))
        fileIsReadOnly_ = false;

    CloseWorkingFile();
    OpenWorkingFile(true);
    bool copied = true;
    int err = 0;
    try {
        workingCopy_.CopyFrom(source.Get());
    } catch (const platform::Exception& e) {
        // Told by LastLoadFailure: a load that failed leaves an empty document.
        copied = false;
        err = e.Errno();
    }
    // Only writes fail for want of room: the file is just read.
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
    // The errno of a failed step, never 0 (a refusal without one is an I/O
    // error).
    const auto fail = [this](bool backup, int err) {
        saveFailure_ = {backup, err != 0 ? err : EIO};
        return false;
    };
    saveFailure_ = {};
    errno = 0;
    if (createBackup_ && modified_ && name == fileName_ &&
        !platform::CopyFile(path, BackupName(path, backupExtension_)))
        return fail(true, errno);
    // An empty new document has no working copy to copy or reopen.
    if (!workingCopy_.IsOpen())
        LoseWorkingFile(0);
    bool result = true;
    try {
        workingCopy_.SaveTo(path);
    } catch (const platform::Exception& e) {
        // Told by LastSaveFailure, with the document kept as it is.
        result = fail(false, e.Errno());
    }
    OpenWorkingFile(false);
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

void Document::OpenWorkingFile(bool mayCreate)
{
    try {
        workingCopy_.Open(mayCreate);
    } catch (const platform::Exception& e) {
        LoseWorkingFile(e.Errno());
    }
}

void Document::LoseWorkingFile(int err)
{
    // Nothing may be read or written through a lost working copy: the
    // document starts over empty.
    StartEmptyDocument();
    throw platform::EFOpenError(workingCopy_.Name(), err);
}

void Document::EnsureWorkingFile()
{
    if (workingCopy_.IsOpen())
        return;
    try {
        workingCopy_.Open(true);
    } catch (const platform::Exception& e) {
        throw platform::EFCreateError(workingCopy_.Name(), e.Errno());
    }
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
