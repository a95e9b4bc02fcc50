// SPDX-License-Identifier: GPL-3.0-or-later
// The places a Linux user expects beside a folder tree: the home folder, the
// desktop folder, removable media and the file system's root.
#pragma once

#include <QIcon>
#include <QString>
#include <string>
#include <vector>

namespace platform {

struct Place {
    QString name;
    std::string path;
    QIcon icon;
};

// The places that exist on this machine, in the order shown.
std::vector<Place> FolderPlaces();

// The mount points that are removable media: those below /media and
// /run/media (where the desktop and udisks mount them), in the given order.
std::vector<std::string> RemovableMediaFolders(const std::vector<std::string>& mountPoints);

}  // namespace platform
