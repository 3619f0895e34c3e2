#pragma once
// The MIDI binding of one synth parameter and the lookup containers through
// which incoming MIDI finds the controls bound to parameters.
#include <map>
#include <vector>

class IControl;

// A parameter's link to a partner parameter. -1 in a field means none.
struct LinkInfo {
    // partner parameter index, second parameter index, number from the link text
    int values[3] = {-1, -1, -1};

    int partner() const { return values[0]; }
    int second() const { return values[1]; }
    int number() const { return values[2]; }
    // A link counts only when both parameter indices name something.
    bool present() const { return values[0] >= 0 && values[1] >= 0; }
};

// The expanded SysEx messages of a parameter: entry i is the whole message for
// the i-th value of its range, one int per byte in wire order.
struct ControlActionSysExMessage {
    std::vector<std::vector<int>> messages;
};

struct ControlAction {
    // What a parameter change sends.
    enum Kind {
        kNone = 0,         // nothing; the record only carries the bound controls
        kCC = 1,           // one control change
        kCCTwoState = 2,   // one control change with offValue / onValue
        kMsbLsb = 3,       // control changes 99, 98 and ccNumber
        kSysExButton = 5,  // program transfer
        kSysEx = 6,        // program transfer
    };

    explicit ControlAction(int kind = kNone) : kind(kind) {}

    double lastSentValue = -1.0;  // -1: nothing sent yet, so the next value always goes out
    int kind = kNone;
    int ccNumber = -1;
    int msbValue = -1;
    int lsbValue = -1;
    int lsbControl = -1;
    int key = -1;                          // first key of the CC and NRPN lookups: channel, or timbre copy + 1
    int type = -1;                         // last key of the CC and NRPN lookups
    std::vector<IControl*> boundControls;  // not owned
    LinkInfo link;
    ControlActionSysExMessage sysEx;
    int offValue = -1;
    int onValue = -1;
};

// Nested lookups, innermost last: ccControlMap holds the controls.
using ccControlMap = std::map<int, IControl*>;
using controlID3 = std::map<int, ccControlMap>;
using controlID2 = std::map<int, controlID3>;
using controlID1 = std::map<int, controlID2>;

// Controls of control-change bindings by [key][ccNumber][type].
using CCControlMap = std::map<int, controlID3>;

// Stores control under the action's key, ccNumber and type, replacing an
// earlier control there.
void addToCCControlMap(CCControlMap& map, const ControlAction& action, IControl* control);
// The control under the three keys, or null; inserts nothing.
IControl* findCCControl(const CCControlMap& map, int key, int ccNumber, int type);

// Controls of MSB/LSB bindings by [key][msbValue][lsbValue][lsbControl][type].
class NRPNControlContainer {
public:
    void addToControlMap(const ControlAction* action, IControl* control);
    IControl* findControl(int key, int msbValue, int lsbValue, int lsbControl, int type) const;
    bool empty() const { return controls_.empty(); }

private:
    std::map<int, controlID1> controls_;
};

// Controls of SysEx bindings by three header bytes, the key byte and a fifth byte.
class SysExControlContainer {
public:
    // header: three header bytes and the key byte.
    void addToControlMap(const unsigned char* header, unsigned char fifthKey, IControl* control);
    IControl* findControl(int header1, int header2, int header3, int keyByte, int fifthKey) const;
    bool empty() const { return controls_.empty(); }

private:
    std::map<int, controlID1> controls_;
};

// The four lookup bytes of a SysEx binding, from its first message: bytes 2..5
// when the changing byte is position 7 (1-based), else bytes 3..6, each cut to
// 8 bits. False, with header untouched, when there is no message long enough.
bool sysExLookupBytes(const ControlActionSysExMessage& sysEx, int changingByte, unsigned char header[4]);
