#pragma once
// Builds the panel from the bundle's enciphered panel description: the
// parameter-name table, the image table, the value lists, the SysEx value
// lists and every control's MIDI binding with its lookup entry.
#include "src/ControlAction.h"

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

class ControlLayer;
class Halvoran;
class IControl;
class IGraphics;
class IParam;
class LibrarianViewControl;
class PatchLibrarian;
struct IBitmap;

namespace tinyxml2 {
class XMLDocument;
class XMLElement;
class XMLNode;
}  // namespace tinyxml2

// One entry of the image table: where the bitmap sits in the graphics' bitmap
// cache and how its frames lie.
struct ImageInfo {
    int id = 0;
    int frames = 1;
    bool horizontal = false;
};

// One list of texts, in document order.
using Values = std::vector<std::string>;

// One <sysex> entry of the SysEx value lists. The factories read only the first
// text of the first list, their message template.
struct SysExContainer {
    std::vector<Values> lists;
    std::vector<std::vector<Values>> groups;
    bool hasGroups = false;

    // The message template, or null when the entry has no text.
    const std::string* firstTemplate() const;
};

class UIConfigManager {
public:
    UIConfigManager() = default;
    // Unhooks the bindings it made from their parameters and frees them.
    ~UIConfigManager();
    UIConfigManager(const UIConfigManager&) = delete;
    UIConfigManager& operator=(const UIConfigManager&) = delete;

    // The panel build: stores its arguments, then reads the SysEx lists, the
    // image table, the parameter names, and the panel description.
    void readUIConfig(IGraphics* graphics, Halvoran* plug, PatchLibrarian* librarian, int skin, double scale);
    void readSysexValues();
    void readReasources(tinyxml2::XMLDocument* doc);
    // The element walk over the panel description.
    void processXMLElement(tinyxml2::XMLNode* node, ControlLayer* layer, int offset);

    // Parameter names.
    void initParams();
    void mapParamToString(std::string name, int index);
    int getParamByName(std::string name);

    // Image table.
    void initImages(IGraphics* graphics);
    void preloadImage(IGraphics* graphics, int id, const char* name, const char* path, int frames, bool horizontal);
    void ClearImageCache();
    IBitmap getImageByName(IGraphics* graphics, std::string name);

    // Attribute texts.
    void getCSValues(std::string text, int* values, int count);
    void getBiDirectLinkValues(std::string text, int* link, int offset);
    const char* getParamGroup(int offset, std::string group);
    void Tokenize(const std::string& text, std::vector<std::string>& tokens, const std::string& delimiters);
    std::vector<int> convertStringSysextoVector(std::string text);

    // SysEx template expansion, one member per value encoding. Each replaces
    // out->messages; a template that cannot carry the encoding (shorter than
    // 8 bytes, changing byte outside it) or a range that yields no message
    // leaves it empty and logs why.
    void calculateSysexWithChangingByte(std::string sysexTemplate, int changingByte, int count,
                                        ControlActionSysExMessage* out, int start, int offset);
    void calculateSysexWithTwoChangingBytes(std::string sysexTemplate, int changingByte, int count,
                                            ControlActionSysExMessage* out, int start, int offset);
    void calculateSysexWithChangingByteEQ(std::string sysexTemplate, int changingByte, int count,
                                          ControlActionSysExMessage* out, int start, int offset);
    void calculateSysexWithChangingByteTempo(std::string sysexTemplate, int changingByte, int count,
                                             ControlActionSysExMessage* out, int start, int offset);
    void calculateSysexWithChangingByteSwing(std::string sysexTemplate, int changingByte, int count,
                                             ControlActionSysExMessage* out, int start, int offset);
    void calculateSysexWithChangingByteTranspose(std::string sysexTemplate, int changingByte, int count,
                                                 ControlActionSysExMessage* out, int start, int offset);
    void calculateSysexWithChangingByteTuning(std::string sysexTemplate, int changingByte, int count,
                                              ControlActionSysExMessage* out, int start, int offset);
    void calculateSysexWithChangingByteModSeq(std::string sysexTemplate, int changingByte, int count,
                                              ControlActionSysExMessage* out, int start, int offset);

    // Binding a control to its parameter: reuses the parameter's binding and
    // sets its kind, or hangs a new one of that kind on it; appends control to
    // the bound controls. Null, with a log line, when paramIdx names no
    // parameter: the control then stays unbound.
    ControlAction* bindControl(int paramIdx, int kind, IControl* control);
    // The link rule: with a present link, stores it in action and gives the
    // partner (the link's first index) a binding of kind 6 when it has none,
    // linked back to paramIdx. A partner outside the parameter table makes no
    // link (logged).
    void bindLinkPartner(ControlAction* action, const LinkInfo& link, int paramIdx);
    // Registration for incoming MIDI under the binding's own keys.
    void registerCCControl(const ControlAction* action, IControl* control);
    void registerMsbLsbControl(const ControlAction* action, IControl* control);
    // Keys from the first expanded message by the changing-byte rule, fifth key
    // 0. False when the binding has no message to take them from.
    bool registerSysExControl(const ControlAction* action, int changingByte, IControl* control);

    // The SysEx template of entry sysexIndex of the SysEx value lists, or null
    // (with a log line) when there is none.
    const std::string* sysExTemplate(int sysexIndex);

    // Debug log: on when the plug-in's switch is set; log() writes one line then.
    bool debugLogOn() const;
    void log(const std::string& message) const;

    // Set by readUIConfig.
    IGraphics* graphics = nullptr;
    Halvoran* plug = nullptr;
    PatchLibrarian* librarian = nullptr;
    int skin = 1;
    double scale = 1.0;

    // Filled by the readers and the table functions.
    std::map<std::string, Values> valueLists;
    std::vector<SysExContainer> sysExContainers;
    std::map<std::string, int> paramNames;
    std::map<std::string, ImageInfo> images;
    bool releaseImages = false;  // true only inside ClearImageCache

    // Filled by the element walk.
    std::map<std::string, ControlLayer*> layers;  // not owned
    LibrarianViewControl* librarianView = nullptr;

    // Filled by the factories; read by the incoming-MIDI lookups.
    CCControlMap ccControls;
    NRPNControlContainer nrpnControls;
    SysExControlContainer sysExControls;

private:
    // Writes the running value v into message msg, the i-th of the expansion,
    // at list position pos (and byte 7 where the encoding has a second byte).
    using ValueRule = void (*)(std::vector<int>& msg, std::size_t pos, int i, int& v);
    // The frame shared by the expansion members. byte5Step is what the second
    // timbre's copy adds to byte 5 (0: the member has no copy rule).
    void expandTemplate(const char* member, const std::string& sysexTemplate, int changingByte, int count,
                        ControlActionSysExMessage* out, int start, int offset, int byte5Step, ValueRule rule);

    // A bundle resource read whole and deciphered, up to its first zero byte;
    // empty, with a log line, when it cannot be had.
    std::string loadResourceText(int id, const char* path);
    std::string decipherResourceText(const unsigned char* bytes, std::size_t length, const char* path);
    // Loads, deciphers and parses a resource; false, with a log line, when
    // there is no document to read.
    bool parseResource(const char* path, int id, tinyxml2::XMLDocument& doc);
    // Builds what one element of the panel description names.
    void buildElement(tinyxml2::XMLElement* element, ControlLayer* layer, int offset);

    // The binding of param, made when it has none.
    ControlAction* actionFor(IParam* param, int kind);

    std::string groupName_;
    // Every binding this manager hung on a parameter, with that parameter.
    std::vector<std::pair<IParam*, std::unique_ptr<ControlAction>>> actions_;
};
