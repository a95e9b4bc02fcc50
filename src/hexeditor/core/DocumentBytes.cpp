// SPDX-License-Identifier: GPL-3.0-or-later
// The document's bytes: length, reads and writes, the page buffer, the
// size-changing primitives and the change marks.
#include "hexeditor/core/Document.h"

#include "platform/system/Exceptions.h"

#include <algorithm>
#include <memory>
#include <new>

namespace hexcore {

std::int32_t Document::DataSize() const
{
    if (cachedSize_ == -1 || pageStart_ == -1)
        cachedSize_ = static_cast<std::int32_t>(std::min<std::int64_t>(workingCopy_.Length(), kMaxDataSize));
    return cachedSize_;
}

std::uint8_t Document::ReadByte(std::int32_t position) const
{
    std::uint8_t value = 0;
    ReadBuffer(&value, position, 1);
    return value;
}

void Document::ReadBuffer(void* destination, std::int32_t position, std::int32_t count) const
{
    if (!workingCopy_.IsOpen() || position < 0 || count <= 0)
        return;
    workingCopy_.ReadAt(destination, count, position);
}

void Document::WriteByte(std::int32_t position, std::uint8_t value)
{
    WriteBuffer(&value, position, 1);
}

void Document::WriteBuffer(const void* source, std::int32_t position, std::int32_t count)
{
    if (!workingCopy_.IsOpen() || position < 0 || count <= 0 ||
        static_cast<std::int64_t>(position) + count > kMaxDataSize)
        return;
    workingCopy_.WriteAt(source, count, position);
}

// ---- Page buffer --------------------------------------------------------------

void Document::EnsurePage(std::int32_t position, std::int32_t lineLength) const
{
    if (pageStart_ != -1 && pageStart_ <= position &&
        static_cast<std::int64_t>(position) + lineLength <= static_cast<std::int64_t>(pageStart_) + kPageSize)
        return;
    // No page until the read succeeded.
    DropPage();
    const std::int32_t start = position > kPageSize / 2 ? position - kPageSize / 2 : 0;
    // A read that ends at the end of the file leaves the rest of the buffer.
    if (workingCopy_.IsOpen())
        workingCopy_.ReadAt(pageBuffer_.get(), kPageSize, start);
    pageStart_ = start;
}

void Document::UpdatePage(std::int32_t position, std::uint8_t value)
{
    if (pageStart_ != -1 && pageStart_ <= position && position - pageStart_ < kPageSize)
        pageBuffer_[static_cast<std::size_t>(position - pageStart_)] = value;
}

void Document::DropPage() const
{
    cachedSize_ = -1;
    pageStart_ = -1;
}

// ---- Size changes ---------------------------------------------------------------

void Document::MoveBlock(std::int32_t from, std::int32_t to, std::int32_t count)
{
    if (!workingCopy_.IsOpen() || count <= 0 || from == to || from < 0 || to < 0 ||
        static_cast<std::int64_t>(to) + count > kMaxDataSize)
        return;
    workingCopy_.MoveBlock(from, to, count);
}

void Document::InsertBytes(const void* source, std::int32_t count, std::int32_t position)
{
    InsertSaved({static_cast<const std::uint8_t*>(source), std::max(count, 0)}, count, position);
}

void Document::WriteSaved(const SavedBytes& source, std::int32_t position, std::int32_t count)
{
    if (!workingCopy_.IsOpen() || position < 0 || count <= 0 ||
        static_cast<std::int64_t>(position) + count > kMaxDataSize)
        return;
    workingCopy_.Put(source, count, 0, position);
}

void Document::InsertSaved(const SavedBytes& source, std::int32_t count, std::int32_t position)
{
    if (count < 0)
        return;
    EnsureWorkingFile();
    // The length is read afresh: callers have dropped the page before.
    const std::int64_t old = workingCopy_.Length();
    if (position < 0 || position > old)
        return;
    if (old + count > kMaxDataSize)
        throw platform::EInOutError(platform::ioDiskFull);
    DropPage();
    // Three steps: the new length (allocated, so a full disk fails here),
    // the tail moved up, the new bytes into the gap. A step that fails has
    // undone itself; the steps before it are undone here.
    const std::int64_t tail = old - position;
    workingCopy_.SetLength(old + count);
    bool tailMoved = false;
    try {
        workingCopy_.MoveBlock(position, position + count, tail);
        tailMoved = true;
        workingCopy_.Put(source, count, 0, position);
    } catch (...) {
        if (!TakeBackInsert(position, count, tailMoved ? tail : 0, old))
            SizeChanged();  // the document is what the file now holds
        throw;
    }
    if (old == 0)
        changedBytes_.clear();
    SizeChanged();
}

bool Document::TakeBackInsert(std::int64_t position, std::int64_t count, std::int64_t tail, std::int64_t old) noexcept
{
    return platform::IgnoreFailure([&] {
        workingCopy_.MoveBlock(position + count, position, tail);
        workingCopy_.SetLength(old);
    });
}

void Document::AppendBytes(const void* source, std::int32_t count)
{
    if (count < 0)
        return;
    EnsureWorkingFile();
    // Inserting at the end moves no tail: the same steps as an insert.
    InsertBytes(source, count, static_cast<std::int32_t>(workingCopy_.Length()));
}

bool Document::DeleteRange(std::int32_t start, std::int32_t end, const SavedBytes& removed)
{
    const std::int64_t size = workingCopy_.Length();
    if (!workingCopy_.IsOpen() || start < 0 || end < start || end > size)
        return false;
    // The tail moves down over the removed bytes, then the file is cut. A
    // move that fails puts back what it wrote over, the removed bytes from a
    // copy: the caller's (in memory or in a file), or one read here of the
    // part the tail covers.
    const std::int64_t tail = size - end;
    const std::int64_t covered = std::min<std::int64_t>(end - start, tail);
    std::unique_ptr<std::uint8_t[]> own;
    std::unique_ptr<SavedFile> ownFile;
    SavedBytes copy = removed;
    if (covered > 0 && removed.Length() < covered && covered >= fileRecordsFrom_) {
        // Many bytes: the copy goes to a file, as a record's would.
        ownFile = workingCopy_.CopyOut(start, covered);
        copy = {nullptr, 0, ownFile.get()};
    } else if (covered > 0 && removed.Length() < covered) {
        own.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(covered)]);
        if (!own)
            throw platform::EOutOfMemory();
        workingCopy_.ReadAt(own.get(), covered, start);
        copy = {own.get(), covered};
    }
    DropPage();
    workingCopy_.MoveBlock(end, start, tail, copy);
    try {
        workingCopy_.SetLength(size - (end - start));
    } catch (...) {
        // The length is as it was: the tail back up, the removed bytes back
        // in front of it. The cut's failure is the one to report.
        platform::IgnoreFailure([&] {
            workingCopy_.MoveBlock(start, end, tail);
            workingCopy_.Put(copy, covered, 0, start);
        });
        throw;
    }
    SizeChanged();
    return true;
}

void Document::ReplaceBytes(std::int32_t start, std::int32_t end, const void* source, std::int32_t count,
                            const SavedBytes& removed)
{
    ReplaceSaved(start, end, {static_cast<const std::uint8_t*>(source), std::max(count, 0)}, count, removed);
}

void Document::ReplaceSaved(std::int32_t start, std::int32_t end, const SavedBytes& source, std::int32_t count,
                            const SavedBytes& removed)
{
    const std::int64_t size = workingCopy_.IsOpen() ? workingCopy_.Length() : 0;
    if (count < 0 || start < 0 || end < start || end > size)
        return;
    if (count > 0)
        InsertSaved(source, count, start);
    if (end <= start)
        return;
    try {
        DeleteRange(start + count, end + count, removed);
    } catch (...) {
        // A deletion needs no room on the disk: taking the insert back this
        // way works where the replacement's first step did. The removal's
        // failure is the one to report.
        platform::IgnoreFailure([&] { DeleteRange(start, start + count, source); });
        throw;
    }
}

void Document::SizeChanged()
{
    cachedSize_ = -1;
    CutChangeMarks(DataSize());
    if (listener_)
        listener_->LengthChanged();
    pageStart_ = -1;
}

// ---- Change marks ------------------------------------------------------------------

bool Document::IsByteChanged(std::int32_t position) const
{
    if (InsertModeActive() || position < 0 || static_cast<std::size_t>(position) >= changedBytes_.size())
        return false;
    return changedBytes_[static_cast<std::size_t>(position)];
}

void Document::MarkChanged(std::int32_t position, bool changed)
{
    if (position < 0)
        return;
    const auto bit = static_cast<std::size_t>(position);
    if (changed) {
        if (changedBytes_.size() <= bit)
            changedBytes_.resize(bit + 1, false);
        changedBytes_[bit] = true;
    } else if (bit < changedBytes_.size()) {
        changedBytes_[bit] = false;
    }
}

void Document::CutChangeMarks(std::int32_t position)
{
    if (position >= 0 && static_cast<std::size_t>(position) < changedBytes_.size())
        changedBytes_.resize(static_cast<std::size_t>(position));
}

}  // namespace hexcore
