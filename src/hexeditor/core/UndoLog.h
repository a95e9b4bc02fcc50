// The undo log: one byte stream of records (UndoRecord's layout), oldest
// first, at most kMaxRecords of them, with the description of the newest.
// Records are built in place at the end of the stream, so the saved bytes of
// a large deletion are held once.
#pragma once

#include "hexeditor/core/UndoRecord.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace hexcore {

class UndoLog {
public:
    static constexpr std::int32_t kMaxRecords = 100;

    // Appends a record: its header and length are written from frame around
    // savedLength zero bytes, and the address of those bytes is returned for
    // the caller to fill (valid until the log changes next). The oldest
    // record goes first when the log is full.
    std::uint8_t* Append(const UndoRecord& frame, std::int32_t savedLength);
    // Removes the oldest record; a damaged log is left alone.
    void DropOldest();
    // The newest record; nothing when the log is empty or damaged at its end.
    std::optional<UndoRecord> Newest() const;
    // Removes the newest record.
    void RemoveNewest();
    // Empties the log and frees its memory.
    void Reset();

    std::int32_t Count() const { return count_; }
    // A record was appended since the last reset, and the log is not empty
    // since then.
    bool CanUndo() const { return canUndo_; }
    // The newest record's kind as text, "No Undo" without one.
    const std::string& Description() const { return description_; }
    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
    std::int32_t count_ = 0;
    bool canUndo_ = false;
    std::string description_ = "No Undo";
};

}  // namespace hexcore
