// The real klangheber-hex on a real X server (Xvfb), driven with xdotool as a
// person drives it: keys typed into both panes, the search and go-to
// dialogs, undo, the insert mode and saving; then the bytes on disk are
// compared with what the edits must have made of the file.
#include "HexGuiDriver.h"

#include <QSettings>

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
    EXPECT_EQ(ReadFile(dir / "probe.bak"), original);  // saved under its own name: the old bytes kept

    Keys("ctrl+q");
    EXPECT_EQ(program.WaitForExit(), 0);
    const QSettings settings(QString::fromStdString(dir / "config/Klangheber/klangheber-hex.conf"),
                             QSettings::IniFormat);
    EXPECT_EQ(settings.value("recentFiles").toStringList(), QStringList{QString::fromStdString(file)});
    for (const std::string& name : ListDir(dir / "tmp"))
        EXPECT_FALSE(name.ends_with(".ZQWK")) << name;  // the working copy is gone
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
