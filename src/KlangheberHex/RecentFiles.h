// SPDX-License-Identifier: GPL-3.0-or-later
// The files opened last, newest first, as the "Zuletzt geöffnet" menu shows
// them: at most five, each once.
#pragma once

#include <QString>
#include <QStringList>

namespace hexwindow {

class RecentFiles {
public:
    static constexpr int kMaxCount = 5;

    // Takes a stored list as it is found (settings may be edited by hand):
    // empty names and repeats are dropped, the rest cut to kMaxCount.
    explicit RecentFiles(const QStringList& stored = {});

    // Puts a file first; an entry already in the list moves up, the oldest
    // falls off the end.
    void Add(const QString& path);
    void Remove(const QString& path);
    const QStringList& Files() const { return files_; }

private:
    QStringList files_;
};

}  // namespace hexwindow
