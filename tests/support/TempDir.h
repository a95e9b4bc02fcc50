// SPDX-License-Identifier: GPL-3.0-or-later
// Test helpers: a temporary folder removed with everything in it, file
// reading and writing in one call, and access to the recorded message boxes.
#pragma once

#include "RecordingMessageSink.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace testsupport {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    // The folder's path, ending in "/".
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + name; }

private:
    std::string path_;
};

// $TMPDIR pointed at a folder of its own (created when missing) for the
// lifetime of the object, so that working copies land where a test can watch
// them; the old value (or its absence) comes back afterwards.
class ScopedTmpDir {
public:
    explicit ScopedTmpDir(const std::string& path);
    ~ScopedTmpDir();
    ScopedTmpDir(const ScopedTmpDir&) = delete;
    ScopedTmpDir& operator=(const ScopedTmpDir&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
    bool had_ = false;
    std::string old_;
};

// For its lifetime, takes from the calling thread root's right to pass over
// permission bits (CAP_DAC_OVERRIDE and CAP_DAC_READ_SEARCH), so that a
// folder of mode 000 stops the thread as it stops any user. Not Active where
// that cannot be done.
class PermissionBitsHold {
public:
    PermissionBitsHold();
    ~PermissionBitsHold();
    PermissionBitsHold(const PermissionBitsHold&) = delete;
    PermissionBitsHold& operator=(const PermissionBitsHold&) = delete;
    bool Active() const { return active_; }

private:
    bool active_ = false;
    bool dropped_ = false;
    std::uint32_t saved_ = 0;
};

using Bytes = std::vector<std::uint8_t>;

void WriteFile(const std::string& path, const Bytes& data);
void WriteFile(const std::string& path, const std::string& text);
Bytes ReadFile(const std::string& path);
bool Exists(const std::string& path);
// Names in a folder, sorted, without "." and "..".
std::vector<std::string> ListDir(const std::string& path);

// The I/O error code an action raises (EInOutError), or 0 when it raises none.
int IoErrorCodeOf(const std::function<void()>& action);
// The errno of the platform exception an action raises, or 0 when it raises
// none.
int ErrnoOf(const std::function<void()>& action);

// The message of the platform exception an action raises, or
// "(no exception)" when it raises none.
std::string ErrorMessageOf(const std::function<void()>& action);

// The sink installed by the test main; clear it at the start of a test.
RecordingMessageSink& Boxes();

}  // namespace testsupport
