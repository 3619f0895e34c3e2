#include "platform/appkit/Pasteboard.h"

#include "platform/appkit/Backend.h"

#include <algorithm>

namespace platform::appkit {

InProcessPasteboards::Board& InProcessPasteboards::board(const std::string& name) {
    for (auto& [n, b] : boards_)
        if (n == name) return b;
    return boards_.emplace_back(name, Board{}).second;
}

std::vector<std::string> InProcessPasteboards::types(const std::string& name, Paste&) { return board(name).types; }

void InProcessPasteboards::declare(const std::string& name, const std::vector<std::string>& types) {
    Board& b = board(name);
    b.types.clear();
    for (const auto& t : types)
        if (std::find(b.types.begin(), b.types.end(), t) == b.types.end()) b.types.push_back(t);
    b.data.assign(b.types.size(), std::nullopt);
}

bool InProcessPasteboards::set(const std::string& name, const std::string& type, Bytes bytes) {
    Board& b = board(name);
    auto it = std::find(b.types.begin(), b.types.end(), type);
    if (it == b.types.end()) return false;
    b.data[size_t(it - b.types.begin())] = std::move(bytes);
    return true;
}

std::optional<Bytes> InProcessPasteboards::get(const std::string& name, const std::string& type, Paste&) {
    Board& b = board(name);
    auto it = std::find(b.types.begin(), b.types.end(), type);
    return it == b.types.end() ? std::nullopt : b.data[size_t(it - b.types.begin())];
}

std::vector<std::string> Pasteboard::types(Paste* paste) const {
    Paste own;
    return Application::backend().pasteboards().types(name_, paste ? *paste : own);
}

void Pasteboard::declareTypes(const std::vector<std::string>& types) const {
    Application::backend().pasteboards().declare(name_, types);
}

bool Pasteboard::setString(const std::string& utf8, const std::string& type) const {
    return setData(Bytes(utf8.begin(), utf8.end()), type);
}

bool Pasteboard::setData(Bytes bytes, const std::string& type) const {
    return Application::backend().pasteboards().set(name_, type, std::move(bytes));
}

std::optional<std::string> Pasteboard::stringForType(const std::string& type, Paste* paste) const {
    auto bytes = dataForType(type, paste);
    if (!bytes) return std::nullopt;
    return std::string(bytes->begin(), bytes->end());
}

std::optional<Bytes> Pasteboard::dataForType(const std::string& type, Paste* paste) const {
    Paste own;
    return Application::backend().pasteboards().get(name_, type, paste ? *paste : own);
}

}  // namespace platform::appkit

namespace platform::appkit {

PasteboardStore& Backend::pasteboards() {
    static InProcessPasteboards store;
    return store;
}

}  // namespace platform::appkit
