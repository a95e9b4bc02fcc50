// SPDX-License-Identifier: GPL-3.0-or-later
#include "Klangheber/Audio.h"

#include "Klangheber/Report.h"
#include "platform/system/Exceptions.h"
#include "platform/system/FileUtils.h"
#include "platform/system/InUseLock.h"
#include "platform/system/ReplacingFile.h"
#include "platform/widgets/Application.h"

#include <cerrno>
#include <cstdio>

namespace klangheber {

namespace {

std::string JsonOrNull(bool present, const std::string& json)
{
    return present ? json : "null";
}

std::string IoText(int err)
{
    return platform::EInOutError::TextFor(platform::IoCodeFromErrno(err));
}

}  // namespace

std::string FactsJson(const ModuleReport* report, bool rendering)
{
    const moduleaudio::ModuleFacts* facts = report && report->facts ? &*report->facts : nullptr;
    const auto text = [&](const std::string moduleaudio::ModuleFacts::*field) {
        return facts ? JsonString(facts->*field) : "null";
    };
    const auto number = [&](int moduleaudio::ModuleFacts::*field) {
        return facts ? std::to_string(facts->*field) : "null";
    };
    char duration[32] = "null";
    if (facts)
        std::snprintf(duration, sizeof duration, "%.3f", facts->duration);
    std::string json = ",\"title\":" + text(&moduleaudio::ModuleFacts::title) +
                       ",\"tracker\":" + text(&moduleaudio::ModuleFacts::tracker) +
                       ",\"channels\":" + number(&moduleaudio::ModuleFacts::channels) +
                       ",\"patterns\":" + number(&moduleaudio::ModuleFacts::patterns) +
                       ",\"orders\":" + number(&moduleaudio::ModuleFacts::orders) +
                       ",\"instruments\":" + number(&moduleaudio::ModuleFacts::instruments) +
                       ",\"samples\":" + number(&moduleaudio::ModuleFacts::samples) + ",\"duration\":" + duration +
                       ",\"note\":" + JsonOrNull(report && !facts, JsonString(kUnreadable));
    if (rendering)
        json += ",\"audio\":" + JsonOrNull(report && !report->audio.empty(), report ? JsonString(report->audio) : "");
    return json;
}

std::string FactsText(const ModuleReport& report)
{
    if (!report.facts)
        return std::string(", ") + kUnreadable;
    const std::string& title = report.facts->title;
    return (title.empty() ? "" : ", „" + Printable(title) + "“") + ", " + PlayingTime(report.facts->duration);
}

std::optional<moduleaudio::ModuleFacts> FactsOf(const TPackageEnd& end, const TModuleOutput& module, bool scanOnly)
{
    // The file is reached through its folder, held open: a path of any
    // length is read.
    const std::string& path = scanOnly ? end.place.package : module.output;
    const std::string folderPath = platform::ExtractFilePath(path);
    platform::HeldFolder folder;
    if (!folder.Open(folderPath.empty() ? "." : folderPath))
        return std::nullopt;
    moduleaudio::ModuleSource source {folder.PathOf(platform::ExtractFileName(path))};
    if (scanOnly) {
        source.start = module.start;
        source.count = module.size;
    }
    return moduleaudio::ReadFacts(source);
}

AudioQueue::AudioQueue(const Options& options, std::function<void()> wake)
    : wake_(std::move(wake)), pool_(options.jobs > 0 ? options.jobs : moduleaudio::WorkerPool::CoreCount())
{
    settings_.format = *moduleaudio::AudioFormatNamed(options.render);
    settings_.rate = options.sampleRate;
}

AudioQueue::~AudioQueue()
{
    pool_.Stop();
}

void AudioQueue::Add(const TPackageEnd& end, std::vector<ModuleReport> reports)
{
    const std::uint64_t serial = firstSerial_ + packages_.size();
    Pending pending;
    pending.package.end = end;
    pending.package.reports = std::move(reports);
    pending.package.reports.resize(end.modules.size());
    pending.done.assign(end.modules.size(), true);
    for (std::size_t i = 0; i < end.modules.size() && end.result == prModule; ++i) {
        const std::string error = Queue(serial, i, end.modules[i], pending.package.reports[i]);
        if (error.empty()) {
            pending.done[i] = false;
            ++pending.outstanding;
        } else if (!pending.package.failed) {
            Fail(pending.package, error);
        }
    }
    packages_.push_back(std::move(pending));
}

std::shared_ptr<platform::HeldFolder> AudioQueue::FolderOf(const std::string& path)
{
    auto folder = std::make_shared<platform::HeldFolder>();
    if (!folder->Open(path))
        return nullptr;
    std::weak_ptr<platform::HeldFolder>& shared = folders_[folder->Id()];
    if (auto held = shared.lock())
        return held;
    shared = folder;
    return folder;
}

std::string AudioQueue::Queue(std::uint64_t serial, std::size_t index, const TModuleOutput& module,
                              ModuleReport& report)
{
    const std::string folderPath = platform::ExtractFilePath(module.output);
    const std::shared_ptr<platform::HeldFolder> folder = FolderOf(folderPath.empty() ? "." : folderPath);
    if (!folder)
        return IoText(errno);
    const std::string audio = platform::ChangeFileExt(module.output, moduleaudio::ExtensionOf(settings_.format));
    const std::string name = platform::ExtractFileName(audio);
    if (!written_.insert({folder->Id(), name}).second)
        return "Datei " + audio + " wurde in diesem Lauf schon geschrieben";
    RemoveLeftovers(*folder, name);
    report.audio = audio;
    ++queued_;
    pool_.Submit([this, serial, index, folder, name, moduleName = platform::ExtractFileName(module.output),
                  settings = settings_](const std::atomic<bool>& stop) {
        moduleaudio::Rendered rendered =
            moduleaudio::RenderModule({folder->PathOf(moduleName)}, folder->PathOf(name), settings, stop);
        {
            std::lock_guard lock(mutex_);
            results_.push_back({serial, index, std::move(rendered)});
        }
        wake_();
    });
    return {};
}

void AudioQueue::RemoveLeftovers(const platform::HeldFolder& folder, const std::string& name)
{
    auto found = leftovers_.find(folder.Id());
    if (found == leftovers_.end()) {
        const auto hidden = [](const std::string& entry) { return entry.size() > 8 && entry[0] == '.'; };
        found = leftovers_.emplace(folder.Id(), platform::NamesIn(folder.Fd(), hidden)).first;
    }
    std::vector<std::string>& names = found->second;
    for (auto it = names.begin(); it != names.end();) {
        if (platform::ReplacingFile::IsTemporaryNameOf(*it, name)) {
            platform::RemoveIfAbandoned(folder.Fd(), *it);
            it = names.erase(it);
        } else {
            ++it;
        }
    }
}

void AudioQueue::Fail(RenderedPackage& package, const std::string& text)
{
    package.failed = true;
    package.end.result = prError;
    package.end.error = platform::TextOfBytes(text);
}

void AudioQueue::Apply(Result& result)
{
    Pending& pending = packages_[result.serial - firstSerial_];
    RenderedPackage& package = pending.package;
    ModuleReport& report = package.reports[result.module];
    const moduleaudio::Rendered& rendered = result.rendered;
    report.facts = rendered.facts;
    if (rendered.outcome == moduleaudio::Rendered::Written) {
        ++package.audioFiles;
        package.audioBytes += rendered.bytes;
    } else {
        report.audio.clear();
        const std::string& module = package.end.modules[result.module].output;
        if (!package.failed && rendered.outcome != moduleaudio::Rendered::Stopped)
            Fail(package, rendered.outcome == moduleaudio::Rendered::Unplayable
                              ? "Modul " + module + " kann nicht wiedergegeben werden"
                              : IoText(rendered.err));
    }
    pending.done[result.module] = true;
    --pending.outstanding;
    ++rendered_;
}

std::vector<RenderedPackage> AudioQueue::TakeDone()
{
    std::vector<Result> results;
    {
        std::lock_guard lock(mutex_);
        results.swap(results_);
    }
    for (Result& result : results)
        Apply(result);
    std::vector<RenderedPackage> done;
    while (!packages_.empty() && packages_.front().outstanding == 0) {
        done.push_back(std::move(packages_.front().package));
        packages_.pop_front();
        ++firstSerial_;
    }
    return done;
}

std::vector<RenderedPackage> AudioQueue::Abandon()
{
    pool_.Stop();
    std::vector<RenderedPackage> packages = TakeDone();
    for (Pending& pending : packages_) {
        for (std::size_t i = 0; i < pending.done.size(); ++i)
            if (!pending.done[i])
                pending.package.reports[i].audio.clear();
        packages.push_back(std::move(pending.package));
    }
    packages_.clear();
    return packages;
}

}  // namespace klangheber
