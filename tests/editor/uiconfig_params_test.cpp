// The parameter-name table and its log lines.
#include "uiconfig_log_fixture.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(ParamNames, SampleNamesResolve) {
    hvtest::LoggedManager t;
    t.manager.initParams();
    UIConfigManager& m = t.manager;
    EXPECT_EQ(m.getParamByName("kArpKeySync"), 237);
    EXPECT_EQ(m.getParamByName("kDataType"), 471);
    EXPECT_EQ(m.getParamByName("kLfo1Frequency"), 0);
    EXPECT_EQ(m.getParamByName("kNumAutomatedParams"), 91);
    EXPECT_EQ(m.getParamByName("kPatchFileDialog"), 91);
    EXPECT_EQ(m.getParamByName("kModFxSpeed"), 56);
    EXPECT_EQ(m.getParamByName("kSeq3Step16"), 204);
    EXPECT_EQ(m.getParamByName("kTimbreTranspose"), 280);
    EXPECT_EQ(m.getParamByName("kPatchRename"), 306);
    EXPECT_EQ(m.getParamByName("kSectionLockArp"), 329);
    EXPECT_EQ(m.getParamByName("kDummyParam40"), 406);
    EXPECT_EQ(m.getParamByName("kControlDisplayCC"), 441);
    EXPECT_EQ(m.getParamByName("kShowModSequence"), 443);
    EXPECT_EQ(m.getParamByName("kLibrarianArea"), 470);
    EXPECT_EQ(t.lines(), (std::vector<std::string>{"CONFIG READER: Started to initialize parameters...",
                                                   "CONFIG READER: Completed!"}));
}

TEST(ParamNames, TableShape) {
    hvtest::LoggedManager t;
    t.manager.initParams();
    EXPECT_EQ(t.manager.paramNames.size(), 326u);
    std::set<int> named;
    for (const auto& [name, index] : t.manager.paramNames) {
        ASSERT_GE(index, 0);
        ASSERT_LT(index, 472);
        named.insert(index);
    }
    EXPECT_EQ(named.size(), 325u);
    // Unnamed indices are reached only as offsets.
    std::set<int> unnamed;
    for (int i = 0; i < 472; ++i)
        if (!named.count(i)) unnamed.insert(i);
    EXPECT_EQ(unnamed.size(), 147u);
    for (int i : {1, 55, 61, 69, 74, 88, 93, 101, 111, 233, 249, 268, 269, 281, 302, 305, 308, 328, 331, 341, 426, 442})
        EXPECT_TRUE(unnamed.count(i)) << i;
    for (int i : {56, 57, 58, 59, 60, 70, 71, 72, 73, 89, 90, 91, 234, 248, 282, 301, 303, 307, 329, 330, 342, 343})
        EXPECT_TRUE(named.count(i)) << i;
    // No registration in the table repeats a name.
    EXPECT_EQ(t.count("CONFIG READER: Completed!"), 1);
    EXPECT_EQ(t.lines().size(), 2u);
}

TEST(ParamNames, MissesAndDuplicatesLog) {
    hvtest::LoggedManager t;
    UIConfigManager& m = t.manager;
    m.initParams();
    t.clearLog();
    EXPECT_EQ(m.getParamByName("karpkeysync"), -1);
    EXPECT_EQ(m.getParamByName(""), -1);
    EXPECT_EQ(m.getParamByName("kLfo1Frequency+1"), -1);
    EXPECT_EQ(m.paramNames.size(), 326u);  // a miss inserts nothing
    m.mapParamToString("kAmpPan", 5);
    EXPECT_EQ(m.getParamByName("kAmpPan"), 40);
    EXPECT_EQ(t.lines(), (std::vector<std::string>{"CONFIG READER: parameter karpkeysync NOT FOUND!",
                                                   "CONFIG READER: parameter  NOT FOUND!",
                                                   "CONFIG READER: parameter kLfo1Frequency+1 NOT FOUND!",
                                                   "CONFIG READER: parameter kAmpPan ALREADY EXISTS!"}));
}

TEST(ParamNames, SilentWhenLogIsOff) {
    hvtest::LoggedManager t(false);
    t.manager.initParams();
    EXPECT_EQ(t.manager.getParamByName("nothing"), -1);
    t.manager.mapParamToString("kAmpPan", 1);
    EXPECT_FALSE(std::filesystem::exists(t.plug.debugLogPath));

    UIConfigManager alone;  // no plug-in at all: no log, no crash
    alone.initParams();
    EXPECT_EQ(alone.getParamByName("missing"), -1);
}

TEST(ParamGroup, TimbreCopiesAndPlainGroups) {
    UIConfigManager m;
    EXPECT_STREQ(m.getParamGroup(1, "Filter"), "Timbre 2:Filter");
    EXPECT_STREQ(m.getParamGroup(0, ""), "Timbre 1");
    EXPECT_STREQ(m.getParamGroup(-1, ""), "");
    EXPECT_STREQ(m.getParamGroup(-1, "Global"), "Global");
}

}  // namespace
