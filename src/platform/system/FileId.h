// SPDX-License-Identifier: GPL-3.0-or-later
// The identity of a file or folder: its device and inode. Two paths name the
// same file exactly when their identities are equal, whatever links or
// renames lie between them.
#pragma once

#include <cstdint>
#include <sys/stat.h>

namespace platform {

struct FileId {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

    // False for the empty identity, which stands for "not known".
    bool Known() const { return inode != 0; }
    bool operator==(const FileId& other) const { return device == other.device && inode == other.inode; }
    bool operator!=(const FileId& other) const { return !(*this == other); }
    bool operator<(const FileId& other) const
    {
        return device != other.device ? device < other.device : inode < other.inode;
    }
};

inline FileId FileIdOf(const struct stat& st)
{
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

}  // namespace platform
