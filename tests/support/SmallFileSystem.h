// SPDX-License-Identifier: GPL-3.0-or-later
// A disk that really fills up, for root as well: a small tmpfs of its own in
// a private mount namespace. A file-size limit (FileSizeLimit.h) stops
// writes past a size; only a full file system shows what a file lengthened
// without allocating (a sparse tail) hides.
#pragma once

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

enum class SmallDisk { Passed, Failed, Unavailable };

// Runs check in a child process, in a private mount namespace with a tmpfs of
// size bytes mounted on folder (an existing folder). The child prints its
// GoogleTest failures; any of them, or a crash, gives Failed. Unavailable
// where no such file system can be mounted (no right to, or no namespaces).
inline SmallDisk RunOnSmallDisk(const std::string& folder, std::size_t size, const std::function<void()>& check)
{
    constexpr int kUnavailable = 99;
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t pid = ::fork();
    if (pid < 0)
        return SmallDisk::Unavailable;
    if (pid == 0) {
        const std::string options = "size=" + std::to_string(size) + ",mode=0700";
        if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("kh-small", folder.c_str(), "tmpfs", 0, options.c_str()) != 0)
            ::_exit(kUnavailable);
        check();
        std::fflush(stdout);
        ::_exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == kUnavailable)
        return SmallDisk::Unavailable;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? SmallDisk::Passed : SmallDisk::Failed;
}

}  // namespace testsupport
