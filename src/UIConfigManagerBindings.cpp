#include "src/UIConfigManager.h"

#include "src/Halvoran.h"

#include <sstream>

UIConfigManager::~UIConfigManager() {
    // A parameter must not keep pointing at a freed binding.
    for (auto& [param, action] : actions_)
        if (param->GetControlAction() == action.get()) param->SetControlAction(nullptr);
}

ControlAction* UIConfigManager::actionFor(IParam* param, int kind) {
    if (ControlAction* existing = param->GetControlAction()) {
        existing->kind = kind;
        return existing;
    }
    actions_.emplace_back(param, std::make_unique<ControlAction>(kind));
    ControlAction* made = actions_.back().second.get();
    param->SetControlAction(made);
    return made;
}

ControlAction* UIConfigManager::bindControl(int paramIdx, int kind, IControl* control) {
    IParam* param = plug ? plug->GetParam(paramIdx) : nullptr;
    if (!param) {
        if (debugLogOn()) {
            std::ostringstream line;
            line << "CONFIG READER: parameter index " << paramIdx << " NOT FOUND! Control left unbound.";
            log(line.str());
        }
        return nullptr;
    }
    ControlAction* action = actionFor(param, kind);
    if (control) action->boundControls.push_back(control);
    return action;
}

void UIConfigManager::bindLinkPartner(ControlAction* action, const LinkInfo& link, int paramIdx) {
    if (!action || !link.present()) return;
    // The link's indices already carry the timbre copy: the partner is the
    // first one itself, and the way back is this parameter's own index.
    IParam* partner = plug ? plug->GetParam(link.partner()) : nullptr;
    if (!partner) {
        if (debugLogOn()) {
            std::ostringstream line;
            line << "CONFIG READER: link partner " << link.partner() << " of parameter " << paramIdx
                 << " NOT FOUND! No link made.";
            log(line.str());
        }
        return;
    }
    action->link = link;
    ControlAction* back = partner->GetControlAction();
    if (!back) back = actionFor(partner, ControlAction::kSysEx);
    back->link = LinkInfo{{paramIdx, link.second(), -1}};
}

void UIConfigManager::registerCCControl(const ControlAction* action, IControl* control) {
    if (action) addToCCControlMap(ccControls, *action, control);
}

void UIConfigManager::registerMsbLsbControl(const ControlAction* action, IControl* control) {
    nrpnControls.addToControlMap(action, control);
}

bool UIConfigManager::registerSysExControl(const ControlAction* action, int changingByte, IControl* control) {
    unsigned char header[4];
    if (!action || !sysExLookupBytes(action->sysEx, changingByte, header)) return false;
    sysExControls.addToControlMap(header, 0, control);
    return true;
}
