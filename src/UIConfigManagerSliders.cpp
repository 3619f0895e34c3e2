// Slider factories: a fader sending one control change, and one sending a
// prepared SysEx message per value.
#include "src/UIConfigManager.h"

#include "framework/ControlLayer.h"
#include "framework/IControl.h"
#include "src/Halvoran.h"

bool UIConfigManager::keysByChannel(const ControlLayer* layer) {
    if (!layer) return false;
    const std::string& name = layer->GetName();
    return name == "miniMixer" || name == "multiModeMixer" || name == "miniMixer2" || name == "multiModeMixer2" ||
           name == "multiModeSettingsPage1";
}

void UIConfigManager::createCCSliderControl(int ccNumber, int channel, std::string name, int paramIdx, int x, int y,
                                            int length, std::string image, double defaultValue, double minValue,
                                            double maxValue, LinkInfo link, int offset, ControlLayer* layer,
                                            std::string group, EDirection direction, bool unusedFlag) {
    const BoundControl fader = boundFader(ControlAction::kCC, link, name, paramIdx, x, y, length, image, defaultValue,
                                          minValue, maxValue, offset, layer, group, direction);
    ControlAction* action = fader.action;
    if (!action) return;
    action->ccNumber = ccNumber;
    // A slider outside any layer is keyed like one in a layer of another name.
    action->key = keysByChannel(layer) ? channel : offset + 1;
    action->type = 0;
    registerCCControl(action, fader.control);
}

void UIConfigManager::createSysExSliderControl(std::string name, int paramIdx, int x, int y, int length,
                                               std::string image, double defaultValue, double minValue, double maxValue,
                                               double unusedStep, int valueShift, int sysexIndex, int changingByte,
                                               int offset, LinkInfo link, ControlLayer* layer, std::string group,
                                               EDirection direction, bool unusedFlag) {
    const BoundControl fader = boundFader(ControlAction::kSysEx, link, name, paramIdx, x, y, length, image,
                                          defaultValue, minValue, maxValue, offset, layer, group, direction);
    if (!fader.action) return;
    // The range keeps its length; its first message carries minimum + shift.
    const int lo = static_cast<int>(minValue), hi = static_cast<int>(maxValue);
    bindSysExMessages(fader.action, &UIConfigManager::calculateSysexWithChangingByte, sysexIndex, changingByte,
                      hi - lo + 1, lo + valueShift, offset, fader.control);
}
