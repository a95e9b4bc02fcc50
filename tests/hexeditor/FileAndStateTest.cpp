// SPDX-License-Identifier: GPL-3.0-or-later
// The widget's side of loading and saving (start-up hooks, the hourglass,
// the caret after a new document) and the deferred state-changed event. What
// the document does with files is tested in core/DocumentTest.cpp.
#include "FileSizeLimit.h"
#include "Pattern.h"
#include "TempDir.h"
#include "HexEditorProbe.h"

#include "platform/system/Exceptions.h"

#include <QCoreApplication>
#include <QEvent>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using testsupport::Pattern;
using testsupport::WriteFile;

using testsupport::HexEditorProbe;

namespace {

class EditorFiles : public ::testing::Test {
protected:
    void SetUp() override { testsupport::Boxes().boxes.clear(); }

    testsupport::TempDir dir_;
    testsupport::ScopedTmpDir tmp_{dir_ / "tmp/"};
};

}  // namespace

TEST_F(EditorFiles, StartUpHooksGiveAnEmptyUntitledDocument)
{
    HexEditorProbe raw;
    EXPECT_EQ(raw.FileName(), "---");
    raw.PropertiesLoaded();
    EXPECT_EQ(raw.FileName(), "Untitled");
    EXPECT_EQ(raw.DataSize(), 0);
    EXPECT_FALSE(raw.HasWorkingFile());
    EXPECT_FALSE(raw.ReadOnlyView());
    EXPECT_EQ(raw.Col(), 2);
    EXPECT_EQ(raw.Row(), 0);

    // Without stored properties, the first Show starts the document.
    HexEditorProbe shown;
    shown.show();
    EXPECT_EQ(shown.FileName(), "Untitled");
}

TEST_F(EditorFiles, TheCursorComesBackOnEveryPathOfLoadAndSave)
{
    WriteFile(dir_ / "doc.bin", Pattern(200000));
    WriteFile(dir_ / "small.bin", std::string("small"));
    HexEditorProbe e;
    e.PropertiesLoaded();
    e.setCursor(Qt::CrossCursor);

    ASSERT_TRUE(e.LoadFromFile(dir_ / "doc.bin"));
    EXPECT_EQ(e.cursor().shape(), Qt::CrossCursor);
    ASSERT_TRUE(e.SaveToFile(dir_ / "copy.bin"));
    EXPECT_EQ(e.cursor().shape(), Qt::CrossCursor);

    // A copy that stops short: an empty "Untitled" document.
    {
        testsupport::FileSizeLimit full(100000);
        ASSERT_TRUE(full.Applied());
        EXPECT_FALSE(e.LoadFromFile(dir_ / "doc.bin"));
    }
    EXPECT_EQ(e.FileName(), "Untitled");
    EXPECT_EQ(e.cursor().shape(), Qt::CrossCursor);

    // A working copy lost during a save: the error, and an empty document
    // with the caret on its first cell.
    ASSERT_TRUE(e.LoadFromFile(dir_ / "small.bin"));
    e.SetSelStart(3);
    const std::string name = e.WorkingFileName();
    ASSERT_EQ(::unlink(name.c_str()), 0);
    ASSERT_EQ(::mkdir(name.c_str(), 0700), 0);
    EXPECT_THROW(EXPECT_FALSE(e.SaveToFile(dir_ / "out.bin")), platform::EFOpenError);
    EXPECT_EQ(e.cursor().shape(), Qt::CrossCursor);
    EXPECT_EQ(e.FileName(), "Untitled");
    EXPECT_EQ(e.DataSize(), 0);
    EXPECT_EQ(e.Col(), 2);
    EXPECT_EQ(e.Row(), 0);
    EXPECT_EQ(e.SelAnchor(), -1);
}

TEST_F(EditorFiles, StateChangesArriveThroughTheEventLoopOncePerCall)
{
    HexEditorProbe e;
    e.PropertiesLoaded();
    int calls = 0;
    e.OnStateChanged = [&](THexEditor* sender) {
        EXPECT_EQ(sender, &e);
        ++calls;
    };
    e.SetAllowInsertMode(true);  // no window yet: nothing is posted
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, 0);

    e.show();
    ASSERT_TRUE(e.testAttribute(Qt::WA_WState_Created));
    QCoreApplication::processEvents();
    calls = 0;
    e.SetAllowInsertMode(false);
    e.SetAllowInsertMode(true);
    e.SetNoSizeChange(false);
    EXPECT_EQ(calls, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, 3);

    // A foreign message of the same number raises nothing.
    QCoreApplication::postEvent(&e, new QEvent(static_cast<QEvent::Type>(QEvent::User + 2)));
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, 3);
}

TEST_F(EditorFiles, AnErrorInTheStateChangedHandlerGoesToTheErrorBox)
{
    HexEditorProbe e;
    e.PropertiesLoaded();
    e.show();
    QCoreApplication::processEvents();
    e.OnStateChanged = [](THexEditor*) { throw platform::Exception("Fehler im Handler"); };
    e.SetAllowInsertMode(true);
    QCoreApplication::processEvents();
    ASSERT_EQ(testsupport::Boxes().boxes.size(), 1u);
    EXPECT_TRUE(testsupport::Boxes().boxes[0].error);
    EXPECT_EQ(testsupport::Boxes().boxes[0].text, QStringLiteral("Fehler im Handler."));
}
