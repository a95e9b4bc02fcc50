#include "FileFind/FileFind.h"

#include "platform/widgets/Application.h"

using platform::TSearchRec;

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
    WalkFolder(folder, info, pattern);
}

void TFileSearch::WalkFolder(const std::string& folder, const TSearchRec& info, const std::string& pattern)
{
    ReportMatches(folder, info, pattern);
    TSearchRec entry;
    int result = platform::FindFirst(folder + "*.*", kWalkAttributes, entry);
    while (result == 0 && !stop_) {
        platform::Application().ProcessMessages();
        // A directory reached through a symbolic link is never entered: a
        // link to a folder above would otherwise make the walk endless.
        const bool skipped = skippedFolder_.Known() && entry.Id == skippedFolder_;
        if (!IsDotEntry(entry.Name) && (entry.Attr & platform::faDirectory) && !entry.SymLink && recurseSubFolders_ &&
            !skipped)
            WalkFolder(folder + entry.Name + "/", entry, pattern);
        result = platform::FindNext(entry);
        platform::Application().ProcessMessages();
    }
    platform::FindClose(entry);
}

void TFileSearch::ReportMatches(const std::string& folder, const TSearchRec& info, const std::string& pattern)
{
    if (OnChangeFolder)
        OnChangeFolder(folder, info);
    TSearchRec entry;
    int result = platform::FindFirst(folder + pattern, kWalkAttributes, entry);
    while (result == 0 && !stop_) {
        if (!IsDotEntry(entry.Name) && OnFileFind) {
            OnFileFind(folder, entry);
            filesFound_.push_back(folder + entry.Name);
        }
        result = platform::FindNext(entry);
        platform::Application().ProcessMessages();
    }
    platform::FindClose(entry);
}
