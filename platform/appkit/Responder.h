#pragma once
// What views and windows have in common, as on the Mac: an object that a
// toolkit handle may stand for, told apart by asking which kind it is.
//
// Every responder is listed in a registry of live objects from construction
// until its destruction begins, so that code holding a handle of unknown age
// asks the registry before it touches the object. The registry is safe to
// query from any thread.

#include <mutex>

namespace platform::appkit {

class Responder {
public:
    Responder();
    virtual ~Responder();
    Responder(const Responder&) = delete;
    Responder& operator=(const Responder&) = delete;

    // Whether p is a responder whose destruction has not begun.
    static bool isLive(const void* p);

    // Runs f(responder) while the registry is held when p is live, so that
    // the object cannot leave meanwhile (provided it retires first in its
    // destructor). Returns whether f ran.
    template <class F>
    static bool withLive(const void* p, F&& f) {
        std::lock_guard<std::recursive_mutex> g(registryLock());
        if (!isListed(p)) return false;
        f(static_cast<Responder*>(const_cast<void*>(p)));
        return true;
    }

protected:
    // Leaves the registry now. A class whose objects other threads may reach
    // through withLive calls this first in its destructor; it waits for any
    // such call in progress.
    void retire();

private:
    static std::recursive_mutex& registryLock();
    static bool isListed(const void* p);
};

}  // namespace platform::appkit
