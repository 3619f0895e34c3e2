// A shared object for the module tests, built several times with different
// exports. Every entry call is logged to the file that HVMOD_LOG names, as
// "<module> <entry> <reason> <record>", so a test can check order and counts.
// An entry answers false on attach when HVMOD_FAIL names it.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#define HVMOD_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

[[maybe_unused]] bool logEntry(const char* entry, int reason, void* record) {
    if (const char* log = std::getenv("HVMOD_LOG")) {
        if (FILE* f = std::fopen(log, "a")) {
            std::fprintf(f, "%s %s %d %p\n", HVMOD_NAME, entry, reason, record);
            std::fclose(f);
        }
    }
    const char* fail = std::getenv("HVMOD_FAIL");
    return !(reason == 1 && fail && std::strcmp(fail, entry) == 0);
}

}  // namespace

#ifdef HVMOD_SHIM_ENTRY
HVMOD_EXPORT bool SHIM_dllMain(void* record, int reason, void*) { return logEntry("SHIM_dllMain", reason, record); }
#endif

#ifdef HVMOD_DLL_ENTRY
HVMOD_EXPORT bool DllMain(void* record, int reason, void*) { return logEntry("DllMain", reason, record); }
#endif

HVMOD_EXPORT const char* HVMOD_PROBE() { return HVMOD_NAME; }
