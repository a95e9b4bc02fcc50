// SPDX-License-Identifier: GPL-3.0-or-later
// A full disk that holds for root as well: while the limit is in force, files
// this process writes stop at the given size (the test main ignores SIGXFSZ,
// so the write that would pass it fails with EFBIG).
#pragma once

#include <sys/resource.h>

namespace testsupport {

class FileSizeLimit {
public:
    // Remembers the limit in force and changes nothing yet.
    FileSizeLimit() { remembered_ = ::getrlimit(RLIMIT_FSIZE, &old_) == 0; }
    // Puts a limit of bytes in force at once (check Applied).
    explicit FileSizeLimit(rlim_t bytes) : FileSizeLimit() { Apply(bytes); }
    ~FileSizeLimit() { Lift(); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    // Puts a limit of bytes in force; false when that failed.
    bool Apply(rlim_t bytes)
    {
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        applied_ = remembered_ && ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
        return applied_;
    }
    bool Applied() const { return applied_; }
    // Restores the limit that was in force before.
    void Lift()
    {
        if (applied_)
            ::setrlimit(RLIMIT_FSIZE, &old_);
        applied_ = false;
    }

private:
    rlimit old_ {};
    bool remembered_ = false;
    bool applied_ = false;
};

}  // namespace testsupport
