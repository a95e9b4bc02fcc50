// SPDX-License-Identifier: GPL-3.0-or-later
// Working copies that killed processes left in the temporary folder.
#include "hexeditor/core/WorkingCopy.h"

#include "platform/system/InUseLock.h"

#include <fcntl.h>

namespace hexcore {

namespace {

// "<8 upper-case hex digits>.ZQWK", the form NameFor gives.
bool IsWorkingCopyName(const std::string& name)
{
    static const std::string kExtension = ".ZQWK";
    if (name.size() != 8 + kExtension.size() || name.compare(8, kExtension.size(), kExtension) != 0)
        return false;
    for (std::size_t i = 0; i < 8; ++i) {
        const char c = name[i];
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')))
            return false;
    }
    return true;
}

}  // namespace

void WorkingCopy::RemoveAbandoned(const std::string& folder)
{
    const platform::UniqueFd held(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC));
    if (!held.IsOpen())
        return;
    for (const std::string& name : platform::NamesIn(held.Get(), IsWorkingCopyName))
        platform::RemoveIfAbandoned(held.Get(), name);
}

}  // namespace hexcore
