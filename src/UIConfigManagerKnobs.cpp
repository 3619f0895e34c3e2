// Knob factories: without MIDI, with one control change, with an MSB/LSB set
// and with a prepared SysEx message per value; and the switch without MIDI.
#include "src/UIConfigManager.h"

#include "framework/IControl.h"
#include "src/Halvoran.h"

#include <cmath>

void UIConfigManager::createNoValKnobControl(std::string name, int paramIdx, int x, int y, std::string image,
                                             double defaultValue, double minValue, double maxValue, double unusedStep,
                                             int offset, ControlLayer* layer, std::string group) {
    IParam* param = factoryParam(paramIdx);
    if (!param) return;
    // Settings of the editor itself: no timbre prefix, nothing sent.
    buildKnob(param, hostName(name, -1), paramIdx, x, y, image, defaultValue, minValue, maxValue, 1.0, offset, layer,
              group);
}

void UIConfigManager::createCCKnobControl(int ccNumber, int channel, std::string name, int paramIdx, int x, int y,
                                          std::string image, double defaultValue, double minValue, double maxValue,
                                          double step, LinkInfo link, int offset, ControlLayer* layer,
                                          std::string group) {
    const BoundControl knob = boundKnob(ControlAction::kCC, link, name, paramIdx, x, y, image, defaultValue, minValue,
                                        maxValue, std::trunc(step), offset, layer, group);
    ControlAction* action = knob.action;
    if (!action) return;
    action->ccNumber = ccNumber;
    action->key = offset < 0 ? channel : offset + 1;
    // The wave sample choice of either timbre has a control change of its own kind.
    if (paramIdx == kOsc1DWGSWave || paramIdx == kOsc1DWGSWave + 1)
        action->type = 2;
    else
        action->type = offset < 0 ? 1 : 0;
    registerCCControl(action, knob.control);
}

void UIConfigManager::createMsbLsbKnobControl(int ccNumber, int msbValue, int lsbValue, int lsbControl, int channel,
                                              std::string name, int paramIdx, int x, int y, std::string image,
                                              double defaultValue, double minValue, double maxValue, double unusedStep,
                                              LinkInfo link, int offset, ControlLayer* layer, std::string group) {
    const BoundControl knob = boundKnob(ControlAction::kMsbLsb, link, name, paramIdx, x, y, image, defaultValue,
                                        minValue, maxValue, 1.0, offset, layer, group);
    ControlAction* action = knob.action;
    if (!action) return;
    action->ccNumber = ccNumber;
    action->msbValue = msbValue;
    action->lsbValue = lsbValue;
    action->lsbControl = lsbControl;
    action->key = offset >= 0 ? offset + 1 : channel;
    action->type = offset < 0 ? 1 : 0;
    registerMsbLsbControl(action, knob.control);
}

void UIConfigManager::createNoValBoolControl(std::string name, int paramIdx, int x, int y, std::string image,
                                             double defaultValue, int offset, ControlLayer* layer, std::string group) {
    IParam* param = factoryParam(paramIdx);
    if (!param) return;
    buildSwitch<ISwitchControl>(param, hostName(name, -1), paramIdx, x, y, image, defaultValue != 0.0, offset, layer,
                                group);
}

void UIConfigManager::createSysExKnobControl(std::string name, int paramIdx, int x, int y, std::string image,
                                             double defaultValue, double minValue, double maxValue, double unusedStep,
                                             int unusedInt, int sysexIndex, int changingByte, int offset, LinkInfo link,
                                             ControlLayer* layer, std::string group) {
    buildSysExKnob(&UIConfigManager::calculateSysexWithChangingByte, name, paramIdx, x, y, image, defaultValue,
                   minValue, maxValue, sysexIndex, changingByte, offset, link, layer, group);
}

void UIConfigManager::createSysExKnobControl2(std::string name, int paramIdx, int x, int y, std::string image,
                                              double defaultValue, double minValue, double maxValue, double unusedStep,
                                              int unusedInt, int sysexIndex, int changingByte, int offset,
                                              LinkInfo link, ControlLayer* layer, std::string group) {
    // The sequencer amounts, unless the parameter has its own encoding.
    const SysExMember member = valueEncoding(paramIdx, &UIConfigManager::calculateSysexWithChangingByteModSeq);
    buildSysExKnob(member, name, paramIdx, x, y, image, defaultValue, minValue, maxValue, sysexIndex, changingByte,
                   offset, link, layer, group);
}

void UIConfigManager::buildSysExKnob(SysExMember member, const std::string& name, int paramIdx, int x, int y,
                                     const std::string& image, double defaultValue, double minValue, double maxValue,
                                     int sysexIndex, int changingByte, int offset, const LinkInfo& link,
                                     ControlLayer* layer, const std::string& group) {
    const BoundControl knob = boundKnob(ControlAction::kSysEx, link, name, paramIdx, x, y, image, defaultValue,
                                        minValue, maxValue, 1.0, offset, layer, group);
    if (!knob.action) return;
    // One message per value of the range, counted from its minimum.
    const int lo = static_cast<int>(minValue), hi = static_cast<int>(maxValue);
    bindSysExMessages(knob.action, member, sysexIndex, changingByte, hi - lo + 1, lo, offset, knob.control);
}
