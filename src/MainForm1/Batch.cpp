// SPDX-License-Identifier: GPL-3.0-or-later
// The start of a run: a folder chosen in the dialog or dropped on the window,
// walked for packages; the queue filled and the timer switched on for the
// first package.
#include "MainForm1/MainForm1.h"

#include "platform/system/Exceptions.h"
#include "platform/system/FileUtils.h"
#include "platform/widgets/Application.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QIcon>
#include <QMimeData>
#include <QStringList>
#include <QTimer>
#include <QUrl>

// The built-in icons are linked from this static library only when
// registered by hand; outside any namespace, as the macro requires.
static void RegisterBuiltInIcon()
{
    Q_INIT_RESOURCE(MainForm1);
}

namespace {

const QString kNoPackages = QStringLiteral("Keine Unreal Musikdateien gefunden (*.umx)!");
const std::string kPackageMask = "*.umx";
// Folders the error box of unreadable folders names one by one.
constexpr std::size_t kFoldersNamed = 5;

// A folder's path from the walk ("a/b/") as a user would name it.
std::string FolderName(const std::string& folder)
{
    return folder.size() > 1 && folder.back() == '/' ? folder.substr(0, folder.size() - 1) : folder;
}

// The window icon: the icon theme's "klangheber" where the program is
// installed, else the same icon built in.
QIcon ProgramIcon()
{
    RegisterBuiltInIcon();
    QIcon builtIn;
    builtIn.addFile(QStringLiteral(":/klangheber/klangheber-48.png"));
    builtIn.addFile(QStringLiteral(":/klangheber/klangheber-128.png"));
    return QIcon::fromTheme(QStringLiteral("klangheber"), builtIn);
}

// The first folder among dragged items, as its path's bytes; empty when
// none is a folder on this machine.
std::string DraggedFolder(const QMimeData* data)
{
    if (!data || !data->hasUrls())
        return {};
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile())
            continue;
        const std::string path = QFile::encodeName(QDir::cleanPath(url.toLocalFile())).toStdString();
        if (platform::DirectoryExists(path))
            return path;
    }
    return {};
}

// The sub-folder path of package below the run's folder ("a/b/"; "" for a
// package in the run's folder itself).
std::string RelativeFolder(const std::string& package, const std::string& runFolder)
{
    const std::string folder = platform::ExtractFilePath(package);
    const std::string prefix = runFolder + "/";
    return folder.compare(0, prefix.size(), prefix) == 0 ? folder.substr(prefix.size()) : std::string();
}

}  // namespace

void TMainForm::CreateBatchComponents()
{
    setWindowIcon(ProgramIcon());
    setAcceptDrops(true);

    FileSearch1 = new TFileSearch(this);
    FileSearch1->SetSearchFile(kPackageMask);
    FileSearch1->OnFileFind = [this](const std::string& fullpath, const platform::TSearchRec& info) {
        FileSearch1FileFind(fullpath, info);
    };
    FileSearch1->OnFolderError = [this](const std::string& folder, int code) { FolderUnread(folder, code); };
    FileSearch1->OnSkippedFolder = [this](const std::string& folder) {
        if (OnOutputFolderSkipped)
            OnOutputFolderSkipped(FolderName(folder));
    };
    FileSearch1->OnFinish = [this](QObject*) { FileSearch1Finish(); };

    browsefolder1 = new TzebBrowseDirectoryDlg(this);
    browsefolder1->SetShowSelectionInStatus(false);
}

void TMainForm::OpenClick()
{
    // The dialog comes first: the run that is going on keeps going while it
    // is open, and a cancel leaves that run alone.
    const bool chosen = browsefolder1->Execute();
    if (!chosen && runActive_)
        return;
    BeginRun();
    ListBox1->clear();
    if (!chosen) {
        EndRun(roCancelled);
        return;
    }
    SearchFolder(browsefolder1->SelectionFullPath());
}

void TMainForm::StartRun(const std::string& folder)
{
    platform::Guard([&] {
        RunStep([&] {
            BeginRun();
            ListBox1->clear();
            SearchFolder(folder);
        });
    });
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event)
{
    if (!runActive_ && !DraggedFolder(event->mimeData()).empty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void TMainForm::dropEvent(QDropEvent* event)
{
    const std::string folder = DraggedFolder(event->mimeData());
    if (runActive_ || folder.empty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    // The run starts once the drop is over, so the program the folder came
    // from is not kept waiting while the folder is searched.
    QTimer::singleShot(0, this, [this, folder] {
        if (!runActive_)
            StartRun(folder);
    });
}

void TMainForm::SearchFolder(const std::string& folder)
{
    SourceFolder = folder;
    const std::string mask = SourceFolder + "/" + kPackageMask;
    // A mask cut to what SearchFile holds would search some other folder.
    if (mask.size() > TFileSearch::MaxSearchFileLength) {
        platform::Application().MessageBox(
            QStringLiteral("Der Pfad des gewählten Ordners ist zu lang (höchstens %1 Zeichen):\n%2")
                .arg(TFileSearch::MaxSearchFileLength - 1 - kPackageMask.size())
                .arg(QFile::decodeName(QByteArray::fromStdString(SourceFolder))));
        EndRun(roRefused);
        return;
    }
    // SearchFile separates masks with ";": the folder's path would split into
    // masks that search other folders (and convert what they find there).
    if (SourceFolder.find(';') != std::string::npos) {
        platform::Application().MessageBox(
            QStringLiteral("Der Pfad des gewählten Ordners darf kein Semikolon (;) enthalten:\n%1")
                .arg(QFile::decodeName(QByteArray::fromStdString(SourceFolder))));
        EndRun(roRefused);
        return;
    }
    FileSearch1->SetSkippedFolder({});
    OpenOutputFolder();
    FileSearch1->SetSearchFile(mask);
    FileSearch1->Search();
}

void TMainForm::OpenOutputFolder()
{
    const std::string& folder = runOptions_.outputFolder;
    if (folder.empty())
        return;
    if (!outputRoot_.OpenOrCreate(folder))
        platform::RaiseLastSystemError();
    // An output folder inside the run's folder holds what this run writes:
    // it is not searched for packages.
    FileSearch1->SetSkippedFolder(outputRoot_.Id());
}

std::unique_ptr<MainForm1Unit::TPackagePlace> TMainForm::OpenCurrentPlace() const
{
    auto place = std::make_unique<MainForm1Unit::TPackagePlace>(CurrentFile);
    if (outputRoot_.IsOpen())
        place->SendOutputsTo(outputRoot_, runOptions_.outputFolder, RelativeFolder(CurrentFile, SourceFolder));
    return place;
}

std::string TMainForm::OutputName(const std::string& ext) const
{
    if (!outputRoot_.IsOpen())
        return platform::ChangeFileExt(CurrentFile, ext);
    return runOptions_.outputFolder + "/" + RelativeFolder(CurrentFile, SourceFolder) +
           platform::ChangeFileExt(platform::ExtractFileName(CurrentFile), ext);
}

void TMainForm::FileSearch1FileFind(const std::string& fullpath, const platform::TSearchRec& info)
{
    AppendToQueue(fullpath + info.Name, {info.FolderId, info.Id});
}

void TMainForm::FolderUnread(const std::string& folder, int)
{
    const std::string name = FolderName(folder);
    const std::string text = "Ordner " + name + " kann nicht gelesen werden";
    unreadFolders_.push_back(text);
    if (OnFolderError)
        OnFolderError(name, text);
}

void TMainForm::ShowUnreadFolders() const
{
    QStringList lines;
    for (std::size_t i = 0; i < unreadFolders_.size() && i < kFoldersNamed; ++i)
        lines << platform::TextOfBytes(unreadFolders_[i]);
    if (unreadFolders_.size() > kFoldersNamed)
        lines << QStringLiteral("und %1 weitere Ordner").arg(unreadFolders_.size() - kFoldersNamed);
    platform::Application().Sink().ShowError(platform::Application().Title(),
                                             platform::ErrorBoxText(lines.join(QLatin1Char('\n'))));
}

void TMainForm::FileSearch1Finish()
{
    walkComplete_ = true;
    if (!unreadFolders_.empty() && !OnFolderError)
        ShowUnreadFolders();
    if (ListBox1->count() == 0) {
        // Packages may lie in the folders that could not be read.
        if (unreadFolders_.empty())
            platform::Application().MessageBox(kNoPackages);
        EndRun(roNothingFound);
        return;
    }
    MakeCurrent(0);
}
