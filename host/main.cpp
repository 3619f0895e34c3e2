// halvoran-host: loads a plug-in through its component entry and drives it
// as a digital audio workstation would.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>

#include "host/HostOptions.h"
#include "host/HostSession.h"
#include "host/HostView.h"
#include "host/view.h"

namespace {

std::atomic<bool> gInterrupted{false};

void onSignal(int) { gInterrupted = true; }

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

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);

    hvhost::HostSession session(options);
    if (!session.start(&error)) {
        fprintf(stderr, "halvoran-host: %s\n", error.c_str());
        return 1;
    }
    if (options.listParams) fputs(session.describeParams(true).c_str(), stdout);

    bool viewShown = options.view && hvhost::runHostView(session, gInterrupted);
    if (options.view && !viewShown) fprintf(stderr, "halvoran-host: this build shows no panel\n");
    if (!viewShown)
        while (!gInterrupted && !session.finished()) std::this_thread::sleep_for(std::chrono::milliseconds(10));

    session.stopRendering();
    if (options.printParams) fputs(session.describeParams(false).c_str(), stdout);
    fflush(stdout);
    if (!session.finish(&error)) {
        fprintf(stderr, "halvoran-host: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
