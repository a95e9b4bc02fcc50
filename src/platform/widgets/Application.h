// SPDX-License-Identifier: GPL-3.0-or-later
// The application object: title, main form, event loop, pending-event
// processing and the default exception handler with its message boxes.
#pragma once

#include "platform/widgets/MessageSink.h"

#include <QString>
#include <chrono>
#include <string>
#include <exception>
#include <utility>

class QWidget;

namespace platform {

// The text the error box shows for an exception message: a full stop is
// appended when the last character sorts after ".".
QString ErrorBoxText(const QString& message);

// Bytes (a file name, an error text naming files) as text without losing any:
// valid UTF-8 is decoded, every other byte kept as the lone surrogate U+DC00
// + byte; BytesOfText gives the same bytes back.
QString TextOfBytes(const std::string& bytes);
std::string BytesOfText(const QString& text);

class TApplication {
public:
    static TApplication& Instance();

    QString Title() const { return title_; }
    void SetTitle(const QString& title);

    QWidget* MainForm() const { return mainForm_; }
    void SetMainForm(QWidget* form) { mainForm_ = form; }

    // Runs the event loop until the application quits.
    int Run();
    // Lets the event loop handle the pending events, then returns. Events
    // posted on this thread are delivered at every call. Window-system input,
    // timers that fell due and sockets need a full pass through the event
    // dispatcher, which costs about a microsecond even when nothing waits;
    // that pass runs when FullPassInterval has gone by since the last one, so
    // input waits at most that long. Cheap enough to call before every
    // 2048-byte block of a copy. Once the program is being ended
    // (RequestTermination), it raises EAbort after the events, so that the
    // step in progress unwinds there.
    void ProcessMessages();
    static constexpr std::chrono::microseconds FullPassInterval {1000};
    // Ends the event loop.
    void Terminate();
    // Ends the program because of the signal sig (SIGINT, SIGTERM, SIGHUP):
    // the main form is closed as its end button closes it, and from now on
    // ProcessMessages raises EAbort. TerminationSignal tells sig afterwards
    // (0 before), for the exit status 128 + sig.
    void RequestTermination(int sig);
    int TerminationSignal() const { return terminationSignal_; }

    // The default exception handler: shows the error's text (ErrorText) in
    // the error box (nothing for EAbort).
    void HandleException(const std::exception& e);
    void HandleUnknownException();
    // Shows the tool's plain message box.
    void MessageBox(const QString& text);

    MessageSink& Sink();
    // Replaces the message sink; nullptr restores the Qt message boxes.
    // Returns the sink that was in place (owned by the caller, or null for
    // the built-in one).
    MessageSink* SetSink(MessageSink* sink);

private:
    TApplication() = default;
    QString title_;
    QWidget* mainForm_ = nullptr;
    MessageSink* sink_ = nullptr;
    QtMessageSink qtSink_;
    std::chrono::steady_clock::time_point lastFullPass_ {};
    int terminationSignal_ = 0;
};

inline TApplication& Application() { return TApplication::Instance(); }

// Runs a handler that Qt entered (slot, event override, timer); an exception
// that escapes it goes to the application's handler and never crosses Qt's
// event loop.
template <class F>
void Guard(F&& handler) noexcept
{
    try {
        std::forward<F>(handler)();
    } catch (const std::exception& e) {
        Application().HandleException(e);
    } catch (...) {
        Application().HandleUnknownException();
    }
}

}  // namespace platform
