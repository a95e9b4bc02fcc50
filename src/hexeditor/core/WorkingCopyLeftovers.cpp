// SPDX-License-Identifier: GPL-3.0-or-later
// Working copies that killed processes left in the temporary folder.
#include "hexeditor/core/WorkingCopy.h"

#include "platform/system/Exceptions.h"
#include "platform/system/FileIo.h"
#include "platform/system/InUseLock.h"
#include "platform/system/ReplacingFile.h"

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

constexpr std::size_t kWorkingCopyName = 8 + 5;

// A working copy's replacement under way (SplitOff): "." + a working-copy
// name + "." + six letters or digits.
bool IsReplacementName(const std::string& name)
{
    if (name.size() <= 1 + kWorkingCopyName)
        return false;
    const std::string target = name.substr(1, kWorkingCopyName);
    return IsWorkingCopyName(target) && platform::ReplacingFile::IsTemporaryNameOf(name, target);
}

bool IsLeftoverName(const std::string& name)
{
    return IsWorkingCopyName(name) || IsReplacementName(name);
}

}  // namespace

void WorkingCopy::RemoveAbandoned(const std::string& folder)
{
    // Clearing away is a courtesy of the start: a folder that cannot be
    // read holds nothing this run could remove.
    platform::IgnoreFailure([&] {
        const platform::UniqueFd held = platform::OpenFolderIn(platform::kCurrentFolder, folder);
        for (const std::string& name : platform::NamesIn(held.Get(), IsLeftoverName))
            platform::RemoveIfAbandoned(held.Get(), name);
    });
}

}  // namespace hexcore
