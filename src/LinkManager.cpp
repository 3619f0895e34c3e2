#include "src/LinkManager.h"

#include <vector>

#include "framework/IControl.h"
#include "src/Halvoran.h"

void LinkManager::controlLinker(Halvoran* plug, LinkInfo link, int paramIdx, int, double value) {
    IParam* moved = plug ? plug->GetParam(paramIdx) : nullptr;
    if (!moved || link.partner() < 0 || link.second() < 0) return;
    IParam* partner = plug->GetParam(link.partner());
    ControlAction* action = partner ? partner->GetControlAction() : nullptr;
    if (!action) return;

    plug->linking = true;
    plug->processControlAction(action, link.partner(), value);
    plug->linking = false;

    const std::vector<IControl*> controls = action->boundControls;
    for (IControl* control : controls) control->SetValueFromPlug(moved->GetNormalized());
}
