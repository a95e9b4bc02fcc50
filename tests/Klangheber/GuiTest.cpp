// SPDX-License-Identifier: GPL-3.0-or-later
// The real window on a real X server (Xvfb), used as a person uses it: press
// the start button, pick the folder in the folder dialog by clicking a place
// and then through its tree, press OK, and wait for the run to end; and the
// window as a desktop starts it with a file in place of a folder.
#include "Klangheber/CommandLine.h"
#include "MainFormProbe.h"
#include "TempDir.h"
#include "fixtures/Fixtures.h"
#include "platform/widgets/Application.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QListWidget>
#include <QTreeView>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace testsupport;
using fixtures::ModuleKind;

namespace {

// The row named name under parent, once the tree has read that folder. The
// rows are sorted as they arrive, so only persistent indexes stay put.
QModelIndex WaitForRow(QTreeView* tree, const QPersistentModelIndex& parent, const QString& name)
{
    QModelIndex found;
    // A time-out leaves found invalid, which the callers check.
    (void)QTest::qWaitFor(
        [&] {
            for (int row = 0; row < tree->model()->rowCount(parent) && !found.isValid(); ++row)
                if (tree->model()->index(row, 0, parent).data().toString() == name)
                    found = tree->model()->index(row, 0, parent);
            return found.isValid();
        },
        20000);
    return found;
}

void Click(QAbstractItemView* view, const QModelIndex& index)
{
    view->scrollTo(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
}

// Checks the places beside the tree, starts from the file system's place and
// clicks through the folder tree to path, then presses OK. Runs inside the
// dialog's modal loop.
void PickFolder(const std::string& path, bool& done)
{
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!dialog || dialog->objectName() != "BrowseForFolderDialog") {
        QTimer::singleShot(50, [&path, &done] { PickFolder(path, done); });
        return;
    }
    auto* places = dialog->findChild<QListWidget*>("placesList");
    auto* tree = dialog->findChild<QTreeView*>("folderTree");
    ASSERT_NE(places, nullptr);
    ASSERT_NE(tree, nullptr);
    QStringList names;
    for (int i = 0; i < places->count(); ++i) {
        names << places->item(i)->text();
        EXPECT_FALSE(places->item(i)->icon().isNull()) << names.last().toStdString();
    }
    ASSERT_TRUE(names.contains("Persönlicher Ordner")) << names.join(", ").toStdString();
    ASSERT_EQ(names.last(), "Dateisystem");

    Click(places, places->model()->index(places->count() - 1, 0));
    QPersistentModelIndex item = tree->currentIndex();
    ASSERT_EQ(item.data().toString(), "/");
    for (const QString& part : QString::fromStdString(path).split('/', Qt::SkipEmptyParts)) {
        const QModelIndex next = WaitForRow(tree, item, part);
        ASSERT_TRUE(next.isValid()) << part.toStdString();
        EXPECT_FALSE(next.data(Qt::DecorationRole).value<QIcon>().isNull()) << "a folder icon";
        Click(tree, next);
        EXPECT_EQ(tree->currentIndex(), next);
        QTest::keyClick(tree, Qt::Key_Right);  // expand, as a person opens the folder
        item = next;
    }
    QDir().mkpath(QStringLiteral(KH_ARTIFACT_DIR));
    EXPECT_TRUE(dialog->grab().save(QStringLiteral(KH_ARTIFACT_DIR "/klangheber-folder-dialog.png")));
    auto* ok = dialog->findChild<QPushButton*>("okButton");
    ASSERT_NE(ok, nullptr);
    QTest::mouseClick(ok, Qt::LeftButton);
    done = true;
}

}  // namespace

TEST(Gui, StartButtonFolderDialogAndAWholeRun)
{
    ASSERT_EQ(QGuiApplication::platformName(), "xcb") << "run this test under Xvfb";
    TempDir dir;
    ::mkdir((dir / "sub").c_str(), 0755);
    WriteFile(dir / "erste.umx", fixtures::WrapInPackage(fixtures::MakeModule(ModuleKind::ImpulseTracker)).bytes);
    WriteFile(dir / "sub/zweite.umx", fixtures::WrapInPackage(fixtures::MakeModule(ModuleKind::FastTracker2)).bytes);

    testsupport::MainFormProbe form;
    platform::Application().SetMainForm(&form);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));

    bool picked = false;
    const std::string folder = dir.Path().substr(0, dir.Path().size() - 1);
    QTimer::singleShot(100, [&] { PickFolder(folder, picked); });
    QTest::mouseClick(form.Open, Qt::LeftButton);
    ASSERT_TRUE(picked);

    EXPECT_TRUE(QTest::qWaitFor([&] { return Exists(dir / "sub/zweite.xm") && !form.Timer1->Enabled(); }, 20000));
    EXPECT_TRUE(Exists(dir / "erste.it"));
    EXPECT_EQ(form.StatusText(), QStringLiteral("Daten erfolgreich extrahiert!"));
    EXPECT_TRUE(Boxes().boxes.empty());

    const QString artifact = QStringLiteral(KH_ARTIFACT_DIR "/klangheber-window.png");
    EXPECT_TRUE(form.grab().save(artifact));
    platform::Application().SetMainForm(nullptr);
}

TEST(Gui, AFileGivenOpensTheWindowWithAnErrorBox)
{
    ASSERT_EQ(QGuiApplication::platformName(), "xcb") << "run this test under Xvfb";
    TempDir dir;
    WriteFile(dir / "Lied ä.umx", std::string("eine Datei"));
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(dir.Path())));
    Boxes().boxes.clear();

    klangheber::Options options;
    options.windowFolder = "Lied ä.umx";
    bool shown = false;
    QTimer::singleShot(0, [&] {
        shown = QTest::qWaitFor([] { return !Boxes().boxes.empty(); }, 20000) &&
                QTest::qWaitForWindowExposed(platform::Application().MainForm());
        platform::Application().Terminate();
    });
    klangheber::RunWindow(options);
    QDir::setCurrent(previous);

    EXPECT_TRUE(shown);
    ASSERT_EQ(Boxes().boxes.size(), 1u);
    EXPECT_TRUE(Boxes().boxes[0].error);
    EXPECT_EQ(Boxes().boxes[0].text, QStringLiteral("Lied ä.umx ist kein Ordner"));
}
