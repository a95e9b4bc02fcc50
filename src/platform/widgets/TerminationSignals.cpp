// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/widgets/TerminationSignals.h"

#include "platform/system/Exceptions.h"
#include "platform/widgets/Application.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

// SIGPIPE: standard output or error is a pipe whose reader has gone (as in
// "klangheber --batch DIR | head -1"); the write that raised it fails with
// EPIPE, and the program ends as it does on SIGTERM, with 128 + SIGPIPE.
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

// The pipe from the handler to the event loop.
int signalPipe[2] = {-1, -1};
volatile std::sig_atomic_t signalled = 0;

void OnSignal(int sig)
{
    if (signalled && sig == SIGPIPE)
        return;  // every further write to the pipe raises it again
    if (signalled) {
        // The program did not get round to ending: end it the default way.
        std::signal(sig, SIG_DFL);
        std::raise(sig);
        return;
    }
    signalled = sig;
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(sig);
    // A full pipe already holds a byte that wakes the loop.
    IgnoreFailure(::write(signalPipe[1], &byte, 1) == 1);
    errno = saved;
}

}  // namespace

void WatchTerminationSignals()
{
    if (signalPipe[0] >= 0 || ::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
        unsigned char byte = 0;
        while (::read(signalPipe[0], &byte, 1) == 1) {
        }
        Guard([] { Application().RequestTermination(signalled); });
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : kSignals)
        ::sigaction(sig, &action, nullptr);
}

}  // namespace platform
