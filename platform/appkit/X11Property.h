#pragma once
// One read of an X window property, owned: what XGetWindowProperty hands
// back, freed when the read goes. And the answer to a selection request,
// which names the property that holds the data.
#include <X11/Xlib.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace platform::appkit {

class X11Property {
public:
    // Up to `longs` 32-bit units of the property, of the type asked
    // (AnyPropertyType: any); a whole read is deleted after it when `remove`.
    X11Property(Display* d, ::Window w, Atom property, long longs, Atom type = AnyPropertyType, bool remove = false);
    ~X11Property();
    X11Property(const X11Property&) = delete;
    X11Property& operator=(const X11Property&) = delete;

    // The property was there with the type asked, and read.
    bool found() const { return data_ != nullptr && type_ != 0 && (asked_ == AnyPropertyType || type_ == asked_); }
    unsigned long after() const { return after_; }  // bytes left unread
    // The items of a format-32 property (Xlib hands them as longs); none
    // for another format.
    std::vector<long> longs() const;
    // The bytes of a format-8 property; none for another format.
    std::string text() const;

private:
    Atom asked_;
    Atom type_ = 0;
    int format_ = 0;
    unsigned long count_ = 0, after_ = 0;
    unsigned char* data_ = nullptr;
};

// Answers a selection request: the data is in `property` on the
// requestor's window, or (0) it is refused.
void x11AnswerSelectionRequest(Display* d, const XSelectionRequestEvent& r, Atom property);

// The server's time now: a zero-length append to `property` on w (which
// takes PropertyChangeMask) comes back stamped with it. Other events that
// come meanwhile go to `others`, or stay queued when there is none. The
// wait is bounded: CurrentTime after `patience`.
Time x11ServerTime(Display* d, ::Window w, Atom property, std::chrono::milliseconds patience,
                   const std::function<void(XEvent&)>& others = nullptr);

}  // namespace platform::appkit
