// std::regex for the tests. GCC 12 at -O2 with the sanitizers takes the
// std::function members of the pattern compiler's moved states for
// uninitialised (a false alarm inside the library), which stops a build
// whose warnings are errors.
#pragma once

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <regex>
#pragma GCC diagnostic pop
#else
#include <regex>
#endif
