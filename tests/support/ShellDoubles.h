// SPDX-License-Identifier: GPL-3.0-or-later
// The shell objects of every test program (ShellDoubles.cpp defines
// platform::ShellAllocator, DesktopFolder and ShellBrowseDialog in place of the
// library's): an allocator that can be run dry and shows its counts, a desktop
// folder whose name kind can be chosen, and a folder dialog that can be
// replaced.
#pragma once

#include "platform/shell/Shell.h"

namespace testsupport {

class ShellAllocatorProbe : public platform::IMalloc {
public:
    using IMalloc::FreeErrors;
    using IMalloc::LiveBlocks;
    // Refuses every request once the ration is used up; -1 serves every one.
    void* Alloc(std::size_t size) override;
    int ration = -1;
};

class DesktopFolderProbe : public platform::IShellFolder {
public:
    using IShellFolder::SetNameKind;
};

ShellAllocatorProbe& Allocator();
DesktopFolderProbe& Desktop();
// Makes SHBrowseForFolderA show the dialog (null: the Qt dialog); returns the
// one that was installed before.
platform::BrowseDialog* InstallBrowseDialog(platform::BrowseDialog* dialog);

}  // namespace testsupport
