#pragma once
// Xlib reports errors to one handler per process, and its default one ends
// the process. Ours never ends it for a failed request: a connection that
// may touch other programs' windows (which can close at any moment) has its
// errors ignored; on every other connection each kind of failure (request
// and error) is reported once on stderr and the program goes on. A lost
// connection (the X server gone) ends the process at once, without the exit
// handlers that could write the user's files half-way.
typedef struct _XDisplay Display;

namespace platform::appkit {

// Installs both handlers (once; later calls do nothing).
void installX11ErrorHandlers();
void ignoreXErrorsOn(Display* d);
void stopIgnoringXErrorsOn(Display* d);
// How many failed requests the connections not ignored have had, each
// counted (reported or not).
unsigned long x11FailedRequestCount();

}  // namespace platform::appkit
