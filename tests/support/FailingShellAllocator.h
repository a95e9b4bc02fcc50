// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the shell allocator dry for the lifetime of this object: the next
// `succeeding` requests are served, every one after that is refused. The
// gate that was in place before comes back on destruction.
#pragma once

#include "platform/shell/Shell.h"

namespace testsupport {

class FailingShellAllocator : public platform::AllocationGate {
public:
    explicit FailingShellAllocator(int succeeding = 0)
        : left_(succeeding), previous_(platform::ShellAllocator().SetGate(this))
    {
    }
    ~FailingShellAllocator() override { platform::ShellAllocator().SetGate(previous_); }
    FailingShellAllocator(const FailingShellAllocator&) = delete;
    FailingShellAllocator& operator=(const FailingShellAllocator&) = delete;

    bool Admit(std::size_t) override
    {
        if (left_ == 0)
            return false;
        --left_;
        return true;
    }

private:
    int left_;
    platform::AllocationGate* previous_;
};

}  // namespace testsupport
