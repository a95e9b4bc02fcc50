// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/FileUtils.h"

#include "platform/system/Exceptions.h"
#include "platform/system/FileIo.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <ftw.h>
#include <memory>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

bool FileExists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool PathExists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool DirectoryExists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool DeleteFile(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return false;
    return ::unlink(path.c_str()) == 0;
}

std::string ChangeFileExt(const std::string& path, const std::string& ext)
{
    const size_t slash = path.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot < nameStart)
        return path + ext;
    return path.substr(0, dot) + ext;
}

std::string ExtractFileName(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ExtractFilePath(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string CleanPath(const std::string& path)
{
    std::string out;
    out.reserve(path.size());
    for (const char c : path)
        if (c != '/' || out.empty() || out.back() != '/')
            out += c;
    if (out.size() > 1 && out.back() == '/')
        out.pop_back();
    return out;
}

std::string AbsolutePath(const std::string& path)
{
    if (!path.empty() && path[0] == '/')
        return CleanPath(path);
    char cwd[PATH_MAX];
    return CleanPath(::getcwd(cwd, sizeof cwd) ? std::string(cwd) + "/" + path : path);
}

bool CopyFileInto(const std::string& from, int out)
{
    const UniqueFd in = OpenRegularFile(from, O_RDONLY);
    return in.IsOpen() && CopyFileInto(in.Get(), out);
}

bool CopyFileInto(int in, int out)
{
    struct stat st {};
    if (::fstat(in, &st) != 0)
        return false;
    // Where the file system shares blocks between files (btrfs, XFS), the
    // clone makes the copy without moving a byte; elsewhere it is refused
    // and nothing changed.
    if (::ioctl(out, FICLONE, in) == 0)
        return true;
    // The bytes go over whatever the descriptor held and the length is set
    // afterwards, and only when it differs: on ext4, truncating a file to 0
    // marks it for a flush on its next close, and the flush makes a later
    // truncation wait for the disk.
    struct stat outStat {};
    return CopyDescriptor(in, out, st.st_size) &&
           ::fstat(out, &outStat) == 0 && (outStat.st_size == st.st_size || ::ftruncate(out, st.st_size) == 0);
}

bool CopyFile(const std::string& from, const std::string& to)
{
    const UniqueFd in = OpenRegularFile(from, O_RDONLY);
    struct stat st {};
    if (!in.IsOpen() || ::fstat(in.Get(), &st) != 0)
        return false;
    // Never through a symbolic link, never onto the source itself.
    UniqueFd out = OpenRegularFile(to, O_WRONLY | O_CREAT | O_NOFOLLOW, st.st_mode & 0777);
    struct stat outStat {};
    if (!out.IsOpen() || ::fstat(out.Get(), &outStat) != 0 ||
        (outStat.st_dev == st.st_dev && outStat.st_ino == st.st_ino))
        return false;
    const bool copied = ::ftruncate(out.Get(), 0) == 0 && CopyDescriptor(in.Get(), out.Get(), st.st_size);
    return out.Close() && copied;
}

void RemoveIfPresent(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        if (errno == ENOENT)
            return;
        RaiseLastSystemError();
    }
    if (S_ISDIR(st.st_mode))
        RaiseSystemError(EISDIR);
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        RaiseLastSystemError();
}

void RenameFile(const std::string& from, const std::string& to)
{
    if (::rename(from.c_str(), to.c_str()) != 0)
        RaiseLastSystemError();
}

std::string ResolvedPath(const std::string& path)
{
    const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
    if (!resolved)
        RaiseLastSystemError();
    return resolved.get();
}

std::string CurrentFolder()
{
    const std::unique_ptr<char, decltype(&std::free)> cwd(::getcwd(nullptr, 0), &std::free);
    if (!cwd)
        RaiseLastSystemError();
    return cwd.get();
}

void MakeFolderIfMissing(const std::string& path)
{
    if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST)
        RaiseLastSystemError();
}

std::string MakeUniqueFolder(const std::string& prefix)
{
    std::string pattern = prefix + "XXXXXX";
    if (!::mkdtemp(pattern.data()))
        RaiseLastSystemError();
    return pattern;
}

namespace {

// The first failure of a RemoveTree walk (nftw passes no state of its own).
thread_local int treeError = 0;

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*)
{
    if (std::remove(path) != 0 && treeError == 0)
        treeError = errno;
    return 0;
}

}  // namespace

void RemoveTree(const std::string& path)
{
    treeError = 0;
    if (::nftw(path.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS) != 0 && treeError == 0)
        treeError = errno;
    if (treeError != 0)
        RaiseSystemError(treeError);
}

void CheckWriteAccess(const std::string& path)
{
    if (::access(path.c_str(), W_OK) != 0)
        RaiseLastSystemError();
}

std::string GetTempPath()
{
    std::string dir;
    if (const char* env = std::getenv("TMPDIR"); env && *env && DirectoryExists(env))
        dir = env;
    else
        dir = "/tmp";
    if (dir.back() != '/')
        dir += '/';
    return dir;
}

std::uint32_t GetTickCount()
{
    timespec ts {};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    const unsigned long long ms =
        static_cast<unsigned long long>(ts.tv_sec) * 1000ULL + static_cast<unsigned long long>(ts.tv_nsec) / 1000000ULL;
    return static_cast<std::uint32_t>(ms);
}

bool CanOpenForReading(const std::string& path)
{
    return OpenRegularFile(path, O_RDONLY).IsOpen();
}

bool CanOpenForWriting(const std::string& path)
{
    return OpenRegularFile(path, O_RDWR).IsOpen();
}

}  // namespace platform
