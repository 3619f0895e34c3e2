#include "src/UIConfigManager.h"

#include <algorithm>
#include <sstream>

void UIConfigManager::Tokenize(const std::string& text, std::vector<std::string>& tokens,
                               const std::string& delimiters) {
    std::string::size_type start = text.find_first_not_of(delimiters);
    while (start != std::string::npos) {
        const std::string::size_type end = text.find_first_of(delimiters, start);
        tokens.push_back(text.substr(start, end - start));
        if (end == std::string::npos) break;
        start = text.find_first_not_of(delimiters, end);
    }
}

std::vector<int> UIConfigManager::convertStringSysextoVector(std::string text) {
    std::vector<std::string> tokens;
    Tokenize(text, tokens, " ");
    std::vector<int> bytes;
    bytes.reserve(tokens.size());
    for (const std::string& token : tokens) {
        std::istringstream in(token);
        int value = 0;
        if (!(in >> std::hex >> value)) value = 0;
        bytes.push_back(value);
    }
    return bytes;
}

void UIConfigManager::getCSValues(std::string text, int* values, int count) {
    if (!values || count <= 0) return;
    std::vector<std::string> tokens;
    Tokenize(text, tokens, ",");
    const int n = std::min(count, static_cast<int>(tokens.size()));
    for (int i = 0; i < n; ++i) {
        std::istringstream in(tokens[i]);
        int value;
        // A token that is no number, or too large for an int, keeps the caller's default.
        if (in >> value) values[i] = value;
    }
}

void UIConfigManager::getBiDirectLinkValues(std::string text, int* link, int offset) {
    if (!link) return;
    std::vector<std::string> tokens;
    Tokenize(text, tokens, ",");
    link[0] = link[1] = link[2] = -1;
    if (tokens.size() < 2) return;
    const int copy = std::max(offset, 0);
    // An unknown name stays -1: shifting it by the copy would name a real parameter.
    for (int i = 0; i < 2; ++i) {
        const int index = getParamByName(tokens[i]);
        link[i] = index < 0 ? -1 : index + copy;
    }
    if (tokens.size() == 3) {
        std::istringstream in(tokens[2]);
        int value;
        if (in >> value) link[2] = value;
    }
}
