#include "framework/IParam.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

TEST(IParam, InitBoolSetsRangeTextsAndKeepsEarlierType) {
    IParam p;
    EXPECT_EQ(p.Type(), IParam::kTypeNone);
    EXPECT_EQ(p.GetControlAction(), nullptr);
    EXPECT_FALSE(p.IsMeta());
    p.InitBool("Arp On", true, "lbl", "Arp", 7, 9);
    EXPECT_EQ(p.Type(), IParam::kTypeBool);
    EXPECT_EQ(p.GetMin(), 0.0);
    EXPECT_EQ(p.GetMax(), 1.0);
    EXPECT_EQ(p.GetStep(), 1.0);
    EXPECT_EQ(p.Value(), 1.0);
    EXPECT_EQ(p.GetDefault(), 1.0);
    EXPECT_STREQ(p.GetDisplayText(0), "off");
    EXPECT_STREQ(p.GetDisplayText(1), "on");
    EXPECT_STREQ(p.GetDisplayText(2), "");
    EXPECT_EQ(p.GetUserInt1(), 7);
    EXPECT_EQ(p.GetUserInt2(), 9);
    EXPECT_STREQ(p.GetParamGroupForHost(), "Arp");

    // A second Init keeps the first type but takes the new range and value.
    p.InitEnum("Mode", 2, 5, "", "g", -1, -1);
    EXPECT_EQ(p.Type(), IParam::kTypeBool);
    EXPECT_EQ(p.GetMax(), 4.0);
    EXPECT_EQ(p.Value(), 2.0);
}

TEST(IParam, InitEnumMaximumIsAtLeastOne) {
    for (int count : {0, 1, 2}) {
        IParam p;
        p.InitEnum("E", 0, count, "", "", -1, -1);
        EXPECT_EQ(p.Type(), IParam::kTypeEnum);
        EXPECT_EQ(p.GetMax(), 1.0) << count;
    }
    IParam p;
    p.InitEnum("E", 9, 4, "", "", -1, -1);
    EXPECT_EQ(p.GetMax(), 3.0);
    EXPECT_EQ(p.GetDefault(), 9.0);  // the default is stored as given
}

TEST(IParam, InitDoubleRaisesMaximumAndDerivesDecimals) {
    IParam p;
    p.InitDouble("Cutoff", 64, 0, 127, 1, "", "", -1, -1);
    EXPECT_EQ(p.GetDecimals(), 0);
    EXPECT_EQ(p.Value(), 64.0);
    EXPECT_EQ(p.GetDisplayForHost(), "64");

    IParam q;
    q.InitDouble("Tiny", 0, 5, 2, 0.25, "", "", -1, -1);  // max below min + step
    EXPECT_EQ(q.GetMax(), 5.25);
    EXPECT_EQ(q.GetDecimals(), 2);
    q.Set(5.1);
    EXPECT_EQ(q.GetDisplayForHost(), "5.10");

    IParam r;
    r.InitDouble("Fine", 0, 0, 1, 0.1, "", "", -1, -1);
    EXPECT_EQ(r.GetDecimals(), 1);
}

TEST(IParam, LongTextsAreCutTo54Characters) {
    std::string longName(80, 'n'), longLabel(55, 'l'), group54(54, 'g');
    IParam p;
    p.InitDouble(longName.c_str(), 0, 0, 1, 1, longLabel.c_str(), group54.c_str(), -1, -1);
    EXPECT_EQ(std::string(p.GetNameForHost()), std::string(54, 'n'));
    EXPECT_EQ(std::string(p.GetLabelForHost()), std::string(54, 'l'));
    EXPECT_EQ(std::string(p.GetParamGroupForHost()), group54);
    IParam q;
    q.InitBool(nullptr, false, nullptr, nullptr, -1, -1);
    EXPECT_STREQ(q.GetNameForHost(), "");
}

TEST(IParam, ValuesAreClampedAndNormalised) {
    IParam p;
    p.InitDouble("Tempo", 120, 20, 300, 1, "", "", -1, -1);
    p.Set(1000);
    EXPECT_EQ(p.Value(), 300.0);
    p.Set(-5);
    EXPECT_EQ(p.Value(), 20.0);
    p.Set(NAN);
    EXPECT_EQ(p.Value(), 20.0);
    p.Set(160);
    EXPECT_DOUBLE_EQ(p.GetNormalized(), 0.5);
    p.SetNormalized(0.25);
    EXPECT_DOUBLE_EQ(p.Value(), 90.0);
    p.SetNormalized(7.0);
    EXPECT_EQ(p.Value(), 300.0);
    p.SetNormalized(-1.0);
    EXPECT_EQ(p.Value(), 20.0);
}

TEST(IParam, SetDisplayTextReplacesAppendsAndIgnoresGaps) {
    IParam p;
    p.InitEnum("Patch Name", 0, 1, "", "Global", -1, -1);
    p.InitText();
    EXPECT_EQ(p.Type(), IParam::kTypeText);
    EXPECT_EQ(p.GetMax(), 1.0);
    p.SetDisplayText(0, "INIT PROGRAM");  // appends entry 0: maximum becomes 0
    EXPECT_EQ(p.GetNDisplayTexts(), 1);
    EXPECT_EQ(p.GetMax(), 0.0);
    EXPECT_STREQ(p.GetDisplayText(0), "INIT PROGRAM");
    p.SetDisplayText(0, "Renamed");
    EXPECT_EQ(p.GetNDisplayTexts(), 1);
    EXPECT_STREQ(p.GetDisplayText(0), "Renamed");
    EXPECT_EQ(p.GetDisplayForHost(), "Renamed");

    p.SetDisplayText(5, "gap");  // beyond the end: ignored
    p.SetDisplayText(-1, "neg");
    EXPECT_EQ(p.GetNDisplayTexts(), 1);

    IParam list;
    list.InitEnum("Bank", 0, 1, "", "", -1, -1);
    for (int i = 0; i < 4; ++i) list.SetDisplayText(i, ("bank" + std::to_string(i)).c_str());
    EXPECT_EQ(list.GetMax(), 3.0);
    list.Set(3);
    EXPECT_EQ(list.GetDisplayForHost(), "bank3");
    int v = -1;
    const char* t = nullptr;
    ASSERT_TRUE(list.GetDisplayTextAtIdx(2, &v, &t));
    EXPECT_EQ(v, 2);
    EXPECT_STREQ(t, "bank2");
    EXPECT_FALSE(list.GetDisplayTextAtIdx(4, &v, &t));
}

TEST(IParam, BoolInitOnEmptyListKeepsTrueDefault) {
    // The texts are put in without moving the range, so the default of 1
    // survives the first entry being appended.
    IParam p;
    p.InitBool("b", true, "", "", -1, -1);
    EXPECT_EQ(p.Value(), 1.0);
    EXPECT_EQ(p.GetMax(), 1.0);
}

TEST(IParam, CarriesActionPointerAndMetaFlag) {
    IParam p;
    auto* action = reinterpret_cast<ControlAction*>(0x1234);
    p.SetControlAction(action);
    p.SetIsMeta(true);
    p.InitEnum("Radio", 0, 3, "", "", -1, -1);  // Init leaves both alone
    EXPECT_EQ(p.GetControlAction(), action);
    EXPECT_TRUE(p.IsMeta());
}

}  // namespace
