// What the timers and the queue know of each other.
#pragma once

namespace shimmisc {
// The queue has been started.
bool QueueStarted();
// The caller is the thread that started the queue.
bool OnQueueThread();
// Live timers, for tests.
int TimerCount();
}  // namespace shimmisc
