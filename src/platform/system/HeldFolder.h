// SPDX-License-Identifier: GPL-3.0-or-later
// A folder held open by a descriptor. Functions that take a path reach the
// files in it through PathOf, which leads through the descriptor itself: they
// work in this very folder even after its path was made to lead elsewhere (the
// folder renamed, or a folder on its path swapped for a symbolic link).
#pragma once

#include "platform/system/FileId.h"
#include "platform/system/UniqueFd.h"

#include <string>

namespace platform {

class HeldFolder {
public:
    // Opens the folder at path (symbolic links on the way are followed: what
    // counts is the folder reached). False, with errno set, when path leads
    // to no folder that can be opened. Paths of any length are opened.
    [[nodiscard]] bool Open(const std::string& path);
    // Opens the folder at path, creating it first (not its parents) when it
    // is missing. False, with errno set, when no folder can be had there
    // (ENOTDIR where something else stands under its name).
    [[nodiscard]] bool OpenOrCreate(const std::string& path);
    // Opens the folder name in parent, creating it first when it is missing.
    // A symbolic link under name is never followed: it fails with ENOTDIR,
    // like anything else that is not a folder.
    [[nodiscard]] bool OpenSubFolder(const HeldFolder& parent, const std::string& name);
    bool IsOpen() const { return fd_.IsOpen(); }
    int Fd() const { return fd_.Get(); }
    FileId Id() const { return id_; }
    // A path to the entry name (no "/" in it) of this folder.
    std::string PathOf(const std::string& name) const;

private:
    UniqueFd fd_;
    FileId id_;
};

// A path to the open file or folder fd itself ("/proc/self/fd/N"), for
// functions that take a path; it stays valid while fd is open.
std::string DescriptorPath(int fd);

}  // namespace platform
