#include "platform/appkit/Backend.h"

#include <cctype>
#include <cstdlib>

#include "platform/appkit/HeadlessBackend.h"
#include "platform/appkit/X11Backend.h"

namespace platform::appkit {

namespace {
std::unique_ptr<Backend>& current() {
    static std::unique_ptr<Backend> backend;
    return backend;
}
}  // namespace

Backend& Application::backend() {
    auto& b = current();
    if (!b) b = std::make_unique<HeadlessBackend>();
    return *b;
}

void Application::setBackend(std::unique_ptr<Backend> b) { current() = std::move(b); }

bool Application::useDisplayIfAvailable() {
    const char* d = std::getenv("DISPLAY");
    if (!d || !*d) return false;
    auto b = createX11Backend();
    if (!b) return false;
    setBackend(std::move(b));
    return true;
}

bool Application::isHeadless() { return dynamic_cast<HeadlessBackend*>(&backend()) != nullptr; }

bool pathHasExtension(const std::string& path, const std::vector<std::string>& extensions) {
    if (extensions.empty()) return true;
    auto slash = path.find_last_of('/');
    auto dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
    std::string ext = path.substr(dot + 1);
    for (const auto& e : extensions) {
        if (e.size() != ext.size()) continue;
        bool same = true;
        for (size_t i = 0; i < e.size() && same; ++i)
            same = std::tolower(static_cast<unsigned char>(e[i])) == std::tolower(static_cast<unsigned char>(ext[i]));
        if (same) return true;
    }
    return false;
}

std::string limitText(const std::string& text, int maxLength) {
    if (maxLength <= 0) return text;
    // Count characters, not bytes: a UTF-8 continuation byte does not start one.
    int chars = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
        if (chars == maxLength) return text.substr(0, i);
        ++chars;
    }
    return text;
}

}  // namespace platform::appkit
