// SPDX-License-Identifier: GPL-3.0-or-later
// Directory enumeration by find-first, find-next and close, over
// FolderListing. A search path is a folder part (up to and including the
// last "/", empty for the current directory) followed by a name pattern with
// the wildcards "*" and "?", matched without regard to ASCII letter case;
// "*.*" matches every name. A pattern without wildcards matches its own name
// in the same way; where the folder cannot be read, the entry of that name is
// looked up directly. A folder's entries are delivered sorted by name, ASCII
// letters compared without regard to case and ties broken by the raw bytes,
// so every machine sees the same order; "." and ".." come first.
#pragma once

#include "platform/system/FileId.h"

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// Entry attribute bits.
enum : int {
    faReadOnly = 0x01,   // the owner may not write
    faHidden = 0x02,     // the name begins with "." (not "." or "..")
    faSysFile = 0x04,    // never set here
    faVolumeID = 0x08,   // never set here
    faDirectory = 0x10,  // a directory, symbolic links followed
    faArchive = 0x20,    // a regular file, symbolic links followed
    faAnyFile = 0x3F,
};

// Result codes of FindFirst and FindNext besides 0 (an entry was delivered):
// errors of opening the folder carry the I/O code of their errno. A folder
// that could be read only in part (its names, or the status of an entry that
// is still there) ends its enumeration with the I/O code of that failure in
// place of feFileNotFound or feNoMoreFiles.
enum : int {
    feFileNotFound = 2,  // the folder holds no matching entry
    feNoMoreFiles = 18,  // the enumeration is exhausted
};

// True when name matches pattern: "*" stands for any run of characters, "?"
// for exactly one, letters compare without regard to ASCII case, and "*.*"
// matches every name.
bool MatchesMask(const std::string& name, const std::string& pattern);

namespace detail {
struct FindState;
struct FindAccess;
}

struct TSearchRec;

// The open enumeration behind a TSearchRec. Copying a record copies the entry
// only: the copy holds no enumeration. The enumeration is closed by FindClose,
// by assigning over the record, or when the record is destroyed.
class TFindHandle {
public:
    TFindHandle() noexcept;
    ~TFindHandle();
    TFindHandle(const TFindHandle&) noexcept;
    TFindHandle& operator=(const TFindHandle& other) noexcept;
    TFindHandle(TFindHandle&& other) noexcept;
    TFindHandle& operator=(TFindHandle&& other) noexcept;

    bool IsOpen() const { return state_ != nullptr; }

private:
    friend struct detail::FindAccess;
    friend int FindNext(TSearchRec&);
    friend void FindClose(TSearchRec&);
    std::unique_ptr<detail::FindState> state_;
};

// One directory entry.
struct TSearchRec {
    std::string Name;
    int Attr = 0;
    // Size in bytes (of the link's target for a symbolic link).
    std::int64_t Size = 0;
    // Modification time, seconds since the epoch.
    std::int64_t Time = 0;
    // The entry itself is a symbolic link; Attr, Size and Time describe its
    // target (or the link itself when the target does not exist). A
    // recursive walk must not enter such a directory.
    bool SymLink = false;
    // The entry's identity (its target's for a symbolic link, as Attr), and
    // the identity of the folder that was listed; not known for an entry
    // looked up in a folder that could not be listed.
    FileId Id;
    FileId FolderId;

    TFindHandle FindHandle;
};

// Starts an enumeration of path (folder part + pattern) and delivers the first
// entry whose name matches and whose attributes are allowed by attr: an entry
// is left out when it has any of hidden, system, volume label or directory
// that attr does not include. Returns 0 when an entry was delivered; otherwise
// rec is emptied and holds no open enumeration. Never blocks, also not on
// FIFOs or devices.
int FindFirst(const std::string& path, int attr, TSearchRec& rec);
// FindFirst for the entries of the folder open on the descriptor folder (a
// path-only descriptor will do), whatever the length of its path.
int FindFirstIn(int folder, const std::string& pattern, int attr, TSearchRec& rec);
// Delivers the next entry; feNoMoreFiles at the end.
int FindNext(TSearchRec& rec);
// Ends the enumeration; harmless when none is open.
void FindClose(TSearchRec& rec);

}  // namespace platform
