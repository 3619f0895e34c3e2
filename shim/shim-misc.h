// Timers, the posted-message queue and the run loop: SetTimer and KillTimer
// on repeating run-loop timers, the queue that carries PostMessage calls and
// timer requests from other threads to the main thread, and the small
// run-loop services (pumping events, the quit flag, keeping the system from idling the process).
#pragma once

#include <atomic>

#include "platform/appkit/Application.h"
#include "shim/shim-kb.h"
#include "shim/shim-object.h"

// Timers. A timer without a window takes its record's address as its id.
UINT_PTR SetTimer(HWND h, UINT_PTR id, UINT ms, TIMERPROC callback);
// An id of 0xFFFFFFFF removes all of the window's timers.
BOOL KillTimer(HWND h, UINT_PTR id);
constexpr UINT_PTR SHIM_ALL_TIMERS = 0xFFFFFFFF;

// The queue.
void SHIM_Internal_PostMessage_Init();
BOOL SHIM_Internal_PostMessage(HWND h, UINT msg, WPARAM wp, LPARAM lp);
BOOL PostMessage(HWND h, UINT msg, WPARAM wp, LPARAM lp);
void SHIM_MessageQueue_Clear(HWND h);
void SHIM_Internal_PMQ_ClearAllMessages(HWND h);
void SHIM_MessageQueue_Flush();
// Queues a timer request (ms 0xFFFFFFFF: kill); false when nothing was queued.
bool SHIM_pmq_settimer(HWND h, UINT_PTR id, UINT ms, TIMERPROC callback);
// Records queued (messages and timer requests), and records kept for reuse.
int SHIM_MessageQueue_Size();
int SHIM_MessageQueue_FreeCount();
// The application delegate's posting methods, forwarding to the queue; a
// hosting application installs it with Application::setDelegate and the
// queue starts with SHIM_Internal_PostMessage_Init.
platform::appkit::PostingDelegate* SHIM_GetPostingDelegate();

// Run loop and threads.
void SHIM_RunEvents();
void SHIM_RunRunLoop(int ms);
void SHIM_RunRunLoopEx(int ms, HWND onlyTimersOf);
void SHIM_PostQuitMessage(void* sender);
void SHIM_DisableAppNap(int delta);

// While set, only this window's timers fire.
extern HWND g_shim_only_timerhwnd;
// The quit flag; other threads may read it.
extern std::atomic<bool> g_shim_terminating;
// The activity SHIM_DisableAppNap holds, and its count (for tests).
int SHIM_DisableAppNapCount();
