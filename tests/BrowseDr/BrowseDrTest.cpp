// SPDX-License-Identifier: GPL-3.0-or-later
#include "BrowseDirectoryDlgProbe.h"
#include "FailingShellAllocator.h"
#include "ShellFixture.h"

#include "platform/widgets/Application.h"

#include <QWidget>
#include <cstdlib>

using namespace platform;
using testsupport::BrowseDirectoryDlgProbe;
using testsupport::FakeWindow;
using testsupport::ScriptedBrowseDialog;

namespace {

// The messages of one kind that the dialog received.
std::vector<FakeWindow::Sent> Sent(const FakeWindow* window, UINT msg)
{
    std::vector<FakeWindow::Sent> list;
    for (const auto& m : window->sent)
        if (m.msg == msg)
            list.push_back(m);
    return list;
}

std::string NoSlash(const std::string& path)
{
    return path.substr(0, path.size() - 1);
}

}  // namespace

using BrowseDrTest = ShellFixture;

TEST_F(BrowseDrTest, DefaultsAsTheProgramUsesThem)
{
    BrowseDirectoryDlgProbe dlg;
    EXPECT_EQ(dlg.Selection(), "");
    EXPECT_EQ(dlg.Root(), idDesktop);
    EXPECT_TRUE(dlg.Options().Empty());
    EXPECT_TRUE(dlg.Center());
    EXPECT_TRUE(dlg.FitStatusText());
    EXPECT_TRUE(dlg.EnableOKButton());
    EXPECT_EQ(dlg.ImageIndex(), -1);
    EXPECT_FALSE(dlg.ShowSelectionInStatus());

    const std::string chosen = MakeDir("music");
    script.ChoosePath(chosen);
    ASSERT_TRUE(dlg.Execute());

    EXPECT_EQ(script.info.ulFlags, 0u);
    EXPECT_EQ(script.rootPath, "/");
    EXPECT_EQ(script.title, "");
    EXPECT_FALSE(script.hadOwner);
    // Centred on the primary screen, and only BFFM_ENABLEOK 1 was sent.
    const QRect r = script.dialogRect;
    ASSERT_EQ(script.DialogWindow()->moves.size(), 1u);
    EXPECT_EQ(script.DialogWindow()->moves[0],
              QPoint((GetSystemMetrics(SM_CXSCREEN) - r.width()) / 2, (GetSystemMetrics(SM_CYSCREEN) - r.height()) / 2));
    ASSERT_EQ(script.DialogWindow()->sent.size(), 1u);
    EXPECT_EQ(script.DialogWindow()->sent[0].msg, BFFM_ENABLEOK);
    EXPECT_EQ(script.DialogWindow()->sent[0].lParam, 1);

    // The choice, stored without a trailing separator.
    EXPECT_EQ(dlg.Selection(), chosen);
    EXPECT_EQ(dlg.SelectionFullPath(), chosen);
    EXPECT_EQ(dlg.ReturnedName(), chosen);
    EXPECT_EQ(ILParsingName(dlg.SelectionPIDL()), chosen);
    EXPECT_EQ(dlg.ImageIndex(), kIconFolder);
}

TEST_F(BrowseDrTest, ImageIndexFromTheDialogWinsOverTheLookUp)
{
    BrowseDirectoryDlgProbe dlg;
    script.ChoosePath(MakeDir("a"));
    script.imageIndex = 17;
    ASSERT_TRUE(dlg.Execute());
    EXPECT_EQ(dlg.ImageIndex(), 17);
}

TEST_F(BrowseDrTest, CancelEmptiesSelectionButKeepsImageIndex)
{
    BrowseDirectoryDlgProbe dlg;
    script.ChoosePath(MakeDir("a"));
    ASSERT_TRUE(dlg.Execute());
    ASSERT_NE(dlg.SelectionPIDL(), nullptr);

    script.ChooseCancel();
    EXPECT_FALSE(dlg.Execute());
    EXPECT_EQ(dlg.Selection(), "");
    EXPECT_EQ(dlg.SelectionPIDL(), nullptr);
    EXPECT_EQ(dlg.ReturnedName(), "");
    EXPECT_EQ(dlg.ImageIndex(), kIconFolder);
    EXPECT_EQ(dlg.SelectionFullPath(), "");
}

TEST_F(BrowseDrTest, NoNameBufferMeansNoDialog)
{
    BrowseDirectoryDlgProbe dlg;
    script.ChoosePath(MakeDir("a"));
    ASSERT_TRUE(dlg.Execute());
    {
        testsupport::FailingShellAllocator dry;
        EXPECT_FALSE(dlg.Execute());
    }
    EXPECT_EQ(script.runs, 1);
    EXPECT_EQ(dlg.Selection(), "");
    EXPECT_EQ(dlg.SelectionPIDL(), nullptr);
}

TEST_F(BrowseDrTest, OptionsImplyTheirCompanionsAndMapToShellFlags)
{
    BrowseDirectoryDlgProbe dlg;
    script.ChooseCancel();

    dlg.SetOptions({bfIncludeURLs});
    EXPECT_EQ(dlg.Options(), TBrowseFlags({bfEditBox, bfIncludeFiles, bfIncludeURLs, bfNewDialogStyle, bfUseNewUI}));
    dlg.Execute();
    EXPECT_EQ(script.info.ulFlags, 0x40F0u);

    dlg.SetOptions({bfShareable});
    EXPECT_EQ(dlg.Options(), TBrowseFlags({bfEditBox, bfNewDialogStyle, bfShareable, bfUseNewUI}));
    dlg.Execute();
    EXPECT_EQ(script.info.ulFlags, BIF_SHAREABLE | BIF_USENEWUI | BIF_VALIDATE);

    EXPECT_EQ(OptionsToBrowseFlags(TBrowseFlags::FromBits(0x07FF)), 0xF0DBu);
    EXPECT_EQ(OptionsToBrowseFlags({bfComputers, bfPrinters}), BIF_BROWSEFORCOMPUTER | BIF_BROWSEFORPRINTER);
}

TEST_F(BrowseDrTest, RootsMapOntoFolderIdsAndSpecialFolders)
{
    EXPECT_EQ(RootToFolderID(idCommonStartMenu), CSIDL_COMMON_STARTMENU);
    EXPECT_EQ(RootToFolderID(idCommonDesktopDirectory), CSIDL_COMMON_DESKTOPDIRECTORY);
    EXPECT_EQ(RootToFolderID(idCommonStartMenu, 1), CSIDL_STARTMENU);
    EXPECT_EQ(RootToFolderID(idCommonPrograms, 1), CSIDL_PROGRAMS);
    EXPECT_EQ(RootToFolderID(idCommonStartup, 1), CSIDL_STARTUP);
    EXPECT_EQ(RootToFolderID(idCommonDesktopDirectory, 1), CSIDL_DESKTOPDIRECTORY);
    EXPECT_EQ(RootToFolderID(idFonts, 1), CSIDL_FONTS);
    EXPECT_EQ(RootToFolderID(idDrives), CSIDL_DRIVES);
    EXPECT_EQ(RootToFolderID(idDesktopExpanded), 0xFEFE);

    BrowseDirectoryDlgProbe dlg;
    const std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    ::setenv("HOME", NoSlash(temp.Path()).c_str(), 1);
    dlg.SetRoot(idPersonal);
    dlg.Execute();
    ::setenv("HOME", oldHome.c_str(), 1);
    EXPECT_EQ(script.rootPath, NoSlash(temp.Path()));

    // A root without a counterpart reaches the dialog as no root at all.
    dlg.SetRoot(idInternet);
    dlg.Execute();
    EXPECT_EQ(script.rootPath, "");
    EXPECT_EQ(script.runs, 2);
}

TEST_F(BrowseDrTest, SelectionGainsSeparatorAndIsSentWithoutIt)
{
    const std::string folder = MakeDir("data");
    BrowseDirectoryDlgProbe dlg;
    dlg.SetSelection(folder);
    EXPECT_EQ(dlg.Selection(), folder + "/");
    dlg.SetSelection(folder + "/missing");
    EXPECT_EQ(dlg.Selection(), folder + "/missing");
    dlg.SetSelection(folder);

    script.ChoosePath(folder);
    ASSERT_TRUE(dlg.Execute());
    auto selections = Sent(script.DialogWindow(), BFFM_SETSELECTIONA);
    ASSERT_EQ(selections.size(), 1u);
    EXPECT_EQ(selections[0].wParam, 1u);
    EXPECT_EQ(selections[0].text, folder);

    // The root stays "/" and is sent as "/".
    dlg.SetSelection("/");
    EXPECT_EQ(dlg.Selection(), "/");
    script.Script = [&](ScriptedBrowseDialog&) { EXPECT_EQ(script.selectedPath, "/"); };
    dlg.Execute();
}

TEST_F(BrowseDrTest, SelectionSetWhileOpenMovesTheDialog)
{
    const std::string a = MakeDir("a");
    const std::string b = MakeDir("b");
    BrowseDirectoryDlgProbe dlg;
    dlg.SetShowSelectionInStatus(true);
    script.Script = [&](ScriptedBrowseDialog& d) {
        dlg.SetSelection(a);
        EXPECT_EQ(d.selectedPath, a);
        EXPECT_EQ(ILParsingName(dlg.SelectionPIDL()), a);
        const std::size_t before = d.DialogWindow()->sent.size();
        dlg.SetSelection(a + "/");  // equal to the stored text: nothing at all
        EXPECT_EQ(d.DialogWindow()->sent.size(), before);
        dlg.SetSelection(b);
        EXPECT_EQ(d.selectedPath, b);
        EXPECT_EQ(d.StatusControl()->text.empty(), false);
    };
    script.ChoosePath(b);
    ASSERT_TRUE(dlg.Execute());
    EXPECT_EQ(dlg.Selection(), b);
}

TEST_F(BrowseDrTest, NetworkSelectionIsSentOnlyAsAnItemList)
{
    const std::string folder = MakeDir("share");
    BrowseDirectoryDlgProbe dlg;
    script.Script = [&](ScriptedBrowseDialog& d) {
        dlg.SetSelection("//no-such-server/share");
        EXPECT_TRUE(Sent(d.DialogWindow(), BFFM_SETSELECTIONA).empty());
        // "//" + an absolute path names the same folder on this system.
        dlg.SetSelection("/" + folder);
        auto sent = Sent(d.DialogWindow(), BFFM_SETSELECTIONA);
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].wParam, 0u);
        EXPECT_EQ(sent[0].text, folder);
    };
    dlg.Execute();
}

TEST_F(BrowseDrTest, ItemWithoutPathStillCountsAndIsReselectedAsList)
{
    BrowseDirectoryDlgProbe dlg;
    script.ChooseVirtual("::{printers}", "Drucker");
    ASSERT_TRUE(dlg.Execute());
    EXPECT_EQ(dlg.Selection(), "");
    EXPECT_EQ(dlg.SelectionFullPath(), "::{printers}");

    // The next run opens on the held list.
    script.ChooseCancel();
    dlg.Execute();
    auto sent = Sent(script.DialogWindow(), BFFM_SETSELECTIONA);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].wParam, 0u);
    EXPECT_EQ(sent[0].text, "::{printers}");
}

TEST_F(BrowseDrTest, ComputerChoiceBecomesNetworkName)
{
    BrowseDirectoryDlgProbe dlg;
    dlg.SetOptions({bfComputers});
    script.ChooseVirtual("//server", "server");
    ASSERT_TRUE(dlg.Execute());
    EXPECT_EQ(script.info.ulFlags, BIF_BROWSEFORCOMPUTER);
    EXPECT_EQ(dlg.Selection(), "//server");
    // The failed path conversion left the name buffer empty.
    EXPECT_EQ(dlg.ReturnedName(), "");
    EXPECT_EQ(dlg.SelectionFullPath(), "//server");
}

TEST_F(BrowseDrTest, ShowSelectionInStatusRequestsStatusLineAndFollowsTree)
{
    const std::string deep = MakeDir("one");
    BrowseDirectoryDlgProbe dlg;
    dlg.SetShowSelectionInStatus(true);
    std::vector<std::string> seen;
    dlg.OnSelChanged = [&](TzebBrowseDirectoryDlg* sender, std::string path, LPCITEMIDLIST list) {
        EXPECT_EQ(sender, &dlg);
        EXPECT_EQ(ILParsingName(list), path);
        seen.push_back(path);
    };
    script.Script = [&](ScriptedBrowseDialog& d) {
        EXPECT_TRUE(Sent(d.DialogWindow(), BFFM_SETSTATUSTEXTA).empty());
        d.SelectPath(deep);
        EXPECT_EQ(d.StatusControl()->text, deep);
        d.SelectPath("/");
        EXPECT_EQ(d.StatusControl()->text, "/");
    };
    dlg.Execute();
    EXPECT_TRUE(script.info.ulFlags & BIF_STATUSTEXT);
    EXPECT_EQ(seen, (std::vector<std::string>{deep, "/"}));
    // The last path stays and opens the next run's status line.
    EXPECT_EQ(dlg.StatusText(), "/");
    script.Script = nullptr;
    dlg.Execute();
    auto status = Sent(script.DialogWindow(), BFFM_SETSTATUSTEXTA);
    ASSERT_EQ(status.size(), 1u);
    EXPECT_EQ(status[0].text, "/");
}

TEST_F(BrowseDrTest, ValidateFailedCancelDismissesTheDialog)
{
    BrowseDirectoryDlgProbe dlg;
    dlg.SetOptions({bfEditBox});
    std::string typed;
    bool cancel = true;
    dlg.OnValidateFailed = [&](TzebBrowseDirectoryDlg*, std::string path, bool& c) {
        EXPECT_FALSE(c);
        typed = path;
        c = cancel;
    };
    int answer = -1;
    script.Script = [&](ScriptedBrowseDialog& d) { answer = d.TypeInvalid("nirgendwo"); };
    script.ChoosePath(MakeDir("x"));
    EXPECT_FALSE(dlg.Execute());
    EXPECT_EQ(script.info.ulFlags, BIF_EDITBOX | BIF_VALIDATE);
    EXPECT_EQ(typed, "nirgendwo");
    EXPECT_EQ(answer, 0);

    cancel = false;
    EXPECT_TRUE(dlg.Execute());
    EXPECT_EQ(answer, 1);

    dlg.OnValidateFailed = nullptr;
    EXPECT_TRUE(dlg.Execute());
    EXPECT_EQ(answer, 1);
}

TEST_F(BrowseDrTest, CaptionReadsTheWindowOnlyWhileOpen)
{
    BrowseDirectoryDlgProbe dlg;
    dlg.SetCaption("Ordner wählen");
    EXPECT_EQ(dlg.Caption(), "Ordner wählen");
    script.Script = [&](ScriptedBrowseDialog& d) {
        EXPECT_EQ(d.DialogWindow()->text, "Ordner wählen");
        d.DialogWindow()->text = "Vom Fenster";
        EXPECT_EQ(dlg.Caption(), "Vom Fenster");
        dlg.SetCaption("Neu");
        EXPECT_EQ(d.DialogWindow()->text, "Neu");
    };
    dlg.Execute();
    auto texts = Sent(script.DialogWindow(), WM_SETTEXT);
    ASSERT_EQ(texts.size(), 2u);
    // Closed: the stored text, not the window's.
    script.DialogWindow()->text = "stale";
    EXPECT_EQ(dlg.Caption(), "Neu");
}

TEST_F(BrowseDrTest, VersionIsFixed)
{
    BrowseDirectoryDlgProbe dlg;
    EXPECT_EQ(dlg.Version(), "TzebBrowseDirectoryDlg v2.62");
    dlg.SetVersion("v9");
    EXPECT_EQ(dlg.Version(), "TzebBrowseDirectoryDlg v2.62");
}

TEST_F(BrowseDrTest, EnableOKButtonIsAlwaysSentWhileOpen)
{
    BrowseDirectoryDlgProbe dlg;
    dlg.SetEnableOKButton(false);
    script.Script = [&](ScriptedBrowseDialog& d) {
        EXPECT_FALSE(d.OkButton()->enabled);
        dlg.SetEnableOKButton(true);
        dlg.SetEnableOKButton(true);
        EXPECT_TRUE(d.OkButton()->enabled);
    };
    dlg.Execute();
    auto sent = Sent(script.DialogWindow(), BFFM_ENABLEOK);
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0].lParam, 0);
    EXPECT_EQ(sent[2].lParam, 1);
}

TEST_F(BrowseDrTest, NewStyleRevealsHiddenStatusLine)
{
    BrowseDirectoryDlgProbe dlg;
    dlg.SetOptions({bfNewDialogStyle});
    dlg.SetStatusText("Hallo");
    bool created = false;
    dlg.OnCreate = [&](QObject* sender) {
        EXPECT_EQ(sender, &dlg);
        created = true;
    };
    dlg.Execute();
    EXPECT_TRUE(created);
    FakeWindow* status = script.StatusControl();
    ASSERT_NE(status, nullptr);
    EXPECT_TRUE(status->visible);
    EXPECT_TRUE(status->enabled);
    ASSERT_EQ(status->sent.size(), 1u);
    EXPECT_EQ(status->sent[0].text, "foo");
    EXPECT_EQ(status->text, "Hallo");
    // Controls that were visible are left alone.
    EXPECT_TRUE(script.OkButton()->sent.empty());
}

TEST_F(BrowseDrTest, StatusTextIsFittedToTheStatusControl)
{
    const std::string deep = MakeDir("alpha") + "/";
    MakeDir("alpha/beta");
    MakeDir("alpha/beta/gamma");
    const std::string path = deep + "beta/gamma";
    const QFont font = script.statusFont;
    script.statusWidth = MeasureText(font, "/.../beta/gamma");

    BrowseDirectoryDlgProbe dlg;
    dlg.SetStatusText(path);
    script.Script = [&](ScriptedBrowseDialog& d) {
        EXPECT_EQ(d.StatusControl()->text, "/.../beta/gamma");
        dlg.SetStatusText("Das ist ein langer Text, der nicht passt");
        const std::string shown = d.StatusControl()->text;
        EXPECT_LE(MeasureText(font, shown), script.statusWidth);
        EXPECT_EQ(shown.substr(shown.size() - 3), "...");
        EXPECT_EQ(shown.substr(0, shown.size() - 3), std::string("Das ist ein langer Text").substr(0, shown.size() - 3));
        dlg.SetFitStatusText(false);
        EXPECT_EQ(d.StatusControl()->text, "Das ist ein langer Text, der nicht passt");
    };
    dlg.Execute();
}

TEST_F(BrowseDrTest, OwnerWindowIsUsedUnlessDesigning)
{
    QWidget form;
    auto* dlg = new BrowseDirectoryDlgProbe(&form);
    dlg->Execute();
    EXPECT_TRUE(script.hadOwner);
    dlg->SetDesigning(true);
    dlg->Execute();
    EXPECT_FALSE(script.hadOwner);
    delete dlg;
}

TEST_F(BrowseDrTest, FullPathReadsEveryNameKind)
{
    const std::string folder = MakeDir("kinds");
    BrowseDirectoryDlgProbe dlg;
    script.ChoosePath(folder);
    ASSERT_TRUE(dlg.Execute());
    for (UINT kind : {STRRET_WSTR, STRRET_OFFSET, STRRET_CSTR}) {
        testsupport::Desktop().SetNameKind(kind);
        EXPECT_EQ(dlg.SelectionFullPath(), folder) << "kind " << kind;
    }
    testsupport::Desktop().SetNameKind(STRRET_WSTR);
}

TEST_F(BrowseDrTest, NormalizeSelectionPathAndDirectoryTests)
{
    EXPECT_EQ(NormalizeSelectionPath(""), "");
    EXPECT_EQ(NormalizeSelectionPath("C:"), "C:/");
    EXPECT_EQ(NormalizeSelectionPath("C:/"), "C:/");
    EXPECT_EQ(NormalizeSelectionPath("C:/Data/"), "C:/Data");
    EXPECT_EQ(NormalizeSelectionPath("//srv/share/"), "//srv/share");
    EXPECT_EQ(NormalizeSelectionPath("/"), "/");
    EXPECT_EQ(NormalizeSelectionPath("/a/"), "/a");

    const std::string folder = MakeDir("d");
    testsupport::WriteFile(temp / "f", std::string("x"));
    EXPECT_TRUE(IsDirectory(folder));
    EXPECT_TRUE(IsDirectory(folder + "/"));
    EXPECT_TRUE(IsDirectory("/"));
    EXPECT_FALSE(IsDirectory(temp / "f"));
    EXPECT_FALSE(IsDirectory(temp / "missing"));
    EXPECT_FALSE(IsDirectory(""));
    EXPECT_FALSE(IsDirectory("C:/"));  // no drive letters here
    EXPECT_EQ(StripTrailingBackslash("/a/"), "/a");
    EXPECT_EQ(StripTrailingBackslash("/a"), "/a");
}
