// SPDX-License-Identifier: GPL-3.0-or-later
// The process's shell objects. Nothing else lives in this file, so a build
// that links its own definitions of these three functions takes none of it.
#include "platform/shell/Shell.h"

namespace platform {

IMalloc& ShellAllocator()
{
    static IMalloc allocator;
    return allocator;
}

IShellFolder& DesktopFolder()
{
    static IShellFolder desktop;
    return desktop;
}

BrowseDialog& ShellBrowseDialog()
{
    static QtBrowseDialog dialog;
    return dialog;
}

}  // namespace platform
