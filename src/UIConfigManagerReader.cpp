#include "src/UIConfigManager.h"

#include "framework/IGraphics.h"
#include "src/TeaKey.h"
#include "src/TeaResource.h"

#include <tinyxml2.h>

#include <cstring>
#include <memory>
#include <sstream>

namespace {

constexpr int kPanelResourceId = 100;
constexpr int kSysExResourceId = 101;
constexpr const char* kPanelResource = "resources/uiconfig.tea";
constexpr const char* kSysExResource = "resources/sysex.tea";

// Texts of an element and its following siblings, whatever their names.
template <typename Take>
Values siblingTexts(const tinyxml2::XMLElement* first, Take take) {
    Values out;
    for (const tinyxml2::XMLElement* e = first; e; e = e->NextSiblingElement()) take(out, e->GetText());
    return out;
}

}  // namespace

std::string UIConfigManager::loadResourceText(int id, const char* path) {
    std::unique_ptr<uint8_t[]> bytes(graphics ? graphics->LoadFile(id, path) : nullptr);
    if (!bytes) {
        log(std::string("CONFIG READER: ") + path + " MISSING!");
        return std::string();
    }
    const int length = graphics->GetLoadedFileLength();
    std::string text = decipherResourceText(bytes.get(), length > 0 ? static_cast<std::size_t>(length) : 0, path);
    if (text.empty()) log(std::string("CONFIG READER: ") + path + " is empty!");
    return text;
}

bool UIConfigManager::parseResource(const char* path, int id, tinyxml2::XMLDocument& doc) {
    const std::string text = loadResourceText(id, path);
    if (text.empty()) return false;
    doc.Parse(text.c_str());
    if (doc.Error()) {
        if (debugLogOn()) {
            std::ostringstream line;
            line << "CONFIG READER: " << path << " is not readable XML (" << doc.ErrorName() << ", line "
                 << doc.ErrorLineNum() << ")!";
            log(line.str());
        }
        return false;
    }
    return true;
}

std::string UIConfigManager::decipherResourceText(const unsigned char* bytes, std::size_t length, const char* path) {
    unsigned int key[4];
    buildResourceKey(key);
    std::size_t remainder = 0;
    std::string text = teaDecipherResource(bytes, length, key, &remainder);
    if (remainder && debugLogOn()) {
        std::ostringstream line;
        line << "CONFIG READER: " << path << " ends with " << remainder << " bytes short of a whole block, left out!";
        log(line.str());
    }
    // The text ends at the first zero byte: the padding, or noise under a wrong key.
    text.resize(std::strlen(text.c_str()));
    return text;
}

void UIConfigManager::readSysexValues() {
    log("CONFIG READER: Started to read SysEx Data...");
    tinyxml2::XMLDocument doc(true, tinyxml2::PRESERVE_WHITESPACE);
    const tinyxml2::XMLElement* root = nullptr;
    if (parseResource(kSysExResource, kSysExResourceId, doc)) {
        root = doc.FirstChildElement("sysexlist");
        if (!root) log(std::string("CONFIG READER: ") + kSysExResource + " has no sysexlist!");
    }
    const tinyxml2::XMLElement* first = root ? root->FirstChildElement("sysex") : nullptr;
    for (const tinyxml2::XMLElement* sysex = first; sysex; sysex = sysex->NextSiblingElement()) {
        SysExContainer container;
        for (const tinyxml2::XMLElement* values = sysex->FirstChildElement("values"); values;
             values = values->NextSiblingElement()) {
            if (const tinyxml2::XMLElement* value = values->FirstChildElement("value")) {
                // An entry without text stands as one blank.
                container.lists.push_back(siblingTexts(value, [](Values& out, const char* text) {
                    if (!text)
                        out.push_back(" ");
                    else if (*text)
                        out.push_back(text);
                }));
                continue;
            }
            std::vector<Values> group;
            for (const tinyxml2::XMLElement* multi = values->FirstChildElement("multivalue"); multi;
                 multi = multi->NextSiblingElement()) {
                group.push_back(siblingTexts(multi->FirstChildElement("value"),
                                             [](Values& out, const char* text) { out.push_back(text ? text : ""); }));
            }
            container.hasGroups = true;
            container.groups.push_back(std::move(group));
        }
        sysExContainers.push_back(std::move(container));
    }
    log("CONFIG READER: Completed reading SysEx data!");
}

void UIConfigManager::readReasources(tinyxml2::XMLDocument* doc) {
    const tinyxml2::XMLElement* root = doc ? doc->FirstChildElement("uiconfig") : nullptr;
    const tinyxml2::XMLElement* lists = root ? root->FirstChildElement("valueLists") : nullptr;
    if (!lists) return;
    for (const tinyxml2::XMLElement* list = lists->FirstChildElement("list"); list;
         list = list->NextSiblingElement("list")) {
        const char* name = list->Attribute("name");
        if (!name) continue;  // nothing could ever ask for it
        Values texts;
        for (const tinyxml2::XMLElement* value = list->FirstChildElement("value"); value;
             value = value->NextSiblingElement("value")) {
            const char* text = value->GetText();
            texts.push_back(text ? text : "");
        }
        // A later list of the same name replaces the earlier one.
        valueLists[name] = std::move(texts);
    }
}

void UIConfigManager::readUIConfig(IGraphics* graphics, Halvoran* plug, PatchLibrarian* librarian, int skin,
                                   double scale) {
    this->graphics = graphics;
    this->plug = plug;
    this->librarian = librarian;
    this->skin = skin;
    this->scale = scale;

    readSysexValues();
    initImages(graphics);
    initParams();

    tinyxml2::XMLDocument doc(true, tinyxml2::PRESERVE_WHITESPACE);
    if (!parseResource(kPanelResource, kPanelResourceId, doc)) {
        log("CONFIG READER: No panel description, panel left empty!");
        return;
    }
    readReasources(&doc);
    tinyxml2::XMLElement* root = doc.FirstChildElement("uiconfig");
    if (!root) {
        log(std::string("CONFIG READER: ") + kPanelResource + " has no uiconfig, panel left empty!");
        return;
    }
    processXMLElement(root->FirstChild(), nullptr, -1);
}
