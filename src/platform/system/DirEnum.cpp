// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/DirEnum.h"

#include "platform/system/Exceptions.h"
#include "platform/system/SysUtils.h"
#include "platform/system/FolderListing.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace detail {

struct FindState {
    FolderListing listing;
    // The folder's names in delivery order, and the next one to look at.
    std::vector<std::string> names;
    std::size_t next = 0;
    std::string pattern;
    int excluded = 0;
    FileId folder;
    // The first failure to read the folder's names or an entry's status (an
    // errno value); 0 while everything could be read.
    int error = 0;

    explicit FindState(FolderListing&& folder) : listing(std::move(folder)) {}
};

// The enumeration held by a record, for the functions that start one.
struct FindAccess {
    static std::unique_ptr<FindState>& State(TSearchRec& rec) { return rec.FindHandle.state_; }
};

}  // namespace detail

namespace {

bool HasWildcard(const std::string& pattern)
{
    return pattern.find_first_of("*?") != std::string::npos;
}

// Attribute bits an entry may not carry under the attribute mask attr.
int ExcludedBits(int attr)
{
    return ~attr & (faHidden | faSysFile | faVolumeID | faDirectory);
}

// Fills the attribute, size and time fields from the entry's status.
void FillFromStat(TSearchRec& rec, const struct stat& st)
{
    int a = 0;
    if (S_ISDIR(st.st_mode))
        a |= faDirectory;
    else if (S_ISREG(st.st_mode))
        a |= faArchive;
    if (!(st.st_mode & S_IWUSR))
        a |= faReadOnly;
    if (rec.Name.size() > 1 && rec.Name[0] == '.' && rec.Name != "..")
        a |= faHidden;
    rec.Attr = a;
    rec.Size = static_cast<std::int64_t>(st.st_size);
    rec.Time = static_cast<std::int64_t>(st.st_mtim.tv_sec);
    rec.Id = FileIdOf(st);
}

// Reads the status of name relative to dirfd into rec; the type and size are
// those of a symbolic link's target when it exists. False when the entry is
// gone.
bool StatEntry(int dirfd, const char* name, TSearchRec& rec)
{
    struct stat st {};
    if (::fstatat(dirfd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    rec.SymLink = S_ISLNK(st.st_mode);
    if (rec.SymLink) {
        struct stat target {};
        if (::fstatat(dirfd, name, &target, 0) == 0)
            st = target;
    }
    FillFromStat(rec, st);
    return true;
}

void ClearEntry(TSearchRec& rec)
{
    rec.Name.clear();
    rec.Attr = 0;
    rec.Size = 0;
    rec.Time = 0;
    rec.SymLink = false;
    rec.Id = {};
    rec.FolderId = {};
}

// "." and ".." first, then by name with ASCII letters folded, ties broken by
// the raw bytes: the same order on every machine and file system.
bool DeliveredBefore(const std::string& a, const std::string& b)
{
    const auto rank = [](const std::string& name) { return name == "." ? 0 : name == ".." ? 1 : 2; };
    if (rank(a) != rank(b))
        return rank(a) < rank(b);
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const auto x = static_cast<unsigned char>(LowerAscii(a[i]));
        const auto y = static_cast<unsigned char>(LowerAscii(b[i]));
        if (x != y)
            return x < y;
    }
    if (a.size() != b.size())
        return a.size() < b.size();
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    });
}

// The whole folder is read at once and sorted; error is set to the errno of
// a read that failed part of the way.
std::vector<std::string> SortedNames(FolderListing& listing, int& error)
{
    std::vector<std::string> names;
    FolderEntry entry;
    while (listing.Next(entry))
        names.push_back(std::move(entry.name));
    error = listing.Error();
    std::sort(names.begin(), names.end(), DeliveredBefore);
    return names;
}

// Goes on through the names until one matches the pattern and the attribute
// mask.
bool NextMatch(detail::FindState& state, TSearchRec& rec)
{
    const int fd = state.listing.Fd();
    while (state.next < state.names.size()) {
        const std::string& name = state.names[state.next++];
        if (!MatchesMask(name, state.pattern))
            continue;
        rec.Name = name;
        if (!StatEntry(fd, name.c_str(), rec)) {
            // An entry that is gone is no failure; one that cannot be looked
            // at (a folder without search permission) is.
            if (errno != ENOENT && state.error == 0)
                state.error = errno;
            continue;
        }
        if (rec.Attr & state.excluded)
            continue;
        rec.FolderId = state.folder;
        return true;
    }
    return false;
}

}  // namespace

bool MatchesMask(const std::string& name, const std::string& pattern)
{
    if (pattern == "*.*" || pattern == "*")
        return true;
    // Greedy matching with one backtrack point: the latest "*" seen.
    std::size_t n = 0, p = 0;
    std::size_t starP = std::string::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || LowerAscii(pattern[p]) == LowerAscii(name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

TFindHandle::TFindHandle() noexcept = default;

TFindHandle::~TFindHandle() = default;

TFindHandle::TFindHandle(const TFindHandle&) noexcept {}

TFindHandle::TFindHandle(TFindHandle&& other) noexcept : state_(std::move(other.state_)) {}

TFindHandle& TFindHandle::operator=(const TFindHandle& other) noexcept
{
    if (this != &other)
        state_.reset();
    return *this;
}

TFindHandle& TFindHandle::operator=(TFindHandle&& other) noexcept
{
    state_ = std::move(other.state_);
    return *this;
}

namespace {

// The code an enumeration ends with: the failure met on the way, else code.
int EndCode(const detail::FindState& state, int code)
{
    return state.error != 0 ? IoCodeFromErrno(state.error) : code;
}

// Enumerates the open folder listing for pattern.
int StartEnumeration(FolderListing listing, const std::string& pattern, int attr, TSearchRec& rec)
{
    auto state = std::make_unique<detail::FindState>(std::move(listing));
    state->names = SortedNames(state->listing, state->error);
    state->pattern = pattern;
    state->excluded = ExcludedBits(attr);
    struct stat st {};
    if (::fstat(state->listing.Fd(), &st) == 0)
        state->folder = FileIdOf(st);
    if (!NextMatch(*state, rec)) {
        ClearEntry(rec);
        return EndCode(*state, feFileNotFound);
    }
    detail::FindAccess::State(rec) = std::move(state);
    return 0;
}

}  // namespace

int FindFirst(const std::string& path, int attr, TSearchRec& rec)
{
    FindClose(rec);
    ClearEntry(rec);

    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string pattern = path.substr(folder.size());
    if (pattern.empty())
        return feFileNotFound;

    FolderListing listing(folder.empty() ? "." : folder);
    if (listing.IsOpen())
        return StartEnumeration(std::move(listing), pattern, attr, rec);
    int code = IoCodeFromErrno(listing.Error());
    // A single named entry can still be looked up where its folder cannot
    // be read.
    if (!HasWildcard(pattern)) {
        rec.Name = pattern;
        if (StatEntry(AT_FDCWD, path.c_str(), rec)) {
            if (!(rec.Attr & ExcludedBits(attr)))
                return 0;
            code = feFileNotFound;
        }
        ClearEntry(rec);
    }
    return code == 0 ? feFileNotFound : code;
}

int FindFirstIn(int folder, const std::string& pattern, int attr, TSearchRec& rec)
{
    FindClose(rec);
    ClearEntry(rec);
    if (pattern.empty())
        return feFileNotFound;
    // An enumeration of its own: folder may be held only for passing through
    // (O_PATH), and its offset is never shared.
    FolderListing listing(folder);
    if (!listing.IsOpen())
        return IoCodeFromErrno(listing.Error());
    return StartEnumeration(std::move(listing), pattern, attr, rec);
}

int FindNext(TSearchRec& rec)
{
    detail::FindState* state = rec.FindHandle.state_.get();
    if (!state)
        return feNoMoreFiles;
    if (!NextMatch(*state, rec))
        return EndCode(*state, feNoMoreFiles);
    return 0;
}

void FindClose(TSearchRec& rec)
{
    rec.FindHandle.state_.reset();
}

}  // namespace platform
