// SPDX-License-Identifier: GPL-3.0-or-later
#include "hexeditor/core/UndoLog.h"

#include <algorithm>

namespace hexcore {

void UndoLog::Push(UndoStep step)
{
    pushedOut_.reset();
    if (Count() >= kMaxRecords) {
        pushedOut_ = std::move(steps_.front());
        steps_.pop_front();
    }
    steps_.push_back(std::move(step));
    canUndo_ = true;
    ++appended_;
    DescribeNewest();
}

std::uint8_t* UndoLog::Append(const UndoRecord& frame, std::int32_t savedLength)
{
    // Memory first: when it is short (std::bad_alloc), the log is as it was.
    UndoStep step;
    step.record = frame;
    step.record.saved.assign(static_cast<std::size_t>(std::max(savedLength, 0)), 0);
    Push(std::move(step));
    return steps_.back().record.saved.data();
}

void UndoLog::Append(const UndoRecord& frame, std::shared_ptr<SavedFile> file)
{
    UndoStep step;
    step.record = frame;
    step.record.saved.clear();
    step.file = std::move(file);
    Push(std::move(step));
}

void UndoLog::DropOldest()
{
    if (!steps_.empty())
        steps_.pop_front();
}

void UndoLog::Withdraw()
{
    std::optional<UndoStep> pushedOut;
    pushedOut.swap(pushedOut_);
    RemoveNewest();
    if (appended_ > 0)
        --appended_;
    if (!pushedOut)
        return;
    steps_.push_front(std::move(*pushedOut));
    canUndo_ = true;
    DescribeNewest();
}

const UndoStep* UndoLog::Newest() const
{
    return steps_.empty() ? nullptr : &steps_.back();
}

SavedBytes UndoLog::NewestSaved() const
{
    if (steps_.empty())
        return {};
    const UndoStep& step = steps_.back();
    return {step.record.saved.data(), static_cast<std::int64_t>(step.record.saved.size()), step.file.get()};
}

void UndoLog::RemoveNewest()
{
    pushedOut_.reset();
    if (steps_.empty())
        return;
    steps_.pop_back();
    if (steps_.empty())
        canUndo_ = false;
    DescribeNewest();
}

void UndoLog::DescribeNewest()
{
    description_ = steps_.empty() ? "No Undo" : UndoDescription(steps_.back().record.kind);
}

void UndoLog::Reset()
{
    std::deque<UndoStep>().swap(steps_);
    pushedOut_.reset();
    canUndo_ = false;
    description_ = "No Undo";
}

std::vector<std::uint8_t> UndoLog::Bytes() const
{
    std::size_t size = 0;
    for (const UndoStep& step : steps_)
        size += UndoRecord::kMinSize + static_cast<std::size_t>(step.SavedLength());
    std::vector<std::uint8_t> bytes(size);
    std::uint8_t* at = bytes.data();
    for (const UndoStep& step : steps_) {
        const std::size_t length = UndoRecord::kMinSize + static_cast<std::size_t>(step.SavedLength());
        if (step.file)
            step.file->Read(at + UndoRecord::kHeaderSize, step.file->Length(), 0);
        else
            std::copy(step.record.saved.begin(), step.record.saved.end(), at + UndoRecord::kHeaderSize);
        step.record.EncodeAround(at, length);
        at += length;
    }
    return bytes;
}

}  // namespace hexcore
