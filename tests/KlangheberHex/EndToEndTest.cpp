// SPDX-License-Identifier: GPL-3.0-or-later
// The real klangheber-hex on a real X server (Xvfb), driven with xdotool as a
// person drives it: keys typed into both panes, the search and go-to
// dialogs, undo, the insert mode and saving; then the bytes on disk are
// compared with what the edits must have made of the file.
#include "HexGuiDriver.h"

#include <QSettings>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

using namespace hexgui;

namespace {

Bytes PatternWith(std::size_t size, std::size_t at, const Bytes& inserted)
{
    Bytes data(size);
    for (std::size_t i = 0; i < size; ++i)
        data[i] = static_cast<std::uint8_t>(i % 64);  // no letters, no 0xDE
    std::copy(inserted.begin(), inserted.end(), data.begin() + static_cast<std::ptrdiff_t>(at));
    return data;
}

}  // namespace

TEST(HexGui, TypesInBothPanesUndoesSearchesGoesToAnOffsetAndSaves)
{
    ASSERT_EQ(QGuiApplication::platformName(), "xcb") << "run this test under Xvfb";
    TempDir dir;
    Bytes original = PatternWith(4096, 1000, {'H', 'a', 'l', 'l', 'o'});
    original[3000] = 0xDE;
    original[3001] = 0xAD;
    const std::string file = dir / "probe.bin";
    WriteFile(file, original);

    Program program(dir, QString::fromStdString(file));
    const QString window = program.Window(QStringLiteral("^probe.bin – Klangheber Hex$"));
    ASSERT_FALSE(window.isEmpty());

    // Hex pane at byte 0: two digits make 0x41. Tab goes to the character
    // pane at byte 1, where "bc" overwrites bytes 1 and 2.
    Type("41");
    ASSERT_TRUE(WaitForTitle(window, QStringLiteral("probe.bin* – Klangheber Hex")));
    Keys("Tab");
    Type("bcZ");
    Keys("ctrl+z");  // takes the Z at byte 3 back

    // Text search (ignoring case) selects "Hallo"; typing overwrites its H.
    ASSERT_TRUE(UseDialog(window, "ctrl+f", QStringLiteral("^Suchen$"), [] { Type("hallo"); }));
    Type("J");

    // Go to 0x800 (the caret stays in the character pane), Tab to the hex
    // pane, "ff".
    ASSERT_TRUE(UseDialog(window, "ctrl+g", QStringLiteral("^Gehe zu Offset$"), [] { Type("0x800"); }));
    Keys("Tab");
    Type("ff");

    // Hex search selects DE AD; in insert mode "12" replaces both bytes by
    // one byte 0x12.
    ASSERT_TRUE(UseDialog(window, "ctrl+f", QStringLiteral("^Suchen$"), [] {
        Keys("alt+h alt+s");  // hex mode, back to the text field
        Type("DE AD");
    }));
    Keys("Insert");
    Type("12");

    Keys("ctrl+s");
    ASSERT_TRUE(WaitForTitle(window, QStringLiteral("probe.bin – Klangheber Hex")));
    SaveScreenshot(window, QStringLiteral("klangheber-hex-window.png"));

    Bytes expected = original;
    expected[0] = 0x41;
    expected[1] = 'b';
    expected[2] = 'c';
    expected[1000] = 'J';
    expected[2048] = 0xFF;
    expected[3000] = 0x12;
    expected.erase(expected.begin() + 3001);
    EXPECT_EQ(ReadFile(file), expected);
    EXPECT_EQ(ReadFile(dir / "probe.bin.bak"), original);  // saved under its own name: the old bytes kept

    Keys("ctrl+q");
    EXPECT_EQ(program.WaitForExit(), 0);
    const QSettings settings(QString::fromStdString(dir / "config/Klangheber/klangheber-hex.conf"),
                             QSettings::IniFormat);
    EXPECT_EQ(settings.value("recentFiles").toStringList(), QStringList{QString::fromStdString(file)});
    for (const std::string& name : ListDir(dir / "tmp"))
        EXPECT_FALSE(name.ends_with(".ZQWK")) << name;  // the working copy is gone
}

// Insert mode: capitals typed with Shift all arrive; after the last byte
// typing appends in both panes, and the zero byte the editor appends after a
// finished byte stays out of the file. The backup keeps the whole name; when
// a folder takes its name, the save offers to go on without one.
TEST(HexGui, InsertModeTypesCapitalsAppendsAtTheEndAndBacksUpUnderTheWholeName)
{
    ASSERT_EQ(QGuiApplication::platformName(), "xcb") << "run this test under Xvfb";
    TempDir dir;
    const Bytes original = PatternWith(20, 0, {});
    const std::string file = dir / "lied.umx";
    WriteFile(file, original);
    Program program(dir, QString::fromStdString(file));
    const QString window = program.Window(QStringLiteral("^lied.umx – Klangheber Hex$"));
    ASSERT_FALSE(window.isEmpty());

    Keys("Insert Tab");
    Type("Hallo Welt!");
    Keys("ctrl+End");
    Type("Ende");
    Keys("Tab");
    Type("41");
    ASSERT_TRUE(WaitForTitle(window, QStringLiteral("lied.umx* – Klangheber Hex")));
    Keys("ctrl+s");
    ASSERT_TRUE(WaitForTitle(window, QStringLiteral("lied.umx – Klangheber Hex")));
    const std::string typed = "Hallo Welt!";
    Bytes expected(typed.begin(), typed.end());
    expected.insert(expected.end(), original.begin(), original.end());
    expected.insert(expected.end(), {'E', 'n', 'd', 'e', 0x41});
    EXPECT_EQ(ReadFile(file), expected);
    EXPECT_EQ(ReadFile(dir / "lied.umx.bak"), original);

    ASSERT_EQ(::unlink((dir / "lied.umx.bak").c_str()), 0);
    ASSERT_EQ(::mkdir((dir / "lied.umx.bak").c_str(), 0700), 0);
    Keys("ctrl+Home Tab");
    Type("X");
    ASSERT_TRUE(WaitForTitle(window, QStringLiteral("lied.umx* – Klangheber Hex")));
    Keys("ctrl+s");
    ASSERT_FALSE(WaitForWindow(QStringLiteral("^Klangheber Hex$")).isEmpty());
    Keys("alt+o");  // "Ohne Sicherungskopie speichern"
    ASSERT_TRUE(WaitUntilGone(QStringLiteral("^Klangheber Hex$"), window));
    ASSERT_TRUE(WaitForTitle(window, QStringLiteral("lied.umx – Klangheber Hex")));
    expected.insert(expected.begin(), 'X');
    EXPECT_EQ(ReadFile(file), expected);
    Keys("ctrl+q");
    EXPECT_EQ(program.WaitForExit(), 0);
}

// A file without write permission, also for root: Ctrl+S asks for another
// name every time and the file stays as it was; the copy is saved at once.
TEST(HexGui, SavesAReadOnlyFileOnlyUnderAnotherName)
{
    ASSERT_EQ(QGuiApplication::platformName(), "xcb") << "run this test under Xvfb";
    TempDir dir;
    const Bytes original = PatternWith(64, 0, {});
    const std::string file = dir / "nur-lesen.bin";
    WriteFile(file, original);
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    Program program(dir, QString::fromStdString(file));
    const QString window = program.Window(QStringLiteral("^nur-lesen.bin – Klangheber Hex$"));
    ASSERT_FALSE(window.isEmpty());

    Type("ff");
    const QString dialog = QStringLiteral("^Speichern unter \\(die Datei ist schreibgeschützt\\)$");
    Keys("ctrl+s");
    ASSERT_FALSE(WaitForWindow(dialog).isEmpty());
    Keys("Escape");
    ASSERT_TRUE(WaitUntilGone(dialog, window));
    const std::string copy = dir / "kopie.bin";
    ASSERT_TRUE(UseDialog(window, "ctrl+s", dialog, [&] {
        Keys("ctrl+a");
        Type(QString::fromStdString(copy));
    }));
    ASSERT_TRUE(WaitForTitle(window, QStringLiteral("kopie.bin – Klangheber Hex")));
    EXPECT_EQ(ReadFile(file), original);
    Type("ee");
    ASSERT_TRUE(WaitForTitle(window, QStringLiteral("kopie.bin* – Klangheber Hex")));
    Keys("ctrl+s");
    ASSERT_TRUE(WaitForTitle(window, QStringLiteral("kopie.bin – Klangheber Hex")));
    Bytes expected = original;
    expected[0] = 0xFF;
    expected[1] = 0xEE;
    EXPECT_EQ(ReadFile(copy), expected);
    Keys("ctrl+q");
    EXPECT_EQ(program.WaitForExit(), 0);
}

// SIGTERM ends the program without asking about changes and takes its
// working copy along; one left by a killed process goes at the start.
TEST(HexGui, EndsOnSigtermAndRemovesAbandonedWorkingCopies)
{
    ASSERT_EQ(QGuiApplication::platformName(), "xcb") << "run this test under Xvfb";
    TempDir dir;
    ASSERT_EQ(::mkdir((dir / "tmp").c_str(), 0700), 0);
    WriteFile(dir / "tmp/0BADF00D.ZQWK", std::string("verlassen"));
    const std::string file = dir / "a.bin";
    WriteFile(file, PatternWith(64, 0, {}));
    Program program(dir, QString::fromStdString(file));
    const QString window = program.Window(QStringLiteral("^a.bin – Klangheber Hex$"));
    ASSERT_FALSE(window.isEmpty());
    Type("ff");
    ASSERT_TRUE(WaitForTitle(window, QStringLiteral("a.bin* – Klangheber Hex")));
    program.Signal(SIGTERM);
    EXPECT_EQ(program.WaitForExit(), 128 + SIGTERM);
    for (const std::string& name : ListDir(dir / "tmp"))
        EXPECT_FALSE(name.ends_with(".ZQWK")) << name;  // neither its own working copy nor the abandoned one
    EXPECT_EQ(ReadFile(file), PatternWith(64, 0, {}));
}

// A name that is not UTF-8 opens from the recent files and saves in place.
TEST(HexGui, OpensAndSavesAFileWhoseNameIsNotUtf8)
{
    ASSERT_EQ(QGuiApplication::platformName(), "xcb") << "run this test under Xvfb";
    TempDir dir;
    const std::string latin1 = dir / "Gr\xFC\xDF" "e.bin";  // "Grüße" in Latin-1
    WriteFile(latin1, PatternWith(32, 0, {}));
    const std::string other = dir / "a.bin";
    WriteFile(other, PatternWith(32, 0, {}));
    ASSERT_EQ(::mkdir((dir / "config").c_str(), 0700), 0);
    QSettings(QString::fromStdString(dir / "config/Klangheber/klangheber-hex.conf"), QSettings::IniFormat)
        .setValue("recentFiles", QVariantList{QByteArray::fromStdString(latin1)});
    Program program(dir, QString::fromStdString(other));
    const QString window = program.Window(QStringLiteral("^a.bin – Klangheber Hex$"));
    ASSERT_FALSE(window.isEmpty());
    Keys("alt+d z 2");  // Datei, Zuletzt geöffnet, the second: the name in Latin-1
    ASSERT_TRUE(WaitForTitle(window, QStringLiteral("Gr\uFFFD\uFFFDe.bin – Klangheber Hex")));
    Type("ff");
    ASSERT_TRUE(WaitForTitle(window, QStringLiteral("Gr\uFFFD\uFFFDe.bin* – Klangheber Hex")));
    Keys("ctrl+s");
    ASSERT_TRUE(WaitForTitle(window, QStringLiteral("Gr\uFFFD\uFFFDe.bin – Klangheber Hex")));
    Bytes expected = PatternWith(32, 0, {});
    expected[0] = 0xFF;
    EXPECT_EQ(ReadFile(latin1), expected);
    Keys("ctrl+q");
    EXPECT_EQ(program.WaitForExit(), 0);
}

// The picture in the README: a demo package with its module's signature
// found by the search.
TEST(HexGui, ShowsADemoPackageWithItsModuleSignatureFound)
{
    ASSERT_EQ(QGuiApplication::platformName(), "xcb") << "run this test under Xvfb";
    TempDir dir;
    Program program(dir, QStringLiteral(KH_DEMO_DIR "/Impulsgeber.umx"));
    const QString window = program.Window(QStringLiteral("^Impulsgeber.umx – Klangheber Hex$"));
    ASSERT_FALSE(window.isEmpty());
    Keys("ctrl+shift+1");
    ASSERT_TRUE(UseDialog(window, "ctrl+f", QStringLiteral("^Suchen$"), [] { Type("impm"); }));
    QTest::qWait(300);  // the caret's blink phase, the status bar
    SaveScreenshot(window, QStringLiteral("klangheber-hex-demo.png"));
    Keys("ctrl+q");
    EXPECT_EQ(program.WaitForExit(), 0);  // nothing changed: no question
}
