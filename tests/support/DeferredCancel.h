#pragma once

namespace hvtest {

// Test programs turn every thread cancellation into a deferred one (see
// DeferredCancel.cpp). A static library's member is linked only when
// something in it is named: each program that starts JACK clients names this.
void useDeferredCancel();

}  // namespace hvtest
