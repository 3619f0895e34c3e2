#include "host/view.h"

#include "host/HostSession.h"
#include "host/HostView.h"
#include "platform/audiounit/AUHost.h"

#include <cstdio>
#include <cstdlib>

#include "platform/appkit/Backend.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/Window.h"
#include "raster/RAST_PngWrite.h"

using namespace platform::appkit;

int hostShowWindow(Window& window, const HostViewOptions& options) {
    RunLoop& loop = RunLoop::main();
    if (Application::isHeadless()) {
        window.show();
        loop.runFor(120);  // a few timer ticks: the panel draws what changed
        window.display();
        std::string path = options.png;
        if (path.empty()) {
            const char* tmp = std::getenv("TMPDIR");
            path = std::string(tmp && *tmp ? tmp : "/tmp") + "/halvoran-panel.png";
        }
        if (!RAST_WritePng(path, RAST_PngFromXRGB(window.pixels().data(), window.size().width, window.size().height))) {
            std::fprintf(stderr, "halvoran-host: could not write %s\n", path.c_str());
            return 1;
        }
        std::printf("No display: the panel was rendered to %s\n", path.c_str());
        return 0;
    }
    bool closed = false;
    window.setOnClose([&] { closed = true; });
    window.show();
    std::printf("Showing the panel in a window on %s\n", std::getenv("DISPLAY"));
    std::fflush(stdout);
    int ms = options.seconds > 0 ? static_cast<int>(options.seconds * 1000) : 24 * 3600 * 1000;
    loop.runUntil([&] { return closed; }, ms);
    return 0;
}

namespace hvhost {

bool runHostView(HostSession& session) {
    platform::au::Component* component = session.component();
    platform::au::Instance* instance = session.instance();
    if (!component || !instance || !component->viewEntry()) return false;
    Application::useDisplayIfAvailable();
    // A parent view for the plug-in's view; the window takes the view's size.
    View holder(Rect{0, 0, 1, 1});
    platform::au::AUViewCall call{};
    call.selector = platform::au::kViewSelOpen;
    call.instance = instance->handle();
    call.parentView = &holder;
    if (component->viewEntry()(&call) != 0 || !call.view || call.width <= 0 || call.height <= 0) {
        std::fprintf(stderr, "halvoran-host: the plug-in made no view\n");
        return false;
    }
    auto* view = static_cast<View*>(call.view);
    view->removeFromSuperview();
    Window window({call.width, call.height}, "Halvoran");
    window.contentView()->addSubview(view);
    HostViewOptions opts;
    opts.seconds = session.options().seconds;
    if (Application::isHeadless()) {
        hostShowWindow(window, opts);
    } else {
        bool closed = false;
        window.setOnClose([&] { closed = true; });
        // Closed while a menu or a panel of the plug-in is open, the host
        // quits all the same.
        window.setQuitsOnClose(true);
        window.show();
        std::printf("Showing the panel in a window on %s\n", std::getenv("DISPLAY"));
        std::fflush(stdout);
        int ms = opts.seconds > 0 ? static_cast<int>(opts.seconds * 1000) : 24 * 3600 * 1000;
        RunLoop::main().runUntil([&] { return closed || RunLoop::quitRequested() || session.finished(); }, ms);
    }
    // The view goes back to the plug-in, which removes and deletes it.
    view->removeFromSuperview();
    holder.addSubview(view);
    call.selector = platform::au::kViewSelClose;
    component->viewEntry()(&call);
    return true;
}

}  // namespace hvhost
