// SPDX-License-Identifier: GPL-3.0-or-later
// Where message boxes go: the interface, the Qt message boxes of the
// program and the stderr lines of the command line.
#pragma once

#include <QString>

namespace platform {

// Where message boxes go. The GUI shows real boxes, the command line prints to
// stderr, tests record them. No test may block on a modal window.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    // Error box: the title, an error icon, one OK button.
    virtual void ShowError(const QString& title, const QString& text) = 0;
    // Plain box: the title, no icon, one OK button, centred on the screen.
    virtual void ShowMessage(const QString& title, const QString& text) = 0;
};

// Shows modal QMessageBoxes with the main form's window icon, at least as
// wide as a window manager's title bar needs for the title.
class QtMessageSink : public MessageSink {
public:
    void ShowError(const QString& title, const QString& text) override;
    void ShowMessage(const QString& title, const QString& text) override;
};

// Prints each box as one line on stderr.
class StderrMessageSink : public MessageSink {
public:
    void ShowError(const QString& title, const QString& text) override;
    void ShowMessage(const QString& title, const QString& text) override;
};

}  // namespace platform
