// SPDX-License-Identifier: GPL-3.0-or-later
#include "ShellDoubles.h"

namespace testsupport {

namespace {
platform::BrowseDialog* installed = nullptr;
}  // namespace

void* ShellAllocatorProbe::Alloc(std::size_t size)
{
    if (ration == 0)
        return nullptr;
    if (ration > 0)
        --ration;
    return IMalloc::Alloc(size);
}

ShellAllocatorProbe& Allocator()
{
    static ShellAllocatorProbe allocator;
    return allocator;
}

DesktopFolderProbe& Desktop()
{
    static DesktopFolderProbe desktop;
    return desktop;
}

platform::BrowseDialog* InstallBrowseDialog(platform::BrowseDialog* dialog)
{
    platform::BrowseDialog* previous = installed;
    installed = dialog;
    return previous;
}

}  // namespace testsupport

namespace platform {

IMalloc& ShellAllocator()
{
    return testsupport::Allocator();
}

IShellFolder& DesktopFolder()
{
    return testsupport::Desktop();
}

BrowseDialog& ShellBrowseDialog()
{
    static QtBrowseDialog qtDialog;
    return testsupport::installed ? *testsupport::installed : qtDialog;
}

}  // namespace platform
