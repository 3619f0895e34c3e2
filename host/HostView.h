#pragma once
// The host's view of the plug-in's panel. A build without a view module
// shows none; the session then runs without a window.

namespace hvhost {

class HostSession;

// Shows the plug-in's panel until the user closes it, the run ends or the
// program is asked to quit. False at once when this build has no view.
bool runHostView(HostSession& session);

}  // namespace hvhost
