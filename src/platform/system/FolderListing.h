// SPDX-License-Identifier: GPL-3.0-or-later
// A folder's entries read one by one: the one way the program lists a
// folder. The listing owns the open folder and closes it however it is left.
#pragma once

#include <memory>
#include <string>

namespace platform {

// What the folder says an entry is, without looking at the entry itself;
// some file systems never say (Unknown).
enum class EntryType : unsigned char { Folder, Link, Other, Unknown };

struct FolderEntry {
    std::string name;
    EntryType type = EntryType::Unknown;
};

class FolderListing {
public:
    // Lists the folder at path, opened without blocking: a FIFO under the
    // folder's name fails at once instead of stopping the caller.
    explicit FolderListing(const std::string& path);
    // Lists the folder open on folderFd (a path-only descriptor will do)
    // through an open file of its own, so no shared position moves.
    explicit FolderListing(int folderFd);

    bool IsOpen() const { return dir_ != nullptr; }
    // The listed folder's descriptor, for the *at functions; -1 when the
    // folder could not be opened.
    int Fd() const;
    // The next entry, "." and ".." included, in the folder's own order. False
    // at the end, or when the folder could not be opened or read (Error then
    // says why).
    bool Next(FolderEntry& entry);
    // The errno of the open or read that failed; 0 while none did.
    int Error() const { return error_; }

private:
    void Start(int fd);

    struct Closer {
        void operator()(void* dir) const noexcept;
    };
    std::unique_ptr<void, Closer> dir_;
    int error_ = 0;
};

}  // namespace platform
