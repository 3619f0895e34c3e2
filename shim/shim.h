#pragma once
// The toolkit's Win32-style base services on POSIX: the millisecond clock and
// sleep, waitable handles (threads, events, events on a socket pair,
// processes, files), thread helpers, rectangle helpers, global memory blocks,
// string and number helpers, GUIDs and string conversions.
//
// Calls keep their Win32 names, arguments and results: failure is null, 0 or
// -1, never an exception, and a null or wrong-kind handle makes a call a no-op.
#include "shim/SHIM_Types.h"

#include <cstdint>
#include <string>

#ifndef SHIM_BASE_TYPES_DEFINED
#define SHIM_BASE_TYPES_DEFINED
typedef int BOOL;
typedef unsigned int UINT;
typedef uint32_t DWORD;
typedef uint16_t WORD;
typedef uint8_t BYTE;
typedef void* HANDLE;
typedef void* HGLOBAL;
// Pointers travel in these on 64-bit builds.
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
#endif

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define WAIT_OBJECT_0 0u
#define WAIT_TIMEOUT 0x102u
#define WAIT_FAILED 0xFFFFFFFFu
#define INFINITE 0xFFFFFFFFu

// Kind tags: the first 32-bit word of every handle record.
enum : int32_t {
    SHIM_HANDLE_THREAD = 0x1000002,
    SHIM_HANDLE_EVENT = 0x1000003,
    SHIM_HANDLE_FILE = 0x1000004,
    SHIM_HANDLE_SOCKET = 0x1000005,
    SHIM_HANDLE_SOCKETEVENT = 0x1000006,
    SHIM_HANDLE_PROCESS = 0x1000007,
};

// A 64-bit count of 100-nanosecond units in two halves.
struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};

// The POSIX thread, kept whole (it does not fit 32 bits here).
typedef uintptr_t SHIM_THREADID;
typedef DWORD (*LPTHREAD_START_ROUTINE)(void* arg);

// A launched child process.
struct SHIM_Task;

// ---- time
void Sleep(int ms);    // 0 sleeps 100 microseconds
DWORD GetTickCount();  // wall-clock milliseconds, wrapping modulo 2^32
BOOL GetFileTime(int fd, FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite);

// ---- errors: why the calling thread's last call that sets it failed
#define ERROR_SUCCESS 0
#define ERROR_NOT_ENOUGH_MEMORY 8
#define ERROR_INVALID_DATA 13
#define ERROR_TIMEOUT 1460
DWORD GetLastError();
void SetLastError(DWORD error);

// ---- handles
HANDLE CreateEvent(void* attrs, BOOL manualReset, BOOL initialState, const char* name);
HANDLE CreateEventAsSocket(void* attrs, BOOL manualReset, BOOL initialState, const char* name);
BOOL SetEvent(HANDLE h);
BOOL ResetEvent(HANDLE h);
DWORD WaitForSingleObject(HANDLE h, DWORD ms);
// Index of a signalled socket or socket-pair event, or WAIT_TIMEOUT.
DWORD WaitForAnySocketObject(int count, HANDLE* handles, DWORD ms);
BOOL CloseHandle(HANDLE h);

HANDLE CreateThread(void* attrs, unsigned stackSize, LPTHREAD_START_ROUTINE func, void* arg, DWORD flags,
                    SHIM_THREADID* threadId);
BOOL SetThreadPriority(HANDLE h, int priority);
SHIM_THREADID GetCurrentThreadId();
void SHIM_EnsureMultithreadedCocoa();
// Starts a detached thread; there is no handle to wait on.
HANDLE CreateThreadNS(void* attrs, unsigned stackSize, LPTHREAD_START_ROUTINE func, void* arg, DWORD flags,
                      SHIM_THREADID* threadId);
void* SHIM_InitAutoRelease();
void SHIM_QuitAutoRelease(void* pool);

// Files are not opened through this call: it always gives null.
HANDLE CreateFile(const char* path, DWORD access, DWORD share, void* security, DWORD disposition, DWORD flags,
                  HANDLE templateFile);
DWORD SetFilePointer(HANDLE h, int pos, DWORD* high);
DWORD GetFilePointer(HANDLE h, DWORD* high);
DWORD GetFileSize(HANDLE h, DWORD* high);
BOOL WriteFile(HANDLE h, const void* buf, DWORD n, DWORD* done, void* overlapped);
BOOL ReadFile(HANDLE h, void* buf, DWORD n, DWORD* done, void* overlapped);

HANDLE SHIM_CreateProcess(const char* exe, int nparams, const char** params);
BOOL SHIM_MakeProcessFront(HANDLE process);
DWORD SHIM_WaitForNSTask(SHIM_Task* task, DWORD ms);
void SHIM_ReleaseNSTask(SHIM_Task* task);

// ---- helpers
BOOL WinSetRect(RECT* r, int left, int top, int right, int bottom);
BOOL WinOffsetRect(RECT* r, int dx, int dy);
BOOL WinIntersectRect(RECT* dst, const RECT* a, const RECT* b);
BOOL WinUnionRect(RECT* dst, const RECT* a, const RECT* b);
bool SHIM_PtInRect(const RECT* r, POINT p);

int MulDiv(int a, int b, int c);
unsigned int _controlfp(unsigned int value, unsigned int mask);

HGLOBAL GlobalAlloc(int flags, int size);
void* GlobalLock(HGLOBAL h);
BOOL GlobalUnlock(HGLOBAL h);
int GlobalSize(HGLOBAL h);
HGLOBAL GlobalFree(HGLOBAL h);

char* lstrcpyn(char* dst, const char* src, int n);

void SHIM_GenerateGUID(GUID* g);

// Strings of the platform are std::string here, always valid UTF-8.
std::string SHIM_CStringToCFString(const char* text);
// True when the whole string fitted into buf.
bool SHIM_CFStringToCString(const std::string& s, char* buf, int size);
