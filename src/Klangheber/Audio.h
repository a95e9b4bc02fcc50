// SPDX-License-Identifier: GPL-3.0-or-later
// The music side of a batch run: what libopenmpt tells of each module for
// the report, and with --render the audio file beside each module written,
// rendered by worker threads while the conversion goes on.
#pragma once

#include "Klangheber/CommandLine.h"
#include "MainForm1/MainForm1.h"
#include "ModuleAudio/ModuleAudio.h"
#include "ModuleAudio/WorkerPool.h"
#include "platform/system/FileId.h"
#include "platform/system/HeldFolder.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace klangheber {

// What the report adds to a module.
struct ModuleReport {
    std::optional<moduleaudio::ModuleFacts> facts;  // absent: "Modul nicht lesbar"
    std::string audio;                              // the audio file, once written
};

// "Modul nicht lesbar": what the report says of a module libopenmpt cannot read.
inline constexpr const char* kUnreadable = "Modul nicht lesbar";

// A module's facts as JSON fields: title, tracker, channels, patterns,
// orders, instruments, samples, duration (seconds) and note ("Modul nicht
// lesbar"); null where there is no module or libopenmpt could not read it.
// A rendering run adds audio.
std::string FactsJson(const ModuleReport* report, bool rendering);
// The listing's words for a module's facts: its title (when it has one) and
// playing time, or "Modul nicht lesbar".
std::string FactsText(const ModuleReport& report);

// The facts of a module written (read back from its file) or, in a
// scan-only run, found (its bytes read from the package).
std::optional<moduleaudio::ModuleFacts> FactsOf(const TPackageEnd& end, const TModuleOutput& module, bool scanOnly);

// A package whose audio files are done (or abandoned).
struct RenderedPackage {
    TPackageEnd end;  // prError with the first failure's text when one failed
    std::vector<ModuleReport> reports;
    bool failed = false;
    int audioFiles = 0;
    std::int64_t audioBytes = 0;
};

// The audio files of a run. Each is written as the modules are: into the
// folder the module was read from (held open while the file is due),
// through a temporary file renamed once complete, never twice in one run;
// the temporary files a killed run left for it are removed first.
class AudioQueue {
public:
    // wake is called from a worker thread whenever a result is ready.
    AudioQueue(const Options& options, std::function<void()> wake);
    ~AudioQueue();
    AudioQueue(const AudioQueue&) = delete;
    AudioQueue& operator=(const AudioQueue&) = delete;

    // Queues the audio file of each module of a package that ended with
    // them; any other package (with the reports of its modules) only waits
    // for the packages before it.
    void Add(const TPackageEnd& end, std::vector<ModuleReport> reports = {});
    // The packages whose audio files are all done, in the order added.
    std::vector<RenderedPackage> TakeDone();
    // Stops the workers (their temporary files are removed) and gives the
    // packages not done as they are, without the audio files not written.
    std::vector<RenderedPackage> Abandon();

    bool Idle() const { return packages_.empty(); }
    int Queued() const { return queued_; }
    int Rendered() const { return rendered_; }

private:
    struct Pending {
        RenderedPackage package;
        std::vector<bool> done;
        int outstanding = 0;
    };
    struct Result {
        std::uint64_t serial;
        std::size_t module;
        moduleaudio::Rendered rendered;
    };

    // Queues the audio file of one module; the error's text when it cannot be.
    std::string Queue(std::uint64_t serial, std::size_t index, const TModuleOutput& module, ModuleReport& report);
    // The module's folder, shared with the other files due in it.
    std::shared_ptr<platform::HeldFolder> FolderOf(const std::string& path);
    // Removes the temporary files of name that killed runs left in folder.
    void RemoveLeftovers(const platform::HeldFolder& folder, const std::string& name);
    void Apply(Result& result);
    static void Fail(RenderedPackage& package, const std::string& text);

    moduleaudio::RenderSettings settings_;
    std::function<void()> wake_;
    std::deque<Pending> packages_;
    std::uint64_t firstSerial_ = 0;  // the serial of packages_.front()
    std::map<platform::FileId, std::weak_ptr<platform::HeldFolder>> folders_;
    std::set<std::pair<platform::FileId, std::string>> written_;
    // Per folder, the hidden names that may be temporary files of killed runs.
    std::map<platform::FileId, std::vector<std::string>> leftovers_;
    int queued_ = 0;
    int rendered_ = 0;
    std::mutex mutex_;
    std::vector<Result> results_;  // from the workers
    moduleaudio::WorkerPool pool_;
};

}  // namespace klangheber
