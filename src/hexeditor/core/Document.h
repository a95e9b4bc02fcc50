// SPDX-License-Identifier: GPL-3.0-or-later
// The byte editor's document: its bytes in a working copy on disk, read
// through a 64 KiB page buffer, with a cached length, change marks, the file
// and mode properties, the size-changing primitives, and the gate every edit
// passes with the undo log it fills.
//
// The document knows nothing of how it is shown. It tells the one who shows
// it (a DocumentListener) when its length changed, when its state may have
// changed, and when a new document took its place; it never moves a caret or
// paints.
#pragma once

#include "hexeditor/core/RedoLog.h"
#include "hexeditor/core/UndoLog.h"
#include "hexeditor/core/WorkingCopy.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace hexcore {

// Why a load returned false.
enum TLoadFailure : std::uint8_t {
    lfNone,        // the last load succeeded
    lfUnreadable,  // no regular file below 2 GiB could be opened under the name
    lfDiskFull,    // the working copy could not take the bytes: its disk is full
    lfCopyFailed,  // the copy stopped otherwise (a read error, an early end)
};

// What a document reports to the one who shows it. Every hook does nothing
// unless overridden.
class DocumentListener {
public:
    virtual ~DocumentListener() = default;
    // The length changed; caches and change marks follow it already.
    virtual void LengthChanged() {}
    // Content, modes or the undo log may have changed (may be reported later).
    virtual void StateChanged() {}
    // The undo log was emptied (to be reported at once).
    virtual void UndoReset() {}
    // A new document took the old one's place: a load, a new document, or an
    // empty one after the working copy was lost.
    virtual void Replaced() {}
};

class Document {
public:
    // Bytes in the page buffer.
    static constexpr std::int32_t kPageSize = 65536;
    // Largest document size; no size change goes beyond it.
    static constexpr std::int32_t kMaxDataSize = 0x7FFFFFFF;
    static constexpr std::int32_t kMovePiece = WorkingCopy::kMovePiece;
    // Records that save at least this many bytes keep them in a file.
    static constexpr std::int32_t kFileRecordsFrom = 1 << 20;

    // An uninitialised document ("---") with its working copy reserved.
    Document();
    // Empties the working copy and removes it.
    ~Document();
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    // The listener, or nullptr for none; not owned.
    void SetListener(DocumentListener* listener) { listener_ = listener; }

    // ---- Loading, saving, new documents -----------------------------------
    // Copies a regular file below 2 GiB into the working copy and makes it
    // the document. False, with the document as it was, when the file cannot
    // be read; false with an empty "Untitled" document when the copy failed
    // or stopped short. LastLoadFailure tells which. Raises EFOpenError
    // (after emptying the document) when the working copy cannot be opened.
    [[nodiscard]] bool LoadFromFile(const std::string& name) { return LoadFromFile(name, name); }
    // The same for the file reached through path (a path through a folder
    // held open, say), with name as the document's FileName.
    [[nodiscard]] bool LoadFromFile(const std::string& path, const std::string& name);
    // Why the last LoadFromFile returned false; lfNone after one that
    // succeeded.
    TLoadFailure LastLoadFailure() const { return loadFailure_; }
    // Writes the document to a file, after a backup of it when the document
    // is modified and saved under its own name (CreateBackup): the file's
    // whole name plus BackupExtension ("lied.umx.bak"). False, with
    // everything as it was, when the backup or the write failed
    // (LastSaveFailure tells which and why). Raises EFOpenError (after
    // emptying the document) when the working copy cannot be reopened
    // afterwards.
    [[nodiscard]] bool SaveToFile(const std::string& name) { return SaveToFile(name, name); }
    // The same for the file reached through path, with name as the
    // document's FileName (and the name compared for the backup).
    [[nodiscard]] bool SaveToFile(const std::string& path, const std::string& name);
    // Why the last SaveToFile returned false: the backup could not be made
    // (backup set) or the file not written, and the errno of that failure.
    struct SaveFailure {
        bool backup = false;
        int error = 0;
    };
    const SaveFailure& LastSaveFailure() const { return saveFailure_; }
    static std::string BackupName(const std::string& name, const std::string& extension)
    {
        return name + extension;
    }
    // An empty document under the given name, without a working copy open.
    void NewFile(const std::string& name);

    // ---- Bytes ------------------------------------------------------------
    std::int32_t DataSize() const;
    // Reads and writes go straight to the working copy: no page update, no
    // change mark, no notification. A read or write that fails raises the
    // EInOutError for its errno (a failed write may have written part of the
    // bytes); a read past the end leaves the rest of the destination as it
    // was, a write that would take the document beyond kMaxDataSize is not
    // made.
    std::uint8_t ReadByte(std::int32_t position) const;
    void ReadBuffer(void* destination, std::int32_t position, std::int32_t count) const;
    void WriteByte(std::int32_t position, std::uint8_t value);
    void WriteBuffer(const void* source, std::int32_t position, std::int32_t count);

    // ---- Page buffer (a cache: filling it changes nothing of the document)
    // Makes the page cover lineLength bytes from position; a page that does
    // not is reloaded centred on position. A failed read raises the
    // EInOutError and leaves no page.
    void EnsurePage(std::int32_t position, std::int32_t lineLength) const;
    // Mirrors a written byte into the page.
    void UpdatePage(std::int32_t position, std::uint8_t value);
    const std::uint8_t* PageBuffer() const { return pageBuffer_.get(); }
    std::int32_t PageStart() const { return pageStart_; }

    // ---- Size changes -----------------------------------------------------
    // Each size change either succeeds or raises and leaves the document as
    // it was (bytes, length, change marks, page dropped): a step that fails
    // has undone itself, and the steps before it are undone. Only when
    // undoing fails as well (a second I/O error) does the document stay as
    // the working copy then holds it.
    // Grows the document by count bytes at position (0 .. DataSize); raises
    // EInOutError 101 beyond kMaxDataSize. The new length is allocated first,
    // so a full disk fails before anything moved.
    void InsertBytes(const void* source, std::int32_t count, std::int32_t position);
    void AppendBytes(const void* source, std::int32_t count);
    // Removes the bytes start .. end - 1; false (nothing done) for a range
    // outside the document. removed, when it holds at least the bytes the
    // tail moves over, is a copy of start .. end - 1 as they are, in memory
    // or in a file (the gate's undo record has one); without it those bytes
    // are copied first, into memory (EOutOfMemory before anything changed
    // when that fails) or, from FileRecordsFrom() bytes on, into a file.
    bool DeleteRange(std::int32_t start, std::int32_t end, const SavedBytes& removed = {});
    // Replaces the bytes start .. end - 1 with count bytes from source
    // (nothing for a range outside the document): the new bytes are inserted
    // at start, then the old ones removed behind them (removed as for
    // DeleteRange). A failed removal takes the insert back, by a deletion,
    // which needs no room on the disk.
    void ReplaceBytes(std::int32_t start, std::int32_t end, const void* source, std::int32_t count,
                      const SavedBytes& removed = {});

    // ---- Change marks: bit n set = byte n was overwritten ------------------
    // False while insert mode is active and beyond the marks.
    bool IsByteChanged(std::int32_t position) const;
    void MarkChanged(std::int32_t position, bool changed = true);
    // Drops the marks from position on.
    void CutChangeMarks(std::int32_t position);
    void ClearChangeMarks() { changedBytes_.clear(); }

    // ---- File and modes ---------------------------------------------------
    const std::string& FileName() const { return fileName_; }
    const std::string& WorkingFileName() const { return workingCopy_.Name(); }
    bool Modified() const { return modified_; }
    bool FileIsReadOnly() const { return fileIsReadOnly_; }
    bool CreateBackup() const { return createBackup_; }
    void SetCreateBackup(bool on) { createBackup_ = on; }
    const std::string& BackupExtension() const { return backupExtension_; }
    void SetBackupExtension(const std::string& ext) { backupExtension_ = ext; }
    bool InsertState() const { return insertState_; }
    void SetInsertState(bool on) { insertState_ = on; }
    bool NoSizeChange() const { return noSizeChange_; }
    // Forces AllowInsertMode off when switched on.
    void SetNoSizeChange(bool on);
    bool AllowInsertMode() const { return allowInsertMode_; }
    // Stays off while NoSizeChange is on.
    void SetAllowInsertMode(bool on);
    bool InsertModeActive() const { return insertState_ && allowInsertMode_ && !noSizeChange_; }

    // ---- Edits and the undo log ----------------------------------------------
    // The gate every edit passes. Refuses edits of an empty document (except
    // inserting and appending) and, under NoSizeChange, every change of the
    // length; otherwise records the edit, with the bytes it will overwrite or
    // remove and the view as given, and sets Modified. Reports a state
    // change either way. A failed read of those bytes raises, with the log
    // and Modified as they were.
    bool PrepareChange(UndoKind kind, std::int32_t position, std::int32_t replacedCount, std::int32_t count,
                       const ViewSnapshot& view);
    // Takes back the newest recorded edit (bytes, change marks, Modified) and
    // removes its record, keeping what it took back for Redo; the view to
    // restore. Nothing when there is no record, or when NoSizeChange forbids
    // undoing a change of the length. When a size change fails, everything
    // stays as it was and the error is raised.
    std::optional<ViewSnapshot> UndoKeepingRedo();
    // Carries out again the edit the latest Undo took back, through the gate
    // (which records it for Undo as the first time), and returns the view
    // after it: the caret on its first byte, the bytes it wrote selected.
    // Nothing when there is no such edit (another edit was recorded since)
    // or NoSizeChange forbids it. A size change that fails raises as it does
    // for the commands; the caller takes the command back.
    std::optional<ViewSnapshot> Redo();
    // The edit Redo would carry out, or nullptr.
    const RedoStep* NextRedo() const { return redo_.Next(undo_.Appended()); }
    const UndoLog& Undos() const { return undo_; }
    // From how many saved bytes on a record keeps them in a file rather than
    // in memory (kFileRecordsFrom unless set; at least 2). A record of a
    // cut that removes the end of the document copies none of its bytes:
    // the working copy's file becomes its store.
    void SetFileRecordsFrom(std::int32_t bytes) { fileRecordsFrom_ = std::max(bytes, 2); }

    // ---- Commands that fail -------------------------------------------------
    // What a command may change besides the bytes, taken when it starts:
    // Modified, the change marks from marksFrom on (a command leaves those
    // below alone), and the undo log's count of appended records.
    struct CommandStart {
        bool modified = false;
        std::int32_t marksFrom = 0;
        std::size_t marksSize = 0;
        std::vector<bool> marks;  // the marks from marksFrom on
        std::uint64_t appended = 0;
    };
    CommandStart BeginCommand(std::int32_t marksFrom) const;
    // After a command raised (its size changes have undone themselves):
    // withdraws the record the gate wrote for it (bringing back the record
    // it pushed out of a full log) and gives back Modified and the change
    // marks.
    void CancelCommand(const CommandStart& start);

protected:
    // What the document's own steps use besides, reached by derived classes.

    // Forgets the page (and with it the cached length).
    void DropPage() const;
    std::int32_t CachedSize() const { return cachedSize_; }
    // Copies count bytes from one position to another (overlaps allowed); a
    // failed move puts the source range back (see WorkingCopy::MoveBlock).
    void MoveBlock(std::int32_t from, std::int32_t to, std::int32_t count);
    // Opens (creating it empty) the working copy when none is open; raises
    // EFCreateError when it cannot be created.
    void EnsureWorkingFile();
    // Empties and closes the working copy.
    void CloseWorkingFile();
    // Brings the caches and change marks in line with the length and tells
    // the listener.
    void SizeChanged();
    bool HasWorkingFile() const { return workingCopy_.IsOpen(); }
    const std::vector<bool>& ChangedBytes() const { return changedBytes_; }
    void SetModified(bool on) { modified_ = on; }
    // Undo without keeping anything for Redo.
    std::optional<ViewSnapshot> Undo();
    // Empties the undo log (and what Redo keeps) and tells the listener at
    // once.
    void ResetUndo();
    std::int32_t FileRecordsFrom() const { return fileRecordsFrom_; }

private:
    void RecordUndo(UndoKind kind, std::int32_t position, std::int32_t replacedCount, std::int32_t count,
                    const ViewSnapshot& view);
    // The size changes and the write with their new bytes in memory or in a
    // file (what Undo puts back from a record).
    void InsertSaved(const SavedBytes& source, std::int32_t count, std::int32_t position);
    void ReplaceSaved(std::int32_t start, std::int32_t end, const SavedBytes& source, std::int32_t count,
                      const SavedBytes& removed = {});
    void WriteSaved(const SavedBytes& source, std::int32_t position, std::int32_t count);
    // Undoes an insert's first steps after a later one failed: the tail
    // (tail bytes, when it was moved) back down, then the old length. False
    // when that failed too.
    bool TakeBackInsert(std::int64_t position, std::int64_t count, std::int64_t tail, std::int64_t old) noexcept;
    // The empty "Untitled" document that follows a failed load or a lost
    // working copy.
    void StartEmptyDocument();
    // Opens the working copy (mayCreate: creating it anew where it is gone);
    // where it cannot be opened, the document is lost (LoseWorkingFile).
    void OpenWorkingFile(bool mayCreate);
    // Starts an empty document and raises EFOpenError for the working copy
    // with the errno err.
    [[noreturn]] void LoseWorkingFile(int err);
    void NotifyStateChanged();

    DocumentListener* listener_ = nullptr;
    WorkingCopy workingCopy_;
    std::string fileName_ = "---";
    TLoadFailure loadFailure_ = lfNone;
    std::unique_ptr<std::uint8_t[]> pageBuffer_;
    // The page and the cached length are caches: const reads fill them.
    mutable std::int32_t pageStart_ = -1;
    mutable std::int32_t cachedSize_ = -1;
    std::vector<bool> changedBytes_;
    bool modified_ = false;
    bool fileIsReadOnly_ = true;
    bool insertState_ = false;
    bool createBackup_ = true;
    std::string backupExtension_ = ".bak";
    SaveFailure saveFailure_;
    bool noSizeChange_ = false;
    bool allowInsertMode_ = false;
    std::int32_t fileRecordsFrom_ = kFileRecordsFrom;
    UndoLog undo_;
    RedoLog redo_;
};

}  // namespace hexcore
