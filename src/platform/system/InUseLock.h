// SPDX-License-Identifier: GPL-3.0-or-later
// Files that a process creates for its own work (working copies, temporary
// files of a replacement) carry an exclusive advisory lock (flock) while the
// process uses them. A process that was killed (SIGKILL, a power cut) leaves
// them unlocked, and a later process may remove them: only those, and only
// when they are regular files of the same user.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace platform {

// Takes the exclusive lock on the open file fd without waiting. False when
// another open file holds it (errno EWOULDBLOCK) or the file system keeps no
// such locks (another errno).
bool TryLockInUse(int fd);

// Removes the entry name of the open folder folderFd when it is a regular
// file (a symbolic link is never followed) of this user that nobody holds
// locked. True when it was removed.
bool RemoveIfAbandoned(int folderFd, const std::string& name);

// The names of the entries of the open folder folderFd for which wanted
// holds, in the order the folder lists them.
std::vector<std::string> NamesIn(int folderFd, const std::function<bool(const std::string&)>& wanted);

}  // namespace platform
