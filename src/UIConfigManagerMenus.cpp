// Menu factories: a caption that names the current value and opens a menu of
// every value, bound to nothing, to a control change, to an MSB/LSB set or to
// a prepared SysEx message per value; and the MIDI port menus.
#include "src/UIConfigManager.h"

#include "framework/IControl.h"
#include "src/Halvoran.h"
#include "src/MIDIPortMenuControl.h"

namespace {

// The unnamed parameters after the timbre's MIDI channel.
constexpr int kTimbreSpare = kTimbreChannel + 2;

const IColor kMenuWhite(255, 255, 255, 255);
const IColor kMenuYellow(255, 255, 173, 0);
// Bright enough to read on the dark header and fields of the legacy and
// s-model skins.
const IColor kMenuOrange(255, 255, 140, 26);

// Parameters addressed two steps further per timbre.
bool twoStepsPerTimbre(int paramIdx) {
    return (paramIdx >= kVPatchSrc1 && paramIdx <= kVPatchSrc3 + 1) ||
           (paramIdx >= kVPatchDest1 && paramIdx <= kVPatchDest4 + 1) || paramIdx == kLfo2KeySync ||
           paramIdx == kLfo2KeySync + 1 || paramIdx == kTimbreSpare || paramIdx == kTimbreSpare + 1;
}

}  // namespace

void UIConfigManager::createDropDownMenu(std::string name, int paramIdx, int x, int y, int w, int h, int offset,
                                         ControlLayer* layer, std::string group) {
    IParam* param = factoryParam(paramIdx);
    if (!param) return;
    // A text shown in menu form that never opens a menu.
    param->InitEnum(hostName(name, -1).c_str(), 0, 1, "", hostGroup(offset, group).c_str(), -1, -1);
    param->SetDisplayText(0, "----");
    IControl* menu = buildMenu(paramIdx, x, y, w, h, panelText(15, kMenuYellow), false, layer);
    bindControl(paramIdx, ControlAction::kNone, menu);
}

void UIConfigManager::createDropDownMenu2(std::string name, int paramIdx, int x, int y, int w, int h, int defaultValue,
                                          int minValue, int maxValue, Values values, int offset, ControlLayer* layer,
                                          std::string group) {
    if (IControl* menu = buildValueMenu(hostName(name, -1), paramIdx, x, y, w, h, defaultValue, minValue, maxValue, -1,
                                        -1, values, false, offset, group, skinColor(), layer))
        bindControl(paramIdx, ControlAction::kNone, menu);
}

void UIConfigManager::createMIDIDeviceSelectionControl(std::string name, int paramIdx, int x, int y, int w, int h,
                                                       int inputDev, int offset, ControlLayer* layer,
                                                       std::string group) {
    IParam* param = factoryParam(paramIdx);
    if (!param) return;
    // The ports as the MIDI system lists them now, "Select MIDI Device" first.
    const std::vector<std::string>& ports =
        inputDev == 1 ? plug->getExternalMIDIInNames() : plug->getExternalMIDIOutNames();
    param->InitEnum("Device Selection", 0, static_cast<int>(ports.size()), "", "", -1, -1);
    setMenuTexts(param, static_cast<int>(ports.size()), ports, -1, -1, false);
    // Always on the panel itself, over whatever layer is showing; it asks
    // for the ports afresh each time it opens.
    IText text = panelText(15, skin == 2 ? kMenuWhite : kMenuOrange);
    auto* menu = new MIDIPortMenuControl(plug, scaledRect(x, y, w, h), paramIdx, &text);
    menu->DisablePrompt(false);
    placeControl(menu, nullptr);
    bindControl(paramIdx, ControlAction::kNone, menu);
}

void UIConfigManager::createNoValDropDown(std::string name, int paramIdx, int x, int y, int w, int h, int defaultValue,
                                          int minValue, int maxValue, int displayFirst, int displayLast, int visible,
                                          Values values, int offset, ControlLayer* layer, std::string group,
                                          bool white) {
    // An invisible menu draws its text with alpha 0: only its area is clickable.
    IColor color(0, 255, 173, 0);
    if (visible == 1) {
        if (white)
            color = kMenuWhite;
        else if (skin == 0 || skin == 2)
            color = skinColor();
        else
            color = kMenuYellow;
    }
    buildValueMenu(hostName(name, -1), paramIdx, x, y, w, h, defaultValue, minValue, maxValue, displayFirst,
                   displayLast, values, true, offset, group, color, layer);
}

void UIConfigManager::createMultiSelectionCCControl(int ccNumber, int channel, std::string name, int paramIdx, int x,
                                                    int y, int w, int h, int defaultValue, int minValue, int maxValue,
                                                    int displayFirst, int displayLast, Values values, int offset,
                                                    ControlLayer* layer, std::string group) {
    IControl* menu = buildValueMenu(hostName(name, offset), paramIdx, x, y, w, h, defaultValue, minValue, maxValue,
                                    displayFirst, displayLast, values, true, offset, group,
                                    // Yellow cannot be read on the platinum skin's light fields.
                                    skin == 2 ? skinColor() : IColor(254, 255, 173, 0), layer);
    if (!menu) return;
    ControlAction* action = bindControl(paramIdx, ControlAction::kCC, menu);
    action->ccNumber = ccNumber;
    action->key = offset < 0 ? channel : offset + 1;
    // The delay's sync note shares its control change with another setting.
    action->type = offset < 0 && paramIdx != kDelayFxSyncNote ? 1 : 0;
    registerCCControl(action, menu);
}

void UIConfigManager::createMsbLsbSelectionCCControl(int ccNumber, int msbValue, int lsbValue, int lsbControl,
                                                     int channel, std::string name, int paramIdx, int x, int y, int w,
                                                     int h, int defaultValue, int minValue, int maxValue,
                                                     int displayFirst, int displayLast, Values values, int offset,
                                                     ControlLayer* layer, std::string group) {
    IControl* menu = buildValueMenu(hostName(name, offset), paramIdx, x, y, w, h, defaultValue, minValue, maxValue,
                                    displayFirst, displayLast, values, true, offset, group, skinColor(), layer);
    if (!menu) return;
    ControlAction* action = bindControl(paramIdx, ControlAction::kMsbLsb, menu);
    action->ccNumber = ccNumber;
    action->msbValue = msbValue;
    action->lsbValue = lsbValue;
    action->lsbControl = lsbControl;
    if (keysByChannel(layer)) {
        action->key = channel;
        action->type = 1;
    } else {
        action->key = offset + 1;
        action->type = 0;
    }
    registerMsbLsbControl(action, menu);
}

void UIConfigManager::createMultiSelectionSysExControl(std::string name, int paramIdx, int x, int y, int w, int h,
                                                       int defaultValue, int minValue, int maxValue, int displayFirst,
                                                       int displayLast, Values values, int msgZeroVal, int color,
                                                       int sysexIndex, int changingByte, int offset,
                                                       ControlLayer* layer, std::string group) {
    IControl* menu = buildValueMenu(hostName(name, offset), paramIdx, x, y, w, h, defaultValue, minValue, maxValue,
                                    displayFirst, displayLast, values, true, offset, group, skinColor(), layer);
    if (!menu) return;
    ControlAction* action = bindControl(paramIdx, ControlAction::kSysEx, menu);
    const SysExMember member = twoStepsPerTimbre(paramIdx)
                                   ? &UIConfigManager::calculateSysexWithTwoChangingBytes
                                   : valueEncoding(paramIdx, &UIConfigManager::calculateSysexWithChangingByte);
    // One message per value, and one more.
    bindSysExMessages(action, member, sysexIndex, changingByte, maxValue - minValue + 1, minValue, offset, menu);
}
