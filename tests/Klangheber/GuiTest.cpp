// The real window on a real X server (Xvfb), used as a person uses it: press
// the start button, pick the folder in the folder dialog by clicking through
// its tree, press OK, and wait for the run to end.
#include "MainForm1/MainForm1.h"
#include "TempDir.h"
#include "fixtures/Fixtures.h"
#include "platform/widgets/Application.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace testsupport;
using fixtures::ModuleKind;

namespace {

// Clicks through the dialog's folder tree to path and presses OK. Runs inside
// the dialog's modal loop.
void PickFolder(const std::string& path, bool& done)
{
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!dialog || dialog->objectName() != "BrowseForFolderDialog") {
        QTimer::singleShot(50, [&path, &done] { PickFolder(path, done); });
        return;
    }
    auto* tree = dialog->findChild<QTreeWidget*>("folderTree");
    ASSERT_NE(tree, nullptr);
    QTreeWidgetItem* item = tree->topLevelItem(0);
    const QStringList parts = QString::fromStdString(path).split('/', Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        QTreeWidgetItem* next = nullptr;
        for (int i = 0; i < item->childCount() && !next; ++i)
            if (item->child(i)->text(0) == part)
                next = item->child(i);
        ASSERT_NE(next, nullptr) << part.toStdString();
        tree->scrollToItem(next);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(next).center());
        EXPECT_EQ(tree->currentItem(), next);
        QTest::keyClick(tree, Qt::Key_Right);  // expand, as a person opens the folder
        item = next;
    }
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

    TMainForm form;
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
    QDir().mkpath(QStringLiteral(KH_ARTIFACT_DIR));
    EXPECT_TRUE(form.grab().save(artifact));
    platform::Application().SetMainForm(nullptr);
}
