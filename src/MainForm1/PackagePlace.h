// SPDX-License-Identifier: GPL-3.0-or-later
// The package being converted and its folder, held open by descriptors for
// the time of its conversion: every file beside the package is reached in
// the folder the walk found, never through a path that has since been made
// to lead elsewhere, and the package carries the in-use lock, so that two
// runs never work on one package at the same time.
#pragma once

#include "platform/system/FileId.h"
#include "platform/system/HeldFolder.h"
#include "platform/system/UniqueFd.h"

#include <map>
#include <string>
#include <vector>

// Where the walk found a package: the identities of its folder and of the
// package itself (not known for entries queued without a walk).
struct TPackageOrigin {
    platform::FileId folder;
    platform::FileId package;
};

namespace MainForm1Unit {

class TPackagePlace {
public:
    // Opens the folder that package (a full path) lies in and, when a
    // regular file stands under the package's name, the package. Raises
    // nothing: what could not be opened is left to the steps that need it.
    explicit TPackagePlace(std::string package);
    TPackagePlace(const TPackagePlace&) = delete;
    TPackagePlace& operator=(const TPackagePlace&) = delete;

    const std::string& Package() const { return package_; }

    // Sends the scan copy and the outputs to the folder relativeFolder
    // ("a/b", "" for root itself) under root instead of beside the package:
    // each missing sub-folder is created, and none is entered through a
    // symbolic link. A folder that cannot be made or opened raises "Ordner
    // <rootName/...> kann nicht angelegt werden" (with ": <I/O error>" unless
    // something that is no folder stands under its name).
    void SendOutputsTo(const platform::HeldFolder& root, const std::string& rootName,
                       const std::string& relativeFolder);
    // The folder the scan copy and the outputs go to: the package's own,
    // or the one SendOutputsTo opened.
    platform::FileId OutputFolderId() const { return Outputs().Id(); }
    // Its descriptor; -1 when it could not be opened.
    int OutputFolderFd() const { return Outputs().IsOpen() ? Outputs().Fd() : -1; }
    // A path to the file named as the package with the extension ext in the
    // output folder: through the held folder, or by the package folder's
    // path when it could not be opened.
    std::string OutputPathAs(const std::string& ext) const;
    // A path to the package: the opened package itself, else its name.
    std::string PackagePath() const;
    // The opened package's descriptor; -1 when no regular file was opened.
    int PackageFd() const { return file_.IsOpen() ? file_.Get() : -1; }

    // Raises the file-open error "Datei %s kann nicht geöffnet werden" (the
    // package's path) when the folder or the package opened is not the one
    // of origin (identities not known are not compared).
    void CheckOrigin(const TPackageOrigin& origin) const;
    // Raises when the package's path no longer leads to the held folder: the
    // I/O error of opening it, or the file-open error above when it leads to
    // another folder.
    void CheckFolderPath() const;
    // Takes the package's in-use lock without waiting; false while another
    // process holds it. True as well when there is nothing to lock (no
    // package opened, or a file system without locks).
    bool TryLock() const;

private:
    const platform::HeldFolder& Outputs() const { return outputs_.IsOpen() ? outputs_ : folder_; }
    std::string PathBeside(const std::string& name) const;

    std::string package_;
    platform::HeldFolder folder_;
    platform::HeldFolder outputs_;
    int folderErrno_ = 0;
    platform::UniqueFd file_;
};

// Temporary files of replacements that killed runs left beside packages
// (hidden ".name.XXXXXX" files nobody holds locked). Each folder is listed
// once per run; what belongs to a package is removed when it is converted.
class TLeftovers {
public:
    // Forgets the folders listed (a new run begins).
    void Clear() { candidates_.clear(); }
    // Removes the abandoned temporary files of the targets (names beside
    // the package).
    void RemoveBeside(const TPackagePlace& place, const std::vector<std::string>& targets);

private:
    std::map<platform::FileId, std::vector<std::string>> candidates_;
};

}  // namespace MainForm1Unit
