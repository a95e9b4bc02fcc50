// SPDX-License-Identifier: GPL-3.0-or-later
// TFileSearch: a synchronous, depth-first walk of a folder tree for one or
// more file masks, with an event per folder entered, per match and at the end.
#pragma once

#include "platform/system/DirEnum.h"
#include "platform/widgets/Events.h"

#include <QObject>
#include <functional>
#include <string>
#include <vector>

// An event of the walk. For OnFileFind a match was found: fullpath is its
// folder (ending in "/", empty for the current directory), info the match
// itself. For OnChangeFolder the walk enters a folder: fullpath is the
// folder, info its own entry.
using TFindFileEvent = std::function<void(const std::string& fullpath, const platform::TSearchRec& info)>;
using TChangeFolderEvent = TFindFileEvent;
// A folder the walk could not open or read in full (its packages may be
// missing from the matches): its path, ending in "/", and the I/O code of
// the failure. A folder that vanished during the walk is no failure.
using TFolderErrorEvent = std::function<void(const std::string& folder, int code)>;
// The skipped folder (SetSkippedFolder), met by the walk and holding matches
// somewhere in its tree: its path, ending in "/".
using TSkippedFolderEvent = std::function<void(const std::string& folder)>;

class TFileSearch : public QObject {
    Q_OBJECT
public:
    // Longest SearchFile kept; longer values are cut on assignment.
    static constexpr std::size_t MaxSearchFileLength = 255;

    explicit TFileSearch(QObject* owner = nullptr);
    ~TFileSearch() override;

    // One or more masks separated by ";". The first is a folder part and a
    // pattern; each later piece is taken relative to the folder part of the
    // mask before it.
    const std::string& SearchFile() const { return searchFile_; }
    void SetSearchFile(const std::string& value);

    // Full path of every match reported by the last search, in report order.
    const std::vector<std::string>& FilesFound() const { return filesFound_; }

    // A folder the walk never enters, by identity (where a run writes its
    // outputs); none when not known, the default.
    void SetSkippedFolder(const platform::FileId& folder) { skippedFolder_ = folder; }

    TFindFileEvent OnFileFind;
    TChangeFolderEvent OnChangeFolder;
    TFolderErrorEvent OnFolderError;
    TSkippedFolderEvent OnSkippedFolder;
    TNotifyEvent OnFinish;

    // Runs the whole search and returns when it is over. Pending GUI events
    // are processed after every directory entry, so handlers may stop it.
    // Every folder is reached through the descriptor of the folder above, so
    // trees deeper than the system's path limit are walked in full.
    void Search();

protected:
    // When true, the walk ends at its next check. Search clears it when it
    // starts; a stop stays set until the next search.
    bool Stop() const { return stop_; }
    void SetStop(bool stop) { stop_ = stop; }
    // Sub-folders are walked too (the default).
    bool RecurseSubFolders() const { return recurseSubFolders_; }
    void SetRecurseSubFolders(bool recurse) { recurseSubFolders_ = recurse; }
    // The masks SearchFile describes, in walk order.
    static std::vector<std::string> SplitMasks(const std::string& searchFile);

private:
    void WalkMask(const std::string& mask);
    // Walks the sub-folder info of the folder open on parent (path folder).
    void EnterFolder(int parent, const std::string& folder, const platform::TSearchRec& info,
                     const std::string& pattern);
    void WalkFolder(int fd, const std::string& folder, const platform::TSearchRec& info, const std::string& pattern);
    // Returns the code the enumeration ended with.
    int ReportMatches(int fd, const std::string& folder, const platform::TSearchRec& info,
                      const std::string& pattern);
    // The folder error event for a failure code of an enumeration or an
    // open (nothing for success, the end of the entries, a vanished folder).
    void ReportFailure(const std::string& folder, int code);
    // Raises OnSkippedFolder when the skipped folder info holds a match.
    void ReportSkipped(int parent, const std::string& folder, const platform::TSearchRec& info,
                       const std::string& pattern);

    bool stop_ = false;
    std::string searchFile_;
    std::vector<std::string> filesFound_;
    bool recurseSubFolders_ = true;
    platform::FileId skippedFolder_;
};
