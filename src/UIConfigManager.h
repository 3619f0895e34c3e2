#pragma once
// Builds the panel from the bundle's enciphered panel description: the
// parameter-name table, the image table, the value lists, the SysEx value
// lists and every control's MIDI binding with its lookup entry.
#include "framework/IGraphicsStructs.h"
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
class IKnobMultiControl;
class IFaderControl;
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

    // One member of the expansion family.
    using SysExMember = void (UIConfigManager::*)(std::string, int, int, ControlActionSysExMessage*, int, int);

    // Binding a control to its parameter: reuses the parameter's binding and
    // sets its kind, or hangs a new one of that kind on it; appends control to
    // the bound controls. Null, with a log line, when paramIdx names no
    // parameter: the control then stays unbound.
    ControlAction* bindControl(int paramIdx, int kind, IControl* control);
    // The link rule: with a present link, stores it in action and gives the
    // partner (the link's first index) a kSysEx binding when it has none,
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

    // ---- Control factories. Positions and sizes are unscaled panel units;
    // offset is the timbre copy (-1 outside a multilayer); layer receives the
    // control (null: the panel). A paramIdx that names no parameter builds
    // nothing and is logged.

    // Knobs, and the switch without MIDI.
    void createNoValKnobControl(std::string name, int paramIdx, int x, int y, std::string image, double defaultValue,
                                double minValue, double maxValue, double unusedStep, int offset, ControlLayer* layer,
                                std::string group);
    void createCCKnobControl(int ccNumber, int channel, std::string name, int paramIdx, int x, int y, std::string image,
                             double defaultValue, double minValue, double maxValue, double step, LinkInfo link,
                             int offset, ControlLayer* layer, std::string group);
    void createMsbLsbKnobControl(int ccNumber, int msbValue, int lsbValue, int lsbControl, int channel,
                                 std::string name, int paramIdx, int x, int y, std::string image, double defaultValue,
                                 double minValue, double maxValue, double unusedStep, LinkInfo link, int offset,
                                 ControlLayer* layer, std::string group);
    void createNoValBoolControl(std::string name, int paramIdx, int x, int y, std::string image, double defaultValue,
                                int offset, ControlLayer* layer, std::string group);
    void createSysExKnobControl(std::string name, int paramIdx, int x, int y, std::string image, double defaultValue,
                                double minValue, double maxValue, double unusedStep, int unusedInt, int sysexIndex,
                                int changingByte, int offset, LinkInfo link, ControlLayer* layer, std::string group);
    // As createSysExKnobControl, with the value encoding chosen by parameter.
    void createSysExKnobControl2(std::string name, int paramIdx, int x, int y, std::string image, double defaultValue,
                                 double minValue, double maxValue, double unusedStep, int unusedInt, int sysexIndex,
                                 int changingByte, int offset, LinkInfo link, ControlLayer* layer, std::string group);

    // Sliders.
    void createCCSliderControl(int ccNumber, int channel, std::string name, int paramIdx, int x, int y, int length,
                               std::string image, double defaultValue, double minValue, double maxValue, LinkInfo link,
                               int offset, ControlLayer* layer, std::string group, EDirection direction,
                               bool unusedFlag);
    void createSysExSliderControl(std::string name, int paramIdx, int x, int y, int length, std::string image,
                                  double defaultValue, double minValue, double maxValue, double unusedStep,
                                  int valueShift, int sysexIndex, int changingByte, int offset, LinkInfo link,
                                  ControlLayer* layer, std::string group, EDirection direction, bool unusedFlag);

    // Text displays.
    void createControlDisplay(std::string name, int paramIdx, int x, int y, int width, int height, int unusedInt,
                              ControlLayer* layer, std::string group, int displaySize);
    void createNameDisplay(std::string name, int paramIdx, int x, int y, int width, int height, int nameLen, int offset,
                           ControlLayer* layer, std::string group);

    // Menus: a caption naming the value that opens a menu of all values.
    void createDropDownMenu(std::string name, int paramIdx, int x, int y, int w, int h, int offset, ControlLayer* layer,
                            std::string group);
    void createDropDownMenu2(std::string name, int paramIdx, int x, int y, int w, int h, int defaultValue, int minValue,
                             int maxValue, Values values, int offset, ControlLayer* layer, std::string group);
    void createMIDIDeviceSelectionControl(std::string name, int paramIdx, int x, int y, int w, int h, int inputDev,
                                          int offset, ControlLayer* layer, std::string group);
    void createNoValDropDown(std::string name, int paramIdx, int x, int y, int w, int h, int defaultValue, int minValue,
                             int maxValue, int displayFirst, int displayLast, int visible, Values values, int offset,
                             ControlLayer* layer, std::string group, bool white);
    void createMultiSelectionCCControl(int ccNumber, int channel, std::string name, int paramIdx, int x, int y, int w,
                                       int h, int defaultValue, int minValue, int maxValue, int displayFirst,
                                       int displayLast, Values values, int offset, ControlLayer* layer,
                                       std::string group);
    void createMsbLsbSelectionCCControl(int ccNumber, int msbValue, int lsbValue, int lsbControl, int channel,
                                        std::string name, int paramIdx, int x, int y, int w, int h, int defaultValue,
                                        int minValue, int maxValue, int displayFirst, int displayLast, Values values,
                                        int offset, ControlLayer* layer, std::string group);
    void createMultiSelectionSysExControl(std::string name, int paramIdx, int x, int y, int w, int h, int defaultValue,
                                          int minValue, int maxValue, int displayFirst, int displayLast, Values values,
                                          int msgZeroVal, int color, int sysexIndex, int changingByte, int offset,
                                          ControlLayer* layer, std::string group);

    // Buttons and switches.
    void createRadioControl(std::string name, int paramIdx, int x, int y, std::string imageId, int buttons, int offset,
                            ControlLayer* layer, std::string group);
    void createBoolControl(std::string name, int paramIdx, int defaultValue, int x, int y, std::string imageId,
                           int offset, ControlLayer* layer, std::string group);
    // A momentary button.
    void createSwitchControl(std::string name, int paramIdx, int defaultValue, int x, int y, std::string imageId,
                             int offset, ControlLayer* layer, std::string group);
    void createAutoOffSwitchControl(std::string name, int paramIdx, int x, int y, std::string imageId, int offset,
                                    ControlLayer* layer, std::string group);
    void createCCBoolControl(int ccNumber, int channel, std::string name, int paramIdx, int x, int y,
                             std::string imageId, double defaultValue, double offValue, double onValue, LinkInfo link,
                             int offset, ControlLayer* layer, std::string group);
    void createMsbLsbBoolControl(int ccNumber, int msbValue, int lsbValue, int lsbControl, int channel,
                                 std::string name, int paramIdx, int x, int y, std::string imageId, double defaultValue,
                                 double offValue, double onValue, LinkInfo link, int offset, ControlLayer* layer,
                                 std::string group);
    void createSysExBoolControl(std::string name, int paramIdx, int x, int y, std::string imageId, double defaultValue,
                                int msgZeroVal, int sysexIndex, int changingByte, int offset, LinkInfo link,
                                ControlLayer* layer, std::string group);

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
    // The value encodings of the expansion members, one each.
    enum class SysExEncoding { Plain, TwoBytes, EQ, Tempo, Swing, Transpose, Tuning, ModSeq };
    // The frame shared by the expansion members; the encoding gives the
    // value rule and the copy rule.
    void expandTemplate(SysExEncoding encoding, const std::string& sysexTemplate, int changingByte, int count,
                        ControlActionSysExMessage* out, int start, int offset);

    // A bundle resource read whole and deciphered, up to its first zero byte;
    // empty, with a log line, when it cannot be had.
    std::string loadResourceText(int id, const char* path);
    std::string decipherResourceText(const unsigned char* bytes, std::size_t length, const char* path);
    // Loads, deciphers and parses a resource; false, with a log line, when
    // there is no document to read.
    bool parseResource(const char* path, int id, tinyxml2::XMLDocument& doc);
    // Builds what one element of the panel description names.
    void buildElement(tinyxml2::XMLElement* element, ControlLayer* layer, int offset);

    // Steps the factories share.
    // The parameter a factory initialises, or null (logged) when paramIdx
    // names none or there is no panel to build on.
    IParam* factoryParam(int paramIdx);
    // The parameter's name for the host: "[n] " before it inside timbre copy
    // n - 1, cut to the parameter's text field.
    std::string hostName(const std::string& name, int offset) const;
    // The parameter's group for the host, cut to the parameter's text field.
    std::string hostGroup(int offset, const std::string& group);
    int scaled(int v) const { return static_cast<int>(v * scale); }
    // x, y, w and h each scaled and truncated on its own.
    IRECT scaledRect(int x, int y, int w, int h) const;
    // Into the layer when there is one, else onto the panel.
    void placeControl(IControl* control, ControlLayer* layer);
    // The panel font at size x scale, in colour.
    IText panelText(int size, const IColor& color) const;
    IColor skinColor() const;
    // A menu's value texts: the list when it holds n entries, else (when
    // numbers) displayFirst + i while the range is not empty. False: no
    // texts, and no control is built.
    bool setMenuTexts(IParam* param, int n, const Values& values, int displayFirst, int displayLast, bool numbers);
    // A caption control for a menu, placed.
    IControl* buildMenu(int paramIdx, int x, int y, int w, int h, const IText& style, bool prompt, ControlLayer* layer);
    // The parameter as an enum of maxValue - minValue values named by
    // setMenuTexts, and its caption at size 13 in color, placed. Null when
    // there is no parameter or the values cannot be named (the parameter is
    // then set up, without a control).
    IControl* buildValueMenu(const std::string& name, int paramIdx, int x, int y, int w, int h, int defaultValue,
                             int minValue, int maxValue, int displayFirst, int displayLast, const Values& values,
                             bool numbers, int offset, const std::string& group, const IColor& color,
                             ControlLayer* layer);
    IKnobMultiControl* buildKnob(IParam* param, const std::string& name, int paramIdx, int x, int y,
                                 const std::string& image, double defaultValue, double minValue, double maxValue,
                                 double step, int offset, ControlLayer* layer, const std::string& group);
    IFaderControl* buildFader(IParam* param, const std::string& name, int paramIdx, int x, int y, int length,
                              const std::string& image, double defaultValue, double minValue, double maxValue,
                              int offset, ControlLayer* layer, const std::string& group, EDirection direction);
    // The opening the bound knob and slider factories share: the parameter
    // initialised under its host name, its knob or fader built and placed,
    // and bound to the parameter with kind and link. Both null when paramIdx
    // names no parameter.
    struct BoundControl {
        IControl* control = nullptr;
        ControlAction* action = nullptr;
    };
    BoundControl boundKnob(int kind, const LinkInfo& link, const std::string& name, int paramIdx, int x, int y,
                           const std::string& image, double defaultValue, double minValue, double maxValue, double step,
                           int offset, ControlLayer* layer, const std::string& group);
    BoundControl boundFader(int kind, const LinkInfo& link, const std::string& name, int paramIdx, int x, int y,
                            int length, const std::string& image, double defaultValue, double minValue, double maxValue,
                            int offset, ControlLayer* layer, const std::string& group, EDirection direction);
    // An on/off parameter and its switch control of class Switch, placed.
    template <typename Switch>
    IControl* buildSwitch(IParam* param, const std::string& name, int paramIdx, int x, int y,
                          const std::string& imageId, bool on, int offset, ControlLayer* layer,
                          const std::string& group);
    // The encoding of the signed and wide values of the EQ gains, the
    // arpeggiator's tempo and swing, and each timbre's tuning and transpose;
    // fallback for every other parameter.
    static SysExMember valueEncoding(int paramIdx, SysExMember fallback);
    // Expands the template of sysexIndex with member into the binding's
    // messages and registers control under the first message's keys.
    void bindSysExMessages(ControlAction* action, SysExMember member, int sysexIndex, int changingByte, int count,
                           int start, int offset, IControl* control);

    // A knob whose parameter sends the SysEx messages that member makes.
    void buildSysExKnob(SysExMember member, const std::string& name, int paramIdx, int x, int y,
                        const std::string& image, double defaultValue, double minValue, double maxValue, int sysexIndex,
                        int changingByte, int offset, const LinkInfo& link, ControlLayer* layer,
                        const std::string& group);

    // True for the mixer and mode-settings layers, whose controls are looked
    // up by their MIDI channel rather than their timbre copy.
    static bool keysByChannel(const ControlLayer* layer);

    // The element walk's branches.
    void buildLayer(tinyxml2::XMLElement* element, ControlLayer* layer, int offset);
    void buildMultiLayer(tinyxml2::XMLElement* element, ControlLayer* layer, int offset);
    // Places a layer made by the walk and enters it by name.
    void placeLayer(ControlLayer* made, ControlLayer* layer);
    void buildMIDIControl(tinyxml2::XMLElement* element, int paramIdx, const std::string& imageId,
                          const std::string& group, int offset, ControlLayer* layer);

    // The binding of param, made when it has none.
    ControlAction* actionFor(IParam* param, int kind);

    std::string groupName_;
    // Every binding this manager hung on a parameter, with that parameter.
    std::vector<std::pair<IParam*, std::unique_ptr<ControlAction>>> actions_;
};
