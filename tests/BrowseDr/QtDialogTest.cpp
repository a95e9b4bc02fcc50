// The real Qt dialog, offscreen, driven from timers inside its modal loop.
#include "BrowseDr/BrowseDr.h"
#include "ShellFixture.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

using namespace platform;

namespace {

class QtDialogTest : public ShellFixture {
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        // Never hang on a dialog that a failed step left open.
        QTimer::singleShot(20000, [] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                dialog->reject();
        });
    }
    // The real dialog instead of the scripted one, for the test's lifetime.
    testsupport::BrowseDialogOverride real{nullptr};
};

QDialog* OpenDialog()
{
    return qobject_cast<QDialog*>(QApplication::activeModalWidget());
}

std::string CurrentPath(QDialog* dialog)
{
    auto* tree = dialog->findChild<QTreeWidget*>(QStringLiteral("folderTree"));
    QTreeWidgetItem* item = tree ? tree->currentItem() : nullptr;
    return item ? item->data(0, Qt::UserRole).toByteArray().toStdString() : std::string();
}

}  // namespace

TEST_F(QtDialogTest, OpensTalksThroughCallbackAndReturnsChoice)
{
    const std::string a = MakeDir("a");
    const std::string b = MakeDir("a/b");
    TzebBrowseDirectoryDlg dlg;
    dlg.SetTitle("Ordner mit Musik");
    dlg.SetStatusText("Bitte wählen");
    bool created = false;
    std::vector<std::string> changes;
    dlg.OnCreate = [&](QObject*) { created = true; };
    dlg.OnSelChanged = [&](TzebBrowseDirectoryDlg*, std::string path, LPCITEMIDLIST) { changes.push_back(path); };

    bool okDisabled = false;
    bool okEnabled = false;
    bool ran = false;
    std::string status;
    std::string title;
    std::string treeSelection;
    QTimer::singleShot(0, [&] {
        ran = true;
        QDialog* dialog = OpenDialog();
        ASSERT_NE(dialog, nullptr);
        auto* ok = dialog->findChild<QPushButton*>(QStringLiteral("okButton"));
        ASSERT_NE(ok, nullptr);
        status = dialog->findChild<QLabel*>(QStringLiteral("statusText"))->text().toStdString();
        title = dialog->findChild<QLabel*>(QStringLiteral("titleText"))->text().toStdString();
        dlg.SetEnableOKButton(false);
        okDisabled = !ok->isEnabled();
        dlg.SetEnableOKButton(true);
        okEnabled = ok->isEnabled();
        dlg.SetSelection(b);
        treeSelection = CurrentPath(dialog);
        ok->click();
    });
    ASSERT_TRUE(dlg.Execute());
    ASSERT_TRUE(ran);
    EXPECT_TRUE(created);
    EXPECT_EQ(status, "Bitte wählen");
    EXPECT_EQ(title, "Ordner mit Musik");
    EXPECT_TRUE(okDisabled);
    EXPECT_TRUE(okEnabled);
    EXPECT_EQ(treeSelection, b);
    // First the root the tree opens on, last the folder set while open.
    ASSERT_GE(changes.size(), 2u);
    EXPECT_EQ(changes.front(), "/");
    EXPECT_EQ(changes.back(), b);
    EXPECT_EQ(dlg.Selection(), b);
    EXPECT_EQ(dlg.SelectionFullPath(), b);
    EXPECT_EQ(dlg.ImageIndex(), kIconFolder);
}

TEST_F(QtDialogTest, EditBoxTextIsValidatedAndCancelReturnsNothing)
{
    const std::string a = MakeDir("a");
    TzebBrowseDirectoryDlg dlg;
    dlg.SetOptions({bfEditBox});
    dlg.SetSelection(a);
    std::vector<std::string> rejected;
    dlg.OnValidateFailed = [&](TzebBrowseDirectoryDlg*, std::string path, bool&) { rejected.push_back(path); };
    std::string opened;
    QTimer::singleShot(0, [&] {
        QDialog* dialog = OpenDialog();
        ASSERT_NE(dialog, nullptr);
        opened = CurrentPath(dialog);
        auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("folderEdit"));
        auto* ok = dialog->findChild<QPushButton*>(QStringLiteral("okButton"));
        ASSERT_NE(edit, nullptr);
        edit->setText(QStringLiteral("gibt-es-nicht"));
        ok->click();  // rejected, the dialog stays open
        edit->setText(QString::fromStdString(temp.Path()));
        ok->click();
    });
    ASSERT_TRUE(dlg.Execute());
    EXPECT_EQ(opened, a);
    EXPECT_EQ(rejected, std::vector<std::string>{"gibt-es-nicht"});
    EXPECT_EQ(dlg.Selection() + "/", temp.Path());

    QTimer::singleShot(0, [&] {
        if (QDialog* dialog = OpenDialog())
            dialog->findChild<QPushButton*>(QStringLiteral("cancelButton"))->click();
    });
    EXPECT_FALSE(dlg.Execute());
    EXPECT_EQ(dlg.Selection(), "");
}
