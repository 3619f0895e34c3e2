#pragma once
// A UI configuration manager whose plug-in writes its debug log into a fresh
// data folder, and a reader for the lines it wrote.
#include "src/Halvoran.h"
#include "src/UIConfigManager.h"
#include "support/TempDataDir.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace hvtest {

struct LoggedManager {
    TempDataDir dir;
    Halvoran plug;
    UIConfigManager manager;

    explicit LoggedManager(bool logOn = true) {
        plug.debugLogOn = logOn;
        plug.debugLogPath = dir.str() + "Halvoran LOG.txt";
        manager.plug = &plug;
    }

    // The message part of every log line, time stamps cut off.
    std::vector<std::string> lines() const {
        std::vector<std::string> out;
        std::ifstream in(plug.debugLogPath);
        std::string line;
        while (std::getline(in, line)) {
            const auto at = line.find("\t ");
            out.push_back(at == std::string::npos ? line : line.substr(at + 2));
        }
        return out;
    }

    int count(const std::string& message) const {
        auto all = lines();
        return static_cast<int>(std::count(all.begin(), all.end(), message));
    }

    void clearLog() const { std::filesystem::remove(plug.debugLogPath); }
};

}  // namespace hvtest
