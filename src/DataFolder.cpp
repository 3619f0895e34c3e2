#include "src/DataFolder.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace {

std::string withSeparator(std::string path) {
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

std::string homeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "/tmp";
}

}  // namespace

std::string halvoranDataFolder() {
    if (const char* dir = std::getenv("HALVORAN_DATA_DIR"); dir && *dir) return withSeparator(dir);
    std::string base;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
        base = xdg;
    else
        base = homeFolder() + "/.local/share";
    return withSeparator(base) + "Tallowmere Audio/Brem Halvoran Editor/";
}
