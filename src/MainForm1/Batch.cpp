// The start of a run: choose a folder, walk it for packages, fill the queue
// and switch the timer on for the first package.
#include "MainForm1/MainForm1.h"

#include "platform/widgets/Application.h"

#include <QFile>
#include <QIcon>
#include <QPainter>
#include <QPixmap>

namespace {

const QString kNoPackages = QStringLiteral("Keine Unreal Musikdateien gefunden (*.umx)!");
const std::string kPackageMask = "*.umx";

// The window icon: a note on a round amber badge.
QIcon MakeWindowIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(QColor(0xE0, 0x8A, 0x1E));
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(QRectF(0.5, 0.5, size - 1.0, size - 1.0));
        painter.setBrush(QColor(0x20, 0x20, 0x30));
        const double u = size / 16.0;
        painter.drawEllipse(QRectF(4 * u, 9.5 * u, 4 * u, 3 * u));
        painter.drawRect(QRectF(7 * u, 3 * u, 1.2 * u, 8 * u));
        painter.drawRect(QRectF(7 * u, 3 * u, 4.5 * u, 1.6 * u));
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace

void TMainForm::CreateBatchComponents()
{
    setWindowIcon(MakeWindowIcon());

    FileSearch1 = new TFileSearch(this);
    FileSearch1->SetSearchFile(kPackageMask);
    FileSearch1->OnFileFind = [this](const std::string& fullpath, const platform::TSearchRec& info) {
        FileSearch1FileFind(fullpath, info);
    };
    FileSearch1->OnFinish = [this](QObject*) { FileSearch1Finish(); };

    browsefolder1 = new TzebBrowseDirectoryDlg(this);
    browsefolder1->SetShowSelectionInStatus(false);
}

void TMainForm::OpenClick()
{
    BeginRun();
    ListBox1->clear();
    if (!browsefolder1->Execute()) {
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
    FileSearch1->SetSearchFile(mask);
    FileSearch1->Search();
}

void TMainForm::FileSearch1FileFind(const std::string& fullpath, const platform::TSearchRec& info)
{
    AppendToQueue(fullpath + info.Name);
}

void TMainForm::FileSearch1Finish()
{
    if (ListBox1->count() == 0) {
        platform::Application().MessageBox(kNoPackages);
        EndRun(roNothingFound);
        return;
    }
    MakeCurrent(0);
}
