// The undo log: one byte stream of records (UndoRecord's layout), oldest
// first, at most kMaxRecords of them, with the description of the newest.
// Records are built in place at the end of the stream, so the saved bytes of
// a large deletion are held once.
#pragma once

#include "hexeditor/core/UndoRecord.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace hexcore {

class UndoLog {
public:
    static constexpr std::int32_t kMaxRecords = 100;

    // Appends a record: its header and length are written from frame around
    // savedLength zero bytes, and the address of those bytes is returned for
    // the caller to fill (valid until the log changes next). The oldest
    // record goes first when the log is full; it is kept aside until the log
    // changes next, for Withdraw.
    std::uint8_t* Append(const UndoRecord& frame, std::int32_t savedLength);
    // Takes back the Append just made: removes its record and brings back
    // the record it pushed out, so the log is as it was before.
    void Withdraw();
    // Removes the oldest record; a damaged log is left alone.
    void DropOldest();
    // The newest record; nothing when the log is empty or damaged at its end.
    std::optional<UndoRecord> Newest() const;
    // The bytes the newest record saved, in place (empty without a record);
    // valid until the log changes next.
    std::span<const std::uint8_t> NewestSaved() const;
    // Removes the newest record.
    void RemoveNewest();
    // Empties the log and frees its memory.
    void Reset();

    std::int32_t Count() const { return count_; }
    // Records appended since the log was made, less those withdrawn.
    std::uint64_t Appended() const { return appended_; }
    // A record was appended since the last reset, and the log is not empty
    // since then.
    bool CanUndo() const { return canUndo_; }
    // The newest record's kind as text, "No Undo" without one.
    const std::string& Description() const { return description_; }
    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

private:
    // The length of the oldest record; 0 when the log is empty or damaged.
    std::size_t OldestLength() const;
    // Releases the record kept aside for Withdraw.
    void ReleasePushedOut();

    std::vector<std::uint8_t> bytes_;
    // The record the newest Append pushed out of the full log.
    std::vector<std::uint8_t> pushedOut_;
    std::int32_t count_ = 0;
    std::uint64_t appended_ = 0;
    bool canUndo_ = false;
    std::string description_ = "No Undo";
};

}  // namespace hexcore
