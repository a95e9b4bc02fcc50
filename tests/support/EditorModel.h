// SPDX-License-Identifier: GPL-3.0-or-later
// A plain in-memory model of the byte editor as its commands change it: the
// document's bytes, Modified, the caret (byte, pane, nibble), the selection,
// the change marks, the undo count and the gate's decisions, the steps Undo
// can take back and those Redo can carry out again. The random editing test and the edit fuzzer drive the
// editor and this model side by side. No test framework: the fuzz targets
// use it too.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

namespace testsupport {

struct ModelCaret {
    std::int32_t position = 0;
    bool charPane = false;
    int nibble = 0;
    bool operator==(const ModelCaret&) const = default;
};

// What the model holds at one moment.
struct EditorState {
    std::vector<std::uint8_t> bytes;
    bool modified = false;
    ModelCaret caret;
    std::int32_t anchor = -1, low = -1, high = -1;
    std::vector<bool> marks;
    std::int32_t undoCount = 0;
    std::int32_t records = 0;  // edits let through the gate so far
    bool noSizeChange = false;
    bool insertMode = false;  // InsertModeActive

    std::int32_t Size() const { return static_cast<std::int32_t>(bytes.size()); }
    bool HasSel() const { return anchor >= 0; }
    // An inverted selection (insert mode) selects nothing.
    std::int32_t SelLength() const { return HasSel() && high >= low ? high - low + 1 : 0; }
    std::int32_t CaretPosition() const { return Size() <= 0 ? 0 : std::clamp(caret.position, 0, Size() - 1); }
};

class EditorModel : public EditorState {
public:
    using Bytes = std::vector<std::uint8_t>;
    // The undo kinds the commands write (the editor's values).
    enum Kind { kByteChanged = 0, kBytesRemoved = 1, kInsertBuffer = 2, kReplaceSelection = 3, kAppendBuffer = 4 };
    static constexpr std::int32_t kMaxSteps = 100;
    static constexpr std::int32_t kNoFloor = std::numeric_limits<std::int32_t>::max();

    // One step the editor's undo log holds: the state its record describes
    // (what Undo brings back), the edit's kind and position, and the lowest
    // position from which the state's change marks may be gone for good
    // (commands that shift bytes cut the marks behind their position, and
    // Undo cannot bring those back).
    struct Step {
        EditorState state;
        int kind;
        std::int32_t position;
        std::int32_t count;     // bytes inserted, appended or written
        std::int32_t replaced;  // bytes a replacement removed
        bool mark;              // the byte's change mark as a byte change recorded it
        std::int32_t floor;
        bool ChangesSize() const { return kind != kByteChanged && (kind != kReplaceSelection || replaced != count); }
    };
    // Oldest first, at most kMaxSteps (the log drops its oldest record).
    std::vector<Step> steps;
    int droppedSteps = 0;
    // What Undo took back, for Redo: the step and the bytes its edit wrote.
    // Any edit the gate lets through empties it.
    struct RedoStep {
        Step step;
        Bytes written;
    };
    std::vector<RedoStep> redoSteps;

    // ---- The view, where a driver reads it from the editor instead ---------
    void FollowView(ModelCaret at, std::int32_t selAnchor, std::int32_t selLow, std::int32_t selHigh, bool insert,
                    bool noSize)
    {
        caret = at;
        anchor = selAnchor;
        low = selLow;
        high = selHigh;
        insertMode = insert;
        noSizeChange = noSize;
    }

    // ---- Caret and selection -------------------------------------------------
    // false where the editor raises "Invalid SelStart".
    bool SetSelStart(std::int32_t p)
    {
        if (p < 0 || p >= Size())
            return false;
        MoveTo(p);
        return true;
    }
    bool SetSelEnd(std::int32_t p)
    {
        if (p < 0 || p >= Size())
            return false;
        Clear();
        Extend(caret.position, p);
        return true;
    }
    // ExtendSelection from the caret's cell to the cell of p.
    void ExtendTo(std::int32_t p) { Extend(caret.position, p); }
    // The caret to a cell: any selection ends.
    void MoveCaret(ModelCaret to)
    {
        Clear();
        caret = to;
    }
    bool SeekCaret(std::int64_t offset, int origin, bool strict)
    {
        std::int64_t p = origin == 0 ? offset
                         : origin == 1 ? offset + CaretPosition()
                         : origin == 2 ? offset + Size() - 1
                                       : CaretPosition();
        if (Size() <= 0)
            return false;
        if (p < 0 || p >= Size()) {
            if (strict)
                return false;
            p = std::clamp<std::int64_t>(p, 0, Size() - 1);
        }
        MoveTo(static_cast<std::int32_t>(p));
        return true;
    }

    // ---- Editing commands ------------------------------------------------------
    void ChangeByte(std::int32_t p, std::uint8_t value)
    {
        const EditorState before = *this;
        if (p < 0 || p >= Size() || value == bytes[static_cast<std::size_t>(p)] || !Gate(kByteChanged))
            return Settle(before);
        bytes[static_cast<std::size_t>(p)] = value;
        if (!insertMode) {
            if (marks.size() <= static_cast<std::size_t>(p))
                marks.resize(static_cast<std::size_t>(p) + 1, false);
            marks[static_cast<std::size_t>(p)] = true;
        }
        Settle(before, kByteChanged, p, 1);
    }
    void DeleteSelection()
    {
        const EditorState before = *this;
        if (HasSel() && SelLength() == 0) {
            Clear();
            return Settle(before);
        }
        const std::int32_t start = HasSel() ? low : caret.position;
        std::int32_t end = HasSel() ? high + 1 : start + 1;
        end = std::min(end, std::max(Size(), start));
        const ModelCaret cell = HasSel() ? ModelCaret{low, caret.charPane, 0} : caret;
        CutMarks(start);  // also when the gate refuses
        if (!Gate(kBytesRemoved))
            return Settle(before);
        Remove(start, end, cell);
        Settle(before, kBytesRemoved, start, end - start);
    }
    void DeleteCaretByte(bool backwards)
    {
        const EditorState before = *this;
        const std::int32_t a = CaretPosition();
        if (backwards && a > 0 && Gate(kBytesRemoved)) {
            Remove(a - 1, a, caret);
            MoveTo(a - 1);
            return Settle(before, kBytesRemoved, a - 1, 1);
        }
        if (!backwards && Size() > 0 && Gate(kBytesRemoved)) {
            Remove(a, a + 1, caret);
            return Settle(before, kBytesRemoved, a, 1);
        }
        Settle(before);
    }
    void InsertBuffer(const Bytes& source, std::int32_t p)
    {
        const EditorState before = *this;
        InsertAt(source, p);
        Settle(before, kInsertBuffer, p, static_cast<std::int32_t>(source.size()));
    }
    void AppendBuffer(const Bytes& source)
    {
        const EditorState before = *this;
        const std::int32_t old = Size();
        if (!Gate(kAppendBuffer))
            return Settle(before);
        CutMarks(old);
        bytes.insert(bytes.end(), source.begin(), source.end());
        caret = ModelCaret{old, caret.charPane, 0};
        anchor = low = old;
        high = old + static_cast<std::int32_t>(source.size()) - 1;
        Settle(before, kAppendBuffer, old, static_cast<std::int32_t>(source.size()));
    }
    void ReplaceSelection(Bytes source)
    {
        const EditorState before = *this;
        std::optional<EditorState> described;
        if (HasSel() && SelLength() == 0) {
            Clear();  // an empty selection: insert at the caret
            described = *this;
        }
        if (!HasSel()) {
            InsertAt(source, caret.position);
            return Settle(before, kInsertBuffer, before.caret.position, static_cast<std::int32_t>(source.size()), 0,
                          described);
        }
        auto count = static_cast<std::int32_t>(source.size());
        if (noSizeChange) {
            const std::int32_t length = SelLength();
            if (count == 0)
                return Settle(before);
            if (length < count) {
                count = length;
            } else if (count < length) {
                const std::int32_t first = low;
                MoveTo(first);
                Extend(first, first + count - 1);
            }
            source.resize(static_cast<std::size_t>(count));
            described = *this;
        }
        const std::int32_t replaced = SelLength();
        if (!Gate(kReplaceSelection, replaced, count))
            return Settle(before);
        const std::int32_t start = low;
        const ModelCaret remembered = caret;
        CutMarks(start);
        Remove(start, high + 1, ModelCaret{start, caret.charPane, 0});
        Insert(source, start);
        CutMarks(start);
        if (remembered.position == start && start < Size()) {
            caret = remembered;
            anchor = low = start;
            high = start + count - 1;
        }
        Settle(before, kReplaceSelection, start, count, replaced, described);
    }

    // ---- Modes and Undo ----------------------------------------------------------
    void SetNoSizeChange(bool on) { noSizeChange = on; }
    void SetInsertMode(bool active) { insertMode = active; }

    // Takes back the newest step; false when there is none or NoSizeChange
    // forbids undoing a change of the length. Bytes, Modified, caret and
    // selection come back as the step's state; the change marks follow the
    // editor's rules (a byte change restores its byte's mark, shrinking cuts,
    // inserting into an empty document clears them).
    bool Undo()
    {
        if (steps.empty() || (noSizeChange && steps.back().ChangesSize()))
            return false;
        const Step step = steps.back();
        steps.pop_back();
        KeepForRedo(step);
        const auto restoredSize = static_cast<std::int32_t>(step.state.bytes.size());
        switch (step.kind) {
        case kByteChanged: {
            const auto bit = static_cast<std::size_t>(step.position);
            if (step.mark) {
                if (marks.size() <= bit)
                    marks.resize(bit + 1, false);
                marks[bit] = true;
            } else if (bit < marks.size()) {
                marks[bit] = false;
            }
            break;
        }
        case kBytesRemoved:
            if (Size() == 0)
                marks.clear();  // inserting into an empty document
            break;
        case kReplaceSelection:
            // The new bytes go, then the old ones come back.
            if (step.count > 0)
                CutMarks(Size() - step.count);
            if (step.replaced > 0 && Size() - step.count == 0)
                marks.clear();
            CutMarks(step.position);
            break;
        default:  // inserted or appended bytes go
            CutMarks(restoredSize);
            break;
        }
        const EditorState& s = step.state;
        bytes = s.bytes;
        modified = s.modified;
        caret = s.caret;
        anchor = s.anchor;
        low = s.low;
        high = s.high;
        --undoCount;
        return true;
    }

    // Carries out again the edit the latest Undo took back, recorded as new;
    // the caret on its first byte (the first cell of an empty document), the
    // bytes it wrote selected. The change marks: a byte change marks its
    // byte (outside insert mode), every other edit cuts them at its
    // position.
    bool Redo()
    {
        if (redoSteps.empty() || (noSizeChange && redoSteps.back().step.ChangesSize()))
            return false;
        const RedoStep redo = redoSteps.back();
        const Step& s = redo.step;
        const EditorState before = *this;
        if (!Gate(s.kind, s.replaced, s.count))
            return false;
        EditorState described = before;
        described.caret = s.state.caret;
        described.anchor = s.state.anchor;
        described.low = s.state.low;
        described.high = s.state.high;
        const std::int32_t p = s.position;
        if (s.kind == kByteChanged) {
            bytes[static_cast<std::size_t>(p)] = redo.written[0];
            if (!insertMode) {
                if (marks.size() <= static_cast<std::size_t>(p))
                    marks.resize(static_cast<std::size_t>(p) + 1, false);
                marks[static_cast<std::size_t>(p)] = true;
            }
        } else {
            const std::int32_t removed = s.kind == kBytesRemoved ? s.count : s.kind == kReplaceSelection ? s.replaced : 0;
            if (s.kind == kBytesRemoved)
                CutMarks(p);
            if (s.kind != kBytesRemoved)
                Insert(redo.written, p);
            const auto from = bytes.begin() + p + (s.kind == kBytesRemoved ? 0 : s.count);
            bytes.erase(from, from + removed);
            CutMarks(Size());
            CutMarks(p);
        }
        Clear();
        caret = Size() == 0 ? ModelCaret{} : ModelCaret{std::clamp(p, 0, Size() - 1), s.state.caret.charPane, 0};
        if (s.kind != kByteChanged && s.kind != kBytesRemoved && s.count > 0) {
            anchor = low = p;
            high = p + s.count - 1;
        }
        std::vector<RedoStep> rest(redoSteps.begin(), redoSteps.end() - 1);
        Settle(before, s.kind, p, s.count, s.replaced, described);
        redoSteps = std::move(rest);
        return true;
    }

private:
    void KeepForRedo(const Step& step)
    {
        Bytes written;
        if (step.kind == kByteChanged)
            written.push_back(bytes[static_cast<std::size_t>(step.position)]);
        else if (step.kind != kBytesRemoved)
            written.assign(bytes.begin() + step.position, bytes.begin() + step.position + step.count);
        redoSteps.push_back({step, written});
    }
    void Clear() { anchor = low = high = -1; }
    void MoveTo(std::int32_t p)
    {
        Clear();
        caret = ModelCaret{p, caret.charPane, 0};
    }
    void CutMarks(std::int32_t at)
    {
        if (at >= 0 && marks.size() > static_cast<std::size_t>(at))
            marks.resize(static_cast<std::size_t>(at));
    }
    // The gate: an empty document takes only inserts and appends, NoSizeChange
    // only edits that keep the length.
    bool Gate(int kind, std::int32_t replaced = 0, std::int32_t count = 0)
    {
        bool allowed = Size() > 0 || kind == kInsertBuffer || kind == kAppendBuffer;
        if (noSizeChange && allowed)
            allowed = kind == kByteChanged || (kind == kReplaceSelection && replaced == count);
        if (allowed) {
            undoCount = std::min(undoCount + 1, kMaxSteps);
            ++records;
            modified = true;
        }
        return allowed;
    }
    void Extend(std::int32_t from, std::int32_t g)
    {
        if (!HasSel()) {
            anchor = from;
            // In insert mode positions denote the gap before a byte.
            if (insertMode) {
                if (g < anchor)
                    --anchor;
                else if (g > anchor)
                    --g;
            }
            low = std::min(g, anchor);
            high = std::max(g, anchor);
        } else if (g < anchor) {
            low = g;
            high = anchor;
        } else {
            low = anchor;
            high = insertMode ? g - 1 : g;
        }
    }
    // Removes bytes; the caret keeps its cell unless that now lies past the
    // end (then the last byte, or the first cell of an empty document).
    void Remove(std::int32_t start, std::int32_t end, ModelCaret cell)
    {
        bytes.erase(bytes.begin() + start, bytes.begin() + end);
        CutMarks(Size());
        if (cell.position >= Size())
            cell = Size() == 0 ? ModelCaret{} : ModelCaret{Size() - 1, cell.charPane, 0};
        caret = cell;
        Clear();
    }
    void Insert(const Bytes& source, std::int32_t at)
    {
        if (bytes.empty())
            marks.clear();
        bytes.insert(bytes.begin() + at, source.begin(), source.end());
    }
    // InsertBuffer's steps: the new bytes are selected when inserted at the
    // caret.
    void InsertAt(const Bytes& source, std::int32_t p)
    {
        if (p < 0 || p > Size() || !Gate(kInsertBuffer))
            return;
        Insert(source, p);
        CutMarks(p);
        if (p == caret.position) {
            anchor = low = p;
            high = p + static_cast<std::int32_t>(source.size()) - 1;
        }
    }
    // After a command: a step for Undo when the gate let an edit through, and
    // the floors of the older steps lowered where change marks went.
    void Settle(const EditorState& before, int kind = -1, std::int32_t position = 0, std::int32_t count = 0,
                std::int32_t replaced = 0, const std::optional<EditorState>& described = std::nullopt)
    {
        const bool recorded = records != before.records;
        std::int32_t cut = kNoFloor;
        if (recorded && (kind == kBytesRemoved || kind == kInsertBuffer || kind == kReplaceSelection))
            cut = position;
        else if (!recorded && marks.size() < before.marks.size())
            cut = static_cast<std::int32_t>(marks.size());  // a refused deletion
        for (Step& step : steps)
            step.floor = std::min(step.floor, cut);
        if (!recorded)
            return;
        redoSteps.clear();
        Step step;
        step.state = described ? *described : before;
        step.state.modified = before.modified;
        step.kind = kind;
        step.position = position;
        step.count = count;
        step.replaced = replaced;
        step.mark = kind == kByteChanged && !step.state.insertMode &&
                    static_cast<std::size_t>(position) < step.state.marks.size() &&
                    step.state.marks[static_cast<std::size_t>(position)];
        step.floor = kind == kByteChanged || kind == kAppendBuffer ? kNoFloor : position;
        steps.push_back(step);
        if (static_cast<std::int32_t>(steps.size()) > kMaxSteps) {
            steps.erase(steps.begin());
            ++droppedSteps;
        }
    }
};

}  // namespace testsupport
