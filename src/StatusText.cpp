#include "src/StatusText.h"

#include <vector>

namespace {

// Where each UTF-8 character of text begins.
std::vector<size_t> characterStarts(const std::string& text) {
    std::vector<size_t> starts;
    for (size_t i = 0; i < text.size(); ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) starts.push_back(i);
    return starts;
}

}  // namespace

std::string statusNaming(const std::string& head, const std::string& name, const std::string& tail) {
    const size_t fixed = characterStarts(head).size() + characterStarts(tail).size();
    const std::vector<size_t> starts = characterStarts(name);
    if (fixed + starts.size() <= kStatusRoom) return head + name + tail;
    // One of the room's characters is the ellipsis.
    const size_t keep = kStatusRoom > fixed + 1 ? kStatusRoom - fixed - 1 : 0;
    const size_t front = (keep + 1) / 2, back = keep / 2;
    return head + name.substr(0, starts[front]) + "\xE2\x80\xA6" +
           (back ? name.substr(starts[starts.size() - back]) : std::string()) + tail;
}
