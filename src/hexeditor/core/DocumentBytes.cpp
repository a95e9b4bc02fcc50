// The document's bytes: length, reads and writes, the page buffer, the
// size-changing primitives and the change marks.
#include "hexeditor/core/Document.h"

#include "platform/system/Exceptions.h"

#include <algorithm>

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
    cachedSize_ = -1;
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
    if (count < 0)
        return;
    EnsureWorkingFile();
    // The length is read afresh: callers have dropped the page before.
    const std::int64_t old = workingCopy_.Length();
    if (old == 0)
        changedBytes_.clear();
    if (position < 0 || position > old)
        return;
    if (old + count > kMaxDataSize)
        throw platform::EInOutError(platform::ioDiskFull);
    DropPage();
    workingCopy_.SetLength(old + count);
    if (position < old) {
        try {
            MoveBlock(position, position + count, static_cast<std::int32_t>(old - position));
        } catch (...) {
            // Nothing has moved yet: give the document its old length back.
            try {
                workingCopy_.SetLength(old);
            } catch (const platform::EInOutError&) {
            }
            throw;
        }
    }
    WriteBuffer(source, position, count);
    SizeChanged();
}

void Document::AppendBytes(const void* source, std::int32_t count)
{
    if (count < 0)
        return;
    EnsureWorkingFile();
    // Inserting at the end moves no tail: the same steps as an insert.
    InsertBytes(source, count, static_cast<std::int32_t>(workingCopy_.Length()));
}

bool Document::DeleteRange(std::int32_t start, std::int32_t end)
{
    const std::int64_t size = workingCopy_.Length();
    if (!workingCopy_.IsOpen() || start < 0 || end < start || end > size)
        return false;
    if (end <= size - 1)
        MoveBlock(end, start, static_cast<std::int32_t>(size - end));
    DropPage();
    workingCopy_.SetLength(size - (end - start));
    SizeChanged();
    return true;
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
