// SIGINT, SIGTERM and SIGHUP as a request to end the program cleanly: the
// signal is noted by its handler and acted on at the next point where the
// program processes events (TApplication::RequestTermination), so the step in
// progress unwinds and removes its temporary files. A second such signal
// before that ends the program at once, as the first would have without this.
#pragma once

namespace platform {

// Installs the handlers; call once, after the application object exists.
void WatchTerminationSignals();

}  // namespace platform
