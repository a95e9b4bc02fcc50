#include "hexeditor/core/UndoLog.h"

#include <algorithm>
#include <malloc.h>
#include <sys/mman.h>

namespace hexcore {

namespace {

// A freed log of at least this size is handed back to the system.
constexpr std::size_t kTrimAfter = 1u << 20;

// Asks the kernel to back the whole 2 MiB pieces of a large block with huge
// pages (transparent huge pages in "madvise" mode): one page fault per 2 MiB
// instead of one per 4 KiB. A mere advice; nothing changes where the kernel
// declines.
void AdviseHugePages(void* data, std::size_t size)
{
    constexpr std::uintptr_t kHugePage = 2u << 20;
    if (size < 2 * kHugePage)
        return;
    const auto begin = (reinterpret_cast<std::uintptr_t>(data) + kHugePage - 1) & ~(kHugePage - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + size) & ~(kHugePage - 1);
    if (end > begin)
        (void)::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

}  // namespace

std::uint8_t* UndoLog::Append(const UndoRecord& frame, std::int32_t savedLength)
{
    // Memory first: when it is short (std::bad_alloc), the log is as it was.
    const std::size_t length = UndoRecord::kMinSize + static_cast<std::size_t>(std::max(savedLength, 0));
    const std::size_t needed = bytes_.size() + length;
    if (needed > bytes_.capacity()) {
        // Room for this record (and, as the log grows, for the next ones);
        // large memory is asked for in huge pages, which fill about three
        // times faster than small ones.
        bytes_.reserve(std::max(needed, 2 * bytes_.capacity()));
        AdviseHugePages(bytes_.data(), bytes_.capacity());
    }
    ReleasePushedOut();
    if (count_ >= kMaxRecords)
        pushedOut_.assign(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(OldestLength()));

    description_ = UndoDescription(frame.kind);
    canUndo_ = true;
    ++appended_;
    if (++count_ > kMaxRecords)
        DropOldest();
    const std::size_t at = bytes_.size();
    bytes_.resize(at + length);  // zero-filled, within the capacity reserved
    std::uint8_t* record = bytes_.data() + at;
    frame.EncodeAround(record, length);
    return record + UndoRecord::kHeaderSize;
}

std::size_t UndoLog::OldestLength() const
{
    // Walk back from the end by the trailing lengths to the oldest record.
    std::size_t end = bytes_.size();
    std::size_t oldest = 0;
    while (end > 0) {
        oldest = UndoRecord::LengthEndingAt(bytes_.data(), end);
        if (oldest == 0)
            return 0;
        end -= oldest;
    }
    return oldest;
}

void UndoLog::DropOldest()
{
    const std::size_t oldest = OldestLength();
    if (oldest == 0)
        return;  // a damaged log is left alone
    bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(oldest));
    --count_;
}

void UndoLog::Withdraw()
{
    std::vector<std::uint8_t> pushedOut;
    pushedOut.swap(pushedOut_);
    RemoveNewest();
    if (appended_ > 0)
        --appended_;
    if (pushedOut.empty())
        return;
    bytes_.insert(bytes_.begin(), pushedOut.begin(), pushedOut.end());
    ++count_;
    const std::size_t newest = UndoRecord::LengthEndingAt(bytes_.data(), bytes_.size());
    if (newest != 0)
        description_ = UndoDescription(static_cast<UndoKind>(bytes_[bytes_.size() - newest]));
    canUndo_ = true;
}

void UndoLog::ReleasePushedOut()
{
    // A large record's memory goes back at once; a small one's is kept for
    // the next.
    if (pushedOut_.capacity() > kTrimAfter)
        std::vector<std::uint8_t>().swap(pushedOut_);
    else
        pushedOut_.clear();
}

std::span<const std::uint8_t> UndoLog::NewestSaved() const
{
    const std::size_t length = count_ > 0 ? UndoRecord::LengthEndingAt(bytes_.data(), bytes_.size()) : 0;
    if (length < UndoRecord::kMinSize)
        return {};
    return {bytes_.data() + bytes_.size() - length + UndoRecord::kHeaderSize, length - UndoRecord::kMinSize};
}

std::optional<UndoRecord> UndoLog::Newest() const
{
    if (count_ <= 0)
        return std::nullopt;
    const std::size_t length = UndoRecord::LengthEndingAt(bytes_.data(), bytes_.size());
    if (length == 0)
        return std::nullopt;
    return UndoRecord::Decode(bytes_.data() + bytes_.size() - length, length);
}

void UndoLog::RemoveNewest()
{
    ReleasePushedOut();
    const std::size_t length = UndoRecord::LengthEndingAt(bytes_.data(), bytes_.size());
    if (count_ <= 0 || length == 0)
        return;
    bytes_.resize(bytes_.size() - length);
    --count_;
    const std::size_t next = UndoRecord::LengthEndingAt(bytes_.data(), bytes_.size());
    if (count_ > 0 && next != 0) {
        description_ = UndoDescription(static_cast<UndoKind>(bytes_[bytes_.size() - next]));
    } else {
        description_ = "No Undo";
        canUndo_ = false;
    }
}

void UndoLog::Reset()
{
    std::vector<std::uint8_t>().swap(pushedOut_);
    canUndo_ = false;
    description_ = "No Undo";
    count_ = 0;
    const bool large = bytes_.capacity() >= kTrimAfter;
    std::vector<std::uint8_t>().swap(bytes_);
    // The allocator keeps freed memory of its heap for later; after a large
    // log (the saved tail of a cut package) it goes back to the system at
    // once, so one large log never stays beside the next one.
    if (large)
        ::malloc_trim(0);
}

}  // namespace hexcore
