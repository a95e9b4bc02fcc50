// SPDX-License-Identifier: GPL-3.0-or-later
// GoogleTest entry point for tests that need Qt: an offscreen QApplication
// (unless a platform was chosen), the application title, and message boxes
// recorded instead of shown.
#include "RecordingMessageSink.h"
#include "platform/widgets/Application.h"

#include <QApplication>
#include <csignal>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    std::signal(SIGXFSZ, SIG_IGN);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    platform::Application().SetTitle(QStringLiteral("Klangheber"));
    testsupport::RecordingMessageSink sink;
    platform::Application().SetSink(&sink);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    platform::Application().SetSink(nullptr);
    return result;
}
