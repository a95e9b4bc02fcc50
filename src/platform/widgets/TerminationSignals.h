// SPDX-License-Identifier: GPL-3.0-or-later
// SIGINT, SIGTERM, SIGHUP and SIGPIPE as a request to end the program cleanly: the
// signal is noted by its handler and acted on at the next point where the
// program processes events (TApplication::RequestTermination), so the step in
// progress unwinds and removes its temporary files. A second such signal
// before that ends the program at once, as the first would have without this
// (a repeated SIGPIPE is ignored: each write to the closed pipe raises one).
#pragma once

namespace platform {

// Installs the handlers; call once, after the application object exists.
void WatchTerminationSignals();

}  // namespace platform
