// SPDX-License-Identifier: GPL-3.0-or-later
// Descriptor-level file primitives: opening a regular file without blocking,
// positional reads and writes, copying between descriptors, and the system
// calls the components make on descriptors and folders. The primitives
// report a failure by their result with errno set; the functions below them
// marked "raises" report it as the EInOutError of the errno (Exceptions.h).
#pragma once

#include "platform/system/FileId.h"
#include "platform/system/UniqueFd.h"

#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>

namespace platform {

// What the system tells of a file or folder.
struct FileStatus {
    FileId id;
    std::int64_t size = 0;
    bool regular = false;
    bool directory = false;
    // A symbolic link itself (only where links are not followed).
    bool link = false;
    // The permission bits (07777) and the owner.
    unsigned permissions = 0;
    unsigned owner = 0;
    unsigned group = 0;
};

// Opens path with the open(2) flags given (O_CREAT creates with mode, less
// the umask) but only when it names a regular file: the open never blocks on
// a FIFO or a device, and anything that is not a regular file is refused with
// errno EACCES. The descriptor is close-on-exec and in blocking mode. On
// failure the result is not open and errno tells why; on success info, when
// given, receives the file's status.
[[nodiscard]] UniqueFd OpenRegularFile(const std::string& path, int flags, mode_t mode = 0666,
                                       FileStatus* info = nullptr);
// Puts a descriptor opened with openFlags | O_NONBLOCK back in blocking mode.
void ClearNonBlocking(int fd, int openFlags);

// Reads up to count bytes at offset; how many were read (fewer at the end of
// the file or on an error). failed, when given, tells an error (errno says
// which) from the end of the file.
[[nodiscard]] std::int64_t ReadAt(int fd, void* destination, std::int64_t count, std::int64_t offset, bool* failed = nullptr);
// Writes count bytes at offset; false (errno set) when not all of them were
// written. written, when given, receives how many were.
[[nodiscard]] bool WriteAt(int fd, const void* source, std::int64_t count, std::int64_t offset, std::int64_t* written = nullptr);

// Copies count bytes of in from inOffset to out at outOffset, leaving both
// file positions alone: the kernel's copy (copy_file_range) where the two
// offsets lie alike within a page, a read/write loop through a 1 MiB buffer
// otherwise and from where the kernel refused. False (errno set) when fewer
// than count bytes could be copied; copied, when given, receives how many
// were. Reaching the end of in early is a failure with errno 0.
[[nodiscard]] bool CopyRange(int in, std::int64_t inOffset, int out, std::int64_t outOffset, std::int64_t count,
               std::int64_t* copied = nullptr);
// Copies the first size bytes of in to the start of out (CopyRange).
[[nodiscard]] bool CopyDescriptor(int in, int out, std::int64_t size);

// Whether a symbolic link at the end of a path is followed.
enum class Links { Follow, Keep };

// The folder a relative path starts from, as a folder descriptor.
constexpr int kCurrentFolder = AT_FDCWD;

// The status of the open file fd; raises.
[[nodiscard]] FileStatus StatusOf(int fd);
// The status of the entry name in the open folder folder (kCurrentFolder:
// a path); raises.
[[nodiscard]] FileStatus StatusIn(int folder, const std::string& name, Links links = Links::Follow);

// Sets the length of fd, cutting or extending with a sparse tail; raises.
void SetFileLength(int fd, std::int64_t length);
// Allocates count bytes of fd from offset on (zeros where the file grows),
// so that a full disk fails here and not at a later write; raises. The file
// may have grown in part when it fails.
void AllocateFile(int fd, std::int64_t offset, std::int64_t count);
// A second descriptor of the same open file (close-on-exec); raises.
[[nodiscard]] UniqueFd DuplicateFd(int fd);
// Gives fd the permission bits of status and, where this user may hand the
// file to another owner, its owner too (the bits are set again after that,
// since a change of owner may clear some); raises when the bits cannot be
// set.
void KeepPermissionsOf(int fd, const FileStatus& status);

// Creates the file path exclusively for reading and writing: never an
// existing file, never through a symbolic link; close-on-exec. Raises (errno
// EEXIST when a name of any kind stands there).
[[nodiscard]] UniqueFd CreateExclusive(const std::string& path, mode_t mode = 0600);
// An unnamed file in folder for reading and writing (O_TMPFILE); raises
// (EOPNOTSUPP, EISDIR or EINVAL where the file system has none).
[[nodiscard]] UniqueFd CreateUnnamedIn(const std::string& folder);
// Opens the folder name in the open folder parent (kCurrentFolder: a path)
// for listing its entries; raises.
[[nodiscard]] UniqueFd OpenFolderIn(int parent, const std::string& name, Links links = Links::Follow);
// Opens the folder name in parent for passing through only (O_PATH):
// entries below it can be opened, its own entries not listed; raises.
[[nodiscard]] UniqueFd HoldFolderIn(int parent, const std::string& name, Links links = Links::Follow);
// Opens the regular file name in the open folder folder for reading,
// without blocking on anything else: raises EACCES for what is no regular
// file.
[[nodiscard]] UniqueFd OpenRegularFileIn(int folder, const std::string& name);
// The longest file name the open folder folder takes (NAME_MAX where it does
// not tell).
[[nodiscard]] std::size_t NameMaxIn(int folder);
// Whether stream writes to a terminal (and not to a pipe or a file).
[[nodiscard]] bool IsTerminal(std::FILE* stream);

}  // namespace platform
