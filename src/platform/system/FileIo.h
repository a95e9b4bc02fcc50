// SPDX-License-Identifier: GPL-3.0-or-later
// Descriptor-level file primitives: opening a regular file without blocking,
// positional reads and writes, and copying between descriptors.
#pragma once

#include "platform/system/UniqueFd.h"

#include <cstdint>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>

namespace platform {

// Opens path with the open(2) flags given (O_CREAT creates with mode, less
// the umask) but only when it names a regular file: the open never blocks on
// a FIFO or a device, and anything that is not a regular file is refused with
// errno EACCES. The descriptor is close-on-exec and in blocking mode. On
// failure the result is not open and errno tells why; on success info, when
// given, receives the file's status.
UniqueFd OpenRegularFile(const std::string& path, int flags, mode_t mode = 0666, struct stat* info = nullptr);
// Puts a descriptor opened with openFlags | O_NONBLOCK back in blocking mode.
void ClearNonBlocking(int fd, int openFlags);

// Reads up to count bytes at offset; how many were read (fewer at the end of
// the file or on an error). failed, when given, tells an error (errno says
// which) from the end of the file.
std::int64_t ReadAt(int fd, void* destination, std::int64_t count, std::int64_t offset, bool* failed = nullptr);
// Writes count bytes at offset; false (errno set) when not all of them were
// written. written, when given, receives how many were.
bool WriteAt(int fd, const void* source, std::int64_t count, std::int64_t offset, std::int64_t* written = nullptr);

// Copies count bytes of in from inOffset to out at outOffset, leaving both
// file positions alone: the kernel's copy (copy_file_range) where the two
// offsets lie alike within a page, a read/write loop through a 1 MiB buffer
// otherwise and from where the kernel refused. False (errno set) when fewer
// than count bytes could be copied; copied, when given, receives how many
// were. Reaching the end of in early is a failure with errno 0.
bool CopyRange(int in, std::int64_t inOffset, int out, std::int64_t outOffset, std::int64_t count,
               std::int64_t* copied = nullptr);
// Copies the first size bytes of in to the start of out (CopyRange).
bool CopyDescriptor(int in, int out, std::int64_t size);

}  // namespace platform
