// Child processes: launch, wait, release, and bringing one's window forward.
#include "shim/shim-handles.h"
#include "shim/shim.h"
// After the toolkit's headers: Xlib defines None.
#include "platform/appkit/X11Property.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <thread>
#include <vector>

extern char** environ;

namespace {

bool taskRunning(SHIM_Task* task) {
    std::lock_guard<std::mutex> g(task->lock);
    if (task->ended) return false;
    int status = 0;
    pid_t r = waitpid(task->pid, &status, WNOHANG);
    if (r == task->pid) {
        task->ended = true;
        task->status = status;
    } else if (r < 0 && errno != EINTR) {
        task->ended = true;  // not our child any more
    }
    return !task->ended;
}

// The top-level windows (as the window manager lists them) of a process.
std::vector<Window> windowsOf(Display* dpy, pid_t pid) {
    std::vector<Window> found;
    Atom clientList = XInternAtom(dpy, "_NET_CLIENT_LIST", True);
    Atom wmPid = XInternAtom(dpy, "_NET_WM_PID", True);
    if (clientList == None || wmPid == None) return found;
    for (long w : platform::appkit::X11Property(dpy, DefaultRootWindow(dpy), clientList, 1 << 16, XA_WINDOW).longs()) {
        const std::vector<long> owner = platform::appkit::X11Property(dpy, Window(w), wmPid, 1, XA_CARDINAL).longs();
        if (owner.size() == 1 && pid_t(owner[0]) == pid) found.push_back(Window(w));
    }
    return found;
}

void activate(Display* dpy, Window w) {
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = w;
    ev.xclient.message_type = XInternAtom(dpy, "_NET_ACTIVE_WINDOW", False);
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = 2;  // from a pager-like tool: honoured as the user's wish
    ev.xclient.data.l[1] = CurrentTime;
    XSendEvent(dpy, DefaultRootWindow(dpy), False, SubstructureRedirectMask | SubstructureNotifyMask, &ev);
    XRaiseWindow(dpy, w);
    XFlush(dpy);
}

}  // namespace

HANDLE SHIM_CreateProcess(const char* exe, int nparams, const char** params) {
    if (!exe || !*exe) return nullptr;
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(exe));
    for (int i = 0; i < nparams; i++) {
        const char* a = params ? params[i] : nullptr;
        argv.push_back(const_cast<char*>(a ? a : ""));
    }
    argv.push_back(nullptr);
    pid_t pid;
    if (posix_spawn(&pid, exe, nullptr, nullptr, argv.data(), environ) != 0) return nullptr;
    auto task = new SHIM_Task;
    task->pid = pid;
    auto p = new SHIM_ProcessRecord;
    p->kind = SHIM_HANDLE_PROCESS;
    p->refs = 1;
    p->task = task;
    return p;
}

BOOL SHIM_MakeProcessFront(HANDLE h) {
    auto p = SHIM_HandleAs<SHIM_ProcessRecord>(h, SHIM_HANDLE_PROCESS);
    if (!p || !p->task) return FALSE;
    Display* dpy = getenv("DISPLAY") ? XOpenDisplay(nullptr) : nullptr;
    BOOL raised = FALSE;
    // A new process needs a moment before its window is listed.
    for (int tries = 0; tries < 20 && !raised; tries++) {
        if (tries) Sleep(50);
        if (!dpy) {
            raised = kill(p->task->pid, 0) == 0;  // nothing to raise without a display
            continue;
        }
        for (Window w : windowsOf(dpy, p->task->pid)) {
            activate(dpy, w);
            raised = TRUE;
        }
    }
    if (dpy) XCloseDisplay(dpy);
    return raised;
}

DWORD SHIM_WaitForNSTask(SHIM_Task* task, DWORD ms) {
    if (!task) return WAIT_FAILED;
    DWORD start = GetTickCount();
    for (;;) {
        if (!taskRunning(task)) return WAIT_OBJECT_0;
        if (ms != INFINITE && GetTickCount() - start >= ms) return WAIT_TIMEOUT;
        Sleep(1);
    }
}

void SHIM_ReleaseNSTask(SHIM_Task* task) {
    if (!task) return;
    if (taskRunning(task)) {
        // Reap it when it ends so that no zombie stays behind.
        pid_t pid = task->pid;
        std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
    }
    delete task;
}
