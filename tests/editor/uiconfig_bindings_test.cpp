// The binding record and the three lookup containers.
#include "src/ControlAction.h"
#include "uiconfig_log_fixture.h"

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

TEST(Binding, OneRecordPerParameterLastKindWins) {
    hvtest::LoggedManager t;
    UIConfigManager& m = t.manager;
    ControlAction* first = m.bindControl(24, ControlAction::kNone, fake(0));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(t.plug.GetParam(24)->GetControlAction(), first);
    first->ccNumber = 30;
    ControlAction* second = m.bindControl(24, ControlAction::kCC, fake(1));
    EXPECT_EQ(second, first);
    EXPECT_EQ(second->kind, ControlAction::kCC);
    EXPECT_EQ(second->ccNumber, 30);  // fields the later factory does not write stay
    EXPECT_EQ(second->boundControls, (std::vector<IControl*>{fake(0), fake(1)}));
    EXPECT_EQ(second->lastSentValue, -1.0);
    EXPECT_EQ(t.plug.GetParam(25)->GetControlAction(), nullptr);
}

TEST(Binding, MissingParameterLeavesControlUnbound) {
    hvtest::LoggedManager t;
    EXPECT_EQ(t.manager.bindControl(-1, ControlAction::kCC, fake(0)), nullptr);
    EXPECT_EQ(t.manager.bindControl(472, ControlAction::kCC, fake(0)), nullptr);
    EXPECT_EQ(t.lines().size(), 2u);
    EXPECT_EQ(t.lines()[0], "CONFIG READER: parameter index -1 NOT FOUND! Control left unbound.");
    UIConfigManager noPlug;
    EXPECT_EQ(noPlug.bindControl(3, ControlAction::kCC, fake(0)), nullptr);
}

TEST(Binding, LinkPartnerGetsPlaceholderAndBackLink) {
    hvtest::LoggedManager t;
    UIConfigManager& m = t.manager;
    // Inside the second timbre's copy the walk hands over indices that
    // already carry the copy: parameter 74 linked to partner 82.
    ControlAction* a = m.bindControl(74, ControlAction::kCC, fake(0));
    m.bindLinkPartner(a, LinkInfo{{82, 90, 3}}, 74);
    EXPECT_EQ(a->link.values[0], 82);
    EXPECT_EQ(a->link.values[1], 90);
    EXPECT_EQ(a->link.values[2], 3);
    ControlAction* partner = t.plug.GetParam(82)->GetControlAction();
    ASSERT_NE(partner, nullptr);
    EXPECT_EQ(partner->kind, ControlAction::kSysEx);
    EXPECT_TRUE(partner->sysEx.messages.empty());
    EXPECT_TRUE(partner->boundControls.empty());
    EXPECT_EQ(partner->link.values[0], 74);
    EXPECT_EQ(partner->link.values[1], 90);
    EXPECT_EQ(partner->link.values[2], -1);
    for (int i : {73, 75, 81, 83}) EXPECT_EQ(t.plug.GetParam(i)->GetControlAction(), nullptr) << i;

    // A later element of the partner reuses the placeholder and sets its own kind.
    EXPECT_EQ(m.bindControl(82, ControlAction::kMsbLsb, fake(1)), partner);
    EXPECT_EQ(partner->kind, ControlAction::kMsbLsb);
    EXPECT_EQ(partner->link.values[0], 74);

    // A partner that already has a binding keeps its kind.
    ControlAction* b = m.bindControl(10, ControlAction::kCC, fake(2));
    ControlAction* c = m.bindControl(12, ControlAction::kCC, fake(3));
    m.bindLinkPartner(c, LinkInfo{{10, 14, -1}}, 12);
    EXPECT_EQ(b->kind, ControlAction::kCC);
    EXPECT_EQ(b->link.values[0], 12);
}

TEST(Binding, AbsentOrImpossibleLinksMakeNoLink) {
    hvtest::LoggedManager t;
    UIConfigManager& m = t.manager;
    ControlAction* a = m.bindControl(20, ControlAction::kCC, fake(0));
    m.bindLinkPartner(a, LinkInfo{{-1, 5, 2}}, 20);
    m.bindLinkPartner(a, LinkInfo{{5, -1, 2}}, 20);
    EXPECT_FALSE(a->link.present());
    EXPECT_EQ(t.plug.GetParam(5)->GetControlAction(), nullptr);
    EXPECT_TRUE(t.lines().empty());
    m.bindLinkPartner(a, LinkInfo{{500, 5, 2}}, 20);
    EXPECT_FALSE(a->link.present());
    EXPECT_EQ(t.lines(),
              (std::vector<std::string>{"CONFIG READER: link partner 500 of parameter 20 NOT FOUND! No link made."}));
    m.bindLinkPartner(nullptr, LinkInfo{{5, 6, 2}}, 20);
    EXPECT_EQ(t.plug.GetParam(5)->GetControlAction(), nullptr);
}

TEST(Binding, RegistrationUnderTheBindingsKeys) {
    hvtest::LoggedManager t;
    UIConfigManager& m = t.manager;
    ControlAction* cc = m.bindControl(24, ControlAction::kCC, fake(0));
    cc->key = 1;
    cc->ccNumber = 82;
    cc->type = 1;
    m.registerCCControl(cc, fake(0));
    EXPECT_EQ(findCCControl(m.ccControls, 1, 82, 1), fake(0));

    ControlAction* nrpn = m.bindControl(90, ControlAction::kMsbLsb, fake(1));
    nrpn->key = 0;
    nrpn->msbValue = 4;
    nrpn->lsbValue = 7;
    nrpn->lsbControl = 6;
    nrpn->type = 0;
    m.registerMsbLsbControl(nrpn, fake(1));
    EXPECT_EQ(m.nrpnControls.findControl(0, 4, 7, 6, 0), fake(1));

    ControlAction* se = m.bindControl(107, ControlAction::kSysEx, fake(2));
    EXPECT_FALSE(m.registerSysExControl(se, 7, fake(2)));  // nothing expanded yet
    EXPECT_TRUE(m.sysExControls.empty());
    m.calculateSysexWithChangingByteEQ("F0 42 58 41 10 00 00 01 F7", 7, 25, &se->sysEx, 0, 1);
    EXPECT_TRUE(m.registerSysExControl(se, 7, fake(2)));
    EXPECT_EQ(m.sysExControls.findControl(0x58, 0x41, 0x20, 0x01, 0), fake(2));
    ControlAction* se8 = m.bindControl(110, ControlAction::kSysEx, fake(3));
    m.calculateSysexWithChangingByte("F0 42 30 58 41 11 00 00 F7", 8, 128, &se8->sysEx, 0, -1);
    EXPECT_TRUE(m.registerSysExControl(se8, 8, fake(3)));
    EXPECT_EQ(m.sysExControls.findControl(0x58, 0x41, 0x11, 0x00, 0), fake(3));
}

TEST(Binding, ManagerUnhooksItsBindings) {
    Halvoran plug;
    ControlAction foreign;
    plug.GetParam(3)->SetControlAction(&foreign);
    {
        UIConfigManager m;
        m.plug = &plug;
        m.bindControl(1, ControlAction::kCC, fake(0));
        m.bindControl(3, ControlAction::kSysEx, fake(1));  // reuses the record it did not make
        EXPECT_NE(plug.GetParam(1)->GetControlAction(), nullptr);
    }
    EXPECT_EQ(plug.GetParam(1)->GetControlAction(), nullptr);
    EXPECT_EQ(plug.GetParam(3)->GetControlAction(), &foreign);
    EXPECT_EQ(foreign.boundControls.size(), 1u);
}

}  // namespace
