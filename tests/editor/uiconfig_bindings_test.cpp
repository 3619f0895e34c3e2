// The binding record and the three lookup containers.
#include "src/ControlAction.h"

#include <gtest/gtest.h>

namespace {

// Controls are only stored and compared, never touched.
IControl* fake(int n) {
    static char slots[8];
    return reinterpret_cast<IControl*>(&slots[n]);
}

TEST(ControlActionRecord, FreshRecord) {
    ControlAction a(ControlAction::kMsbLsb);
    EXPECT_EQ(a.kind, 3);
    EXPECT_EQ(a.lastSentValue, -1.0);
    for (int v : {a.ccNumber, a.msbValue, a.lsbValue, a.lsbControl, a.key, a.type, a.offValue, a.onValue})
        EXPECT_EQ(v, -1);
    EXPECT_TRUE(a.boundControls.empty());
    EXPECT_TRUE(a.sysEx.messages.empty());
    EXPECT_FALSE(a.link.present());
    EXPECT_EQ(a.link.partner(), -1);
    EXPECT_EQ(ControlAction().kind, 0);

    LinkInfo l{{3, -1, 7}};
    EXPECT_FALSE(l.present());
    l.values[1] = 0;
    EXPECT_TRUE(l.present());
    EXPECT_EQ(l.second(), 0);
    EXPECT_EQ(l.number(), 7);
}

TEST(LookupContainers, CCMapHoldsFindsAndReplaces) {
    CCControlMap map;
    ControlAction a(ControlAction::kCC);
    a.key = 1;
    a.ccNumber = 77;
    a.type = 0;
    addToCCControlMap(map, a, fake(0));
    a.type = 1;
    addToCCControlMap(map, a, fake(1));
    EXPECT_EQ(findCCControl(map, 1, 77, 0), fake(0));
    EXPECT_EQ(findCCControl(map, 1, 77, 1), fake(1));
    EXPECT_EQ(findCCControl(map, 1, 77, 2), nullptr);
    EXPECT_EQ(findCCControl(map, 2, 77, 0), nullptr);
    EXPECT_EQ(findCCControl(map, 1, 78, 0), nullptr);
    EXPECT_EQ(map.size(), 1u);  // lookups insert nothing
    EXPECT_EQ(map[1].size(), 1u);
    a.type = 0;
    addToCCControlMap(map, a, fake(2));  // a later control replaces the earlier one
    EXPECT_EQ(findCCControl(map, 1, 77, 0), fake(2));
}

TEST(LookupContainers, NRPNFiveKeys) {
    NRPNControlContainer c;
    EXPECT_TRUE(c.empty());
    ControlAction a(ControlAction::kMsbLsb);
    a.key = 0;
    a.msbValue = 4;
    a.lsbValue = 8;
    a.lsbControl = 6;
    a.type = 0;
    c.addToControlMap(&a, fake(0));
    a.lsbValue = 9;
    c.addToControlMap(&a, fake(1));
    EXPECT_EQ(c.findControl(0, 4, 8, 6, 0), fake(0));
    EXPECT_EQ(c.findControl(0, 4, 9, 6, 0), fake(1));
    EXPECT_EQ(c.findControl(0, 4, 8, 6, 1), nullptr);
    EXPECT_EQ(c.findControl(0, 4, 8, 38, 0), nullptr);
    EXPECT_EQ(c.findControl(1, 4, 8, 6, 0), nullptr);
    a.lsbValue = 8;
    c.addToControlMap(&a, fake(2));
    EXPECT_EQ(c.findControl(0, 4, 8, 6, 0), fake(2));
    c.addToControlMap(nullptr, fake(3));
    EXPECT_EQ(c.findControl(-1, -1, -1, -1, -1), nullptr);
}

TEST(LookupContainers, SysExKeysFromFirstMessage) {
    ControlActionSysExMessage s;
    unsigned char header[4] = {9, 9, 9, 9};
    EXPECT_FALSE(sysExLookupBytes(s, 8, header));
    s.messages = {{0xF0, 0x42, 0x30, 0x58, 0x41, 0x10, 0x00, 0x05, 0xF7}, {0xF0}};
    ASSERT_TRUE(sysExLookupBytes(s, 8, header));
    EXPECT_EQ(header[0], 0x58);
    EXPECT_EQ(header[1], 0x41);
    EXPECT_EQ(header[2], 0x10);
    EXPECT_EQ(header[3], 0x00);
    s.messages[0] = {0xF0, 0x42, 0x58, 0x41, 0x1C5, 0x02, 0x05, 0x00, 0xF7};
    ASSERT_TRUE(sysExLookupBytes(s, 7, header));
    EXPECT_EQ(header[0], 0x58);
    EXPECT_EQ(header[1], 0x41);
    EXPECT_EQ(header[2], 0xC5);  // cut to 8 bits
    EXPECT_EQ(header[3], 0x02);
    s.messages[0] = {0xF0, 0x42, 0x58, 0x41, 0x10, 0x00};
    header[0] = 9;
    EXPECT_FALSE(sysExLookupBytes(s, 8, header));  // too short for bytes 3..6
    EXPECT_EQ(header[0], 9);

    SysExControlContainer c;
    const unsigned char k1[4] = {0x58, 0x41, 0x10, 0x00};
    const unsigned char k2[4] = {0x58, 0x41, 0x20, 0x01};
    c.addToControlMap(k1, 0, fake(0));
    c.addToControlMap(k2, 0, fake(1));
    EXPECT_EQ(c.findControl(0x58, 0x41, 0x10, 0x00, 0), fake(0));
    EXPECT_EQ(c.findControl(0x58, 0x41, 0x20, 0x01, 0), fake(1));
    EXPECT_EQ(c.findControl(0x58, 0x41, 0x10, 0x00, 1), nullptr);
    EXPECT_EQ(c.findControl(0x58, 0x41, 0x10, 0x01, 0), nullptr);
    c.addToControlMap(k1, 0, fake(2));
    EXPECT_EQ(c.findControl(0x58, 0x41, 0x10, 0x00, 0), fake(2));
}

}  // namespace
