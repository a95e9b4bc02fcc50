// SPDX-License-Identifier: GPL-3.0-or-later
// Redo: what Undo takes back is kept beside the undo log (the edit and the
// bytes it wrote), and Redo carries the edit out again through the gate.
// Undo itself is untouched: UndoKeepingRedo reads what it needs before
// calling it.
#include "hexeditor/core/Document.h"

#include <algorithm>

namespace hexcore {

std::optional<ViewSnapshot> Document::UndoKeepingRedo()
{
    const UndoStep* newest = undo_.Newest();
    if (!newest || (noSizeChange_ && newest->record.ChangesSize()))
        return Undo();
    const UndoRecord& r = newest->record;
    RedoStep step;
    step.kind = r.kind;
    step.position = r.position;
    step.count = r.count;
    step.replaced = r.replaced;
    step.view = r.view;
    bool redoable = true;
    // Undo goes ahead as ever when the bytes for Redo cannot be kept (no
    // memory, no room for their file): there is nothing to redo then.
    try {
        switch (r.kind) {
        case UndoKind::ByteChanged:
            step.bytes.assign(1, ReadByte(r.position));
            break;
        case UndoKind::BytesRemoved:
            break;
        case UndoKind::InsertBuffer:
        case UndoKind::AppendBuffer:
        case UndoKind::ReplaceSelection:
            // The bytes the edit wrote are still in place; many of them go
            // to a file, as an undo record's would.
            if (r.count >= fileRecordsFrom_ && workingCopy_.IsOpen())
                step.file = workingCopy_.CopyOut(r.position, r.count);
            else
                step.bytes.resize(static_cast<std::size_t>(std::max(r.count, 0)));
            ReadBuffer(step.bytes.data(), r.position, static_cast<std::int32_t>(step.bytes.size()));
            break;
        default:
            redoable = false;  // no command writes these kinds
            break;
        }
    } catch (...) {
        redoable = false;
    }
    const std::optional<ViewSnapshot> view = Undo();
    if (view && redoable)
        redo_.Keep(std::move(step), undo_.Appended());
    else if (view)
        redo_.Clear();
    return view;
}

std::optional<ViewSnapshot> Document::Redo()
{
    const RedoStep* next = NextRedo();
    if (!next || (noSizeChange_ && next->ChangesSize()))
        return std::nullopt;
    const RedoStep& step = *next;
    if (!PrepareChange(step.kind, step.position, step.replaced, step.count, step.view))
        return std::nullopt;
    const std::int32_t p = step.position;
    switch (step.kind) {
    case UndoKind::ByteChanged:
        WriteByte(p, step.bytes.at(0));
        UpdatePage(p, step.bytes[0]);
        if (!InsertModeActive())
            MarkChanged(p);
        break;
    case UndoKind::BytesRemoved:
        CutChangeMarks(p);
        DeleteRange(p, p + step.count, undo_.NewestSaved());
        break;
    case UndoKind::ReplaceSelection:
        ReplaceSaved(p, p + step.replaced, step.Written(), step.count, undo_.NewestSaved());
        CutChangeMarks(p);
        break;
    default:  // inserted or appended bytes
        InsertSaved(step.Written(), step.count, p);
        CutChangeMarks(p);
        break;
    }
    ViewSnapshot after;
    after.charPane = step.view.charPane;
    after.caret = std::clamp(p, 0, std::max(DataSize() - 1, 0));
    if (DataSize() == 0)
        after = ViewSnapshot{};
    if (step.kind != UndoKind::ByteChanged && step.kind != UndoKind::BytesRemoved && step.count > 0) {
        after.selAnchor = after.selLow = p;
        after.selHigh = p + step.count - 1;
    }
    redo_.Redone(undo_.Appended());
    return after;
}

}  // namespace hexcore
