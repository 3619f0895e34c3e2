#pragma once
// The records behind the toolkit's handles. Every record starts with the kind
// tag and the reference count; the rest is the kind's own.
#include "shim/shim.h"

#include <pthread.h>
#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <mutex>

struct SHIM_HandleRecord {
    int32_t kind;
    std::atomic<int32_t> refs;
};

struct SHIM_ThreadRecord : SHIM_HandleRecord {
    LPTHREAD_START_ROUTINE func = nullptr;
    void* arg = nullptr;
    pthread_t thread{};
    int32_t result = 0;
    std::atomic<bool> done{false};
    // A POSIX thread may be joined once; waits and the last close share it.
    std::mutex joinLock;
    bool joined = false;
};

struct SHIM_EventRecord : SHIM_HandleRecord {
    std::mutex mutex;
    std::condition_variable cond;
    bool signalled = false;
    bool manualReset = false;
};

struct SHIM_FileRecord : SHIM_HandleRecord {
    FILE* stream = nullptr;
};

struct SHIM_SocketRecord : SHIM_HandleRecord {
    int fd = -1;
};

struct SHIM_SocketEventRecord : SHIM_HandleRecord {
    int readFd = -1;
    int writeFd = -1;
    bool autoReset = false;
};

struct SHIM_ProcessRecord : SHIM_HandleRecord {
    SHIM_Task* task = nullptr;
};

struct SHIM_Task {
    pid_t pid = -1;
    std::mutex lock;
    bool ended = false;
    int status = 0;
};

// A file handle over an open stream, which its last CloseHandle closes.
HANDLE SHIM_MakeFileHandle(FILE* stream);

// The handle's record when it carries the kind, else null.
template <class R>
R* SHIM_HandleAs(HANDLE h, int32_t kind) {
    auto r = static_cast<SHIM_HandleRecord*>(h);
    return r && r->kind == kind ? static_cast<R*>(r) : nullptr;
}

// GetTickCount's reading at a given time of day.
DWORD SHIM_TickCountAt(int64_t seconds, int64_t microseconds);
