#pragma once
// The host's view of the plug-in's panel. A build without a view module
// shows none; the session then runs without a window.
#include <atomic>

namespace hvhost {

class HostSession;

// Shows the plug-in's panel until the user closes it or `stop` turns true.
// False at once when this build has no view.
bool runHostView(HostSession& session, const std::atomic<bool>& stop);

}  // namespace hvhost
