// SPDX-License-Identifier: GPL-3.0-or-later
// What Undo took back, kept for Redo: per step the edit's kind and place,
// the caret and selection its undo record held, and the bytes it wrote, so
// that Redo can carry the edit out again through the gate (which records it
// for Undo as the first time). The steps hold until another edit is
// recorded: the log remembers the undo log's count of appended records and
// is stale once that count moved on.
#pragma once

#include "hexeditor/core/SavedFile.h"
#include "hexeditor/core/UndoRecord.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace hexcore {

struct RedoStep {
    UndoKind kind = UndoKind::ByteChanged;
    std::int32_t position = 0;
    std::int32_t count = 0;     // bytes written, inserted, appended or removed
    std::int32_t replaced = 0;  // bytes a replacement removes
    ViewSnapshot view;          // as the edit's undo record held it
    // The bytes the edit wrote: in memory, or (when many) in a file.
    std::vector<std::uint8_t> bytes;
    std::shared_ptr<SavedFile> file;

    SavedBytes Written() const { return {bytes.data(), static_cast<std::int64_t>(bytes.size()), file.get()}; }
    bool ChangesSize() const
    {
        return kind != UndoKind::ByteChanged && (kind != UndoKind::ReplaceSelection || replaced != count);
    }
};

class RedoLog {
public:
    // The step to redo next, or nullptr when there is none or the log is
    // stale (appended: the undo log's count of appended records now).
    const RedoStep* Next(std::uint64_t appended) const
    {
        return steps_.empty() || appended != appended_ ? nullptr : &steps_.back();
    }
    // Keeps a step taken back by Undo; a stale log is emptied first.
    void Keep(RedoStep step, std::uint64_t appended)
    {
        if (appended != appended_)
            steps_.clear();
        steps_.push_back(std::move(step));
        appended_ = appended;
    }
    // The next step was redone; its record made the count appended.
    void Redone(std::uint64_t appended)
    {
        steps_.pop_back();
        appended_ = appended;
    }
    void Clear() { steps_.clear(); }

private:
    std::vector<RedoStep> steps_;
    std::uint64_t appended_ = 0;
};

}  // namespace hexcore
