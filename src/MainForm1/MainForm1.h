// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: start and end buttons, the status line, the hidden
// controls that carry a package from the scan to the extraction, the queue of
// packages and the timer that moves the batch along.
#pragma once

#include "platform/widgets/Controls.h"

#include "BrowseDr/BrowseDr.h"
#include "MainForm1/PackagePlace.h"
#include "FileFind/FileFind.h"
#include "PackageReader/ModuleKinds.h"
#include "hexeditor/hexeditor.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace platform {
class TUntypedFile;
}

namespace MainForm1Unit {

// The unit-level state of the scan's signature searches: the current
// signature's bytes and the position of the last match. The bytes stay held
// after a search until the next set-up.
class TSignatureSearch {
public:
    // FoundPos := -1, the previous signature's bytes released, a copy of
    // signature in SearchBytes.
    void SetUp(std::string_view signature);
    // FoundPos := the first match in the editor from its caret to its last
    // byte, case folding and translation off; -1 for none. Returns FoundPos.
    std::int32_t FindIn(THexEditor& editor);

    const std::uint8_t* SearchBytes() const { return searchBytes_.get(); }
    std::int32_t SearchLength() const { return searchLength_; }
    std::int32_t FoundPos() const { return foundPos_; }

private:
    std::unique_ptr<std::uint8_t[]> searchBytes_;
    std::int32_t searchLength_ = 0;
    std::int32_t foundPos_ = -1;
};

// The unit's one search state.
TSignatureSearch& SignatureSearch();

}  // namespace MainForm1Unit

// The queue entry something is about: for a status text, the package the
// text describes (the no-module text names the package scanned, although the
// advance step already made the next one current).
struct TQueuePlace {
    int index = -1;        // the entry, -1 for none
    int count = 0;         // entries in the queue
    std::string package;   // the entry's full path, empty for none
};

// How a run goes beyond the window's own way; programs that drive the window
// choose these before StartRun. The defaults are the window's behaviour.
struct TRunOptions {
    // An error ends its package, not the run: it is reported (OnPackageEnd)
    // instead of shown in the error box, and the next package follows.
    bool keepGoing = false;
    // Where scan copies and modules go: empty for beside each package;
    // otherwise under this folder, in the same relative sub-folders as the
    // packages below the run's folder, which is then only read. A folder
    // inside the run's folder is not searched for packages.
    std::string outputFolder;
    // Scan only: the module found is reported, never extracted.
    bool scanOnly = false;
    // Modules from the package's own tables: each music object whose bytes
    // carry its format's signature gives one output holding exactly those
    // bytes (the first "NAME.ext", each later one "NAME.Object.ext"). A
    // package whose tables cannot be read, or whose module does not carry
    // its signature, is scanned for a signature as without this option.
    bool exact = false;
};

// What became of one package.
enum TPackageResult : std::uint8_t { prModule, prNoModule, prError };

// One module of a package: written, or found in a scan-only run.
struct TModuleOutput {
    // The module's kind (its entry of umx::kModuleKinds), its start in the
    // package and its size (what the output holds or would hold).
    const umx::ModuleKind* kind = nullptr;
    std::int64_t start = 0;
    std::int64_t size = 0;
    // The output's path; in a scan-only run empty, except in an exact run,
    // where it is the name a conversion beside the package would write.
    std::string output;
    // Exact runs: the music object's name when the tables gave the module.
    std::string object;
};

struct TPackageEnd {
    TQueuePlace place;
    TPackageResult result = prModule;
    // prModule: one module, or in an exact run one per music object.
    // prError in an exact run: the modules written before the error.
    std::vector<TModuleOutput> modules;
    // Exact runs: why the package's tables were not used (the signature scan
    // decided instead); empty when they were.
    std::string fallback;
    // prError: the error's message.
    QString error;
};

// How a run ended.
enum TRunOutcome : std::uint8_t {
    roCompleted,     // the last package in the queue was done
    roStopped,       // an error stopped the run at the current package
    roNothingFound,  // the folder holds no package (after the message box)
    roRefused,       // the folder's path cannot be searched: too long for the
                     // mask, or it holds ";" (after the message box)
    roCancelled,     // the folder dialog was cancelled, or a new run was
                     // started before this one ended
    roInterrupted,   // the program is being ended (a signal, or the window
                     // closed while the run waited for a package): the step
                     // in progress was abandoned and its temporary files
                     // removed
};

struct TRunEnd {
    TRunOutcome outcome = roCompleted;
    TQueuePlace place;  // the entry current at the end
    QString error;      // roStopped: the error's message (the box shows
                        // platform::ErrorBoxText of it); empty otherwise
    int failures = 0;   // packages that ended with an error
    int unreadFolders = 0;      // folders the walk could not read
    bool walkComplete = false;  // the walk was over: the queue holds every
                                // package of the folder that could be read
};

using TRunStatusEvent = std::function<void(const QString& text, const TQueuePlace& place)>;
using TRunEndEvent = std::function<void(const TRunEnd& end)>;
using TPackageEndEvent = std::function<void(const TPackageEnd& end)>;
using TRunFolderEvent = std::function<void(const std::string& folder)>;
using TRunFolderErrorEvent = std::function<void(const std::string& folder, const std::string& text)>;

class TMainForm : public QWidget {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);

    // Controls, named as in the window's layout.
    platform::TButton* Open;
    platform::TButton* EndBtn;
    platform::TStatusBar* StatusBar1;
    platform::TButton* Rip;
    QLineEdit* edtStart;
    QLineEdit* edtEnd;
    QLabel* Label1;
    QLabel* Label2;
    QListWidget* ListBox1;
    platform::TTimer* Timer1;
    THexEditor* HexEditor1;
    TFileSearch* FileSearch1;
    TzebBrowseDirectoryDlg* browsefolder1;

    // The package being converted and the folder of the current run.
    std::string CurrentFile;
    std::string SourceFolder;
    // 0 Impulse Tracker, 1 Scream Tracker 3, 2 FastTracker 2 (umx::ScannedKind).
    std::uint8_t ModuleKind = 0;
    // Size of the current package, taken when it was loaded.
    std::int32_t PackageSize = 0;

    QString StatusText() const;
    void SetStatusText(const QString& text);
    // "Tabellen unlesbar, Suche nach Signatur": an exact run scans a package
    // whose tables are of no use.
    static QString TablesUnreadableText();

    // ---- Runs for programs that drive the window without a person ----
    // Starts a run for folder exactly as if the start button had been
    // pressed and folder chosen in the folder dialog: the queue is emptied,
    // the folder searched and the first package made current. Returns when
    // the search is over; the timer converts the packages while the event
    // loop runs. An error goes to the application's default handler (the
    // error box), as from any handler of the window, and ends the run.
    void StartRun(const std::string& folder);
    // The pause between two packages: the timer's interval, 200 ms as laid out.
    void SetPackagePause(int ms);
    // Options of the runs started from now on.
    void SetRunOptions(const TRunOptions& options) { runOptions_ = options; }
    // Raised with each status text the window shows and the queue entry the
    // text is about.
    TRunStatusEvent OnRunStatus;
    // Raised once for every package a run is done with: its module, no
    // module, or the error that ended it (before the error box, if any).
    TPackageEndEvent OnPackageEnd;
    // Raised once for every run, whether StartRun or the start button began
    // it: after the last package, after the error that stopped the run
    // (before the error box), after the message box of a folder without
    // packages or a refused folder, and when the dialog was cancelled.
    TRunEndEvent OnRunEnd;
    // Raised for every folder the walk cannot read, with its path and the
    // error's text ("Ordner <path> kann nicht gelesen werden",
    // the path's bytes as they are). The walk goes on; the window, when
    // nothing is assigned here, names such folders in one error box before
    // the first package (and shows no "no packages" box).
    TRunFolderErrorEvent OnFolderError;
    // Raised with the path of the run's output folder (TRunOptions) when it
    // lies inside the run's folder and holds packages, which stay unconverted.
    TRunFolderEvent OnOutputFolderSkipped;
    // The queue entry current now.
    TQueuePlace CurrentPlace() const;

protected:
    // The handlers of the window's controls and the queue behind them; the
    // programs drive the window through StartRun and the run events.
    void OpenClick();
    void EndBtnClick();
    void FileSearch1FileFind(const std::string& fullpath, const platform::TSearchRec& info);
    void FileSearch1Finish();
    void Timer1Timer();
    void RipClick();

    // Makes the next queue entry current and switches the timer on; after the
    // last entry nothing happens and the run is over.
    void AdvanceQueue();

    // The queue: full package paths in the order found, each with where the
    // walk found it.
    void AppendToQueue(const std::string& path, const TPackageOrigin& origin = {});
    std::string QueueEntry(int index) const;
    TPackageOrigin QueueOrigin(int index) const;

    // "Datei <name> wird geladen. Bitte warten..." for a package path.
    static QString LoadingText(const std::string& path);

    void showEvent(QShowEvent* event) override;
    // A folder dropped on the window starts a run for it (StartRun), unless
    // a run is going; anything that is not a folder is refused.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // Notes that the window is closing, so a run that waits for a package
    // stops waiting.
    void closeEvent(QCloseEvent* event) override;

private:
    // A run has begun and not yet ended; a new one ends it as cancelled.
    void BeginRun();
    // Ends the run that is going on (nothing when none is) and raises OnRunEnd.
    void EndRun(TRunOutcome outcome, const QString& error = {});
    // Runs one step of a run (its start or a timer tick): an error that
    // leaves the step ends the run as stopped and goes on to the caller.
    void RunStep(const std::function<void()>& step);
    // The timer's handler: a tick, then the end of the run when the tick
    // made no next package due.
    void TimerTick();
    // OpenClick after the dialog: search the folder and fill the queue.
    void SearchFolder(const std::string& folder);
    // The walk met a folder it cannot read (path ending in "/", I/O code).
    void FolderUnread(const std::string& folder, int code);
    // The error box naming the folders the walk could not read.
    void ShowUnreadFolders() const;
    void MakeCurrent(int index);
    // Shows text in the status line, about the queue entry place.
    void ShowStatus(const QString& text, const TQueuePlace& place);
    // Raises OnPackageEnd (in an exact run with why the tables were not used).
    void ReportPackage(TPackageEnd end);
    // Opens the output folder of the run (TRunOptions::outputFolder), which
    // the walk then never enters.
    void OpenOutputFolder();
    // The current package's place, its outputs sent where the run puts them.
    std::unique_ptr<MainForm1Unit::TPackagePlace> OpenCurrentPlace() const;
    // The output path of the current package with extension ext, as a user
    // would name it.
    std::string OutputName(const std::string& ext) const;
    void CreateHexEditor();
    void CreateBatchComponents();
    // Scans the current package for a module signature and hands a match to
    // the extraction; without one, advances the queue.
    void ScanCurrentPackage();
    // The end of a package without a module: the next one made current, the
    // no-module text about this one, and its report.
    void EndWithoutModule();
    // Holds the current package's place for the scan and the extraction:
    // checked against where the walk found it, locked (waiting, with events
    // processed, while another run holds it), and cleared of temporary files
    // that killed runs left for it.
    void HoldCurrentPackage();
    // The place of the current package: the one the scan holds, else one
    // opened now (an extraction run on its own).
    const MainForm1Unit::TPackagePlace& CurrentPlaceHeld(std::unique_ptr<MainForm1Unit::TPackagePlace>& own) const;
    // Raises when this run wrote the current package's output with the
    // extension already; remembers it as written after the write (forgets
    // it, with written false, once it is gone again).
    void CheckNotWrittenThisRun(const MainForm1Unit::TPackagePlace& place, const std::string& extension) const;
    void NoteWrittenThisRun(const MainForm1Unit::TPackagePlace& place, const std::string& extension,
                            bool written = true);
    // Raises "Modul beginnt vor dem Anfang der Datei <package>" for a module
    // start before the package's first byte.
    void CheckModuleStart(std::int64_t start) const;
    // "Daten werden extrahiert. Bitte warten..." in the status line.
    void ShowExtracting();
    // What an extraction writes: the scan's result (the range may reach
    // past the package's end) or a module from the package's tables (every
    // byte must be there).
    enum class TExtraction { ScanResult, TableModule };
    // Copies count bytes of the package from start into output, the file
    // named with suffix (the extension, or ".Lied" and the extension), through a temporary file renamed
    // once complete; the status then says so. Returns the output's name.
    std::string ExtractRange(const MainForm1Unit::TPackagePlace& place, std::int64_t start, std::int64_t count,
                             platform::TUntypedFile& output, const std::string& suffix, TExtraction what);
    // An exact run's step for the current package: its modules from its
    // tables, written (or reported in a scan-only run). False, with the
    // status saying so, when the tables are of no use and the signature
    // scan must decide.
    bool ConvertFromTables();

    TRunOptions runOptions_;
    // The run's output folder (open only with TRunOptions::outputFolder).
    platform::HeldFolder outputRoot_;
    int failures_ = 0;
    // The run's walk: the texts of the folders it could not read, and
    // whether it was over.
    std::vector<std::string> unreadFolders_;
    bool walkComplete_ = false;
    bool runActive_ = false;
    bool closing_ = false;
    // The current package's place while its tick runs.
    std::unique_ptr<MainForm1Unit::TPackagePlace> place_;
    // Exact runs: why the current package's tables were not used, and the
    // modules of it written so far (reported with an error that ends it).
    std::string tablesUnused_;
    std::vector<TModuleOutput> packageModules_;
    MainForm1Unit::TLeftovers leftovers_;
    // The outputs this run wrote: folder and name.
    std::set<std::pair<platform::FileId, std::string>> writtenThisRun_;
};
