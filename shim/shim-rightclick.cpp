#include "shim/shim-kb.h"

namespace {
bool g_rightClickEmulate = false;
}

void SHIM_EnableRightClickEmulate(bool on) { g_rightClickEmulate = on; }
bool IsRightClickEmulateEnabled() { return g_rightClickEmulate; }
