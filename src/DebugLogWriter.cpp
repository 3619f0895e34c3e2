#include "src/DebugLogWriter.h"

#include <system_error>
#include <utility>

#include "src/PatchLibrarianWriteBank.h"
#include "src/debugger.h"

namespace {

void append(const std::string& path, const std::string& message) {
    fileWriterStep("log line");
    DebuggerOutput().printDebugInfo(path, message);
}

}  // namespace

DebugLogWriter::DebugLogWriter() = default;

DebugLogWriter::~DebugLogWriter() {
    {
        std::lock_guard<std::mutex> guard(mShared->queueLock);
        mShared->stop = true;
    }
    mShared->queued.notify_all();
    if (!mThread.joinable()) {
        // No thread was started: what a thread left waiting goes now.
        std::lock_guard<std::mutex> file(mShared->fileLock);
        drain(*mShared);
        return;
    }
    bool finished;
    {
        std::unique_lock<std::mutex> guard(mShared->queueLock);
        finished = mShared->written.wait_for(guard, kClosePatience, [&] { return mShared->finished; });
    }
    if (finished)
        mThread.join();
    else
        mThread.detach();
}

void DebugLogWriter::start() {
    std::call_once(mStarted, [this] {
        try {
            mThread = std::thread(loop, mShared);
        } catch (const std::system_error&) {
            // No thread to spare: the lines wait for the next one written
            // at once, or for the end.
        }
    });
}

void DebugLogWriter::handOver(std::string path, std::string message) {
    start();
    {
        std::lock_guard<std::mutex> guard(mShared->queueLock);
        Shared& s = *mShared;
        if (s.lines.size() >= kMostLines || s.bytes + message.size() > kMostBytes) {
            if (!s.dropped++) s.droppedPath = std::move(path);
            return;
        }
        s.bytes += message.size();
        s.lines.push_back({std::move(path), std::move(message)});
        ++s.handedOver;
    }
    mShared->queued.notify_one();
}

void DebugLogWriter::write(const std::string& path, const std::string& message) {
    std::lock_guard<std::mutex> file(mShared->fileLock);
    drain(*mShared);
    append(path, message);
}

bool DebugLogWriter::flush(Clock::time_point deadline) {
    std::unique_lock<std::mutex> guard(mShared->queueLock);
    const uint64_t target = mShared->handedOver;
    return mShared->written.wait_until(guard, deadline, [&] { return mShared->done >= target; });
}

void DebugLogWriter::drain(Shared& s) {
    std::deque<Line> lines;
    uint64_t dropped;
    std::string droppedPath;
    {
        std::lock_guard<std::mutex> guard(s.queueLock);
        lines.swap(s.lines);
        s.bytes = 0;
        dropped = std::exchange(s.dropped, 0);
        droppedPath.swap(s.droppedPath);
    }
    if (lines.empty() && !dropped) return;
    for (const Line& line : lines) append(line.path, line.message);
    if (dropped)
        append(droppedPath,
               "DEBUG LOG: " + std::to_string(dropped) + " line(s) dropped: they came faster than the disk took them");
    {
        std::lock_guard<std::mutex> guard(s.queueLock);
        s.done += lines.size();
    }
    s.written.notify_all();
}

void DebugLogWriter::loop(std::shared_ptr<Shared> s) {
    for (;;) {
        {
            std::unique_lock<std::mutex> guard(s->queueLock);
            s->queued.wait(guard, [&] { return s->stop || !s->lines.empty() || s->dropped; });
            if (s->stop && s->lines.empty() && !s->dropped) break;
        }
        std::lock_guard<std::mutex> file(s->fileLock);
        drain(*s);
    }
    {
        std::lock_guard<std::mutex> guard(s->queueLock);
        s->finished = true;
    }
    s->written.notify_all();
}
