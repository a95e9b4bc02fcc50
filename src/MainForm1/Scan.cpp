// SPDX-License-Identifier: GPL-3.0-or-later
// The per-package scan: cut the package to its first 500 bytes in the hidden
// byte editor, write those to a scan copy, reload it and search it for the
// Impulse Tracker, Scream Tracker 3 and FastTracker 2 signatures in turn.
#include "MainForm1/MainForm1.h"

#include "platform/system/Exceptions.h"
#include "platform/system/FileUtils.h"
#include "platform/widgets/Application.h"
#include "platform/widgets/Fonts.h"

#include <chrono>
#include <cstring>
#include <thread>

namespace MainForm1Unit {

void TSignatureSearch::SetUp(std::string_view signature)
{
    foundPos_ = -1;
    searchBytes_.reset();
    searchBytes_.reset(new std::uint8_t[signature.size()]);
    searchLength_ = static_cast<std::int32_t>(signature.size());
    std::memcpy(searchBytes_.get(), signature.data(), signature.size());
}

std::int32_t TSignatureSearch::FindIn(THexEditor& editor)
{
    foundPos_ = editor.Find(searchBytes_.get(), searchLength_, editor.CaretPosition(), editor.DataSize() - 1, false,
                            false);
    return foundPos_;
}

TSignatureSearch& SignatureSearch()
{
    static TSignatureSearch search;
    return search;
}

}  // namespace MainForm1Unit

namespace {

constexpr std::int32_t kScanLength = 500;
// How often a run that waits for a package held by another run tries again.
constexpr std::chrono::milliseconds kLockRetry {10};

const QString kEngineStarted = QStringLiteral("Engine gestartet.");
const QString kNoModule = QStringLiteral("Keine Impulse-/Scream-/FastTracker-Dateien gefunden!");

// The load's own error for a package the editor could not take in: the
// working copy's disk full, or the package not to be opened or read.
[[noreturn]] void RaiseLoadFailure(const THexEditor& editor, const std::string& package)
{
    if (editor.LastLoadFailure() == hexcore::lfDiskFull) {
        std::string folder = platform::ExtractFilePath(editor.WorkingFileName());
        if (folder.size() > 1)
            folder.pop_back();
        throw platform::Exception("Zu wenig Speicherplatz im Ordner " + folder);
    }
    throw platform::EFOpenError(package);
}

}  // namespace

void TMainForm::CreateHexEditor()
{
    HexEditor1 = new THexEditor(this);
    HexEditor1->hide();
    HexEditor1->SetBytesPerColumn(2);
    HexEditor1->SetBytesPerLine(16);
    HexEditor1->SetTranslation(ttAnsi);
    HexEditor1->SetOffsetDisplay(odHex);
    HexEditor1->SetOffsetSeparator(':');
    HexEditor1->SetBackupExtension(".bak");
    HexEditor1->setFont(platform::CourierFont(16));
    HexEditor1->PropertiesLoaded();
}

void TMainForm::Timer1Timer()
{
    ModuleKind = 0;
    tablesUnused_.clear();
    packageModules_.clear();
    Timer1->SetEnabled(false);
    platform::Application().ProcessMessages();
    ScanCurrentPackage();
}

void TMainForm::HoldCurrentPackage()
{
    using namespace MainForm1Unit;
    place_ = OpenCurrentPlace();
    const int index = ListBox1->currentRow();
    place_->CheckOrigin(QueueEntry(index) == CurrentFile ? QueueOrigin(index) : TPackageOrigin {});
    // Another run converts this package now: wait for it, with the window
    // alive, and then convert the package anew.
    while (!place_->TryLock()) {
        if (closing_)
            throw platform::EAbort();
        platform::Application().ProcessMessages();
        std::this_thread::sleep_for(kLockRetry);
    }
    std::vector<std::string> targets {platform::ChangeFileExt(platform::ExtractFileName(CurrentFile), ".BAK")};
    for (const umx::ModuleKind& kind : umx::kModuleKinds)
        targets.push_back(platform::ChangeFileExt(platform::ExtractFileName(CurrentFile), kind.extension));
    leftovers_.RemoveBeside(*place_, targets);
}

void TMainForm::ScanCurrentPackage()
{
    using namespace MainForm1Unit;
    THexEditor& editor = *HexEditor1;
    // The package's place is held until the tick is over: the extraction
    // runs nested in it.
    struct Release {
        std::unique_ptr<TPackagePlace>& place;
        ~Release() { place.reset(); }
    } release {place_};
    HoldCurrentPackage();
    if (runOptions_.exact && ConvertFromTables())
        return;
    // The editor names its files as the user knows them; it reaches them
    // through the folder held open.
    const std::string scanCopy = OutputName(".BAK");
    const std::string scanCopyPath = place_->OutputPathAs(".BAK");

    if (!editor.LoadFromFile(place_->PackagePath(), CurrentFile))
        RaiseLoadFailure(editor, CurrentFile);
    PackageSize = editor.DataSize();

    editor.SetSelStart(kScanLength);
    editor.SetSelEnd(editor.DataSize() - 1);
    editor.DeleteSelection();
    // Whatever stands under the scan copy's name goes first: a symbolic link
    // planted there must be replaced, not written through. A scan copy that
    // cannot be written completely stops the run here: an older one (or the
    // editor's cut content) must never be searched in place of the package.
    // Packages whose names differ only in the letter case of their extension
    // share a scan copy: the second must not replace the first one's. (A
    // scan-only run keeps its scan copies to itself.)
    if (!runOptions_.scanOnly)
        CheckNotWrittenThisRun(*place_, ".BAK");
    // What cannot be removed is replaced by the save, or the save fails and
    // tells why.
    platform::IgnoreFailure([&] { platform::RemoveIfPresent(scanCopyPath); });
    if (!editor.SaveToFile(scanCopyPath, scanCopy))
        throw platform::EFCreateError(scanCopy, editor.LastSaveFailure().error);
    if (!runOptions_.scanOnly)
        NoteWrittenThisRun(*place_, ".BAK");
    editor.ResetLineLengths();
    platform::Application().ProcessMessages();
    const bool reloaded = editor.LoadFromFile(scanCopyPath, scanCopy);
    SetStatusText(kEngineStarted);

    // A scan copy that cannot be read back, or an empty one, would stop the
    // run without a word or be searched in another's place; say where it
    // stopped instead.
    if (!reloaded || editor.DataSize() <= 0)
        throw platform::EFOpenError(scanCopy);

    TSignatureSearch& search = SignatureSearch();
    bool found = false;
    for (std::size_t i = 0; i < umx::kScannedKinds && !found; ++i) {
        const umx::ModuleKind& kind = umx::kModuleKinds[i];
        search.SetUp(kind.signature);
        platform::Application().ProcessMessages();
        if (search.FindIn(editor) < 0) {
            if (i + 1 < umx::kScannedKinds)
                ModuleKind = static_cast<std::uint8_t>(i + 1);
            continue;
        }
        edtStart->setText(QString::number(search.FoundPos() - kind.signatureOffset));
        editor.SetSelStart(search.FoundPos() + search.SearchLength() - 1 - kind.signatureOffset);
        editor.SetSelEnd(search.FoundPos());
        found = true;
    }

    if (found && runOptions_.scanOnly) {
        TModuleOutput module;
        module.kind = &umx::ScannedKind(ModuleKind);
        module.start = edtStart->text().toLongLong();
        CheckModuleStart(module.start);
        module.size = PackageSize - module.start;
        if (runOptions_.exact)
            module.output = platform::ChangeFileExt(CurrentFile, module.kind->extension);
        TPackageEnd end;
        end.place = CurrentPlace();
        end.modules.push_back(module);
        ReportPackage(end);
        AdvanceQueue();
        return;
    }
    if (found) {
        edtEnd->setText(QString::number(PackageSize));
        Rip->Click();
        return;
    }
    EndWithoutModule();
}

void TMainForm::EndWithoutModule()
{
    const TQueuePlace scanned = CurrentPlace();
    AdvanceQueue();
    ShowStatus(kNoModule, scanned);
    TPackageEnd end;
    end.place = scanned;
    end.result = prNoModule;
    ReportPackage(end);
}
