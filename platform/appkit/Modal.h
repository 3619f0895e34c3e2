#pragma once
// Modal runs: one window takes the user's input while the others refuse it,
// until the program stops or aborts the run. A modal session does the same
// one pass at a time, for a program that runs its own loop. Runs nest; the
// innermost is the one that stops.

#include <functional>

namespace platform::appkit {

class Window;

enum : int {
    kModalResponseStop = -1000,
    kModalResponseAbort = -1001,
    kModalResponseContinue = -1002,
};

struct ModalSession;

// Shows the window and runs the main run loop for it until the run is
// stopped or aborted (kModalResponseAbort once the program was asked to
// quit); returns the code it was stopped with.
int runModalForWindow(Window* w);
// End the innermost run or session: after the event being handled (stop),
// or at once (abort). Abort may be called from any thread.
void stopModal();
void stopModalWithCode(int code);
void abortModal();

ModalSession* beginModalSession(Window* w);
// One pass of the run loop for the session: kModalResponseContinue while it
// runs, else the code it ended with.
int runModalSession(ModalSession* s);
void endModalSession(ModalSession* s);

// The window of the innermost modal run or session, or null.
Window* modalWindow();

// Called with the modal window before every pass of a modal run: tests click
// or end the dialog from here (headless, where no person does).
void setModalIterationHook(std::function<void(Window*)> hook);

}  // namespace platform::appkit
