// SPDX-License-Identifier: GPL-3.0-or-later
// The real klangheber-hex under Xvfb with the tools beside typing: redo,
// searching backwards and round the end of the file, replacing one hit and
// every hit, and the panel of values at the caret; the bytes on disk are
// compared after each save. Also the README's picture with the panel shown.
#include "HexGuiDriver.h"

#include <QSettings>
#include <algorithm>

using namespace hexgui;

namespace {

const QString kQuestion = QStringLiteral("^Klangheber Hex$");
const QString kReplace = QStringLiteral("^Ersetzen$");

bool OpenReplace()
{
    Keys("ctrl+r");
    return !WaitForWindow(kReplace).isEmpty();
}

// Waits for the program's message or question box, answers it with a key
// and gives the focus back to the window beneath. The box is focused first:
// on a slow machine it shows before it takes the keyboard, and the key would
// reach the window beneath.
bool Answer(const QString& window, const QString& key)
{
    const QString box = WaitForWindow(kQuestion);
    if (box.isEmpty())
        return false;
    Xdo({"windowfocus", "--sync", box});
    Keys(key);
    return WaitUntilGone(kQuestion, window);
}

// The program's windows on the screen, its menu popups among them.
int VisibleWindows()
{
    return Xdo({"search", "--onlyvisible", "--classname", "klangheber-hex"}).split('\n', Qt::SkipEmptyParts).size();
}

// Opens a menu with its key and, once its popup shows, chooses an entry
// with another; true when the popup has closed again.
bool UseMenu(const QString& menu, const QString& entry)
{
    const int before = VisibleWindows();
    Keys(menu);
    if (!QTest::qWaitFor([&] { return VisibleWindows() > before; }, kTimeoutMs))
        return false;
    Keys(entry);
    return QTest::qWaitFor([&] { return VisibleWindows() == before; }, kTimeoutMs);
}

bool Save(const QString& window)
{
    Keys("ctrl+s");
    return WaitForTitle(window, QStringLiteral("probe.bin – Klangheber Hex"));
}

void Splice(Bytes& bytes, std::size_t at, std::size_t removed, const Bytes& inserted)
{
    const auto where = bytes.begin() + static_cast<std::ptrdiff_t>(at);
    bytes.erase(where, where + static_cast<std::ptrdiff_t>(removed));
    bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), inserted.begin(), inserted.end());
}

// The file's bytes against the expected ones: sizes and the first byte
// that differs.
void ExpectFile(const std::string& file, const Bytes& expected)
{
    const Bytes actual = ReadFile(file);
    const auto [a, e] = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
    EXPECT_TRUE(a == actual.end() && e == expected.end())
        << "size " << actual.size() << ", expected " << expected.size() << "; first difference at "
        << (a - actual.begin()) << ": " << (a == actual.end() ? -1 : *a) << " instead of "
        << (e == expected.end() ? -1 : *e);
}

}  // namespace

TEST(HexGuiTools, RedoesFindsBackwardsReplacesAndWritesValuesAtTheCaret)
{
    ASSERT_EQ(QGuiApplication::platformName(), "xcb") << "run this test under Xvfb";
    TempDir dir;
    Bytes original(4096);
    for (std::size_t i = 0; i < original.size(); ++i)
        original[i] = static_cast<std::uint8_t>(i % 64);  // no letters, no 0xDE
    for (const std::size_t at : {1000, 2000, 3000})
        Splice(original, at, 5, {'H', 'a', 'l', 'l', 'o'});
    Splice(original, 3500, 2, {0xDE, 0xAD});
    const std::string file = dir / "probe.bin";
    WriteFile(file, original);
    Program program(dir, QString::fromStdString(file));
    const QString window = program.Window(QStringLiteral("^probe.bin – Klangheber Hex$"));
    ASSERT_FALSE(window.isEmpty());
    const QString changed = QStringLiteral("probe.bin* – Klangheber Hex");
    const QString unchanged = QStringLiteral("probe.bin – Klangheber Hex");

    // Redo with both keys: each digit is a step (0x40, then 0x41); the
    // title follows Modified there and back. Both steps end up redone.
    Type("41");
    ASSERT_TRUE(WaitForTitle(window, changed));
    Keys("ctrl+z ctrl+z");
    ASSERT_TRUE(WaitForTitle(window, unchanged));
    Keys("ctrl+y");
    ASSERT_TRUE(WaitForTitle(window, changed));
    Keys("ctrl+z");
    ASSERT_TRUE(WaitForTitle(window, unchanged));
    Keys("ctrl+shift+z ctrl+y");
    ASSERT_TRUE(WaitForTitle(window, changed));

    // Backwards from the first "Hallo" finds none before it: on from the
    // end, the last one (3000). Forwards from there: on from the start (1000).
    ASSERT_TRUE(UseDialog(window, "ctrl+f", QStringLiteral("^Suchen$"), [] { Type("hallo"); }));
    Keys("shift+F3");
    ASSERT_TRUE(Answer(window, "Return"));
    Type("4a");
    Keys("F3");
    ASSERT_TRUE(Answer(window, "Return"));
    Type("4b");

    // "Alle ersetzen" is one undo step: one Undo brings every hit back.
    ASSERT_TRUE(OpenReplace());
    Type("allo");
    Keys("alt+d");
    Type("ALLO!");
    Keys("alt+a");
    ASSERT_TRUE(Answer(window, "Return"));  // "3 Treffer ersetzt."
    Keys("ctrl+z");
    ASSERT_TRUE(Save(window));
    Bytes expected = original;
    expected[0] = 0x41;
    expected[3000] = 'J';
    expected[1000] = 'K';
    ExpectFile(file, expected);

    // "Ersetzen" in hex: the first press selects the hit, the second
    // replaces it; none further, and no going round.
    ASSERT_TRUE(OpenReplace());
    Keys("alt+h alt+s");
    Type("DE AD");
    Keys("alt+d");
    Type("BE EF 00");
    Keys("alt+e");
    QTest::qWait(300);
    Keys("alt+e");
    ASSERT_TRUE(Answer(WaitForWindow(kReplace), "Escape"));
    Keys("Escape");
    ASSERT_TRUE(WaitUntilGone(kReplace, window));
    Splice(expected, 3500, 2, {0xBE, 0xEF, 0x00});

    // The value panel from the View menu: a 16-bit value little-endian, a
    // 32-bit one big-endian, taken back as one step.
    ASSERT_TRUE(UseMenu("alt+a", "w"));
    ASSERT_TRUE(UseDialog(window, "ctrl+g", QStringLiteral("^Gehe zu Offset$"), [] { Type("0x10"); }));
    Keys("alt+w Tab");  // the unsigned field (xdotool takes "-2" for an option)
    Type("65534");
    Keys("Return");
    Keys("alt+i alt+p");
    Type("305419896");
    Keys("Return ctrl+z");
    ASSERT_TRUE(Save(window));
    expected[0x10] = 0xFE;
    expected[0x11] = 0xFF;
    ExpectFile(file, expected);

    Keys("alt+p");
    Type("305419896");
    Keys("Return");
    Splice(expected, 0x10, 4, {0x12, 0x34, 0x56, 0x78});
    // Nothing is written past the end: 8 bytes from the last byte.
    ASSERT_TRUE(UseDialog(window, "ctrl+g", QStringLiteral("^Gehe zu Offset$"), [] { Type("0x1000"); }));
    Keys("alt+q");
    Type("1");
    Keys("Return");

    // Every hit of a text replaced by a shorter one.
    ASSERT_TRUE(OpenReplace());
    Keys("alt+t alt+s");
    Type("allo");
    Keys("alt+d");
    Type("i");
    Keys("alt+a");
    ASSERT_TRUE(Answer(window, "Return"));
    for (const std::size_t at : {3001, 2001, 1001})
        Splice(expected, at, 4, {'i'});
    ASSERT_TRUE(Save(window));
    ExpectFile(file, expected);

    Keys("ctrl+q");
    EXPECT_EQ(program.WaitForExit(), 0);
    const QSettings settings(QString::fromStdString(dir / "config/Klangheber/klangheber-hex.conf"),
                             QSettings::IniFormat);
    EXPECT_TRUE(settings.value("view/valuePanel").toBool());
    EXPECT_TRUE(settings.value("view/bigEndian").toBool());
}

// The picture in the README: a demo package with its module's signature
// found and the values at the caret shown.
TEST(HexGuiTools, ShowsADemoPackageWithTheValuesAtTheCaret)
{
    ASSERT_EQ(QGuiApplication::platformName(), "xcb") << "run this test under Xvfb";
    TempDir dir;
    Program program(dir, QStringLiteral(KH_DEMO_DIR "/Impulsgeber.umx"));
    const QString window = program.Window(QStringLiteral("^Impulsgeber.umx – Klangheber Hex$"));
    ASSERT_FALSE(window.isEmpty());
    ASSERT_TRUE(UseMenu("alt+a", "w"));
    Keys("ctrl+shift+1");
    ASSERT_TRUE(UseDialog(window, "ctrl+f", QStringLiteral("^Suchen$"), [] { Type("impm"); }));
    QTest::qWait(300);  // the caret's blink phase, the status bar
    SaveScreenshot(window, QStringLiteral("klangheber-hex-values.png"));
    Keys("ctrl+q");
    EXPECT_EQ(program.WaitForExit(), 0);
}
