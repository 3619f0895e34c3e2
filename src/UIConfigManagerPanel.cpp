#include "src/UIConfigManager.h"

#include <tinyxml2.h>

// The walk over the panel description: every element node from `node` on, in
// document order. Comments and text between elements are passed over.
void UIConfigManager::processXMLElement(tinyxml2::XMLNode* node, ControlLayer* layer, int offset) {
    for (; node; node = node->NextSibling())
        if (tinyxml2::XMLElement* element = node->ToElement()) buildElement(element, layer, offset);
}

// One element: the layer elements, multilayer and the control elements with
// their factories come here, keyed by element name. The value lists section
// is read before the walk and builds nothing.
void UIConfigManager::buildElement(tinyxml2::XMLElement* element, ControlLayer* layer, int offset) {}
