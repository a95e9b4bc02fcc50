// SPDX-License-Identifier: GPL-3.0-or-later
// Driving the real klangheber-hex on a real X server (Xvfb) with xdotool, as
// a person does: its windows found by title, keys and text typed, dialogs
// filled in and confirmed, screenshots kept in the build's test-artifacts,
// and the program run with its settings and working copy in a test folder.
#pragma once

#include "Pattern.h"
#include "TempDir.h"

#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace hexgui {

using namespace testsupport;

inline constexpr int kTimeoutMs = 20000;

// Runs xdotool and returns its output without the final newline.
inline QString Xdo(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    EXPECT_TRUE(process.waitForFinished(kTimeoutMs)) << arguments.join(' ').toStdString();
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// The first visible window whose title matches the regular expression, or
// an empty string once the time is up.
inline QString WaitForWindow(const QString& title)
{
    QString id;
    (void)QTest::qWaitFor(
        [&] {
            id = Xdo({"search", "--onlyvisible", "--name", title}).section('\n', 0, 0);
            return !id.isEmpty();
        },
        kTimeoutMs);
    return id;
}

// Waits until a dialog has closed and gives the focus back to the window,
// as a window manager would (Xvfb runs none).
inline bool WaitUntilGone(const QString& title, const QString& window)
{
    if (!QTest::qWaitFor([&] { return Xdo({"search", "--onlyvisible", "--name", title}).isEmpty(); }, kTimeoutMs))
        return false;
    Xdo({"windowfocus", "--sync", window});
    return true;
}

inline bool WaitForTitle(const QString& window, const QString& title)
{
    return QTest::qWaitFor([&] { return Xdo({"getwindowname", window}) == title; }, kTimeoutMs);
}

// Keys and text go to the window that has the input focus, through XTEST,
// as from a keyboard.
inline void Keys(const QString& keys)
{
    Xdo(QStringList{"key", "--delay", "40"} + keys.split(' '));
}

inline void Type(const QString& text)
{
    Xdo({"type", "--delay", "40", text});
}

// Opens a dialog with its key, fills it in, confirms it with Return and
// waits until it has closed.
inline bool UseDialog(const QString& window, const QString& key, const QString& title,
                      const std::function<void()>& fill)
{
    Keys(key);
    if (WaitForWindow(title).isEmpty())
        return false;
    fill();
    Keys("Return");
    return WaitUntilGone(title, window);
}

inline void SaveScreenshot(const QString& window, const QString& name)
{
    QDir().mkpath(QStringLiteral(KH_ARTIFACT_DIR));
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(window.toULongLong());
    EXPECT_TRUE(shot.save(QStringLiteral(KH_ARTIFACT_DIR "/") + name)) << name.toStdString();
}

// klangheber-hex with its settings and its working copy in a test folder.
class Program {
public:
    Program(const TempDir& dir, const QString& file)
    {
        ::mkdir((dir / "config").c_str(), 0700);
        ::mkdir((dir / "tmp").c_str(), 0700);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", QString::fromStdString(dir / "config"));
        env.insert("TMPDIR", QString::fromStdString(dir / "tmp"));
        process_.setProcessEnvironment(env);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QStringLiteral(KLANGHEBER_HEX_EXE), {file});
    }
    ~Program()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished();
        }
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // The main window, focused for the keys to come.
    QString Window(const QString& title)
    {
        const QString id = WaitForWindow(title);
        if (!id.isEmpty())
            Xdo({"windowfocus", "--sync", id});
        return id;
    }

    void Signal(int sig) { ::kill(static_cast<pid_t>(process_.processId()), sig); }

    int WaitForExit()
    {
        if (!process_.waitForFinished(kTimeoutMs))
            return -1;
        return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
    }

private:
    QProcess process_;
};

}  // namespace hexgui
