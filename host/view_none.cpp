#include "host/HostView.h"

namespace hvhost {

bool runHostView(HostSession&, const std::atomic<bool>&) { return false; }

}  // namespace hvhost
