// SPDX-License-Identifier: GPL-3.0-or-later
#include "KlangheberHex/RecentFiles.h"

namespace hexwindow {

RecentFiles::RecentFiles(const QStringList& stored)
{
    for (const QString& path : stored)
        if (!path.isEmpty() && !files_.contains(path) && files_.size() < kMaxCount)
            files_.append(path);
}

void RecentFiles::Add(const QString& path)
{
    if (path.isEmpty())
        return;
    files_.removeAll(path);
    files_.prepend(path);
    while (files_.size() > kMaxCount)
        files_.removeLast();
}

void RecentFiles::Remove(const QString& path)
{
    files_.removeAll(path);
}

}  // namespace hexwindow
