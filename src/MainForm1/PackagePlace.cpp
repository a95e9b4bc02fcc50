// SPDX-License-Identifier: GPL-3.0-or-later
#include "MainForm1/PackagePlace.h"

#include "platform/system/Exceptions.h"
#include "platform/system/FileIo.h"
#include "platform/system/FileUtils.h"
#include "platform/system/InUseLock.h"
#include "platform/system/ReplacingFile.h"

#include <algorithm>
#include <cerrno>

namespace MainForm1Unit {

TPackagePlace::TPackagePlace(std::string package) : package_(std::move(package))
{
    const std::string folder = platform::ExtractFilePath(package_);
    if (!folder_.Open(folder.empty() ? "." : folder)) {
        folderErrno_ = errno;
        return;
    }
    // Only a regular file is opened: nothing blocks on a FIFO, and no device
    // is touched. What stands there otherwise, or cannot be opened, is
    // refused by the load, which says so.
    platform::IgnoreFailure(
        [this] { file_ = platform::OpenRegularFileIn(folder_.Fd(), platform::ExtractFileName(package_)); });
}

std::string TPackagePlace::PathBeside(const std::string& name) const
{
    return folder_.IsOpen() ? folder_.PathOf(name) : platform::ExtractFilePath(package_) + name;
}

void TPackagePlace::SendOutputsTo(const platform::HeldFolder& root, const std::string& rootName,
                                  const std::string& relativeFolder)
{
    // Something that is no folder standing under the name needs no cause:
    // the system's ("not a folder") would read as a bad name.
    const auto refuse = [](const std::string& folder) {
        const int err = errno;
        const std::string refusal = "Ordner " + folder + " kann nicht angelegt werden";
        if (err == ENOTDIR || err == EEXIST)
            throw platform::Exception(refusal, err);
        throw platform::Exception(refusal + ": " + platform::EInOutError::TextFor(platform::IoCodeFromErrno(err)), err);
    };
    std::string reached = rootName;
    const platform::HeldFolder* parent = &root;
    platform::HeldFolder next;
    std::size_t from = 0;
    while (from < relativeFolder.size()) {
        std::size_t slash = relativeFolder.find('/', from);
        if (slash == std::string::npos)
            slash = relativeFolder.size();
        const std::string name = relativeFolder.substr(from, slash - from);
        from = slash + 1;
        if (name.empty())
            continue;
        reached += "/" + name;
        if (!next.OpenSubFolder(*parent, name))
            refuse(reached);
        outputs_ = std::move(next);
        parent = &outputs_;
    }
    if (parent == &root && !outputs_.OpenSubFolder(root, "."))
        refuse(reached);
}

std::string TPackagePlace::OutputPathAs(const std::string& ext) const
{
    const std::string name = platform::ChangeFileExt(platform::ExtractFileName(package_), ext);
    return outputs_.IsOpen() ? outputs_.PathOf(name) : PathBeside(name);
}

std::string TPackagePlace::PackagePath() const
{
    return file_.IsOpen() ? platform::DescriptorPath(file_.Get())
                          : PathBeside(platform::ExtractFileName(package_));
}

void TPackagePlace::CheckOrigin(const TPackageOrigin& origin) const
{
    const bool otherFolder = folder_.IsOpen() && origin.folder.Known() && folder_.Id() != origin.folder;
    const bool otherPackage =
        file_.IsOpen() && origin.package.Known() && platform::StatusOf(file_.Get()).id != origin.package;
    if (otherFolder || otherPackage)
        throw platform::EFOpenError(package_);
}

void TPackagePlace::CheckFolderPath() const
{
    if (!folder_.IsOpen())
        throw platform::EInOutError(platform::IoCodeFromErrno(folderErrno_), folderErrno_);
    const std::string folder = platform::ExtractFilePath(package_);
    platform::HeldFolder now;
    if (!now.Open(folder.empty() ? "." : folder))
        throw platform::EInOutError(platform::IoCodeFromErrno(errno), errno);
    if (now.Id() != folder_.Id())
        throw platform::EFOpenError(package_);
}

bool TPackagePlace::TryLock() const
{
    return !file_.IsOpen() || platform::TryLockInUse(file_.Get()) || errno != EWOULDBLOCK;
}

void TLeftovers::RemoveBeside(const TPackagePlace& place, const std::vector<std::string>& targets)
{
    const int folder = place.OutputFolderFd();
    if (folder < 0)
        return;
    auto found = candidates_.find(place.OutputFolderId());
    if (found == candidates_.end()) {
        // Hidden names with the six-character suffix of a temporary file.
        const auto looksTemporary = [](const std::string& name) {
            return name.size() > 8 && name[0] == '.' && name[name.size() - 7] == '.';
        };
        found = candidates_.emplace(place.OutputFolderId(), platform::NamesIn(folder, looksTemporary)).first;
    }
    std::vector<std::string>& names = found->second;
    for (auto it = names.begin(); it != names.end();) {
        const bool ours = std::any_of(targets.begin(), targets.end(), [&](const std::string& target) {
            return platform::ReplacingFile::IsTemporaryNameOf(*it, target);
        });
        if (ours) {
            platform::RemoveIfAbandoned(folder, *it);
            it = names.erase(it);
        } else {
            ++it;
        }
    }
}

}  // namespace MainForm1Unit
