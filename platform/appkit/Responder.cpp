#include "platform/appkit/Responder.h"

#include <unordered_set>

namespace platform::appkit {

namespace {
// Never destroyed: objects may outlive static destruction order.
std::unordered_set<const void*>& registry() {
    static auto* live = new std::unordered_set<const void*>;
    return *live;
}
}  // namespace

std::recursive_mutex& Responder::registryLock() {
    static auto* m = new std::recursive_mutex;
    return *m;
}

bool Responder::isListed(const void* p) { return p && registry().count(p) != 0; }

Responder::Responder() {
    std::lock_guard<std::recursive_mutex> g(registryLock());
    registry().insert(this);
}

// Out of line, so that the kind of a view or window is known the same way in
// every module that asks.
Responder::~Responder() { retire(); }

void Responder::retire() {
    std::lock_guard<std::recursive_mutex> g(registryLock());
    registry().erase(this);
}

bool Responder::isLive(const void* p) {
    std::lock_guard<std::recursive_mutex> g(registryLock());
    return isListed(p);
}

}  // namespace platform::appkit
