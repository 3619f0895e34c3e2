// The steps every control factory shares: finding the parameter, its names
// for the host, scaling, placing, text styles, menu texts and the SysEx
// binding of a control.
#include "src/UIConfigManager.h"

#include "framework/ControlLayer.h"
#include "framework/IControl.h"
#include "framework/IGraphics.h"
#include "src/Halvoran.h"

#include <sstream>

namespace {

constexpr const char* kPanelFont = "NK57 Monospace";

// Name, label and group fields of a parameter hold this many characters.
std::string cutToField(std::string text) {
    if (text.size() > IParam::kTextFieldSize - 1) text.resize(IParam::kTextFieldSize - 1);
    return text;
}

}  // namespace

IParam* UIConfigManager::factoryParam(int paramIdx) {
    IParam* param = plug ? plug->GetParam(paramIdx) : nullptr;
    if (param && graphics) return param;
    if (debugLogOn()) {
        std::ostringstream line;
        if (!param)
            line << "CONFIG READER: parameter index " << paramIdx << " NOT FOUND! Control not built.";
        else
            line << "CONFIG READER: no panel for parameter index " << paramIdx << "! Control not built.";
        log(line.str());
    }
    return nullptr;
}

std::string UIConfigManager::hostName(const std::string& name, int offset) const {
    if (offset < 0) return cutToField(name);
    return cutToField("[" + std::to_string(offset + 1) + "] " + name);
}

std::string UIConfigManager::hostGroup(int offset, const std::string& group) {
    return cutToField(getParamGroup(offset, group));
}

IRECT UIConfigManager::scaledRect(int x, int y, int w, int h) const {
    const int left = scaled(x), top = scaled(y);
    return IRECT(left, top, left + scaled(w), top + scaled(h));
}

void UIConfigManager::placeControl(IControl* control, ControlLayer* layer) {
    if (layer)
        layer->AddControl(control);
    else
        graphics->AttachControl(control);
}

IText UIConfigManager::panelText(int size, const IColor& color) const {
    return IText(static_cast<int>(size * scale), &color, kPanelFont);
}

IColor UIConfigManager::skinColor() const {
    switch (skin) {
        case 0:
            return IColor(255, 200, 180, 80);
        case 2:
            return IColor(255, 180, 30, 50);
        default:
            // The s-model's own orange: a darker one cannot be read on its
            // dark fields.
            return IColor(255, 255, 140, 26);
    }
}

bool UIConfigManager::setMenuTexts(IParam* param, int n, const Values& values, int displayFirst, int displayLast,
                                   bool numbers) {
    if (static_cast<int>(values.size()) == n) {
        for (int i = 0; i < n; ++i) param->SetDisplayText(i, values[i].c_str());
        return true;
    }
    if (!numbers || displayFirst == displayLast) return false;
    for (int i = 0; i < n; ++i) param->SetDisplayText(i, std::to_string(displayFirst + i).c_str());
    return true;
}

IControl* UIConfigManager::buildMenu(int paramIdx, int x, int y, int w, int h, const IText& style, bool prompt,
                                     ControlLayer* layer) {
    IText text = style;
    auto* menu = new ICaptionControl(plug, scaledRect(x, y, w, h), paramIdx, &text, true);
    menu->DisablePrompt(!prompt);
    placeControl(menu, layer);
    return menu;
}

IControl* UIConfigManager::buildValueMenu(const std::string& name, int paramIdx, int x, int y, int w, int h,
                                          int defaultValue, int minValue, int maxValue, int displayFirst,
                                          int displayLast, const Values& values, bool numbers, int offset,
                                          const std::string& group, const IColor& color, ControlLayer* layer) {
    IParam* param = factoryParam(paramIdx);
    if (!param) return nullptr;
    const int n = maxValue - minValue;
    param->InitEnum(name.c_str(), defaultValue, n, "", hostGroup(offset, group).c_str(), -1, -1);
    if (!setMenuTexts(param, n, values, displayFirst, displayLast, numbers)) return nullptr;
    // Each text added raised the maximum from 0 and held the value under it:
    // the menu starts at its default again.
    param->Set(defaultValue);
    return buildMenu(paramIdx, x, y, w, h, panelText(13, color), true, layer);
}

UIConfigManager::SysExMember UIConfigManager::valueEncoding(int paramIdx, SysExMember fallback) {
    switch (paramIdx) {
        case kEQLowGain:
        case kEQHiGain:
            return &UIConfigManager::calculateSysexWithChangingByteEQ;
        case kArpTempo:
            return &UIConfigManager::calculateSysexWithChangingByteTempo;
        case kArpSwing:
            return &UIConfigManager::calculateSysexWithChangingByteSwing;
        case kTimbreTranspose:
        case kTimbreTranspose + 1:
            return &UIConfigManager::calculateSysexWithChangingByteTranspose;
        case kTimbreTune:
        case kTimbreTune + 1:
            return &UIConfigManager::calculateSysexWithChangingByteTuning;
        default:
            return fallback;
    }
}

IKnobMultiControl* UIConfigManager::buildKnob(IParam* param, const std::string& name, int paramIdx, int x, int y,
                                              const std::string& image, double defaultValue, double minValue,
                                              double maxValue, double step, int offset, ControlLayer* layer,
                                              const std::string& group) {
    IBitmap bitmap = getImageByName(graphics, image);
    param->InitDouble(name.c_str(), defaultValue, minValue, maxValue, step, "", hostGroup(offset, group).c_str(), -1,
                      -1);
    auto* knob = new IKnobMultiControl(plug, scaled(x), scaled(y), paramIdx, &bitmap);
    placeControl(knob, layer);
    return knob;
}

IFaderControl* UIConfigManager::buildFader(IParam* param, const std::string& name, int paramIdx, int x, int y,
                                           int length, const std::string& image, double defaultValue, double minValue,
                                           double maxValue, int offset, ControlLayer* layer, const std::string& group,
                                           EDirection direction) {
    IBitmap bitmap = getImageByName(graphics, image);
    param->InitDouble(name.c_str(), defaultValue, minValue, maxValue, 1.0, "", hostGroup(offset, group).c_str(), -1,
                      -1);
    auto* fader = new IFaderControl(plug, scaled(x), scaled(y), scaled(length), paramIdx, &bitmap, direction, false);
    placeControl(fader, layer);
    return fader;
}

UIConfigManager::BoundControl UIConfigManager::boundKnob(int kind, const LinkInfo& link, const std::string& name,
                                                         int paramIdx, int x, int y, const std::string& image,
                                                         double defaultValue, double minValue, double maxValue,
                                                         double step, int offset, ControlLayer* layer,
                                                         const std::string& group) {
    IParam* param = factoryParam(paramIdx);
    if (!param) return {};
    IControl* knob = buildKnob(param, hostName(name, offset), paramIdx, x, y, image, defaultValue, minValue, maxValue,
                               step, offset, layer, group);
    ControlAction* action = bindControl(paramIdx, kind, knob);
    bindLinkPartner(action, link, paramIdx);
    return {knob, action};
}

UIConfigManager::BoundControl UIConfigManager::boundFader(int kind, const LinkInfo& link, const std::string& name,
                                                          int paramIdx, int x, int y, int length,
                                                          const std::string& image, double defaultValue,
                                                          double minValue, double maxValue, int offset,
                                                          ControlLayer* layer, const std::string& group,
                                                          EDirection direction) {
    IParam* param = factoryParam(paramIdx);
    if (!param) return {};
    IControl* fader = buildFader(param, hostName(name, offset), paramIdx, x, y, length, image, defaultValue, minValue,
                                 maxValue, offset, layer, group, direction);
    ControlAction* action = bindControl(paramIdx, kind, fader);
    bindLinkPartner(action, link, paramIdx);
    return {fader, action};
}

template <typename Switch>
IControl* UIConfigManager::buildSwitch(IParam* param, const std::string& name, int paramIdx, int x, int y,
                                       const std::string& imageId, bool on, int offset, ControlLayer* layer,
                                       const std::string& group) {
    IBitmap bitmap = getImageByName(graphics, imageId);
    param->InitBool(name.c_str(), on, "", hostGroup(offset, group).c_str(), -1, -1);
    auto* control = new Switch(plug, scaled(x), scaled(y), paramIdx, &bitmap);
    placeControl(control, layer);
    return control;
}

template IControl* UIConfigManager::buildSwitch<ISwitchControl>(IParam*, const std::string&, int, int, int,
                                                                const std::string&, bool, int, ControlLayer*,
                                                                const std::string&);
template IControl* UIConfigManager::buildSwitch<IContactControl>(IParam*, const std::string&, int, int, int,
                                                                 const std::string&, bool, int, ControlLayer*,
                                                                 const std::string&);

void UIConfigManager::bindSysExMessages(ControlAction* action, SysExMember member, int sysexIndex, int changingByte,
                                        int count, int start, int offset, IControl* control) {
    if (!action) return;
    ControlActionSysExMessage messages;
    // A missing template or one the expansion refuses leaves the binding
    // without messages, so nothing incoming can be matched to it.
    if (const std::string* sysexTemplate = sysExTemplate(sysexIndex))
        (this->*member)(*sysexTemplate, changingByte, count, &messages, start, offset);
    action->sysEx = std::move(messages);
    registerSysExControl(action, changingByte, control);
}
