// SPDX-License-Identifier: GPL-3.0-or-later
#include "TempDir.h"

#include "platform/system/Exceptions.h"
#include "platform/widgets/Application.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <linux/capability.h>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace testsupport {

namespace {

void RemoveTree(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return;
    if (S_ISDIR(st.st_mode)) {
        ::chmod(path.c_str(), 0700);
        if (DIR* dir = ::opendir(path.c_str())) {
            while (dirent* entry = ::readdir(dir)) {
                std::string name = entry->d_name;
                if (name != "." && name != "..")
                    RemoveTree(path + "/" + name);
            }
            ::closedir(dir);
        }
        ::rmdir(path.c_str());
    } else {
        ::unlink(path.c_str());
    }
}

}  // namespace

TempDir::TempDir()
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/kh-test-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!::mkdtemp(name.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = std::string(name.data()) + "/";
}

TempDir::~TempDir()
{
    RemoveTree(path_.substr(0, path_.size() - 1));
}

namespace {

constexpr std::uint32_t kPassOverBits = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);

// Replaces the calling thread's effective capabilities (the first 32) by
// what change makes of them; false where that cannot be done.
bool ChangeEffective(const std::function<std::uint32_t(std::uint32_t)>& change)
{
    __user_cap_header_struct header {_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct caps[2] {};
    if (::syscall(SYS_capget, &header, caps) != 0)
        return false;
    caps[0].effective = change(caps[0].effective);
    return ::syscall(SYS_capset, &header, caps) == 0;
}

}  // namespace

PermissionBitsHold::PermissionBitsHold()
{
    dropped_ = ::geteuid() == 0 && ChangeEffective([this](std::uint32_t caps) {
                   saved_ = caps;
                   return caps & ~kPassOverBits;
               });
    active_ = dropped_ || ::geteuid() != 0;
}

PermissionBitsHold::~PermissionBitsHold()
{
    if (dropped_)
        ChangeEffective([this](std::uint32_t) { return saved_; });
}

ScopedTmpDir::ScopedTmpDir(const std::string& path) : path_(path)
{
    ::mkdir(path_.c_str(), 0700);
    if (const char* old = std::getenv("TMPDIR")) {
        had_ = true;
        old_ = old;
    }
    ::setenv("TMPDIR", path_.c_str(), 1);
}

ScopedTmpDir::~ScopedTmpDir()
{
    if (had_)
        ::setenv("TMPDIR", old_.c_str(), 1);
    else
        ::unsetenv("TMPDIR");
}

void WriteFile(const std::string& path, const Bytes& data)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

void WriteFile(const std::string& path, const std::string& text)
{
    WriteFile(path, Bytes(text.begin(), text.end()));
}

Bytes ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Exists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

std::vector<std::string> ListDir(const std::string& path)
{
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(path.c_str())) {
        while (dirent* entry = ::readdir(dir)) {
            std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

int IoErrorCodeOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const platform::EInOutError& e) {
        return e.ErrorCode();
    }
    return 0;
}

int ErrnoOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const platform::Exception& e) {
        return e.Errno();
    }
    return 0;
}

std::string ErrorMessageOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const platform::Exception& e) {
        return e.Message();
    }
    return "(no exception)";
}

RecordingMessageSink& Boxes()
{
    return static_cast<RecordingMessageSink&>(platform::Application().Sink());
}

}  // namespace testsupport
