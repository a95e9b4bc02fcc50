// SPDX-License-Identifier: GPL-3.0-or-later
// The folder dialog's tree: Qt's file-system model (loaded in the background,
// watched for folders that appear or vanish, with the icon theme's icons)
// seen from one root folder down, with an expand arrow only on folders that
// hold something the tree shows.
#pragma once

#include <QFileIconProvider>
#include <QFileSystemModel>
#include <QSortFilterProxyModel>
#include <string>

namespace platform {

class FolderTreeModel : public QSortFilterProxyModel {
    Q_OBJECT
public:
    // root: an absolute folder path without a trailing "/"; files are shown
    // too when includeFiles is set.
    FolderTreeModel(const std::string& root, bool includeFiles, QObject* parent = nullptr);
    ~FolderTreeModel() override;

    const std::string& Root() const { return root_; }
    // The index a view shows as its root: the root folder is then the view's
    // one top-level row.
    QModelIndex ViewRoot() const;
    // The row of an existing folder (or file, when files are shown) at or
    // below the root, created at once along the path even while the folders
    // above it are still loading; invalid for anything else.
    QModelIndex IndexOf(const std::string& path) const;
    std::string PathOf(const QModelIndex& index) const;
    // True while a path is the root or lies below it.
    bool Contains(const std::string& path) const;

    bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;

signals:
    // A folder's entries have been read (the file-system model's
    // directoryLoaded, as a byte path).
    void FolderLoaded(const std::string& path);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
    bool filterAcceptsColumn(int sourceColumn, const QModelIndex& sourceParent) const override;

private:
    // The icon theme's icons, with the style's own where the theme has none.
    QFileIconProvider icons_;
    QFileSystemModel* files_;
    std::string root_;
    bool includeFiles_;
};

// Whether a folder holds an entry the tree would show: a sub-folder (a link
// to one counts), or with includeFiles any entry; names beginning with "."
// are hidden. An unreadable folder holds nothing.
bool HoldsShownEntries(const std::string& folder, bool includeFiles);

}  // namespace platform
