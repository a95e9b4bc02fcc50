// SPDX-License-Identifier: GPL-3.0-or-later
#include "hexeditor/core/UndoRecord.h"

#include <algorithm>
#include <cstring>

namespace hexcore {

namespace {

const char* const kDescriptions[] = {
    "Byte changed", "Byte(s) removed", "Insert buffer", "Replace selection",
    "Append buffer", "Insert nibble", "Delete nibble", "Convert",
};

// Offsets of the header fields.
enum Field : std::size_t {
    kKind = 0,
    kMark = 1,
    kModified = 2,
    kCaret = 3,
    kNibble = 7,
    kPane = 8,
    kSelLow = 9,
    kSelHigh = 13,
    kSelAnchor = 17,
    kPosition = 21,
    kCount = 25,
    kReplaced = 29,
};

void PutI32(std::uint8_t* at, std::int32_t value)
{
    const auto v = static_cast<std::uint32_t>(value);
    at[0] = static_cast<std::uint8_t>(v);
    at[1] = static_cast<std::uint8_t>(v >> 8);
    at[2] = static_cast<std::uint8_t>(v >> 16);
    at[3] = static_cast<std::uint8_t>(v >> 24);
}

std::int32_t GetI32(const std::uint8_t* at)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(at[0]) | (static_cast<std::uint32_t>(at[1]) << 8) |
                                     (static_cast<std::uint32_t>(at[2]) << 16) |
                                     (static_cast<std::uint32_t>(at[3]) << 24));
}

}  // namespace

const char* UndoDescription(UndoKind kind)
{
    return kDescriptions[std::min<std::size_t>(static_cast<std::size_t>(kind), std::size(kDescriptions) - 1)];
}

std::int32_t UndoRecord::SavedLength(UndoKind kind, std::int32_t count, std::int32_t replaced)
{
    switch (kind) {
    case UndoKind::BytesRemoved:
    case UndoKind::Convert:
        return std::max(count, 0);
    case UndoKind::ReplaceSelection:
        return std::max(replaced, 0);
    default:
        return 1;
    }
}

bool UndoRecord::SavesOneByte(UndoKind kind)
{
    return kind == UndoKind::ByteChanged || kind == UndoKind::InsertNibble || kind == UndoKind::DeleteNibble;
}

bool UndoRecord::ChangesSize() const
{
    switch (kind) {
    case UndoKind::BytesRemoved:
    case UndoKind::InsertBuffer:
    case UndoKind::AppendBuffer:
    case UndoKind::InsertNibble:
    case UndoKind::DeleteNibble:
        return true;
    case UndoKind::ReplaceSelection:
        return replaced != count;
    default:
        return false;
    }
}

void UndoRecord::EncodeAround(std::uint8_t* room, std::size_t size) const
{
    std::memset(room, 0, kHeaderSize);
    room[kKind] = static_cast<std::uint8_t>(kind);
    room[kMark] = mark ? 1 : 0;
    room[kModified] = modified ? 1 : 0;
    PutI32(room + kCaret, view.caret);
    room[kNibble] = view.nibble;
    room[kPane] = view.charPane ? 1 : 0;
    PutI32(room + kSelLow, view.selLow);
    PutI32(room + kSelHigh, view.selHigh);
    PutI32(room + kSelAnchor, view.selAnchor);
    PutI32(room + kPosition, position);
    PutI32(room + kCount, count);
    PutI32(room + kReplaced, replaced);
    PutI32(room + size - kTrailerSize, static_cast<std::int32_t>(size));
}

std::vector<std::uint8_t> UndoRecord::Encode() const
{
    std::vector<std::uint8_t> bytes(kMinSize + saved.size());
    std::copy(saved.begin(), saved.end(), bytes.begin() + kHeaderSize);
    EncodeAround(bytes.data(), bytes.size());
    return bytes;
}

std::optional<UndoRecord> UndoRecord::Decode(const std::uint8_t* bytes, std::size_t size)
{
    if (size < kMinSize || LengthEndingAt(bytes, size) != size)
        return std::nullopt;
    UndoRecord r;
    r.kind = static_cast<UndoKind>(bytes[kKind]);
    r.mark = bytes[kMark] != 0;
    r.modified = bytes[kModified] != 0;
    r.view.caret = GetI32(bytes + kCaret);
    r.view.nibble = bytes[kNibble];
    r.view.charPane = bytes[kPane] != 0;
    r.view.selLow = GetI32(bytes + kSelLow);
    r.view.selHigh = GetI32(bytes + kSelHigh);
    r.view.selAnchor = GetI32(bytes + kSelAnchor);
    r.position = GetI32(bytes + kPosition);
    r.count = GetI32(bytes + kCount);
    r.replaced = GetI32(bytes + kReplaced);
    r.saved.assign(bytes + kHeaderSize, bytes + size - kTrailerSize);
    return r;
}

std::size_t UndoRecord::LengthEndingAt(const std::uint8_t* log, std::size_t end)
{
    if (end < kTrailerSize)
        return 0;
    const std::int32_t length = GetI32(log + end - kTrailerSize);
    if (length < static_cast<std::int32_t>(kMinSize) || static_cast<std::size_t>(length) > end)
        return 0;
    return static_cast<std::size_t>(length);
}

}  // namespace hexcore
