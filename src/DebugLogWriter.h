#pragma once
// The debug log's lines on their way to the file. A thread that must not
// wait on the file system (the render thread, a thread holding the plug-in
// mutex) hands its line over, and a thread of the writer's own appends it.
// Any other thread appends its line itself, after the lines handed over
// before it, so the file keeps the order in which the lines came.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class DebugLogWriter {
public:
    using Clock = std::chrono::steady_clock;
    // What may wait at once; more is dropped, counted, and the count logged.
    static constexpr size_t kMostLines = 1024;
    static constexpr size_t kMostBytes = 1 << 20;

    DebugLogWriter();
    // Writes what waits; a file that takes longer than kClosePatience is
    // left to the writer's thread.
    ~DebugLogWriter();
    static constexpr std::chrono::seconds kClosePatience{2};
    DebugLogWriter(const DebugLogWriter&) = delete;
    DebugLogWriter& operator=(const DebugLogWriter&) = delete;

    // Never waits on the file: the line waits for the writer's thread. The
    // thread is started once, by the first line handed over, unless start
    // came first.
    void handOver(std::string path, std::string message);
    // Appends at once, after what waits.
    void write(const std::string& path, const std::string& message);
    // The writer's thread, ready before a thread that must not wait needs it.
    void start();
    // Waits until every line handed over before the call is in its file, or
    // until the deadline: true when they are.
    bool flush(Clock::time_point deadline);

private:
    struct Line {
        std::string path, message;
    };
    struct Shared {
        // Held only to move lines in or out, never across the file system.
        std::mutex queueLock;
        std::condition_variable queued, written;
        std::deque<Line> lines;
        size_t bytes = 0;
        uint64_t handedOver = 0, done = 0, dropped = 0;
        // The file of the first line dropped since the last count was told.
        std::string droppedPath;
        bool stop = false, finished = false;
        // Held across the file writes: lines reach the file one writer at a
        // time, in the order they came.
        std::mutex fileLock;
    };
    // Writes what waits; the file lock is held on entry.
    static void drain(Shared& s);
    static void loop(std::shared_ptr<Shared> s);

    const std::shared_ptr<Shared> mShared = std::make_shared<Shared>();
    std::once_flag mStarted;
    std::thread mThread;
};
