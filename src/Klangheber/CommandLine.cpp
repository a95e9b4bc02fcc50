// SPDX-License-Identifier: GPL-3.0-or-later
#include "Klangheber/CommandLine.h"

#include "Klangheber/Audio.h"
#include "Klangheber/Output.h"
#include "Klangheber/Report.h"
#include "MainForm1/MainForm1.h"
#include "platform/system/Exceptions.h"
#include "platform/system/FileIo.h"
#include "platform/system/FileUtils.h"
#include "platform/system/HeldFolder.h"
#include "platform/widgets/Application.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cerrno>
#include <cstdio>
#include <optional>

namespace klangheber {

namespace {

// The text's bytes: a name's bytes that are not UTF-8 come back as they were.
std::string Utf8(const QString& text)
{
    return platform::BytesOfText(text);
}

// The program's own German text of a system error.
std::string ErrnoText(int err)
{
    return platform::EInOutError::TextFor(platform::IoCodeFromErrno(err));
}

// Boxes of the run on stderr as "klangheber: text". The error box of a
// package that stopped the run is left out: its line, with the package's
// path, came first.
class BatchMessages : public platform::MessageSink {
public:
    void ShowError(const QString&, const QString& text) override
    {
        if (!packageErrorShown_)
            Print(text);
        packageErrorShown_ = false;
    }
    void ShowMessage(const QString&, const QString& text) override { Print(text); }
    void PackageErrorShown() { packageErrorShown_ = true; }

private:
    static void Print(const QString& text)
    {
        Emit(stderr, "klangheber: " + Printable(Utf8(text)) + "\n");
    }
    bool packageErrorShown_ = false;
};

// A private folder for the scan copies of a listing, removed with all it
// holds at the end. Raises when it cannot be made.
class ScratchFolder {
public:
    ScratchFolder() : path_(platform::MakeUniqueFolder(platform::GetTempPath() + "klangheber-list.")) {}
    // What cannot be removed is named on stderr: the listing is complete,
    // but the folder stays behind.
    ~ScratchFolder()
    {
        try {
            platform::RemoveTree(path_);
        } catch (const platform::Exception& e) {
            Emit(stderr, "klangheber: " + Printable(path_) + ": " + ErrnoText(e.Errno()) + ".\n");
        }
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

int ExitCodeOf(const TRunEnd& end)
{
    switch (end.outcome) {
    case roCompleted: return end.failures > 0 || end.unreadFolders > 0 ? kRunStopped : kRunCompleted;
    case roStopped: return kRunStopped;
    case roNothingFound: return end.unreadFolders > 0 ? kRunStopped : kNothingToDo;
    default: return kNothingToDo;
    }
}

std::string JsonOrNull(bool present, const std::string& json)
{
    return present ? json : "null";
}

std::string TablesUnreadable()
{
    return Utf8(TMainForm::TablesUnreadableText());
}

// One JSON line for a package, or in an exact run for each of its modules
// (each "module", also those written before an error ended the package,
// whose own line follows them). An exact run adds object (the music
// object's name), fallback (the text of the signature scan's step in) and
// reason (why the tables were not used).
std::string PackageJson(const TPackageEnd& end, const TModuleOutput* module, const ModuleReport* report,
                        const Options& options)
{
    const bool exact = options.exact;
    static const char* const kResults[] = {"module", "none", "error"};
    const TModuleOutput none;
    const TModuleOutput& m = module ? *module : none;
    const bool found = module != nullptr;
    const bool fallback = !end.fallback.empty();
    const TPackageResult result = found ? prModule : end.result;
    std::string json = "{\"package\":" + JsonString(end.place.package) + ",\"result\":\"" + kResults[result] +
                       "\",\"kind\":" + JsonOrNull(found, found ? "\"" + std::string(m.kind->name) + "\"" : "") +
                       ",\"start\":" + JsonOrNull(found, std::to_string(m.start)) +
                       ",\"size\":" + JsonOrNull(found, std::to_string(m.size)) +
                       ",\"output\":" + JsonOrNull(!m.output.empty(), JsonString(m.output)) + ",\"error\":" +
                       JsonOrNull(result == prError, JsonString(Utf8(platform::ErrorBoxText(end.error))));
    if (exact)
        json += ",\"object\":" + JsonOrNull(!m.object.empty(), JsonString(m.object)) +
                ",\"fallback\":" + JsonOrNull(fallback, JsonString(TablesUnreadable())) +
                ",\"reason\":" + JsonOrNull(fallback, JsonString(end.fallback));
    return json + FactsJson(report, !options.render.empty()) + "}";
}

// The listing's line for a package without a module, or for one module; an
// exact run adds the output's name and whether the signature scan decided.
std::string ListLine(const TPackageEnd& end, const TModuleOutput* module, const ModuleReport* report, bool exact)
{
    std::string line = "[" + std::to_string(end.place.index + 1) + "/" + std::to_string(end.place.count) + "] " +
                       Printable(end.place.package) + ": ";
    if (!module)
        line += "ohne Modul";
    else
        line += module->kind->name + std::string(", Start ") + std::to_string(module->start) + ", " +
                std::to_string(module->size) + " Bytes";
    if (module && report)
        line += FactsText(*report);
    if (exact && module)
        line += ", Ausgabe " + Printable(module->output);
    if (exact && !end.fallback.empty())
        line += " (" + TablesUnreadable() + ")";
    return line;
}

// Prints what the run reports, in the form the options ask for, and counts
// the packages. In a rendering run a package that ended with modules is
// reported once its audio files are done, in the order the packages ended.
class Reporter {
public:
    Reporter(const Options& options, BatchMessages& messages, AudioQueue* audio)
        : options_(options), messages_(messages), audio_(audio)
    {
        tally_.rendering = audio != nullptr;
    }

    void Status(const QString& text, const TQueuePlace& place) const
    {
        if (options_.json || options_.list)
            return;
        Emit(stdout, "[" + std::to_string(place.index + 1) + "/" + std::to_string(place.count) + "] " +
                         Printable(Utf8(text)) + "\n");
    }

    void Package(const TPackageEnd& end)
    {
        ++packagesDone_;
        Count(end);
        std::vector<ModuleReport> reports;
        if (!audio_ || end.result != prModule)
            for (const TModuleOutput& module : end.modules)
                reports.push_back({FactsOf(end, module, options_.list), {}});
        // An error that stops the run is reported at once: its box follows.
        if (audio_ && (end.result != prError || options_.keepGoing)) {
            audio_->Add(end, std::move(reports));
            Collect();
            return;
        }
        AddMusic(reports);
        Report(end, reports, false);
    }

    // Reports the packages whose audio files are done.
    void Collect()
    {
        if (audio_)
            for (RenderedPackage& package : audio_->TakeDone())
                Finish(package);
    }

    // Stops the rendering and reports the packages it had not finished;
    // unless a signal asks for a quick end, with their modules' facts.
    void Abandon()
    {
        if (!audio_)
            return;
        for (RenderedPackage& package : audio_->Abandon()) {
            for (std::size_t i = 0; i < package.reports.size(); ++i)
                if (!package.reports[i].facts && !platform::Application().TerminationSignal())
                    package.reports[i].facts = FactsOf(package.end, package.end.modules[i], false);
            Finish(package);
        }
    }

    // An audio file failed and the run does not keep going.
    bool StopRequested() const { return stopRequested_; }
    // An audio file failed.
    bool AudioFailed() const { return audioFailed_; }

    // A folder the walk could not read: reported as a package's error is,
    // in JSON as a line of its own.
    void FolderError(const std::string& folder, const std::string& error)
    {
        ++tally_.unreadFolders;
        const std::string text = error + ".";
        if (options_.json)
            Emit(stdout, "{\"folder\":" + JsonString(folder) + ",\"result\":\"error\",\"error\":" +
                             JsonString(text) + "}\n");
        else
            Emit(stderr, "klangheber: " + Printable(text) + "\n");
    }

    // "3/120 Pakete, 2/5 Audiodateien, 0:42" with the packages in the queue.
    std::string ProgressText(int packages, double seconds) const
    {
        std::string text = std::to_string(packagesDone_) + "/" + std::to_string(packages) + " Pakete";
        if (audio_)
            text += ", " + std::to_string(audio_->Rendered()) + "/" + std::to_string(audio_->Queued()) +
                    " Audiodateien";
        return text + ", " + PlayingTime(seconds);
    }

    void Summary(const TRunEnd& end, double seconds)
    {
        tally_.packages = end.place.count;
        tally_.interrupted = end.outcome == roInterrupted;
        tally_.walkComplete = end.walkComplete;
        if (options_.json) {
            Emit(stdout, SummaryJson(tally_, seconds, options_.list) + "\n");
        } else {
            Emit(stderr, SummaryText(tally_, seconds, options_.list) + "\n");
        }
    }

private:
    void Count(const TPackageEnd& end)
    {
        // One module stands for a package converted; the others (and all of
        // a package that an error ended) are counted beside it.
        for (const TModuleOutput& module : end.modules)
            tally_.AddModule(*module.kind);
        const int standsForPackage = end.result == prModule && !end.modules.empty() ? 1 : 0;
        tally_.laterModules += static_cast<int>(end.modules.size()) - standsForPackage;
        if (end.result == prNoModule)
            ++tally_.none;
        else if (end.result == prError)
            ++tally_.errors;
    }

    void AddMusic(const std::vector<ModuleReport>& reports)
    {
        for (const ModuleReport& report : reports)
            if (report.facts) {
                tally_.music = true;
                tally_.musicSeconds += report.facts->duration;
            }
    }

    // A package whose audio files are done: an audio file that failed makes
    // it a package with an error (its module no longer stands for it).
    void Finish(const RenderedPackage& package)
    {
        AddMusic(package.reports);
        tally_.audioFiles += package.audioFiles;
        tally_.audioBytes += package.audioBytes;
        if (package.failed) {
            audioFailed_ = true;
            ++tally_.errors;
            ++tally_.laterModules;
            stopRequested_ = stopRequested_ || !options_.keepGoing;
        }
        Report(package.end, package.reports, true);
    }

    void Report(const TPackageEnd& end, const std::vector<ModuleReport>& reports, bool afterConversion)
    {
        // Without keep-going the error box of the stopped run follows.
        if (end.result == prError && !options_.keepGoing && !options_.list && !afterConversion)
            messages_.PackageErrorShown();
        if (end.result == prError && !options_.json)
            Emit(stderr, "klangheber: " + Printable(end.place.package) + ": " +
                             Printable(Utf8(platform::ErrorBoxText(end.error))) + "\n");
        else if (options_.json || options_.list)
            PrintLines(end, reports);
    }

    // The package's JSON or listing lines: one per module, then one for the
    // package without a module or with its error.
    void PrintLines(const TPackageEnd& end, const std::vector<ModuleReport>& reports) const
    {
        const auto print = [&](const TModuleOutput* module, const ModuleReport* report) {
            const std::string line = options_.json ? PackageJson(end, module, report, options_)
                                                   : ListLine(end, module, report, options_.exact);
            Emit(stdout, line + "\n");
        };
        for (std::size_t i = 0; i < end.modules.size(); ++i)
            print(&end.modules[i], i < reports.size() ? &reports[i] : nullptr);
        if (end.modules.empty() || end.result == prError)
            print(nullptr, nullptr);
    }

    const Options& options_;
    BatchMessages& messages_;
    AudioQueue* audio_;
    Tally tally_;
    int packagesDone_ = 0;
    bool stopRequested_ = false;
    bool audioFailed_ = false;
};

// Makes the output folder (not its parents) where it is missing; false
// with a message when no folder can be had there.
bool PrepareOutputFolder(const std::string& folder)
{
    if (platform::HeldFolder().OpenOrCreate(folder))
        return true;
    std::fprintf(stderr, "klangheber: %s: Ausgabeordner kann nicht angelegt werden: %s.\n",
                 Printable(folder).c_str(), ErrnoText(errno).c_str());
    return false;
}

}  // namespace

int RunBatch(const Options& options)
{
    const std::string folder = platform::AbsolutePath(*options.batchFolder);
    if (!platform::DirectoryExists(folder)) {
        std::fprintf(stderr, "klangheber: %s: kein Ordner\n", Printable(*options.batchFolder).c_str());
        return kNothingToDo;
    }
    TRunOptions runOptions;
    runOptions.keepGoing = options.keepGoing || options.list;
    runOptions.scanOnly = options.list;
    runOptions.exact = options.exact;
    std::optional<ScratchFolder> scratch;
    if (options.list) {
        // Without a private folder the scan copies would land beside the
        // packages: no listing then.
        try {
            scratch.emplace();
        } catch (const platform::Exception& e) {
            std::fprintf(stderr, "klangheber: %s: kein eigener temporärer Ordner möglich: %s.\n",
                         Printable(platform::GetTempPath()).c_str(), ErrnoText(e.Errno()).c_str());
            return kNothingToDo;
        }
        runOptions.outputFolder = scratch->Path();
    } else if (!options.outputFolder.empty()) {
        runOptions.outputFolder = platform::AbsolutePath(options.outputFolder);
        if (!PrepareOutputFolder(runOptions.outputFolder))
            return kNothingToDo;
    }

    // The program ends with the run, so the boxes go to stderr for good.
    static BatchMessages messages;
    platform::Application().SetSink(&messages);
    // The workers wake the event loop whenever an audio file is done.
    std::optional<AudioQueue> audio;
    if (!options.render.empty())
        audio.emplace(options, [] { QMetaObject::invokeMethod(QCoreApplication::instance(), [] {}, Qt::QueuedConnection); });
    Reporter reporter(options, messages, audio ? &*audio : nullptr);

    TMainForm form;
    form.SetPackagePause(options.pauseMs);
    form.SetRunOptions(runOptions);
    form.OnRunStatus = [&](const QString& text, const TQueuePlace& place) { reporter.Status(text, place); };
    form.OnPackageEnd = [&](const TPackageEnd& end) { reporter.Package(end); };
    form.OnFolderError = [&](const std::string& folder, const std::string& text) {
        reporter.FolderError(folder, text);
    };
    form.OnOutputFolderSkipped = [](const std::string& folder) {
        Emit(stderr, "klangheber: " + Printable(folder) +
                         ": Ausgabeordner im durchsuchten Ordner, die Pakete darin werden nicht bearbeitet\n");
    };
    std::optional<TRunEnd> end;
    form.OnRunEnd = [&end](const TRunEnd& runEnd) { end = runEnd; };

    QElapsedTimer clock;
    clock.start();
    const auto seconds = [&clock] { return static_cast<double>(clock.nsecsElapsed()) / 1e9; };
    // On a terminal a progress line stands below the output; never in a
    // pipe or a file.
    const bool progress = !options.json && platform::IsTerminal(stderr);
    QTimer progressTimer;
    QObject::connect(&progressTimer, &QTimer::timeout,
                     [&] { ShowProgress(reporter.ProgressText(form.CurrentPlace().count, seconds())); });
    if (progress)
        progressTimer.start(250);

    form.StartRun(folder);
    // A signal between two packages ends the run as well, and so does output
    // that cannot be written (the package in progress is finished first).
    const auto going = [] { return !platform::Application().TerminationSignal() && !OutputFailed(); };
    while (!end && going() && !reporter.StopRequested()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        reporter.Collect();
    }
    // An audio file that failed stops the run between two packages, as a
    // package's error does.
    if (!end && going()) {
        form.Timer1->SetEnabled(false);
        end.emplace();
        end->outcome = roStopped;
        end->place = form.CurrentPlace();
        end->walkComplete = true;
    }
    // The run ends when the last audio file is in place; a signal, or an
    // audio file that failed without keep-going, stops the workers, and their
    // temporary files go with them.
    while (audio && !audio->Idle() && going() && !reporter.StopRequested()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        reporter.Collect();
    }
    reporter.Abandon();
    if (end && platform::Application().TerminationSignal())
        end->outcome = roInterrupted;  // while the last audio files were rendered
    if (!end) {
        end.emplace();
        end->outcome = roInterrupted;
        end->place = form.CurrentPlace();
        end->walkComplete = true;  // StartRun returned: its walk was over
    }
    if (progress)
        ShowProgress({});
    reporter.Summary(*end, seconds());
    if (OutputFailed()) {
        Emit(stderr, "klangheber: " + OutputFailureText() + ".\n");
        return kRunStopped;
    }
    const int code = ExitCodeOf(*end);
    return code == kRunCompleted && reporter.AudioFailed() ? kRunStopped : code;
}

}  // namespace klangheber
