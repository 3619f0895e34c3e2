// Button factories: radio groups, on/off switches and momentary buttons of
// the editor's own settings, and the buttons that send a control change with
// off and on values, an MSB/LSB set or a prepared SysEx message.
#include "src/UIConfigManager.h"

#include "framework/IControl.h"
#include "src/Halvoran.h"
#include "src/ICustomRadioButtonsControl.h"

void UIConfigManager::createRadioControl(std::string name, int paramIdx, int x, int y, std::string imageId, int buttons,
                                         int offset, ControlLayer* layer, std::string group) {
    IParam* param = factoryParam(paramIdx);
    if (!param) return;
    IBitmap bitmap = getImageByName(graphics, imageId);
    param->InitEnum(hostName(name, -1).c_str(), 0, buttons, "", hostGroup(offset, group).c_str(), -1, -1);
    // Choosing a page or mode moves other parameters with it.
    param->SetIsMeta(true);
    // The control covers one frame: the whole group. Frames stacked one over
    // the other hold a row of buttons, frames side by side a column.
    const int left = scaled(x), top = scaled(y);
    const bool sideBySide = bitmap.mFramesAreHorizontal;
    const IRECT rect = sideBySide ? IRECT(left, top, left + bitmap.W / 2, top + bitmap.H)
                                  : IRECT(left, top, left + bitmap.W, top + bitmap.H / 2);
    auto* radio =
        new ICustomRadioButtonsControl(plug, rect, paramIdx, buttons, &bitmap, sideBySide ? kVertical : kHorizontal);
    placeControl(radio, layer);
    bindControl(paramIdx, ControlAction::kNone, radio);
}

void UIConfigManager::createBoolControl(std::string name, int paramIdx, int defaultValue, int x, int y,
                                        std::string imageId, int offset, ControlLayer* layer, std::string group) {
    IParam* param = factoryParam(paramIdx);
    if (!param) return;
    IControl* control = buildSwitch<ISwitchControl>(param, hostName(name, -1), paramIdx, x, y, imageId,
                                                    defaultValue != 0, offset, layer, group);
    bindControl(paramIdx, ControlAction::kNone, control);
}

void UIConfigManager::createSwitchControl(std::string name, int paramIdx, int defaultValue, int x, int y,
                                          std::string imageId, int offset, ControlLayer* layer, std::string group) {
    IParam* param = factoryParam(paramIdx);
    if (!param) return;
    IControl* control = buildSwitch<IContactControl>(param, hostName(name, -1), paramIdx, x, y, imageId,
                                                     defaultValue != 0, offset, layer, group);
    bindControl(paramIdx, ControlAction::kNone, control);
}

void UIConfigManager::createAutoOffSwitchControl(std::string name, int paramIdx, int x, int y, std::string imageId,
                                                 int offset, ControlLayer* layer, std::string group) {
    createSwitchControl(name, paramIdx, 0, x, y, imageId, offset, layer, group);
}

void UIConfigManager::createCCBoolControl(int ccNumber, int channel, std::string name, int paramIdx, int x, int y,
                                          std::string imageId, double defaultValue, double offValue, double onValue,
                                          LinkInfo link, int offset, ControlLayer* layer, std::string group) {
    IParam* param = factoryParam(paramIdx);
    if (!param) return;
    IControl* control = buildSwitch<ISwitchControl>(param, hostName(name, offset), paramIdx, x, y, imageId,
                                                    defaultValue != 0.0, offset, layer, group);
    // A two-state control change takes no link.
    ControlAction* action = bindControl(paramIdx, ControlAction::kCCTwoState, control);
    action->offValue = static_cast<int>(offValue);
    action->onValue = static_cast<int>(onValue);
    action->type = offset < 0 ? 1 : 0;
    action->ccNumber = ccNumber;
    action->key = offset >= 0 ? offset + 1 : channel;
    registerCCControl(action, control);
}

void UIConfigManager::createMsbLsbBoolControl(int ccNumber, int msbValue, int lsbValue, int lsbControl, int channel,
                                              std::string name, int paramIdx, int x, int y, std::string imageId,
                                              double defaultValue, double offValue, double onValue, LinkInfo link,
                                              int offset, ControlLayer* layer, std::string group) {
    IParam* param = factoryParam(paramIdx);
    if (!param) return;
    IControl* control = buildSwitch<ISwitchControl>(param, hostName(name, offset), paramIdx, x, y, imageId,
                                                    defaultValue != 0.0, offset, layer, group);
    ControlAction* action = bindControl(paramIdx, ControlAction::kMsbLsb, control);
    action->offValue = static_cast<int>(offValue);
    action->onValue = static_cast<int>(onValue);
    bindLinkPartner(action, link, paramIdx);
    action->type = offset < 0 ? 1 : 0;
    action->ccNumber = ccNumber;
    action->msbValue = msbValue;
    action->lsbValue = lsbValue;
    action->lsbControl = lsbControl;
    action->key = offset >= 0 ? offset + 1 : channel;
    registerMsbLsbControl(action, control);
}

void UIConfigManager::createSysExBoolControl(std::string name, int paramIdx, int x, int y, std::string imageId,
                                             double defaultValue, int msgZeroVal, int sysexIndex, int changingByte,
                                             int offset, LinkInfo link, ControlLayer* layer, std::string group) {
    IParam* param = factoryParam(paramIdx);
    if (!param) return;
    IControl* control = buildSwitch<ISwitchControl>(param, hostName(name, offset), paramIdx, x, y, imageId,
                                                    defaultValue != 0.0, offset, layer, group);
    ControlAction* action = bindControl(paramIdx, ControlAction::kSysExButton, control);
    bindLinkPartner(action, link, paramIdx);
    // Two messages, for off and on. The second LFO's tempo sync is addressed
    // two steps further per timbre than the other switches.
    const bool twoSteps = paramIdx == kLfo2TempoSync || paramIdx == kLfo2TempoSync + 1;
    bindSysExMessages(action,
                      twoSteps ? &UIConfigManager::calculateSysexWithTwoChangingBytes
                               : &UIConfigManager::calculateSysexWithChangingByte,
                      sysexIndex, changingByte, 2, 0, offset, control);
}
