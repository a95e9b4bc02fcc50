// SPDX-License-Identifier: GPL-3.0-or-later
// The gate every edit passes, the records it writes, and Undo.
//
// While insert mode is active the view's selection may end up inverted
// (SelHigh = SelLow - 1); such a selection is empty, and the view never
// records or removes bytes for it.
#include "hexeditor/core/Document.h"

#include <algorithm>

namespace hexcore {

bool Document::PrepareChange(UndoKind kind, std::int32_t position, std::int32_t replacedCount, std::int32_t count,
                             const ViewSnapshot& view)
{
    bool allowed = DataSize() > 0 || kind == UndoKind::InsertBuffer || kind == UndoKind::AppendBuffer;
    if (noSizeChange_ && allowed) {
        switch (kind) {
        case UndoKind::ByteChanged:
        case UndoKind::Convert:
            break;
        case UndoKind::ReplaceSelection:
            allowed = replacedCount == count;
            break;
        default:
            allowed = false;
            break;
        }
    }
    if (allowed) {
        RecordUndo(kind, position, replacedCount, count, view);
        modified_ = true;
    }
    NotifyStateChanged();
    return allowed;
}

void Document::RecordUndo(UndoKind kind, std::int32_t position, std::int32_t replacedCount, std::int32_t count,
                          const ViewSnapshot& view)
{
    UndoRecord frame;
    frame.kind = kind;
    frame.modified = modified_;
    frame.view = view;
    frame.position = position;
    frame.count = count;
    frame.replaced = kind == UndoKind::ReplaceSelection ? replacedCount : 0;
    const bool oneByte = UndoRecord::SavesOneByte(kind);
    if (oneByte)
        frame.mark = IsByteChanged(position);
    const std::int32_t length = UndoRecord::SavedLength(kind, count, replacedCount);
    const bool savesRange =
        kind == UndoKind::BytesRemoved || kind == UndoKind::ReplaceSelection || kind == UndoKind::Convert;
    if (savesRange && length >= fileRecordsFrom_ && workingCopy_.IsOpen() && position >= 0 &&
        position + static_cast<std::int64_t>(length) <= workingCopy_.Length()) {
        // Many bytes: the record shares them with the working copy, which
        // hands them over before it changes them. Nothing is read here.
        undo_.Append(frame, workingCopy_.Share(position, length));
    } else {
        std::uint8_t* saved = undo_.Append(frame, length);
        try {
            if (oneByte)
                *saved = ReadByte(position);
            else if (savesRange)
                ReadBuffer(saved, position, length);  // straight into the log, read once
        } catch (...) {
            undo_.Withdraw();
            throw;
        }
    }

    // The size-changing step that follows must read the length afresh.
    if (!oneByte)
        DropPage();
}

std::optional<ViewSnapshot> Document::Undo()
{
    const UndoStep* step = undo_.Newest();
    // Undoing a change of the length is itself one.
    if (!step || (noSizeChange_ && step->record.ChangesSize()))
        return std::nullopt;
    const UndoRecord& r = step->record;
    const SavedBytes saved = undo_.NewestSaved();
    const auto savedLength = static_cast<std::int32_t>(step->SavedLength());

    switch (r.kind) {
    case UndoKind::ByteChanged:
    case UndoKind::InsertNibble:
    case UndoKind::DeleteNibble:
        // All a record of kinds 5 and 6 holds is the old byte at the position.
        if (!r.saved.empty() && r.position >= 0 && r.position < DataSize()) {
            WriteByte(r.position, r.saved[0]);
            UpdatePage(r.position, r.saved[0]);
            MarkChanged(r.position, r.mark);
        }
        break;
    case UndoKind::BytesRemoved:
        // The change marks behind the position are kept: DeleteSelection has
        // cut them already, and DeleteCaretByte left them where they were.
        DropPage();
        InsertSaved(saved, std::min(r.count, savedLength), r.position);
        break;
    case UndoKind::InsertBuffer:
    case UndoKind::AppendBuffer:
        DropPage();
        DeleteRange(r.position, r.position + r.count);
        break;
    case UndoKind::ReplaceSelection:
        DropPage();
        ReplaceSaved(r.position, r.position + std::max(r.count, 0), saved, std::min(r.replaced, savedLength));
        CutChangeMarks(r.position);
        break;
    case UndoKind::Convert:
        WriteSaved(saved, r.position, std::min(r.count, savedLength));
        DropPage();
        break;
    default:
        break;
    }
    const bool modified = r.modified;
    const ViewSnapshot view = r.view;
    undo_.RemoveNewest();
    modified_ = modified;
    return view;
}

Document::CommandStart Document::BeginCommand(std::int32_t marksFrom) const
{
    CommandStart start;
    start.modified = modified_;
    start.marksFrom = std::max(marksFrom, 0);
    start.marksSize = changedBytes_.size();
    if (static_cast<std::size_t>(start.marksFrom) < changedBytes_.size())
        start.marks.assign(changedBytes_.begin() + start.marksFrom, changedBytes_.end());
    start.appended = undo_.Appended();
    return start;
}

void Document::CancelCommand(const CommandStart& start)
{
    if (undo_.Appended() != start.appended)
        undo_.Withdraw();
    modified_ = start.modified;
    changedBytes_.resize(std::min(start.marksSize, static_cast<std::size_t>(start.marksFrom)));
    changedBytes_.insert(changedBytes_.end(), start.marks.begin(), start.marks.end());
    NotifyStateChanged();
}

void Document::ResetUndo()
{
    undo_.Reset();
    redo_.Clear();
    if (listener_)
        listener_->UndoReset();
}

}  // namespace hexcore
