#include "platform/appkit/X11Input.h"

#include <X11/XKBlib.h>
#include <X11/Xlocale.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <atomic>
#include <clocale>
#include <cstring>

#include "platform/appkit/Keyboard.h"
#include "platform/coretext/CTLine.h"

namespace platform::appkit {

namespace {
// The entries of every method's contexts_; atomic, as any thread may ask.
std::atomic<size_t> g_contexts{0};
}  // namespace

size_t X11InputMethod::contextCount() { return g_contexts; }

void x11AdoptUserCharacterType() {
    const char* now = std::setlocale(LC_CTYPE, nullptr);
    if (!now || !std::strcmp(now, "C") || !std::strcmp(now, "POSIX")) std::setlocale(LC_CTYPE, "");
    if (!XSupportsLocale()) std::setlocale(LC_CTYPE, "C");
    XSetLocaleModifiers("");
}

X11KeyText x11PlainKeyText(XKeyEvent& k) {
    X11KeyText out;
    char buf[16] = {};
    int n = XLookupString(&k, buf, sizeof buf - 1, &out.sym, nullptr);
    if (char32_t c = unicodeOfKeysym(out.sym)) out.text = c;
    // Control makes control characters, as the keymap gives them.
    if ((k.state & ControlMask) && n == 1 && static_cast<unsigned char>(buf[0]) < 0x20)
        out.text = static_cast<char32_t>(buf[0]);
    return out;
}

X11InputMethod::X11InputMethod(Display* d) : dpy_(d) {
    // Xlib hears of keymap changes only once it has read the keymap: a key
    // bound before the first key press would otherwise type nothing.
    int first = 0, last = 0;
    XDisplayKeycodes(d, &first, &last);
    XkbKeycodeToKeysym(d, static_cast<KeyCode>(first), 0, 0);
    x11AdoptUserCharacterType();
    im_ = XOpenIM(d, nullptr, nullptr, nullptr);
    // The user's method does not run: Xlib's own still knows dead keys and
    // compose sequences.
    if (!im_ && XSetLocaleModifiers("@im=none")) im_ = XOpenIM(d, nullptr, nullptr, nullptr);
    if (!im_) return;
    XIMStyles* styles = nullptr;
    if (!XGetIMValues(im_, XNQueryInputStyle, &styles, nullptr) && styles) {
        for (unsigned i = 0; i < styles->count_styles; ++i) {
            XIMStyle s = styles->supported_styles[i];
            if (s == (XIMPreeditNothing | XIMStatusNothing)) style_ = s;
            if (s == (XIMPreeditNone | XIMStatusNone) && !style_) style_ = s;
        }
        XFree(styles);
    }
    if (!style_) {
        XCloseIM(im_);
        im_ = nullptr;
        return;
    }
    // A method that quits takes its contexts along; keys then take the
    // plain road.
    XIMCallback gone{reinterpret_cast<XPointer>(this), [](XIM, XPointer self, XPointer) {
                         auto* m = reinterpret_cast<X11InputMethod*>(self);
                         m->im_ = nullptr;
                         g_contexts -= m->contexts_.size();
                         m->contexts_.clear();
                         m->focused_ = 0;
                     }};
    XSetIMValues(im_, XNDestroyCallback, &gone, nullptr);
}

X11InputMethod::~X11InputMethod() {
    for (auto& [w, ic] : contexts_)
        if (ic) XDestroyIC(ic);
    g_contexts -= contexts_.size();
    if (im_) XCloseIM(im_);
}

XIC X11InputMethod::contextOf(::Window w, bool make) {
    if (!im_ || !w) return nullptr;
    auto it = contexts_.find(w);
    if (it != contexts_.end()) return it->second;
    if (!make || std::find(gone_.begin(), gone_.end(), w) != gone_.end()) return nullptr;
    XIC ic = XCreateIC(im_, XNInputStyle, style_, XNClientWindow, w, XNFocusWindow, w, nullptr);
    contexts_[w] = ic;  // a window the method refused is not asked again
    ++g_contexts;
    long wanted = 0;
    XWindowAttributes a{};
    if (ic && !XGetICValues(ic, XNFilterEvents, &wanted, nullptr) && wanted && XGetWindowAttributes(dpy_, w, &a))
        XSelectInput(dpy_, w, a.your_event_mask | wanted);
    return ic;
}

void X11InputMethod::focus(::Window w, bool make) {
    if (w == focused_) return;
    setFocus(focused_, false);
    if (XIC ic = contextOf(w, make)) {
        XSetICFocus(ic);
        focused_ = w;
    }
}

void X11InputMethod::setFocus(::Window w, bool in) {
    if (in) return focus(w, false);
    auto it = contexts_.find(w);
    if (it != contexts_.end() && it->second) XUnsetICFocus(it->second);
    if (w == focused_) focused_ = 0;
}

bool X11InputMethod::filter(XEvent& ev) {
    if (!im_) return false;
    // A window typed into holds the focus of the method, whether the
    // keyboard came by focus or by a grab.
    if (ev.type == KeyPress) focus(ev.xany.window, true);
    if (ev.type == FocusIn) focus(ev.xany.window, false);
    if (ev.type == FocusOut) setFocus(ev.xany.window, false);
    if (ev.type == DestroyNotify) std::erase(gone_, ev.xdestroywindow.window);
    return XFilterEvent(&ev, 0) == True;
}

void X11InputMethod::forget(::Window w) {
    if (!w) return;
    if (std::find(gone_.begin(), gone_.end(), w) == gone_.end()) gone_.push_back(w);
    if (gone_.size() > kGoneKept) gone_.pop_front();
    auto it = contexts_.find(w);
    if (it == contexts_.end()) return;
    if (it->second) XDestroyIC(it->second);
    contexts_.erase(it);
    --g_contexts;
    if (w == focused_) focused_ = 0;
}

X11KeyText X11InputMethod::lookup(XKeyEvent& k) {
    XIC ic = k.type == KeyPress ? contextOf(k.window, true) : nullptr;
    if (!ic) return x11PlainKeyText(k);
    X11KeyText out;
    std::string text(64, '\0');
    Status st = 0;
    int n = Xutf8LookupString(ic, &k, text.data(), static_cast<int>(text.size()), &out.sym, &st);
    if (st == XBufferOverflow && n > 0) {
        text.assign(static_cast<size_t>(n), '\0');
        n = Xutf8LookupString(ic, &k, text.data(), n, &out.sym, &st);
    }
    if (st != XLookupKeySym && st != XLookupBoth) out.sym = 0;
    if ((st == XLookupChars || st == XLookupBoth) && n > 0) {
        text.resize(static_cast<size_t>(n));
        out.text = CTDecodeUTF8Lenient(text);
    }
    return out;
}

}  // namespace platform::appkit
