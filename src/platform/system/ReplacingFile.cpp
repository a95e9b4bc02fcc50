// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/ReplacingFile.h"

#include "platform/system/FileIo.h"
#include "platform/system/FileUtils.h"
#include "platform/system/InUseLock.h"

#include <cerrno>
#include <cstdio>
#include <cstdint>
#include <ctime>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr std::size_t kMaxNameBytes = 200;
constexpr int kNameAttempts = 1000;

// The target's name cut to kMaxNameBytes, before a UTF-8 continuation byte.
std::string ShortenedName(const std::string& target)
{
    std::string name = ExtractFileName(target);
    if (name.size() > kMaxNameBytes) {
        std::size_t cut = kMaxNameBytes;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
            --cut;
        name.resize(cut);
    }
    return name;
}

constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::size_t kSuffixLength = 6;

// Six letters or digits, different from call to call.
std::string RandomSuffix()
{
    unsigned char bytes[kSuffixLength] = {};
    if (::getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
        // No entropy at hand: the clock and a counter still tell the names apart.
        static std::uint64_t counter = 0;
        timespec ts {};
        ::clock_gettime(CLOCK_MONOTONIC, &ts);
        std::uint64_t x = static_cast<std::uint64_t>(ts.tv_nsec) ^ (++counter * 0x9E3779B97F4A7C15ULL) ^
                          static_cast<std::uint64_t>(::getpid());
        for (unsigned char& b : bytes) {
            b = static_cast<unsigned char>(x);
            x = (x >> 8) | (x << 56);
        }
    }
    std::string suffix;
    for (unsigned char b : bytes)
        suffix += kLetters[b % (sizeof kLetters - 1)];
    return suffix;
}

// The process's umask, read where reading it changes nothing
// (/proc/self/status); setting and restoring it would open a moment in which
// another thread's new files get no mask at all. 022 where it cannot be read.
mode_t ReadUmask()
{
    std::FILE* status = std::fopen("/proc/self/status", "re");
    unsigned mask = 022;
    if (status) {
        char line[256];
        while (std::fgets(line, sizeof line, status)) {
            if (std::sscanf(line, "Umask: %o", &mask) == 1)
                break;
        }
        std::fclose(status);
    }
    return static_cast<mode_t>(mask);
}

// The umask as read once: the programs never change it, and a batch would
// otherwise read it again for every module it writes.
mode_t CurrentUmask()
{
    static const mode_t mask = ReadUmask();
    return mask;
}

}  // namespace

std::string ReplacingFile::Stem(const std::string& target)
{
    return ExtractFilePath(target) + "." + ShortenedName(target) + ".";
}

bool ReplacingFile::Adopt(const std::string& path, const std::string& target)
{
    Discard();
    constexpr int kFlags = O_RDWR | O_NOFOLLOW | O_CLOEXEC;
    UniqueFd fd(::open(path.c_str(), kFlags | O_NONBLOCK));
    struct stat st {};
    if (!fd.IsOpen() || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1 ||
        st.st_uid != ::geteuid() || !TryLockInUse(fd.Get()))
        return false;
    ClearNonBlocking(fd.Get(), kFlags);
    const std::string stem = Stem(target);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string name = stem + RandomSuffix();
        if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, name.c_str(), RENAME_NOREPLACE) == 0) {
            // The name must hold the file opened (nothing swapped in between);
            // else it is left where it now stands, and removed with the rest
            // of a killed run's leftovers.
            struct stat now {};
            if (::lstat(name.c_str(), &now) != 0 || now.st_dev != st.st_dev || now.st_ino != st.st_ino)
                return false;
            adopted_ = std::move(fd);
            adoptedName_ = std::move(name);
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;
}

bool ReplacingFile::UseAdopted(mode_t mode)
{
    // The mode a new file would get: mode less the umask.
    if (::fchmod(adopted_.Get(), mode & ~CurrentUmask() & 07777) != 0)
        return false;
    fd_.Reset(::fcntl(adopted_.Get(), F_DUPFD_CLOEXEC, 0));
    if (!fd_.IsOpen())
        return false;
    lock_ = std::move(adopted_);
    temporary_ = std::move(adoptedName_);
    adoptedName_.clear();
    reused_ = true;
    return true;
}

bool ReplacingFile::Create(const std::string& target, mode_t mode)
{
    // A file taken by Adopt survives the Discard of anything before it.
    UniqueFd adopted = std::move(adopted_);
    std::string adoptedName = std::move(adoptedName_);
    adoptedName_.clear();
    Discard();
    adopted_ = std::move(adopted);
    adoptedName_ = std::move(adoptedName);
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        Discard();
        errno = EISDIR;
        return false;
    }
    target_ = target;
    if (adopted_.IsOpen()) {
        if (UseAdopted(mode))
            return true;
        const int err = errno;
        Discard();
        errno = err;
        return false;
    }
    const std::string stem = Stem(target);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string name = stem + RandomSuffix();
        // O_EXCL: never an existing file, never through a symbolic link.
        fd_.Reset(::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode));
        if (fd_.IsOpen()) {
            lock_.Reset(::dup(fd_.Get()));
            if (lock_.IsOpen())
                TryLockInUse(lock_.Get());
            target_ = target;
            temporary_ = std::move(name);
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;  // errno is still EEXIST
}

bool ReplacingFile::CreateForRewrite(const std::string& target)
{
    struct stat st {};
    const bool existing = ::lstat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    // The open a rewrite in place would make, without emptying the file.
    if (existing && !UniqueFd(::open(target.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)).IsOpen())
        return false;
    // The owner's alone until the old permissions are in place.
    if (!Create(target, existing ? 0600 : 0666))
        return false;
    if (!existing)
        return true;
    const mode_t mode = st.st_mode & 0777;
    bool kept = ::fchmod(fd_.Get(), mode) == 0;
    // Only a privileged user may hand the file to another owner (which may
    // clear bits again); the permission bits are kept either way.
    if (kept && (st.st_uid != ::geteuid() || st.st_gid != ::getegid()) &&
        ::fchown(fd_.Get(), st.st_uid, st.st_gid) == 0)
        kept = ::fchmod(fd_.Get(), mode) == 0;
    if (!kept) {
        const int err = errno;
        Discard();
        errno = err;
        return false;
    }
    return true;
}

bool ReplacingFile::IsTemporaryNameOf(const std::string& name, const std::string& target)
{
    const std::string stem = "." + ShortenedName(target) + ".";
    if (name.size() != stem.size() + kSuffixLength || name.compare(0, stem.size(), stem) != 0)
        return false;
    for (std::size_t i = stem.size(); i < name.size(); ++i) {
        if (std::char_traits<char>::find(kLetters, sizeof kLetters - 1, name[i]) == nullptr)
            return false;
    }
    return true;
}

bool ReplacingFile::Commit()
{
    if (!fd_.Close() || ::rename(temporary_.c_str(), target_.c_str()) != 0) {
        const int err = errno;
        Discard();
        errno = err;
        return false;
    }
    temporary_.clear();
    lock_.Reset();
    return true;
}

void ReplacingFile::Discard() noexcept
{
    const int saved = errno;
    fd_.Reset();
    for (std::string* name : {&temporary_, &adoptedName_}) {
        if (!name->empty()) {
            ::unlink(name->c_str());
            name->clear();
        }
    }
    adopted_.Reset();
    lock_.Reset();
    reused_ = false;
    errno = saved;
}

}  // namespace platform
