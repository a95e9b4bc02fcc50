// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileFind/FileFind.h"

#include "platform/system/Exceptions.h"
#include "platform/system/FileIo.h"
#include "platform/system/UniqueFd.h"
#include "platform/widgets/Application.h"

#include <cerrno>

using platform::TSearchRec;
using platform::UniqueFd;

namespace {

// Every kind of entry: hidden and system entries and directories included.
constexpr int kWalkAttributes = platform::faAnyFile;

// Up to and including the last "/"; empty when there is none.
std::string FolderPart(const std::string& mask)
{
    const std::size_t slash = mask.rfind('/');
    return slash == std::string::npos ? std::string() : mask.substr(0, slash + 1);
}

bool IsDotEntry(const std::string& name)
{
    return name == "." || name == "..";
}

// A folder to walk into: a directory that is not a symbolic link (a link to a
// folder above would make the walk endless).
bool IsSubFolder(const TSearchRec& entry)
{
    return !IsDotEntry(entry.Name) && (entry.Attr & platform::faDirectory) && !entry.SymLink;
}

// The sub-folder name of the folder fd, held for passing through (its
// entries are listed through an enumeration of their own, FindFirstIn) and
// never opened through a link. Not open where it cannot be opened: it then
// holds nothing the walk could reach.
UniqueFd SubFolder(int fd, const std::string& name)
{
    UniqueFd sub;
    platform::IgnoreFailure([&] { sub = platform::HoldFolderIn(fd, name, platform::Links::Keep); });
    return sub;
}

// Whether the folder open on fd, or one below it, holds an entry matching
// pattern.
bool HoldsMatch(int fd, const std::string& pattern)
{
    TSearchRec entry;
    for (int rc = platform::FindFirstIn(fd, pattern, kWalkAttributes, entry); rc == 0;
         rc = platform::FindNext(entry))
        if (!IsDotEntry(entry.Name))
            return true;
    for (int rc = platform::FindFirstIn(fd, "*.*", kWalkAttributes, entry); rc == 0;
         rc = platform::FindNext(entry)) {
        const UniqueFd sub = IsSubFolder(entry) ? SubFolder(fd, entry.Name) : UniqueFd();
        if (sub.IsOpen() && HoldsMatch(sub.Get(), pattern))
            return true;
    }
    return false;
}

}  // namespace

TFileSearch::TFileSearch(QObject* owner) : QObject(owner) {}

TFileSearch::~TFileSearch() = default;

void TFileSearch::SetSearchFile(const std::string& value)
{
    searchFile_ = value.substr(0, MaxSearchFileLength);
}

std::vector<std::string> TFileSearch::SplitMasks(const std::string& searchFile)
{
    std::vector<std::string> masks;
    std::size_t semi = searchFile.find(';');
    if (semi == std::string::npos) {
        masks.push_back(searchFile);
        return masks;
    }
    masks.push_back(searchFile.substr(0, semi));
    std::string rest = searchFile.substr(semi + 1);
    while (!rest.empty()) {
        semi = rest.find(';');
        const std::string piece = rest.substr(0, semi);
        masks.push_back(FolderPart(masks.back()) + piece);
        rest = semi == std::string::npos ? std::string() : rest.substr(semi + 1);
    }
    return masks;
}

void TFileSearch::Search()
{
    stop_ = false;
    filesFound_.clear();
    for (const std::string& mask : SplitMasks(searchFile_))
        WalkMask(mask);
    if (OnFinish)
        OnFinish(this);
}

void TFileSearch::WalkMask(const std::string& mask)
{
    const std::string folder = FolderPart(mask);
    const std::string pattern = mask.substr(folder.size());
    // The top folder's own entry; when the lookup fails (the root, or an
    // empty folder part) the info stays empty.
    TSearchRec info;
    platform::FindFirst(folder.substr(0, folder.empty() ? 0 : folder.size() - 1), kWalkAttributes, info);
    platform::FindClose(info);
    EnterFolder(platform::kCurrentFolder, folder, info, pattern);
}

void TFileSearch::EnterFolder(int parent, const std::string& folder, const TSearchRec& info,
                              const std::string& pattern)
{
    // A sub-folder is opened by its name alone and never through a link (one
    // swapped in since it was listed); the top folder by its whole path.
    const bool top = parent == platform::kCurrentFolder;
    const std::string name = top ? (folder.empty() ? std::string(".") : folder) : info.Name;
    UniqueFd fd;
    int openError = 0;
    try {
        fd = platform::HoldFolderIn(parent, name, top ? platform::Links::Follow : platform::Links::Keep);
    } catch (const platform::Exception& e) {
        openError = e.Errno();  // reported below
    }
    if (fd.IsOpen()) {
        WalkFolder(fd.Get(), folder, info, pattern);
        return;
    }
    if (OnChangeFolder)
        OnChangeFolder(folder, info);
    // A folder replaced by a link or a file since it was listed was not
    // there to be read.
    if (openError != ELOOP && openError != ENOTDIR)
        ReportFailure(folder, platform::IoCodeFromErrno(openError));
}

void TFileSearch::WalkFolder(int fd, const std::string& folder, const TSearchRec& info, const std::string& pattern)
{
    const int matches = ReportMatches(fd, folder, info, pattern);
    TSearchRec entry;
    int result = platform::FindFirstIn(fd, "*.*", kWalkAttributes, entry);
    while (result == 0 && !stop_) {
        platform::Application().ProcessMessages();
        const bool skipped = skippedFolder_.Known() && entry.Id == skippedFolder_;
        if (IsSubFolder(entry) && recurseSubFolders_ && skipped)
            ReportSkipped(fd, folder + entry.Name + "/", entry, pattern);
        else if (IsSubFolder(entry) && recurseSubFolders_)
            EnterFolder(fd, folder + entry.Name + "/", entry, pattern);
        result = platform::FindNext(entry);
        platform::Application().ProcessMessages();
    }
    platform::FindClose(entry);
    // One report per folder, though both of its enumerations may fail.
    ReportFailure(folder, matches != 0 && matches != platform::feFileNotFound ? matches : result);
}

int TFileSearch::ReportMatches(int fd, const std::string& folder, const TSearchRec& info, const std::string& pattern)
{
    if (OnChangeFolder)
        OnChangeFolder(folder, info);
    TSearchRec entry;
    int result = platform::FindFirstIn(fd, pattern, kWalkAttributes, entry);
    while (result == 0 && !stop_) {
        if (!IsDotEntry(entry.Name) && OnFileFind) {
            OnFileFind(folder, entry);
            filesFound_.push_back(folder + entry.Name);
        }
        result = platform::FindNext(entry);
        platform::Application().ProcessMessages();
    }
    platform::FindClose(entry);
    return result;
}

void TFileSearch::ReportFailure(const std::string& folder, int code)
{
    if (stop_ || code == 0 || code == platform::feFileNotFound || code == platform::feNoMoreFiles)
        return;
    if (OnFolderError)
        OnFolderError(folder, code);
}

void TFileSearch::ReportSkipped(int parent, const std::string& folder, const TSearchRec& info,
                                const std::string& pattern)
{
    const UniqueFd fd = SubFolder(parent, info.Name);
    if (OnSkippedFolder && fd.IsOpen() && HoldsMatch(fd.Get(), pattern))
        OnSkippedFolder(folder);
}
