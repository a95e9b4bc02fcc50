// SPDX-License-Identifier: GPL-3.0-or-later
// One record of the byte editor's undo log: what an edit changed, and the
// caret and selection as the view had them before it. The record has one
// byte layout (all integers 32-bit little-endian, no gaps), which this struct
// alone writes and reads:
//
//   0  kind            1  change mark (kinds 0, 5, 6)   2  Modified before
//   3  caret position  7  caret nibble   8  caret pane (1 = characters)
//   9  SelLow         13  SelHigh       17  SelAnchor
//  21  position       25  count         29  replaced count (kind 3)
//  33  saved bytes (n)                  33+n  record length (n + 37)
//
// The trailing length lets a log of records be walked backwards from its end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace hexcore {

// The kinds of edit, with the value each has in a record.
enum class UndoKind : std::uint8_t {
    ByteChanged = 0,       // saves the old byte
    BytesRemoved = 1,      // saves the removed bytes
    InsertBuffer = 2,      // saves one zero byte
    ReplaceSelection = 3,  // saves the replaced bytes
    AppendBuffer = 4,      // saves one zero byte
    InsertNibble = 5,      // saves the old byte (no command writes it)
    DeleteNibble = 6,      // saves the old byte (no command writes it)
    Convert = 7,           // saves the bytes at the position (no command writes it)
};

// The description of a kind ("Byte changed", ...); values past the last kind
// read as the last kind's.
const char* UndoDescription(UndoKind kind);

// Caret and selection as the view had them when an edit was recorded, handed
// back to the view when the edit is undone.
struct ViewSnapshot {
    std::int32_t caret = 0;        // byte position of the caret's cell, unclamped
    std::uint8_t nibble = 0;       // hex pane: the caret's column within its byte's pair
    bool charPane = false;
    std::int32_t selLow = -1;
    std::int32_t selHigh = -1;
    std::int32_t selAnchor = -1;   // -1: no selection
    bool operator==(const ViewSnapshot&) const = default;
};

struct UndoRecord {
    static constexpr std::size_t kHeaderSize = 33;
    static constexpr std::size_t kTrailerSize = 4;
    // The shortest record: a header and a length, nothing saved.
    static constexpr std::size_t kMinSize = kHeaderSize + kTrailerSize;

    UndoKind kind = UndoKind::ByteChanged;
    bool mark = false;       // change mark of the byte at position (kinds 0, 5, 6)
    bool modified = false;   // Modified before the edit
    ViewSnapshot view;
    std::int32_t position = 0;
    std::int32_t count = 0;
    std::int32_t replaced = 0;
    std::vector<std::uint8_t> saved;

    // How many bytes a record of the kind saves: one for kinds 0, 2, 4, 5, 6,
    // count for kinds 1 and 7, replaced for kind 3 (never fewer than 0).
    static std::int32_t SavedLength(UndoKind kind, std::int32_t count, std::int32_t replaced);
    // Kinds 0, 5 and 6: one old byte and its change mark.
    static bool SavesOneByte(UndoKind kind);
    // Undoing the record changes the document's length.
    bool ChangesSize() const;

    // The record's bytes: header, saved bytes, length.
    std::vector<std::uint8_t> Encode() const;
    // Writes the header at the start of room and the length at its end,
    // leaving the room.size() - kMinSize bytes between them (the saved bytes)
    // untouched: the log reads them from the document straight into place.
    void EncodeAround(std::uint8_t* room, std::size_t size) const;
    // The record held in exactly size bytes; nothing when they are too few or
    // the trailing length disagrees.
    static std::optional<UndoRecord> Decode(const std::uint8_t* bytes, std::size_t size);
    // The length of the record that ends end bytes into a log, or 0 when the
    // log is damaged there (a length too short or reaching before the start).
    static std::size_t LengthEndingAt(const std::uint8_t* log, std::size_t end);
};

}  // namespace hexcore
