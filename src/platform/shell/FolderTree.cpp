// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/shell/FolderTree.h"

#include "platform/system/FileUtils.h"
#include "platform/system/FolderListing.h"

#include <QFile>
#include <sys/stat.h>

namespace platform {
namespace {

QString Show(const std::string& bytes)
{
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

bool IsBelow(const std::string& path, const std::string& folder)
{
    if (folder == "/")
        return path.size() > 1 && path[0] == '/';
    return path.size() > folder.size() + 1 && path.compare(0, folder.size(), folder) == 0 &&
           path[folder.size()] == '/';
}

bool IsFolderEntry(int dirFd, const FolderEntry& entry)
{
    if (entry.type == EntryType::Folder)
        return true;
    if (entry.type == EntryType::Other)
        return false;
    struct stat st;
    return ::fstatat(dirFd, entry.name.c_str(), &st, 0) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

bool HoldsShownEntries(const std::string& folder, bool includeFiles)
{
    // Never blocks: a FIFO under a folder's name does not stop the dialog.
    FolderListing listing(folder);
    FolderEntry entry;
    while (listing.Next(entry)) {
        if (entry.name[0] == '.')
            continue;
        if (includeFiles || IsFolderEntry(listing.Fd(), entry))
            return true;
    }
    return false;
}

FolderTreeModel::FolderTreeModel(const std::string& root, bool includeFiles, QObject* parent)
    : QSortFilterProxyModel(parent), files_(new QFileSystemModel(this)), root_(root), includeFiles_(includeFiles)
{
    QDir::Filters filter = QDir::AllDirs | QDir::NoDotAndDotDot;
    if (includeFiles_)
        filter |= QDir::Files;
    files_->setIconProvider(&icons_);
    files_->setFilter(filter);
    files_->setRootPath(QStringLiteral("/"));
    // By name, folders first, as every file manager lists them.
    files_->sort(0, Qt::AscendingOrder);
    connect(files_, &QFileSystemModel::directoryLoaded, this,
            [this](const QString& path) { emit FolderLoaded(QFile::encodeName(path).toStdString()); });
    setSourceModel(files_);
}

FolderTreeModel::~FolderTreeModel()
{
    // The file-system model's reader thread uses the icon provider until the
    // model is gone.
    setSourceModel(nullptr);
    delete files_;
}

QModelIndex FolderTreeModel::ViewRoot() const
{
    if (root_ == "/")
        return {};
    return mapFromSource(files_->index(Show(root_)).parent());
}

bool FolderTreeModel::Contains(const std::string& path) const
{
    return path == root_ || IsBelow(path, root_);
}

QModelIndex FolderTreeModel::IndexOf(const std::string& path) const
{
    if (!Contains(path))
        return {};
    // Asking the file-system model for a path makes it show that entry even
    // where its filter would hide it; only what the tree may show is asked.
    if (includeFiles_ ? !PathExists(path) : !DirectoryExists(path))
        return {};
    return mapFromSource(files_->index(Show(path)));
}

std::string FolderTreeModel::PathOf(const QModelIndex& index) const
{
    if (!index.isValid())
        return {};
    return QFile::encodeName(files_->filePath(mapToSource(index))).toStdString();
}

bool FolderTreeModel::hasChildren(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return QSortFilterProxyModel::hasChildren(parent);
    const QModelIndex source = mapToSource(parent);
    if (!files_->isDir(source))
        return false;
    // The file-system model calls every folder a parent; rows it has already
    // read settle the question, the disk answers for the rest.
    if (files_->rowCount(source) > 0)
        return true;
    return HoldsShownEntries(PathOf(parent), includeFiles_);
}

bool FolderTreeModel::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    if (root_ == "/")
        return true;
    const std::string path =
        QFile::encodeName(files_->filePath(files_->index(sourceRow, 0, sourceParent))).toStdString();
    // The root, what lies below it, and the folders above it that lead there.
    return Contains(path) || IsBelow(root_, path);
}

bool FolderTreeModel::filterAcceptsColumn(int sourceColumn, const QModelIndex&) const
{
    return sourceColumn == 0;
}

}  // namespace platform
