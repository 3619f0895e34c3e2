#include "src/UIConfigManager.h"

#include "src/Halvoran.h"
#include "src/debugger.h"

#include <sstream>

const std::string* SysExContainer::firstTemplate() const {
    if (lists.empty() || lists.front().empty()) return nullptr;
    return &lists.front().front();
}

bool UIConfigManager::debugLogOn() const { return plug && plug->debugLogOn; }

void UIConfigManager::log(const std::string& message) const {
    if (plug) plug->log(message);
}

const char* UIConfigManager::getParamGroup(int offset, std::string group) {
    if (offset >= 0) {
        groupName_ = "Timbre " + std::to_string(offset + 1);
        if (!group.empty()) groupName_ += ":" + group;
    } else {
        groupName_ = group;
    }
    return groupName_.c_str();
}

const std::string* UIConfigManager::sysExTemplate(int sysexIndex) {
    const std::string* found = nullptr;
    if (sysexIndex >= 0 && static_cast<std::size_t>(sysexIndex) < sysExContainers.size())
        found = sysExContainers[sysexIndex].firstTemplate();
    if (!found && debugLogOn()) {
        std::ostringstream line;
        line << "CONFIG READER: SysEx list " << sysexIndex << " MISSING!";
        log(line.str());
    }
    return found;
}
