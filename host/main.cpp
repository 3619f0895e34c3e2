// halvoran-host: loads a plug-in through its component entry and drives it
// as a digital audio workstation would.
#include <atomic>
#include <csignal>
#include <cstdio>
#include <string>

#include "host/HostOptions.h"
#include "host/HostSession.h"
#include "host/HostView.h"
#include "host/view.h"
#include "platform/appkit/RunLoop.h"

namespace {

// Until the plug-in is open and running there is nothing to save or close in
// order: a signal then ends the program at once, also when a start-up step
// waits for ever (a file system that stopped answering).
std::atomic<bool> gRunning{false};

void onSignal(int sig) {
    if (gRunning) {
        // Whatever menu, entry or panel is open ends as if cancelled.
        platform::appkit::RunLoop::requestQuit();
        return;
    }
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

}  // namespace

int main(int argc, char** argv) {
    hvhost::HostOptions options;
    std::string error;
    if (!hvhost::parseOptions(argc, argv, &options, &error)) {
        fprintf(stderr, "halvoran-host: %s\n%s", error.c_str(), hvhost::usageText());
        return 2;
    }
    if (options.help) {
        fputs(hvhost::usageText(), stdout);
        return 0;
    }
    if (options.plugin.empty()) options.plugin = hvhost::defaultPluginPath(argv[0]);
    if (options.plugin.empty()) {
        fprintf(stderr, "halvoran-host: no plug-in found; name one with --plugin\n");
        return 2;
    }

    platform::appkit::RunLoop::main();  // made before a signal may wake it
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);

    hvhost::HostSession session(options);
    if (!session.start(&error)) {
        fprintf(stderr, "halvoran-host: %s\n", error.c_str());
        return 1;
    }
    gRunning = true;
    if (options.listParams) {
        // A listing is all that is asked: print it and quit.
        fputs(session.describeParams(true).c_str(), stdout);
        fflush(stdout);
        return session.finish(&error) ? 0 : 1;
    }

    bool viewShown = options.view && hvhost::runHostView(session);
    if (options.view && !viewShown) fprintf(stderr, "halvoran-host: this build shows no panel\n");
    // Without a panel the main loop still runs: what the plug-in's other
    // threads hand to its GUI thread is done there.
    if (!viewShown)
        while (!platform::appkit::RunLoop::quitRequested() && !session.finished())
            platform::appkit::RunLoop::main().runFor(10);

    session.stopRendering();
    if (options.printParams) fputs(session.describeParams(false).c_str(), stdout);
    fflush(stdout);
    if (!session.finish(&error)) {
        fprintf(stderr, "halvoran-host: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
