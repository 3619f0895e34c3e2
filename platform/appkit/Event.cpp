#include "platform/appkit/Event.h"

namespace platform::appkit {

namespace {
const Event*& current() {
    static const Event* event = nullptr;
    return event;
}
}  // namespace

const Event* currentEvent() { return current(); }

CurrentEventScope::CurrentEventScope(const Event& e) : previous_(current()) { current() = &e; }

CurrentEventScope::~CurrentEventScope() { current() = previous_; }

}  // namespace platform::appkit
