// SPDX-License-Identifier: GPL-3.0-or-later
// A whole run through the main window, with the real file search, byte
// editor and timer, and a scripted folder dialog in place of the modal one.
#include "MainFormProbe.h"
#include "ScriptedBrowseDialog.h"
#include "TempDir.h"
#include "fixtures/Fixtures.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace testsupport;
using fixtures::ModuleKind;

namespace {

const QString kEngineStarted = QStringLiteral("Engine gestartet.");
const QString kExtracting = QStringLiteral("Daten werden extrahiert. Bitte warten...");
const QString kExtracted = QStringLiteral("Daten erfolgreich extrahiert!");
const QString kNoModule = QStringLiteral("Keine Impulse-/Scream-/FastTracker-Dateien gefunden!");
const QString kNoPackages = QStringLiteral("Keine Unreal Musikdateien gefunden (*.umx)!");

QString Loading(const std::string& name)
{
    return QStringLiteral("Datei %1 wird geladen. Bitte warten...").arg(QString::fromStdString(name));
}

Bytes Package(ModuleKind kind)
{
    return fixtures::WrapInPackage(fixtures::MakeModule(kind)).bytes;
}

Bytes NoModule()
{
    return fixtures::MakePackageWithoutModule(1500).bytes;
}

class Batch : public ::testing::Test {
protected:
    void SetUp() override
    {
        Boxes().boxes.clear();
        form.Timer1->SetInterval(0);
        form.StatusBar1->OnTextChanged = [this](const QString& text) { statuses.push_back(text); };
        form.OnRunEnd = [this](const TRunEnd& end) { ends.push_back(end.outcome); };
    }

    // Presses the start button with the dialog answering folder (or Cancel
    // when empty), then lets the event loop run until the timer stays off.
    void Run(const std::string& folder)
    {
        if (folder.empty())
            dialog.ChooseCancel();
        else
            dialog.ChoosePath(folder);
        form.Open->click();
        QElapsedTimer clock;
        clock.start();
        while (form.Timer1->Enabled() && clock.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        ASSERT_FALSE(form.Timer1->Enabled()) << "the run did not end";
    }

    std::string Folder() const { return dir.Path().substr(0, dir.Path().size() - 1); }

    TempDir dir;
    ScriptedBrowseDialog dialog;
    BrowseDialogOverride useDialog{&dialog};
    testsupport::MainFormProbe form;
    std::vector<QString> statuses;
    std::vector<TRunOutcome> ends;
};

}  // namespace

TEST_F(Batch, FolderWithoutPackagesShowsTheMessageBoxAndLeavesTheStatusAlone)
{
    ::mkdir((dir / "sub").c_str(), 0755);
    WriteFile(dir / "sub/readme.txt", std::string("not a package"));
    form.SetStatusText("vorher");
    statuses.clear();
    Run(Folder());
    ASSERT_EQ(Boxes().boxes.size(), 1u);
    EXPECT_FALSE(Boxes().boxes[0].error);
    EXPECT_EQ(Boxes().boxes[0].title, "Klangheber");
    EXPECT_EQ(Boxes().boxes[0].text, kNoPackages);
    EXPECT_EQ(form.StatusText(), "vorher");
    EXPECT_TRUE(statuses.empty());
}

TEST_F(Batch, CancellingTheDialogEmptiesTheQueueAndStartsNothing)
{
    form.AppendToQueue("/old/entry.umx");
    WriteFile(dir / "a.umx", Package(ModuleKind::ImpulseTracker));
    Run("");
    EXPECT_EQ(form.ListBox1->count(), 0);
    EXPECT_TRUE(Boxes().boxes.empty());
    EXPECT_EQ(ListDir(dir.Path()), std::vector<std::string>{"a.umx"});
    EXPECT_EQ(ends, std::vector<TRunOutcome>{roCancelled});
}

TEST_F(Batch, ThreePackagesWithTheSecondWithoutModuleGiveTwoOutputsAndTheExactTexts)
{
    // One package per folder level, so the walk order is fixed: a folder's
    // packages come before its sub-folders'.
    ::mkdir((dir / "b").c_str(), 0755);
    ::mkdir((dir / "b/c").c_str(), 0755);
    WriteFile(dir / "one.umx", Package(ModuleKind::ScreamTracker3));
    WriteFile(dir / "b/two.umx", NoModule());
    WriteFile(dir / "b/c/three.umx", Package(ModuleKind::FastTracker2));
    Run(Folder());

    EXPECT_TRUE(Boxes().boxes.empty());
    EXPECT_EQ(form.QueueEntry(0), dir / "one.umx");
    EXPECT_EQ(form.QueueEntry(1), dir / "b/two.umx");
    EXPECT_EQ(form.QueueEntry(2), dir / "b/c/three.umx");
    EXPECT_TRUE(Exists(dir / "one.s3m"));
    EXPECT_FALSE(Exists(dir / "b/two.it") || Exists(dir / "b/two.s3m") || Exists(dir / "b/two.xm"));
    EXPECT_TRUE(Exists(dir / "b/two.BAK"));
    EXPECT_TRUE(Exists(dir / "b/c/three.xm"));
    EXPECT_EQ(statuses, (std::vector<QString>{
                            Loading("one.umx"), kEngineStarted, kExtracting, kExtracted, Loading("two.umx"),
                            kEngineStarted, Loading("three.umx"), kNoModule, kEngineStarted, kExtracting, kExtracted}));
    EXPECT_EQ(form.StatusText(), kExtracted);
    EXPECT_EQ(form.ListBox1->currentRow(), 2);
    EXPECT_EQ(form.SourceFolder, Folder());
    EXPECT_EQ(ends, std::vector<TRunOutcome>{roCompleted});
}

TEST_F(Batch, RunEndingWithoutModuleKeepsThatText)
{
    WriteFile(dir / "x.umx", NoModule());
    Run(Folder());
    EXPECT_EQ(form.StatusText(), kNoModule);
    EXPECT_FALSE(form.Timer1->Enabled());
}

TEST_F(Batch, SmallPackageStopsTheRunWithTheErrorBox)
{
    ::mkdir((dir / "later").c_str(), 0755);
    WriteFile(dir / "small.umx", std::string(500, 'x'));
    WriteFile(dir / "later/good.umx", Package(ModuleKind::ImpulseTracker));
    Run(Folder());
    ASSERT_EQ(Boxes().boxes.size(), 1u);
    EXPECT_TRUE(Boxes().boxes[0].error);
    EXPECT_EQ(Boxes().boxes[0].text, "Invalid SelStart.");
    EXPECT_EQ(form.StatusText(), Loading("small.umx"));
    EXPECT_EQ(form.ListBox1->currentRow(), 0);
    EXPECT_FALSE(Exists(dir / "later/good.it"));
}

TEST_F(Batch, SubFolderPackagesAreQueuedAfterTheirParentsPackages)
{
    ::mkdir((dir / "deep").c_str(), 0755);
    WriteFile(dir / "deep/inner.umx", Package(ModuleKind::ImpulseTracker));
    WriteFile(dir / "top1.umx", Package(ModuleKind::ImpulseTracker));
    WriteFile(dir / "top2.UMX", Package(ModuleKind::ImpulseTracker));
    Run(Folder());
    ASSERT_EQ(form.ListBox1->count(), 3);
    EXPECT_EQ(form.QueueEntry(2), dir / "deep/inner.umx");
    EXPECT_TRUE(Exists(dir / "top1.it"));
    EXPECT_TRUE(Exists(dir / "top2.it"));
    EXPECT_TRUE(Exists(dir / "deep/inner.it"));
}

TEST_F(Batch, FolderTooLongForTheSearchMaskIsRefusedWithAMessage)
{
    std::string folder = Folder();
    while (folder.size() + 6 <= 255)
        folder += "/" + std::string(std::min<std::size_t>(60, 255 - folder.size()), 'd');
    Run(folder);
    ASSERT_EQ(Boxes().boxes.size(), 1u);
    EXPECT_FALSE(Boxes().boxes[0].error);
    EXPECT_TRUE(Boxes().boxes[0].text.contains(QStringLiteral("zu lang")));
    EXPECT_EQ(form.ListBox1->count(), 0);
}

TEST_F(Batch, UnreadableFoldersAreNamedInOneErrorBoxBeforeTheRestIsConverted)
{
    // Seven folders the walk cannot read: the box names five and counts the
    // rest. Without a package elsewhere it stands alone: no "no packages" box.
    for (const bool withPackage : {true, false}) {
        SCOPED_TRACE(withPackage ? "with a package" : "nothing else");
        const std::string root = dir / (withPackage ? "mit" : "ohne");
        ::mkdir(root.c_str(), 0755);
        QStringList named;
        for (int i = 1; i <= 7; ++i) {
            const std::string folder = root + "/zu" + std::to_string(i);
            ::mkdir(folder.c_str(), 0755);
            WriteFile(folder + "/x.umx", Package(ModuleKind::ImpulseTracker));
            ::chmod(folder.c_str(), 0);
            if (i <= 5)
                named << QString::fromStdString("Ordner " + folder + " kann nicht gelesen werden");
        }
        if (withPackage)
            WriteFile(root + "/a.umx", Package(ModuleKind::ImpulseTracker));
        Boxes().boxes.clear();
        {
            const PermissionBitsHold hold;
            if (!hold.Active())
                GTEST_SKIP() << "root keeps its right to pass over permission bits here";
            Run(root);
        }
        ASSERT_EQ(Boxes().boxes.size(), 1u);
        EXPECT_TRUE(Boxes().boxes[0].error);
        EXPECT_EQ(Boxes().boxes[0].text, named.join('\n') + "\nund 2 weitere Ordner.");
        EXPECT_EQ(Exists(root + "/a.it"), withPackage);
    }
}

TEST_F(Batch, FolderDialogDuringARunCancelledLeavesItGoingAndAChoiceStartsANewRun)
{
    struct Case {
        const char* label;
        bool choose;
        std::vector<TRunOutcome> ends;
    };
    const Case cases[] = {{"cancel", false, {roCompleted}}, {"choose", true, {roCancelled, roCompleted}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string first = dir / c.label, second = dir / (std::string(c.label) + "-neu");
        ::mkdir(first.c_str(), 0755);
        ::mkdir(second.c_str(), 0755);
        for (const char* name : {"/a.umx", "/b.umx", "/c.umx"})
            WriteFile(first + name, Package(ModuleKind::ImpulseTracker));
        WriteFile(second + "/x.umx", Package(ModuleKind::ImpulseTracker));
        // The start button again once the first package is done.
        bool clicked = false;
        form.StatusBar1->OnTextChanged = [&](const QString& text) {
            if (clicked || text != kExtracted)
                return;
            clicked = true;
            c.choose ? dialog.ChoosePath(second) : dialog.ChooseCancel();
            form.Open->click();
        };
        ends.clear();
        Run(first);
        EXPECT_EQ(ends, c.ends);
        EXPECT_EQ(Exists(first + "/c.it"), !c.choose);
        EXPECT_EQ(Exists(second + "/x.it"), c.choose);
    }
}
