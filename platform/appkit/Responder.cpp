#include "platform/appkit/Responder.h"

namespace platform::appkit {

// Out of line, so that the kind of a view or window is known the same way in
// every module that asks.
Responder::~Responder() = default;

}  // namespace platform::appkit
