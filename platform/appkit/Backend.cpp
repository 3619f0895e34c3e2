#include "platform/appkit/Backend.h"

#include <cctype>
#include <cstdlib>

#include "platform/coretext/CTLine.h"

namespace platform::appkit {

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

std::string limitText(const std::string& text, int maxLength, const CharacterFilter& filter) {
    if (filter) {
        TextEditing field;
        field.setFilter(filter);
        field.setMaxLength(maxLength);
        field.setText(CTDecodeUTF8Lenient(text));
        return CTEncodeUTF8(field.text());
    }
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
