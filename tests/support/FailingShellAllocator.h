// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the shell allocator dry for the lifetime of this object: the next
// `succeeding` requests are served, every one after that is refused. The
// ration that was in place before comes back on destruction.
#pragma once

#include "ShellDoubles.h"

namespace testsupport {

class FailingShellAllocator {
public:
    explicit FailingShellAllocator(int succeeding = 0) : previous_(Allocator().ration)
    {
        Allocator().ration = succeeding;
    }
    ~FailingShellAllocator() { Allocator().ration = previous_; }
    FailingShellAllocator(const FailingShellAllocator&) = delete;
    FailingShellAllocator& operator=(const FailingShellAllocator&) = delete;

private:
    int previous_;
};

}  // namespace testsupport
