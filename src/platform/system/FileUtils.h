// SPDX-License-Identifier: GPL-3.0-or-later
// File helpers: paths as byte strings, "/" as the separator.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// True when path names an existing entry of any kind (symbolic links
// followed: a dangling link does not exist).
[[nodiscard]] bool PathExists(const std::string& path);
// True when path names an existing entry that is not a directory.
[[nodiscard]] bool FileExists(const std::string& path);
// True when path names an existing directory (symbolic links followed).
[[nodiscard]] bool DirectoryExists(const std::string& path);
// Removes a file; false when it could not be removed.
[[nodiscard]] bool DeleteFile(const std::string& path);

// Replaces the extension of the name part (from its last dot on), or appends
// ext when the name has no dot. ext includes its dot.
std::string ChangeFileExt(const std::string& path, const std::string& ext);
// Everything after the last "/".
std::string ExtractFileName(const std::string& path);
// Everything up to and including the last "/".
std::string ExtractFilePath(const std::string& path);
// path without repeated and trailing "/" (the root stays "/").
std::string CleanPath(const std::string& path);
// path made absolute (a relative one taken from the working folder) and
// cleaned as by CleanPath.
std::string AbsolutePath(const std::string& path);

// Whole-file copy of a regular file, overwriting the destination. The
// destination is opened without following a symbolic link. False on any
// failure, also when the copy stopped short.
[[nodiscard]] bool CopyFile(const std::string& from, const std::string& to);

// Copies the regular file at from into the already open descriptor fd, which
// afterwards holds exactly the file's bytes. False on any failure or short
// copy.
[[nodiscard]] bool CopyFileInto(const std::string& from, int fd);
// The same from a descriptor open for reading (its position stays).
[[nodiscard]] bool CopyFileInto(int from, int fd);

// Path-level system calls; each raises the EInOutError of its errno.
//
// Removes the file at path (never a folder: EISDIR); nothing when nothing
// stands there.
void RemoveIfPresent(const std::string& path);
// Renames from to to, replacing what stood there.
void RenameFile(const std::string& from, const std::string& to);
// The path with every symbolic link resolved and made absolute.
[[nodiscard]] std::string ResolvedPath(const std::string& path);
// The current folder.
[[nodiscard]] std::string CurrentFolder();
// Makes the folder path (not its parents) unless something of that name
// stands there already, which may be anything but a folder too.
void MakeFolderIfMissing(const std::string& path);
// Makes a new folder of this user alone whose name is prefix followed by six
// letters or digits; its path.
[[nodiscard]] std::string MakeUniqueFolder(const std::string& prefix);
// Removes the folder path with everything in it (symbolic links in it are
// removed, never followed). Goes on past what cannot be removed and raises
// the first failure at the end.
void RemoveTree(const std::string& path);
// Raises the reason why this user may not write the file at path.
void CheckWriteAccess(const std::string& path);

// $TMPDIR when it names a directory, else /tmp; always ends in "/".
std::string GetTempPath();

// Milliseconds of the monotonic clock, 32 bits, wrapping.
std::uint32_t GetTickCount();

// True when path names a regular file that can be opened for reading; never
// blocks on FIFOs or devices.
[[nodiscard]] bool CanOpenForReading(const std::string& path);
// True when path names a regular file that can be opened for writing.
[[nodiscard]] bool CanOpenForWriting(const std::string& path);

}  // namespace platform
