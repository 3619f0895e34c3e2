// The walk over the panel description: layers, per-timbre copies and every
// control element, each handed to its factory with its attributes read.
#include "src/UIConfigManager.h"

#include "framework/ControlLayer.h"
#include "framework/IControl.h"
#include "framework/IGraphics.h"
#include "src/Halvoran.h"
#include "src/LibrarianViewControl.h"

#include <tinyxml2.h>

#include <cstring>
#include <sstream>

namespace {

using tinyxml2::XMLElement;

const char* const kLayerElements[] = {"layer",      "eg2layer",        "vplayer",      "lfo1layer",    "lfo2layer",
                                      "voicelayer", "osccontrollayer", "modseq1layer", "modseq2layer", "modseq3layer"};

bool isLayerElement(const char* name) {
    for (const char* layer : kLayerElements)
        if (std::strcmp(name, layer) == 0) return true;
    return false;
}

std::string textAttribute(const XMLElement* element, const char* name) {
    const char* text = element->Attribute(name);
    return text ? text : "";
}

// A decimal integer from the start of the attribute; 0 when absent or not a number.
int intAttribute(const XMLElement* element, const char* name) {
    int value = 0;
    if (element->QueryIntAttribute(name, &value) != tinyxml2::XML_SUCCESS) value = 0;
    return value;
}

// A decimal integer from the start of a text; fallback when there is none.
int leadingInt(const std::string& text, int fallback) {
    std::istringstream in(text);
    int value;
    return in >> value ? value : fallback;
}

// The attributes of every MIDI-bound control element.
struct ControlAttributes {
    int length = 0;
    int changingByte = 0;
    std::string type;
    std::string name;
    int position[4] = {0, 0, 0, 0};
    int bounds[4] = {0, 0, 0, 0};
    LinkInfo link;
    int displayFirst = -1;
    int displayLast = -1;
    std::string valueList;
    int ccNumber = 0, msbValue = 0, lsbValue = 0, channel = 0, lsbControl = 0;
    int sysexIndex = 0, msgZeroVal = 0, color = 0;
};

}  // namespace

void UIConfigManager::processXMLElement(tinyxml2::XMLNode* node, ControlLayer* layer, int offset) {
    if (!graphics) {
        if (node) log("CONFIG READER: no panel to build on!");
        return;
    }
    // Comments and text between elements are passed over.
    for (; node; node = node->NextSibling())
        if (XMLElement* element = node->ToElement()) buildElement(element, layer, offset);
}

namespace {

// "first:last" of a valueDisplay attribute; -1, -1 unless it holds exactly
// two numbers.
void readValueDisplay(UIConfigManager& manager, const std::string& text, int& first, int& last) {
    first = last = -1;
    std::vector<std::string> parts;
    manager.Tokenize(text, parts, ":");
    if (parts.size() != 2) return;
    std::istringstream a(parts[0]), b(parts[1]);
    int x, y;
    if (!(a >> x) || !(b >> y)) return;
    first = x;
    last = y;
}

}  // namespace

void UIConfigManager::buildElement(tinyxml2::XMLElement* element, ControlLayer* layer, int offset) {
    const char* elementName = element->Name();
    const std::string imageId = textAttribute(element, "imageId");
    const std::string group = textAttribute(element, "paramGroup");

    // The parameter reference: a symbolic name, "+" and a number to reach an
    // unnamed index after it; inside a timbre copy shifted by the copy.
    const std::string paramId = textAttribute(element, "paramId");
    int paramIdx = -1;
    bool paramFound = false;
    std::vector<std::string> parts;
    Tokenize(paramId, parts, "+");
    if (!parts.empty()) {
        paramIdx = getParamByName(parts[0]);
        // An unknown name must not turn into another parameter's index by the
        // additions below: the element is left out instead.
        paramFound = paramIdx >= 0;
        if (paramFound && offset >= 0) paramIdx += offset;
        if (paramFound && parts.size() >= 2) paramIdx += leadingInt(parts[1], 0);
    }
    // An element that builds a control needs its parameter.
    auto needParam = [&]() {
        if (paramFound) return true;
        if (debugLogOn()) {
            if (paramId.empty())
                log(std::string("CONFIG READER: ") + elementName + " without paramId skipped!");
            else
                log("CONFIG READER: " + std::string(elementName) + " of parameter " + paramId + " skipped!");
        }
        return false;
    };
    auto unknownType = [&](const std::string& type) {
        if (debugLogOn()) log("CONFIG READER: " + std::string(elementName) + " type " + type + " UNKNOWN!");
    };

    if (isLayerElement(elementName)) {
        buildLayer(element, layer, offset);
        return;
    }
    if (std::strcmp(elementName, "multilayer") == 0) {
        buildMultiLayer(element, layer, offset);
        return;
    }
    if (std::strcmp(elementName, "patchBrowser") == 0) {
        IBitmap bitmap = getImageByName(graphics, imageId);
        int bounds[4] = {0, 0, 0, 0};
        getCSValues(textAttribute(element, "bounds"), bounds, 4);
        const int l = scaled(bounds[0]), t = scaled(bounds[1]);
        librarianView =
            new LibrarianViewControl(plug, l, t, kLibrarianArea, &bitmap,
                                     IRECT(l, t, l + scaled(bounds[2]), t + scaled(bounds[3])), librarian, scale);
        placeControl(librarianView, layer);
        return;
    }
    if (std::strcmp(elementName, "background") == 0) {
        IBitmap bitmap = getImageByName(graphics, imageId);
        int position[2] = {0, 0};
        getCSValues(textAttribute(element, "position"), position, 2);
        placeControl(new IBitmapControl(plug, scaled(position[0]), scaled(position[1]), -1, &bitmap), layer);
        return;
    }
    if (std::strcmp(elementName, "knobcontrol") == 0 || std::strcmp(elementName, "buttoncontrol") == 0 ||
        std::strcmp(elementName, "menucontrol") == 0 || std::strcmp(elementName, "slidercontrol") == 0) {
        if (needParam()) buildMIDIControl(element, paramIdx, imageId, group, offset, layer);
        return;
    }

    const std::string name = textAttribute(element, "name");
    if (std::strcmp(elementName, "display") == 0) {
        if (!needParam()) return;
        int bounds[4] = {0, 0, 0, 0}, size[1] = {0};
        getCSValues(textAttribute(element, "bounds"), bounds, 4);
        getCSValues(textAttribute(element, "displaySize"), size, 1);
        createControlDisplay(name, paramIdx, bounds[0], bounds[1], bounds[2], bounds[3], offset, layer, group, size[0]);
        return;
    }
    if (std::strcmp(elementName, "switch") == 0 || std::strcmp(elementName, "autooff") == 0) {
        if (!needParam()) return;
        int position[2] = {0, 0}, value[1] = {0};
        getCSValues(textAttribute(element, "position"), position, 2);
        if (elementName[0] == 's') {
            getCSValues(textAttribute(element, "valueBounds"), value, 1);
            createBoolControl(name, paramIdx, value[0], position[0], position[1], imageId, offset, layer, group);
        } else {
            createSwitchControl(name, paramIdx, 0, position[0], position[1], imageId, offset, layer, group);
        }
        return;
    }
    if (std::strcmp(elementName, "radio") == 0) {
        if (!needParam()) return;
        int position[2] = {0, 0};
        getCSValues(textAttribute(element, "position"), position, 2);
        createRadioControl(name, paramIdx, position[0], position[1], imageId, intAttribute(element, "buttons"), offset,
                           layer, group);
        return;
    }
    if (std::strcmp(elementName, "dropMenu") == 0) {
        if (!needParam()) return;
        const std::string type = textAttribute(element, "type");
        const std::string list = textAttribute(element, "valueList");
        int b[4] = {0, 0, 0, 0}, input[1] = {0}, v[3] = {0, 0, 0};
        getCSValues(textAttribute(element, "bounds"), b, 4);
        getCSValues(textAttribute(element, "inputDev"), input, 1);
        getCSValues(textAttribute(element, "valueBounds"), v, 3);
        if (type == "textSelection")
            createDropDownMenu(name, paramIdx, b[0], b[1], b[2], b[3], offset, layer, group);
        else if (type == "deviceSelection")
            createMIDIDeviceSelectionControl("deviceSelection", paramIdx, b[0], b[1], b[2], b[3], input[0], offset,
                                             layer, group);
        else if (type == "nameSelection")
            createNameDisplay(name, paramIdx, b[0], b[1], b[2], b[3], intAttribute(element, "nameLen"), offset, layer,
                              group);
        else if (type == "dropSelection")
            createDropDownMenu2(name, paramIdx, b[0], b[1], b[2], b[3], v[0], v[1], v[2], valueLists[list], offset,
                                layer, group);
        else
            unknownType(type);
        return;
    }
    if (std::strcmp(elementName, "multiFx") == 0) {
        if (!needParam()) return;
        const std::string type = textAttribute(element, "type");
        const std::string list = textAttribute(element, "valueList");
        int p[4] = {0, 0, 0, 0}, v[3] = {0, 0, 0};
        if (type == "Knob") {
            getCSValues(textAttribute(element, "position"), p, 2);
            getCSValues(textAttribute(element, "valueBounds"), v, 3);
            createNoValKnobControl(name, paramIdx, p[0], p[1], imageId, v[0], v[1], v[2], 1.0, offset, layer, group);
        } else if (type == "Menu") {
            getCSValues(textAttribute(element, "position"), p, 4);
            getCSValues(textAttribute(element, "valueBounds"), v, 3);
            int first, last;
            readValueDisplay(*this, textAttribute(element, "valueDisplay"), first, last);
            createNoValDropDown(name, paramIdx, p[0], p[1], p[2], p[3], v[0], v[1], v[2], first, last,
                                intAttribute(element, "visible"), valueLists[list], offset, layer, group,
                                intAttribute(element, "white") != 0);
        } else if (type == "Switch") {
            getCSValues(textAttribute(element, "position"), p, 2);
            getCSValues(textAttribute(element, "valueBounds"), v, 1);
            createNoValBoolControl(name, paramIdx, p[0], p[1], imageId, v[0], offset, layer, group);
        } else {
            unknownType(type);
        }
        return;
    }
    // The value lists were read before the walk.
    if (std::strcmp(elementName, "valueLists") == 0) return;
    if (debugLogOn()) log(std::string("CONFIG READER: element ") + elementName + " UNKNOWN!");
}

void UIConfigManager::placeLayer(ControlLayer* made, ControlLayer* layer) {
    if (layer)
        layer->AddSubLayer(made);
    else
        graphics->AttachLayer(made);
}

void UIConfigManager::buildLayer(tinyxml2::XMLElement* element, ControlLayer* layer, int offset) {
    const char* name = element->Attribute("name");
    if (!name) log(std::string("CONFIG READER: ") + element->Name() + " without name!");
    auto* made = new ControlLayer(intAttribute(element, "id"), name ? name : "");
    placeLayer(made, layer);
    layers[made->GetName()] = made;
    processXMLElement(element->FirstChild(), made, offset);
    // After the children: the outermost layer's setting is the one that holds.
    made->setIgnoreHiddenWhenUpdatingScreen(textAttribute(element, "overlay") == "true");
}

void UIConfigManager::buildMultiLayer(tinyxml2::XMLElement* element, ControlLayer* layer, int offset) {
    const int copies = intAttribute(element, "create");
    const std::string base = textAttribute(element, "name");
    // One copy per timbre; inside copy i every parameter is moved by i.
    for (int i = 0; i < copies; ++i) {
        auto* copy = new ControlLayer(i, base + std::to_string(i));
        processXMLElement(element->FirstChild(), copy, i);
        layers[copy->GetName()] = copy;
        placeLayer(copy, layer);
    }
}

void UIConfigManager::buildMIDIControl(tinyxml2::XMLElement* element, int paramIdx, const std::string& imageId,
                                       const std::string& group, int offset, ControlLayer* layer) {
    ControlAttributes a;
    a.length = intAttribute(element, "length");
    a.changingByte = intAttribute(element, "changingByte");
    a.type = textAttribute(element, "type");
    a.name = textAttribute(element, "name");
    getCSValues(textAttribute(element, "position"), a.position, 4);
    getCSValues(textAttribute(element, "valueBounds"), a.bounds, 4);
    getBiDirectLinkValues(textAttribute(element, "biDirectLink"), a.link.values, offset);
    a.valueList = textAttribute(element, "valueList");
    readValueDisplay(*this, textAttribute(element, "valueDisplay"), a.displayFirst, a.displayLast);
    a.ccNumber = intAttribute(element, "ccNumber");
    a.msbValue = intAttribute(element, "msbValue");
    a.lsbValue = intAttribute(element, "lsbValue");
    a.channel = intAttribute(element, "channel");
    a.lsbControl = intAttribute(element, "lsbControl");
    a.sysexIndex = intAttribute(element, "sysexIndex");
    a.msgZeroVal = intAttribute(element, "msgZeroVal");
    a.color = intAttribute(element, "color");

    const int x = a.position[0], y = a.position[1], w = a.position[2];
    const double d0 = a.bounds[0], d1 = a.bounds[1], d2 = a.bounds[2], d3 = a.bounds[3];
    // Menus are one text line high.
    constexpr int kMenuHeight = 13;
    const std::string& t = a.type;
    if (t == "seKnob")
        createSysExKnobControl(a.name, paramIdx, x, y, imageId, d0, d1, d2, d3, a.msgZeroVal, a.sysexIndex,
                               a.changingByte, offset, a.link, layer, group);
    else if (t == "seKnob2")
        createSysExKnobControl2(a.name, paramIdx, x, y, imageId, d0, d1, d2, d3, a.msgZeroVal, a.sysexIndex,
                                a.changingByte, offset, a.link, layer, group);
    else if (t == "seSliderVer" || t == "seSliderHor")
        createSysExSliderControl(a.name, paramIdx, x, y, a.length, imageId, d0, d1, d2, d3, a.msgZeroVal, a.sysexIndex,
                                 a.changingByte, offset, a.link, layer, group,
                                 t == "seSliderVer" ? kVertical : kHorizontal, false);
    else if (t == "seButton")
        createSysExBoolControl(a.name, paramIdx, x, y, imageId, d0, a.msgZeroVal, a.sysexIndex, a.changingByte, offset,
                               a.link, layer, group);
    else if (t == "ccSliderVer" || t == "ccSliderHor")
        createCCSliderControl(a.ccNumber, a.channel, a.name, paramIdx, x, y, a.length, imageId, d0, d1, d2, a.link,
                              offset, layer, group, t == "ccSliderVer" ? kVertical : kHorizontal, false);
    else if (t == "ccKnob")
        createCCKnobControl(a.ccNumber, a.channel, a.name, paramIdx, x, y, imageId, d0, d1, d2, d3, a.link, offset,
                            layer, group);
    else if (t == "ccButton")
        createCCBoolControl(a.ccNumber, a.channel, a.name, paramIdx, x, y, imageId, d0, d1, d2, a.link, offset, layer,
                            group);
    else if (t == "msbLsbKnob")
        createMsbLsbKnobControl(a.ccNumber, a.msbValue, a.lsbValue, a.lsbControl, a.channel, a.name, paramIdx, x, y,
                                imageId, d0, d1, d2, d3, a.link, offset, layer, group);
    else if (t == "msbLsbButton")
        createMsbLsbBoolControl(a.ccNumber, a.msbValue, a.lsbValue, a.lsbControl, a.channel, a.name, paramIdx, x, y,
                                imageId, d0, d1, d2, a.link, offset, layer, group);
    else if (t == "msbLsbMenu")
        createMsbLsbSelectionCCControl(a.ccNumber, a.msbValue, a.lsbValue, a.lsbControl, a.channel, a.name, paramIdx, x,
                                       y, w, kMenuHeight, a.bounds[0], a.bounds[1], a.bounds[2], a.displayFirst,
                                       a.displayLast, valueLists[a.valueList], offset, layer, group);
    else if (t == "seMenu")
        createMultiSelectionSysExControl(a.name, paramIdx, x, y, w, kMenuHeight, a.bounds[0], a.bounds[1], a.bounds[2],
                                         a.displayFirst, a.displayLast, valueLists[a.valueList], a.msgZeroVal, a.color,
                                         a.sysexIndex, a.changingByte, offset, layer, group);
    else if (t == "ccMenu")
        createMultiSelectionCCControl(a.ccNumber, a.channel, a.name, paramIdx, x, y, w, kMenuHeight, a.bounds[0],
                                      a.bounds[1], a.bounds[2], a.displayFirst, a.displayLast, valueLists[a.valueList],
                                      offset, layer, group);
    else if (debugLogOn())
        log("CONFIG READER: " + std::string(element->Name()) + " type " + t + " UNKNOWN!");
}
