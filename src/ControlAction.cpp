#include "src/ControlAction.h"

namespace {

// Walks nested maps key by key without inserting; null when a level is missing.
template <typename Map, typename... Rest>
IControl* findIn(const Map& map, int key, Rest... rest) {
    auto it = map.find(key);
    if (it == map.end()) return nullptr;
    if constexpr (sizeof...(Rest) == 0)
        return it->second;
    else
        return findIn(it->second, rest...);
}

}  // namespace

void addToCCControlMap(CCControlMap& map, const ControlAction& action, IControl* control) {
    map[action.key][action.ccNumber][action.type] = control;
}

IControl* findCCControl(const CCControlMap& map, int key, int ccNumber, int type) {
    return findIn(map, key, ccNumber, type);
}

void NRPNControlContainer::addToControlMap(const ControlAction* action, IControl* control) {
    if (!action) return;
    controls_[action->key][action->msbValue][action->lsbValue][action->lsbControl][action->type] = control;
}

IControl* NRPNControlContainer::findControl(int key, int msbValue, int lsbValue, int lsbControl, int type) const {
    return findIn(controls_, key, msbValue, lsbValue, lsbControl, type);
}

void SysExControlContainer::addToControlMap(const unsigned char* header, unsigned char fifthKey, IControl* control) {
    if (!header) return;
    controls_[header[0]][header[1]][header[2]][header[3]][fifthKey] = control;
}

IControl* SysExControlContainer::findControl(int header1, int header2, int header3, int keyByte, int fifthKey) const {
    return findIn(controls_, header1, header2, header3, keyByte, fifthKey);
}

bool sysExLookupBytes(const ControlActionSysExMessage& sysEx, int changingByte, unsigned char header[4]) {
    if (sysEx.messages.empty()) return false;
    const std::vector<int>& first = sysEx.messages.front();
    const std::size_t from = changingByte == 7 ? 2 : 3;
    if (first.size() < from + 4) return false;
    for (std::size_t i = 0; i < 4; ++i) header[i] = static_cast<unsigned char>(first[from + i] & 0xFF);
    return true;
}
