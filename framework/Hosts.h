#pragma once
// Which host loaded the plug-in, as far as it tells. Nothing in the plug-in
// depends on the answer yet.

enum EHost {
    kHostUnknown = 0,
    kHostHalvoranHost,  // our own halvoran-host
};

// The host for a name a host gives of itself; kHostUnknown when none fits.
EHost LookUpHost(const char* hostName);
