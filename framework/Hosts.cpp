#include "framework/Hosts.h"

#include <cstring>

EHost LookUpHost(const char* hostName) {
    if (hostName && strstr(hostName, "halvoran-host")) return kHostHalvoranHost;
    return kHostUnknown;
}
