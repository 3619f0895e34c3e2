// The global dump on its way to a simulated instrument on JACK: first in a
// push of the current data, once; and from the global page only when the
// panel's global values are the instrument's or the user's.
// ctest-labels: tsan
#include <gtest/gtest.h>

#include "jobs_fixture.h"
#include "src/GlobalDump.h"

namespace {

using namespace jobstest;

bool isGlobalDump(const Bytes& m) { return m.size() == 235 && m[4] == 0x51; }
bool isProgramDump(const Bytes& m) { return m.size() == 297 && m[4] == 0x40; }
bool isDump(const Bytes& m) { return isGlobalDump(m) || isProgramDump(m); }

// The user sets a parameter on the panel.
void userSets(Halvoran& plug, int paramIdx, double plainValue) {
    IParam* p = plug.GetParam(paramIdx);
    p->Set(plainValue);
    plug.SetParameterFromGUI(paramIdx, p->GetNormalized());
}

TEST(JobsGlobal, APushSendsTheGlobalDumpFirstAndOnce) {
    JobsEditor e(20);
    e.plug->pushCurrentDataToHardware();
    ASSERT_TRUE(e.waitIdle());
    std::vector<Message> dumps = only(e.sim->received(), isDump);
    ASSERT_EQ(dumps.size(), 2u);
    EXPECT_TRUE(isGlobalDump(dumps[0].bytes));
    EXPECT_TRUE(isProgramDump(dumps[1].bytes));
    EXPECT_EQ(e.sim->globalDumpsTaken(), 1);
    EXPECT_TRUE(e.plug->globalSent);
    EXPECT_FALSE(e.plug->pushGlobal);

    // The next program send needs no global data.
    e.sim->clearReceived();
    e.plug->sendPartDataBackToHardware(0);
    ASSERT_TRUE(e.waitIdle());
    dumps = only(e.sim->received(), isDump);
    ASSERT_EQ(dumps.size(), 1u);
    EXPECT_TRUE(isProgramDump(dumps[0].bytes));
}

TEST(JobsGlobal, TheGlobalPageSendsOnlyValuesThatAreTheInstrumentsOrTheUsers) {
    JobsEditor e(20);
    // The instrument's own settings, not the panel's defaults: local control
    // on, the other clock source.
    e.sim->setGlobalDataByte(5, 0x04);
    e.sim->setGlobalDataByte(8, 1);
    const Bytes instruments = e.sim->globalDump();

    // Never read from the instrument: opening and closing the page send
    // nothing, so the panel's defaults cannot overwrite those settings.
    for (double page : {1.0, 0.0}) {
        userSets(*e.plug, kGlobalSettings, page);
        EXPECT_FALSE(e.transferRunning());
    }
    EXPECT_EQ(e.sim->globalDumpsTaken(), 0);

    // Once the instrument's global data is in, the page sends it back as read.
    e.plug->sendSysExInitialization();
    ASSERT_TRUE(e.waitIdle());
    ASSERT_TRUE(e.plug->globalValuesKnown);
    userSets(*e.plug, kGlobalSettings, 1.0);
    ASSERT_TRUE(e.waitIdle());
    ASSERT_EQ(e.sim->globalDumpsTaken(), 1);
    for (int b : {2, 5, 6, 7, 8, 9, 10, 11, 15, 16, 21, 22, 23, 25})
        EXPECT_EQ(e.sim->globalDump()[b], instruments[b]) << b;
}

TEST(JobsGlobal, AValueTheUserChangedIsSentWhenThePageCloses) {
    JobsEditor e(20);
    userSets(*e.plug, kGlobalSettings, 1.0);
    EXPECT_FALSE(e.transferRunning());
    userSets(*e.plug, kGlobalLocalOn, 1.0);
    EXPECT_FALSE(e.plug->globalSent);
    userSets(*e.plug, kGlobalSettings, 0.0);
    ASSERT_TRUE(e.waitIdle());
    ASSERT_EQ(e.sim->globalDumpsTaken(), 1);
    EXPECT_EQ(e.sim->globalDump()[11] & 0x04, 0x04);  // local control on
}

}  // namespace
