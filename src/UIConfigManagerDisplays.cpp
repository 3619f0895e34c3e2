// Display factories: the read-only value texts and the editable name fields.
#include "src/UIConfigManager.h"

#include "framework/IControl.h"
#include "src/Halvoran.h"
#include "src/ProgramDump.h"

namespace {

// The multi's name: the unnamed index after the common mode.
constexpr int kMultiName = kCommonMode + 1;

}  // namespace

void UIConfigManager::createControlDisplay(std::string name, int paramIdx, int x, int y, int width, int height,
                                           int unusedInt, ControlLayer* layer, std::string group, int displaySize) {
    IParam* param = factoryParam(paramIdx);
    if (!param) return;
    int size = 14, alpha = 200;
    switch (displaySize) {
        case 1:
            size = 15;
            break;
        case 2:
            size = 16;
            alpha = 100;
            break;
        case 3:
            size = 16;
            break;
        default:
            break;
    }
    IText style = panelText(size, IColor(alpha, 0, 0, 0));
    auto* display = new ITextControl(plug, scaledRect(x, y, width, height), &style, "");
    placeControl(display, layer);
    // Bound only to show the parameter's value; it sends nothing.
    bindControl(paramIdx, ControlAction::kNone, display);
}

void UIConfigManager::createNameDisplay(std::string name, int paramIdx, int x, int y, int width, int height,
                                        int nameLen, int offset, ControlLayer* layer, std::string group) {
    IParam* param = factoryParam(paramIdx);
    if (!param) return;
    param->InitEnum(hostName(name, -1).c_str(), 0, 1, "", hostGroup(offset, group).c_str(), -1, -1);
    param->InitText();

    // The orange reads on the dark fields of the rename and search boxes.
    const IColor dark(255, 50, 60, 70), orange(255, 255, 140, 26);
    const char* text = "INIT";
    IColor color = dark;
    switch (paramIdx) {
        case kPatchName:
            text = "-- INIT --";
            break;
        case kMultiName:
            text = "Init Multi";
            break;
        case kPatchRename:
            text = "New Name";
            color = orange;
            break;
        case kPatchSearchString:
            text = "search...";
            color = orange;
            break;
        default:
            break;
    }
    param->SetDisplayText(0, text);

    IText style = panelText(14, color);
    auto* field = new ICaptionControl(plug, scaledRect(x, y, width, height), paramIdx, &style, true);
    // A click opens the text entry.
    field->DisablePrompt(false);
    field->SetTextEntryLength(nameLen);
    // A program's name takes only what the instrument shows, as it is typed.
    if (paramIdx == kPatchName || paramIdx == kPatchRename) field->SetTextEntryFilter(programNameCharacter);
    // The search box's first text is a hint, not a search.
    if (paramIdx == kPatchSearchString) field->SetPlaceholder(text);
    placeControl(field, layer);
    bindControl(paramIdx, ControlAction::kNone, field);
}
