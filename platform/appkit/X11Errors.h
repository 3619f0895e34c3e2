#pragma once
// Xlib reports errors to one handler per process, and its default one ends
// the process. A connection that may touch other programs' windows (which
// can close at any moment) has its errors ignored instead; every other
// connection keeps the handler it had.
typedef struct _XDisplay Display;

namespace platform::appkit {

void ignoreXErrorsOn(Display* d);
void stopIgnoringXErrorsOn(Display* d);

}  // namespace platform::appkit
