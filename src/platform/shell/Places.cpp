// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/shell/Places.h"

#include "platform/shell/Shell.h"
#include "platform/system/FileUtils.h"

#include <QApplication>
#include <QFile>
#include <QStyle>
#include <cstdio>
#include <mntent.h>

namespace platform {
namespace {

QIcon ThemeIcon(const char* name, QStyle::StandardPixmap fallback)
{
    return QIcon::fromTheme(QString::fromLatin1(name), QApplication::style()->standardIcon(fallback));
}

bool StartsWithFolder(const std::string& path, const std::string& folder)
{
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           path[folder.size()] == '/';
}

// Every mount point, read from the mount table only: asking a hung network
// mount for its state would stop the dialog.
std::vector<std::string> MountPoints()
{
    std::vector<std::string> mounts;
    FILE* table = ::setmntent("/proc/self/mounts", "r");
    if (!table)
        return mounts;
    mntent entry;
    char buffer[4096];
    while (::getmntent_r(table, &entry, buffer, sizeof buffer))
        mounts.push_back(CleanPath(entry.mnt_dir));
    ::endmntent(table);
    return mounts;
}

std::string LastComponent(const std::string& path)
{
    return path.substr(path.rfind('/') + 1);
}

}  // namespace

std::vector<std::string> RemovableMediaFolders(const std::vector<std::string>& mountPoints)
{
    std::vector<std::string> media;
    for (const std::string& mount : mountPoints)
        if (StartsWithFolder(mount, "/media") || StartsWithFolder(mount, "/run/media"))
            media.push_back(mount);
    return media;
}

std::vector<Place> FolderPlaces()
{
    std::vector<Place> places;
    const std::string home = SpecialFolderPath(CSIDL_PERSONAL);
    if (!home.empty())
        places.push_back({QStringLiteral("Persönlicher Ordner"), home, ThemeIcon("user-home", QStyle::SP_DirHomeIcon)});
    // Without a desktop folder of its own the desktop is the home folder.
    const std::string desktop = SpecialFolderPath(CSIDL_DESKTOPDIRECTORY);
    if (!desktop.empty() && desktop != home)
        places.push_back({QStringLiteral("Schreibtisch"), desktop, ThemeIcon("user-desktop", QStyle::SP_DesktopIcon)});

    for (const std::string& medium : RemovableMediaFolders(MountPoints()))
        places.push_back({QFile::decodeName(QByteArray::fromStdString(LastComponent(medium))), medium,
                          ThemeIcon("drive-removable-media", QStyle::SP_DriveFDIcon)});

    places.push_back({QStringLiteral("Dateisystem"), "/", ThemeIcon("drive-harddisk", QStyle::SP_DriveHDIcon)});
    return places;
}

}  // namespace platform
