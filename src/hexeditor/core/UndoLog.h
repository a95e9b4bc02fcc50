// SPDX-License-Identifier: GPL-3.0-or-later
// The undo log: its records (UndoRecord's layout), oldest first, at most
// kMaxRecords of them, with the description of the newest. A record keeps
// its saved bytes in memory, or, when they are many, in a file (SavedFile),
// so the log's memory stays small for any document.
#pragma once

#include "hexeditor/core/SavedFile.h"
#include "hexeditor/core/UndoRecord.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace hexcore {

// One record of the log: its fields, and its saved bytes in record.saved or
// in file.
struct UndoStep {
    UndoRecord record;
    std::shared_ptr<SavedFile> file;

    std::int64_t SavedLength() const
    {
        return file ? file->Length() : static_cast<std::int64_t>(record.saved.size());
    }
};

class UndoLog {
public:
    static constexpr std::int32_t kMaxRecords = 100;

    // Appends a record with savedLength zero bytes saved in memory, and
    // returns their address for the caller to fill (valid until the log
    // changes next). The oldest record goes first when the log is full; it
    // is kept aside until the log changes next, for Withdraw.
    std::uint8_t* Append(const UndoRecord& frame, std::int32_t savedLength);
    // The same for a record whose saved bytes are in file.
    void Append(const UndoRecord& frame, std::shared_ptr<SavedFile> file);
    // Takes back the Append just made: removes its record and brings back
    // the record it pushed out, so the log is as it was before.
    void Withdraw();
    // Removes the oldest record.
    void DropOldest();
    // The newest record; nothing when the log is empty.
    const UndoStep* Newest() const;
    // The bytes the newest record saved, in memory or in its file (none
    // without a record); valid until the log changes next.
    SavedBytes NewestSaved() const;
    // Removes the newest record.
    void RemoveNewest();
    // Empties the log and frees its memory and files.
    void Reset();

    std::int32_t Count() const { return static_cast<std::int32_t>(steps_.size()); }
    // Records appended since the log was made, less those withdrawn.
    std::uint64_t Appended() const { return appended_; }
    // A record was appended since the last reset, and the log is not empty
    // since then.
    bool CanUndo() const { return canUndo_; }
    // The newest record's kind as text, "No Undo" without one.
    const std::string& Description() const { return description_; }
    // The records one after the other in their byte layout, saved bytes
    // read from their files. Raises the EInOutError of a failed read.
    std::vector<std::uint8_t> Bytes() const;

private:
    void Push(UndoStep step);
    void DescribeNewest();

    std::deque<UndoStep> steps_;
    // The record the newest Append pushed out of the full log.
    std::optional<UndoStep> pushedOut_;
    std::uint64_t appended_ = 0;
    bool canUndo_ = false;
    std::string description_ = "No Undo";
};

}  // namespace hexcore
