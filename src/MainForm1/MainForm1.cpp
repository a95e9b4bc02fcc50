// SPDX-License-Identifier: GPL-3.0-or-later
#include "MainForm1/MainForm1.h"

#include "platform/system/BlockFile.h"
#include "platform/system/Exceptions.h"
#include "platform/system/FileUtils.h"
#include "platform/system/SysUtils.h"
#include "platform/widgets/Application.h"
#include "platform/widgets/Fonts.h"

#include <QCloseEvent>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>

using platform::TButton;

namespace {

constexpr int kBlockSize = 2048;
// Steps of the extraction copied at once (1 MiB).
constexpr std::int64_t kStepsPerCopy = 512;
// Client area of a window whose outer size, with a classic frame, is 290 x 88.
constexpr int kClientWidth = 282;
constexpr int kClientHeight = 54;
constexpr int kStatusBarHeight = 19;
// Item data of a queue entry: the path's bytes, and where the walk found it
// (folder device and inode, package device and inode).
constexpr int kPathRole = Qt::UserRole;
constexpr int kOriginRole = Qt::UserRole + 1;

const QString kExtracting = QStringLiteral("Daten werden extrahiert. Bitte warten...");
const QString kExtracted = QStringLiteral("Daten erfolgreich extrahiert!");

}  // namespace

TMainForm::TMainForm(QWidget* parent) : QWidget(parent)
{
    setWindowTitle(QStringLiteral("Klangheber"));
    setFont(platform::FormFont());
    setFixedSize(kClientWidth, kClientHeight);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Button));
    setPalette(pal);

    Open = new TButton(QStringLiteral("&Starte Konvertierung"), this);
    Open->setGeometry(8, 8, 113, 25);
    EndBtn = new TButton(QStringLiteral("Programm &beenden"), this);
    EndBtn->setGeometry(152, 8, 113, 25);
    EndBtn->OnClick = [this] { EndBtnClick(); };
    Open->OnClick = [this] { RunStep([this] { OpenClick(); }); };

    StatusBar1 = new platform::TStatusBar(this);
    StatusBar1->setGeometry(0, kClientHeight - kStatusBarHeight, kClientWidth, kStatusBarHeight);

    Rip = new TButton(QStringLiteral("&Gabben"), this);
    Rip->OnClick = [this] { RipClick(); };
    Rip->hide();
    Label1 = new QLabel(QStringLiteral("Startwert:"), this);
    Label1->hide();
    edtStart = new QLineEdit(this);
    edtStart->hide();
    Label2 = new QLabel(QStringLiteral("Endwert:"), this);
    Label2->hide();
    edtEnd = new QLineEdit(this);
    edtEnd->hide();
    ListBox1 = new QListWidget(this);
    ListBox1->hide();

    Timer1 = new platform::TTimer(this);
    Timer1->SetEnabled(false);
    Timer1->SetInterval(200);
    Timer1->OnTimer = [this] { TimerTick(); };

    CreateHexEditor();
    CreateBatchComponents();
}

void TMainForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->geometry().center());
        move(frame.topLeft());
    }
}

void TMainForm::EndBtnClick()
{
    close();
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    closing_ = true;
    QWidget::closeEvent(event);
}

QString TMainForm::StatusText() const
{
    return StatusBar1->SimpleText();
}

void TMainForm::SetStatusText(const QString& text)
{
    ShowStatus(text, CurrentPlace());
}

void TMainForm::ShowStatus(const QString& text, const TQueuePlace& place)
{
    StatusBar1->SetSimpleText(text);
    if (OnRunStatus)
        OnRunStatus(text, place);
}

void TMainForm::ReportPackage(TPackageEnd end)
{
    if (end.result == prError)
        ++failures_;
    end.fallback = tablesUnused_;
    if (OnPackageEnd)
        OnPackageEnd(end);
}

QString TMainForm::LoadingText(const std::string& path)
{
    return QStringLiteral("Datei ") + QFile::decodeName(QByteArray::fromStdString(platform::ExtractFileName(path))) +
           QStringLiteral(" wird geladen. Bitte warten...");
}

void TMainForm::AppendToQueue(const std::string& path, const TPackageOrigin& origin)
{
    auto* item = new QListWidgetItem(QFile::decodeName(QByteArray::fromStdString(path)));
    item->setData(kPathRole, QByteArray::fromStdString(path));
    item->setData(kOriginRole, QVariantList {QVariant::fromValue(origin.folder.device),
                                             QVariant::fromValue(origin.folder.inode),
                                             QVariant::fromValue(origin.package.device),
                                             QVariant::fromValue(origin.package.inode)});
    ListBox1->addItem(item);
}

std::string TMainForm::QueueEntry(int index) const
{
    const QListWidgetItem* item = ListBox1->item(index);
    return item ? item->data(kPathRole).toByteArray().toStdString() : std::string();
}

TPackageOrigin TMainForm::QueueOrigin(int index) const
{
    const QListWidgetItem* item = ListBox1->item(index);
    const QVariantList ids = item ? item->data(kOriginRole).toList() : QVariantList {};
    if (ids.size() != 4)
        return {};
    return {{ids[0].toULongLong(), ids[1].toULongLong()}, {ids[2].toULongLong(), ids[3].toULongLong()}};
}

TQueuePlace TMainForm::CurrentPlace() const
{
    const int index = ListBox1->currentRow();
    return {index, ListBox1->count(), index >= 0 ? QueueEntry(index) : std::string()};
}

void TMainForm::SetPackagePause(int ms)
{
    Timer1->SetInterval(ms);
}

void TMainForm::BeginRun()
{
    EndRun(roCancelled);
    runActive_ = true;
    failures_ = 0;
    unreadFolders_.clear();
    walkComplete_ = false;
    outputRoot_ = {};
    writtenThisRun_.clear();
    leftovers_.Clear();
}

void TMainForm::EndRun(TRunOutcome outcome, const QString& error)
{
    if (!runActive_)
        return;
    runActive_ = false;
    if (OnRunEnd)
        OnRunEnd({outcome, CurrentPlace(), error, failures_, static_cast<int>(unreadFolders_.size()), walkComplete_});
}

void TMainForm::RunStep(const std::function<void()>& step)
{
    try {
        step();
    } catch (const platform::EAbort&) {
        EndRun(roInterrupted);
        throw;
    } catch (const std::exception& e) {
        EndRun(roStopped, platform::TextOfBytes(platform::ErrorText(e)));
        throw;
    } catch (...) {
        EndRun(roStopped);
        throw;
    }
}

void TMainForm::TimerTick()
{
    const TQueuePlace package = CurrentPlace();
    RunStep([&] {
        try {
            Timer1Timer();
        } catch (const platform::EAbort&) {
            throw;
        } catch (const std::exception& e) {
            TPackageEnd end;
            end.place = package;
            end.result = prError;
            end.modules = std::move(packageModules_);
            packageModules_.clear();
            end.error = platform::TextOfBytes(platform::ErrorText(e));
            ReportPackage(end);
            if (!runOptions_.keepGoing)
                throw;
            // The package's temporary files went with the exception; the
            // run goes on with the next one.
            AdvanceQueue();
        }
    });
    // Only the advance step switches the timer on: off after a tick means
    // the last package is done.
    if (!Timer1->Enabled())
        EndRun(roCompleted);
}

void TMainForm::MakeCurrent(int index)
{
    ListBox1->setCurrentRow(index);
    CurrentFile = QueueEntry(index);
    SetStatusText(LoadingText(CurrentFile));
    Timer1->SetEnabled(true);
}

void TMainForm::AdvanceQueue()
{
    const int next = ListBox1->currentRow() + 1;
    if (next == ListBox1->count())
        return;
    MakeCurrent(next);
}

const MainForm1Unit::TPackagePlace&
TMainForm::CurrentPlaceHeld(std::unique_ptr<MainForm1Unit::TPackagePlace>& own) const
{
    if (place_ && place_->Package() == CurrentFile)
        return *place_;
    own = OpenCurrentPlace();
    return *own;
}

void TMainForm::CheckNotWrittenThisRun(const MainForm1Unit::TPackagePlace& place, const std::string& extension) const
{
    // Packages whose names differ only in the letter case of their extension
    // ("song.umx", "song.UMX") have one output: the second must not replace
    // the first one's module.
    const std::string output = OutputName(extension);
    if (runActive_ && writtenThisRun_.count({place.OutputFolderId(), platform::ExtractFileName(output)}))
        throw platform::Exception("Datei " + output + " wurde in diesem Lauf schon geschrieben");
}

void TMainForm::NoteWrittenThisRun(const MainForm1Unit::TPackagePlace& place, const std::string& extension,
                                   bool written)
{
    const std::pair<platform::FileId, std::string> output {
        place.OutputFolderId(), platform::ChangeFileExt(platform::ExtractFileName(CurrentFile), extension)};
    if (!runActive_)
        return;
    if (written)
        writtenThisRun_.insert(output);
    else
        writtenThisRun_.erase(output);
}

void TMainForm::CheckModuleStart(std::int64_t start) const
{
    if (start < 0)
        throw platform::Exception("Modul beginnt vor dem Anfang der Datei " + CurrentFile);
}

void TMainForm::ShowExtracting()
{
    SetStatusText(kExtracting);
}

void TMainForm::RipClick()
{
    std::unique_ptr<MainForm1Unit::TPackagePlace> own;
    const MainForm1Unit::TPackagePlace& place = CurrentPlaceHeld(own);
    const umx::ModuleKind& kind = umx::ScannedKind(ModuleKind);
    const std::string extension = kind.extension;
    // The scan copy goes first: where it can, it becomes the output's
    // temporary file, so the run frees no inode (and the file system need
    // not find a new one).
    platform::TUntypedFile output(place.OutputPathAs(extension));
    // A scan copy left behind spoils no module, and the package's next run
    // replaces it: the extraction goes on without it.
    if (!output.TakeOver(place.OutputPathAs(".BAK")))
        platform::IgnoreFailure([&] { platform::RemoveIfPresent(place.OutputPathAs(".BAK")); });
    NoteWrittenThisRun(place, ".BAK", false);
    ShowExtracting();

    // The module ends where the package ended when it was scanned: bytes
    // appended since then are not the module's.
    const std::int32_t end = platform::StrToInt(edtEnd->text().toStdString());
    const std::int32_t start = platform::StrToInt(edtStart->text().toStdString());
    TModuleOutput module;
    module.kind = &kind;
    module.start = start;
    module.size = std::max<std::int64_t>(0, static_cast<std::int64_t>(end) - start);
    module.output = ExtractRange(place, start, module.size, output, extension, TExtraction::ScanResult);

    edtStart->setText(edtEnd->text());
    TPackageEnd done;
    done.place = CurrentPlace();
    done.modules.push_back(module);
    ReportPackage(done);
    AdvanceQueue();
}

std::string TMainForm::ExtractRange(const MainForm1Unit::TPackagePlace& place, std::int64_t start,
                                    std::int64_t count, platform::TUntypedFile& output,
                                    const std::string& suffix, TExtraction what)
{
    // The package's folder must still be where the walk found it: one moved
    // away or swapped for a link stops the run here, before anything is
    // written.
    place.CheckFolderPath();
    CheckModuleStart(start);
    platform::TUntypedFile package(place.PackagePath());
    package.Reset(platform::TUntypedFile::Access::ReadOnly);
    CheckNotWrittenThisRun(place, suffix);
    output.RewriteReplacing();
    package.Seek(start);

    // The module moves in 2048-byte steps with the window's events processed
    // before each; the steps of a piece are copied at once, by the kernel
    // where that is quicker (see platform::CopyRange). A write error drops
    // the temporary output and stops the run.
    for (std::int64_t done = 0; done < count;) {
        const std::int64_t steps =
            std::min<std::int64_t>(kStepsPerCopy, (count - done + kBlockSize - 1) / kBlockSize);
        for (std::int64_t step = 0; step < steps; ++step)
            platform::Application().ProcessMessages();
        const std::int64_t wanted = std::min<std::int64_t>(steps * kBlockSize, count - done);
        const std::int64_t copied = output.BlockCopyFrom(package, wanted);
        if (copied < wanted) {
            if (what == TExtraction::TableModule)
                throw platform::EInOutError(platform::ioReadBeyondEnd);
            break;
        }
        done += copied;
    }
    output.Close();
    NoteWrittenThisRun(place, suffix);
    package.Close();
    SetStatusText(kExtracted);
    return OutputName(suffix);
}
