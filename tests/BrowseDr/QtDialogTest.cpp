// SPDX-License-Identifier: GPL-3.0-or-later
// The real Qt dialog, offscreen, driven from timers inside its modal loop.
#include "BrowseDirectoryDlgProbe.h"
#include "ShellFixture.h"

#include <QApplication>
#include <QDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <cstdlib>
#include <unistd.h>

using namespace platform;
using testsupport::BrowseDirectoryDlgProbe;

namespace {

class QtDialogTest : public ShellFixture {
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        // A home folder of the test's own, where the dialog opens first.
        home = MakeDir("home");
        ::setenv("HOME", home.c_str(), 1);
        // Never hang on a dialog that a failed step left open.
        QTimer::singleShot(20000, [] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                dialog->reject();
        });
    }
    void TearDown() override
    {
        ::setenv("HOME", oldHome.c_str(), 1);
        ShellFixture::TearDown();
    }
    // Opens the dialog, runs step inside its modal loop and returns Execute's result.
    bool ExecuteWith(TzebBrowseDirectoryDlg& dlg, const std::function<void(QDialog*)>& step)
    {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            ran = true;
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (dialog)
                step(dialog);
            else
                ADD_FAILURE() << "no dialog open";
        });
        const bool result = dlg.Execute();
        EXPECT_TRUE(ran);
        return result;
    }

    std::string home;
    const std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    // A dialog of the test's own (the real one, not the script), so that
    // where earlier tests left the process's dialog does not matter.
    QtBrowseDialog qtDialog;
    testsupport::BrowseDialogOverride real{&qtDialog};
};

QTreeView* Tree(QDialog* dialog)
{
    return dialog->findChild<QTreeView*>(QStringLiteral("folderTree"));
}

std::string PathOf(const QModelIndex& index)
{
    return index.data(QFileSystemModel::FilePathRole).toString().toStdString();
}

std::string CurrentPath(QDialog* dialog)
{
    return PathOf(Tree(dialog)->currentIndex());
}

QPushButton* Button(QDialog* dialog, const char* name)
{
    return dialog->findChild<QPushButton*>(QString::fromLatin1(name));
}

// The names the tree shows under its current row, once that folder has been
// read (it fills in the background).
std::vector<std::string> RowsUnderCurrent(QTreeView* tree, std::size_t expected)
{
    const QPersistentModelIndex folder = tree->currentIndex();
    QAbstractItemModel* model = tree->model();
    EXPECT_TRUE(QTest::qWaitFor([&] { return model->rowCount(folder) == static_cast<int>(expected); }, 10000))
        << model->rowCount(folder) << " rows";
    std::vector<std::string> names;
    for (int row = 0; row < model->rowCount(folder); ++row)
        names.push_back(model->index(row, 0, folder).data().toString().toStdString());
    return names;
}

QModelIndex RowNamed(QTreeView* tree, const QString& name)
{
    const QModelIndexList found =
        tree->model()->match(tree->model()->index(0, 0, tree->currentIndex()), Qt::DisplayRole, name, 1,
                             Qt::MatchExactly);
    return found.isEmpty() ? QModelIndex() : found.first();
}

}  // namespace

TEST_F(QtDialogTest, OpensTalksThroughCallbackAndReturnsChoice)
{
    const std::string a = MakeDir("a");
    const std::string b = MakeDir("a/b");
    BrowseDirectoryDlgProbe dlg;
    dlg.SetTitle("Ordner mit Musik");
    dlg.SetStatusText("Bitte wählen");
    bool created = false;
    std::vector<std::string> changes;
    dlg.OnCreate = [&](QObject*) { created = true; };
    dlg.OnSelChanged = [&](TzebBrowseDirectoryDlg*, std::string path, LPCITEMIDLIST) { changes.push_back(path); };

    bool okDisabled = false;
    bool okEnabled = false;
    std::string status;
    std::string title;
    std::string treeSelection;
    ASSERT_TRUE(ExecuteWith(dlg, [&](QDialog* dialog) {
        QPushButton* ok = Button(dialog, "okButton");
        status = dialog->findChild<QLabel*>(QStringLiteral("statusText"))->text().toStdString();
        title = dialog->findChild<QLabel*>(QStringLiteral("titleText"))->text().toStdString();
        dlg.SetEnableOKButton(false);
        okDisabled = !ok->isEnabled();
        dlg.SetEnableOKButton(true);
        okEnabled = ok->isEnabled();
        dlg.SetSelection(b);
        treeSelection = CurrentPath(dialog);
        ok->click();
    }));
    EXPECT_TRUE(created);
    EXPECT_EQ(status, "Bitte wählen");
    EXPECT_EQ(title, "Ordner mit Musik");
    EXPECT_TRUE(okDisabled);
    EXPECT_TRUE(okEnabled);
    EXPECT_EQ(treeSelection, b);
    // First the home folder the tree opens on, last the folder set while open.
    ASSERT_GE(changes.size(), 2u);
    EXPECT_EQ(changes.front(), home);
    EXPECT_EQ(changes.back(), b);
    EXPECT_EQ(dlg.Selection(), b);
    EXPECT_EQ(dlg.SelectionFullPath(), b);
    EXPECT_EQ(dlg.ImageIndex(), kIconFolder);
}

TEST_F(QtDialogTest, EditBoxTextIsValidatedAndCancelReturnsNothing)
{
    const std::string a = MakeDir("a");
    BrowseDirectoryDlgProbe dlg;
    dlg.SetOptions({bfEditBox});
    dlg.SetSelection(a);
    std::vector<std::string> rejected;
    dlg.OnValidateFailed = [&](TzebBrowseDirectoryDlg*, std::string path, bool&) { rejected.push_back(path); };
    std::string opened;
    ASSERT_TRUE(ExecuteWith(dlg, [&](QDialog* dialog) {
        opened = CurrentPath(dialog);
        auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("folderEdit"));
        ASSERT_NE(edit, nullptr);
        edit->setText(QStringLiteral("gibt-es-nicht"));
        Button(dialog, "okButton")->click();  // rejected, the dialog stays open
        edit->setText(QString::fromStdString(temp.Path()));
        Button(dialog, "okButton")->click();
    }));
    EXPECT_EQ(opened, a);
    EXPECT_EQ(rejected, std::vector<std::string>{"gibt-es-nicht"});
    EXPECT_EQ(dlg.Selection() + "/", temp.Path());

    EXPECT_FALSE(ExecuteWith(dlg, [](QDialog* dialog) { Button(dialog, "cancelButton")->click(); }));
    EXPECT_EQ(dlg.Selection(), "");
}

// Without a selection the dialog never opens on "/", where Enter would walk
// the whole machine: the first time on the home folder, expanded, and after
// a cancel where it was left. OK stays the default button.
TEST_F(QtDialogTest, OpensOnHomeFirstAndAfterACancelWhereItWasLeft)
{
    const std::string music = MakeDir("home/musik");
    BrowseDirectoryDlgProbe dlg;
    std::vector<std::string> shown;  // the tree's selection after each change
    dlg.OnSelChanged = [&](TzebBrowseDirectoryDlg*, std::string path, LPCITEMIDLIST) { shown.push_back(path); };
    bool expanded = false;
    EXPECT_FALSE(ExecuteWith(dlg, [&](QDialog* dialog) {
        QTreeView* tree = Tree(dialog);
        EXPECT_EQ(dialog->findChild<QLabel*>(QStringLiteral("titleText")), nullptr) << "no strip without a title";
        const QPersistentModelIndex opened = tree->currentIndex();
        expanded = tree->isExpanded(opened);
        EXPECT_TRUE(QTest::qWaitFor([&] { return tree->model()->rowCount(opened) > 0; }, 10000));
        QTest::keyClick(tree, Qt::Key_Down);
        Button(dialog, "cancelButton")->click();
    }));
    EXPECT_EQ(shown, (std::vector<std::string>{home, music}));
    EXPECT_TRUE(expanded);

    shown.clear();
    EXPECT_TRUE(ExecuteWith(dlg, [&](QDialog* dialog) {
        EXPECT_TRUE(Button(dialog, "okButton")->isDefault());
        QTest::keyClick(Tree(dialog), Qt::Key_Return);
    }));
    EXPECT_EQ(shown, std::vector<std::string>{music});
    EXPECT_EQ(dlg.Selection(), music);
}

// The tree shows folders (files too when asked), an expand arrow only where
// there is something to expand, and follows folders that appear or vanish.
TEST_F(QtDialogTest, TreeShowsWhatIsThereAndFollowsTheDisk)
{
    MakeDir("home/leer");
    MakeDir("home/voll");
    MakeDir("home/voll/innen");
    MakeDir("home/nur-datei");
    MakeDir("home/.versteckt");
    testsupport::WriteFile(temp / "home/lied.umx", "x");
    testsupport::WriteFile(temp / "home/nur-datei/lied.umx", "x");

    struct Case {
        TBrowseFlags options;
        std::vector<std::string> rows;
        bool fileOnlyFolderExpands;
    };
    const Case cases[] = {
        {{}, {"leer", "nur-datei", "voll"}, false},
        {{bfIncludeFiles}, {"leer", "nur-datei", "voll", "lied.umx"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rows.size());
        BrowseDirectoryDlgProbe dlg;
        dlg.SetOptions(c.options);
        ExecuteWith(dlg, [&](QDialog* dialog) {
            QTreeView* tree = Tree(dialog);
            EXPECT_EQ(RowsUnderCurrent(tree, c.rows.size()), c.rows);
            QAbstractItemModel* model = tree->model();
            EXPECT_TRUE(model->hasChildren(RowNamed(tree, "voll")));
            EXPECT_FALSE(model->hasChildren(RowNamed(tree, "leer")));
            EXPECT_EQ(model->hasChildren(RowNamed(tree, "nur-datei")), c.fileOnlyFolderExpands);
            EXPECT_FALSE(RowNamed(tree, "voll").data(Qt::DecorationRole).value<QIcon>().isNull());

            MakeDir("home/neu");
            EXPECT_TRUE(QTest::qWaitFor([&] { return RowNamed(tree, "neu").isValid(); }, 10000));
            ::rmdir((temp / "home/neu").c_str());
            EXPECT_TRUE(QTest::qWaitFor([&] { return !RowNamed(tree, "neu").isValid(); }, 10000));
            Button(dialog, "cancelButton")->click();
        });
    }
}

// Under another root the tree shows that folder as its one top row, and a
// folder outside it cannot be selected.
TEST_F(QtDialogTest, AnotherRootIsTheTreesOneTopRow)
{
    const std::string music = MakeDir("home/musik");
    const std::string outside = MakeDir("draussen");
    BrowseDirectoryDlgProbe dlg;
    dlg.SetRoot(idPersonal);
    std::vector<std::string> top;
    std::string afterOutside;
    ASSERT_TRUE(ExecuteWith(dlg, [&](QDialog* dialog) {
        QTreeView* tree = Tree(dialog);
        for (int row = 0; row < tree->model()->rowCount(tree->rootIndex()); ++row)
            top.push_back(PathOf(tree->model()->index(row, 0, tree->rootIndex())));
        dlg.SetSelection(outside);
        afterOutside = CurrentPath(dialog);
        dlg.SetSelection(music);
        Button(dialog, "okButton")->click();
    }));
    EXPECT_EQ(top, std::vector<std::string>{home});
    EXPECT_EQ(afterOutside, home);
    EXPECT_EQ(dlg.Selection(), music);
}

TEST_F(QtDialogTest, SelectedFolderIsInViewWheneverTheDialogOpens)
{
    // Two hundred folders sort before the home folder, far more than one
    // screen of rows; they fill in and are sorted while the dialog is open.
    for (int i = 0; i < 200; ++i)
        MakeDir("a" + std::to_string(1000 + i));
    BrowseDirectoryDlgProbe dlg;
    for (int opening = 0; opening < 3; ++opening) {
        ExecuteWith(dlg, [&](QDialog* dialog) {
            QTreeView* tree = Tree(dialog);
            const QPersistentModelIndex current = tree->currentIndex();
            EXPECT_EQ(PathOf(current), home);
            EXPECT_TRUE(QTest::qWaitFor([&] { return tree->model()->rowCount(current.parent()) == 201; }, 10000));
            QTest::qWait(200);  // the model sorts what it read a moment later
            const QRect row = tree->visualRect(current);
            EXPECT_TRUE(row.top() >= 0 && row.bottom() < tree->viewport()->height()) << "opening " << opening << " row " << row.top() << " of " << tree->viewport()->height();
            Button(dialog, "cancelButton")->click();
        });
    }
}
