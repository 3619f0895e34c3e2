// The Audio Unit binding in-process: properties, saved state, parameter
// info, notification and host time, on the test unit.
#include "TestUnit.h"
#include "framework/IUnitAU.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

namespace {

using namespace platform::au;
using platform::cf::PropertyDict;
using testunit::TestUnit;

class UnitAU : public ::testing::Test {
protected:
    void SetUp() override {
        unit.reset(static_cast<TestUnit*>(IUnitAU_MakePlug(
            "com.test.unit", [](const IUnitInstanceInfo& i) -> IUnitAU* { return new TestUnit(i, false); })));
    }

    OSStatus getProp(uint32_t id, void* data, uint32_t size, uint32_t element = 0) {
        AUCall c{};
        c.selector = kSelGetProperty;
        c.propertyID = id;
        c.element = element;
        c.data = data;
        c.dataSize = size;
        return unit->Dispatch(&c);
    }
    OSStatus setProp(uint32_t id, const void* data, uint32_t size) {
        AUCall c{};
        c.selector = kSelSetProperty;
        c.propertyID = id;
        c.data = const_cast<void*>(data);
        c.dataSize = size;
        return unit->Dispatch(&c);
    }

    std::unique_ptr<TestUnit> unit;
};

TEST_F(UnitAU, MakePlugFillsTheInstanceInfo) {
    const IUnitInstanceInfo& info = unit->GetInstanceInfo();
    EXPECT_EQ(info.mBundleID, "com.test.unit");
    EXPECT_EQ(info.mCocoaViewFactoryClassName, "Halvoran_View");
    EXPECT_FALSE(info.mBundlePath.empty());
    CocoaViewInfo v{};
    ASSERT_EQ(getProp(kPropCocoaUI, &v, sizeof v), kNoErr);
    EXPECT_STREQ(v.viewClassName, "Halvoran_View");
    EXPECT_EQ(info.mBundlePath, v.bundlePath);
}

TEST_F(UnitAU, ParameterInfoCarriesTextsRangeAndMetaFlag) {
    ParameterInfo info{};
    ASSERT_EQ(getProp(kPropParameterInfo, &info, sizeof info, testunit::kRadio), kNoErr);
    EXPECT_STREQ(info.name, "Radio");
    EXPECT_STREQ(info.group, "Main");
    EXPECT_EQ(info.maxValue, 2.0f);
    EXPECT_TRUE(info.flags & kParamFlagIsGlobalMeta);
    EXPECT_TRUE(info.flags & kParamFlagNonRealTime);  // not automated
    ASSERT_EQ(getProp(kPropParameterInfo, &info, sizeof info, testunit::kGain), kNoErr);
    EXPECT_FALSE(info.flags & kParamFlagIsGlobalMeta);
    EXPECT_FALSE(info.flags & kParamFlagNonRealTime);
    EXPECT_EQ(info.defaultValue, 0.5f);
    EXPECT_EQ(getProp(kPropParameterInfo, &info, sizeof info, testunit::kNumParams), kErrInvalidElement);
    EXPECT_EQ(getProp(kPropParameterInfo, &info, 4, testunit::kGain), kErrParam);  // no room

    std::vector<int32_t> ids(testunit::kNumParams, -1);
    ASSERT_EQ(getProp(kPropParameterList, ids.data(), ids.size() * 4), kNoErr);
    for (int i = 0; i < testunit::kNumParams; ++i) EXPECT_EQ(ids[i], i);
}

TEST_F(UnitAU, UnknownOrReadOnlyPropertiesAreRefused) {
    uint32_t x = 0;
    EXPECT_EQ(getProp(9999, &x, sizeof x), kErrInvalidProperty);
    EXPECT_EQ(setProp(9999, &x, sizeof x), kErrInvalidProperty);
    EXPECT_EQ(setProp(kPropParameterList, &x, sizeof x), kErrPropertyNotWritable);
    double rate = -1;
    EXPECT_EQ(setProp(kPropSampleRate, &rate, sizeof rate), kErrInvalidPropertyValue);
    uint32_t frames = 0;
    EXPECT_EQ(setProp(kPropMaxFramesPerSlice, &frames, sizeof frames), kErrInvalidPropertyValue);
    AUCall c{};
    c.selector = 77;
    EXPECT_EQ(unit->Dispatch(&c), kErrUnsupported);
    c.selector = kSelRender;
    EXPECT_EQ(unit->Dispatch(&c), kErrUninitialized);
}

TEST_F(UnitAU, PresetsAreOneUntitledUserPreset) {
    FactoryPresets fp{7, nullptr};
    ASSERT_EQ(getProp(kPropFactoryPresets, &fp, sizeof fp), kNoErr);
    EXPECT_EQ(fp.count, 0);
    PresetInfo p{};
    ASSERT_EQ(getProp(kPropPresentPreset, &p, sizeof p), kNoErr);
    EXPECT_EQ(p.number, -1);
    EXPECT_STREQ(p.name, "Untitled");
    PresetInfo mine{-1, "My Sound"};
    EXPECT_EQ(setProp(kPropPresentPreset, &mine, sizeof mine), kNoErr);
    PresetInfo factory{0, "x"};
    EXPECT_EQ(setProp(kPropPresentPreset, &factory, sizeof factory), kErrInvalidPropertyValue);
    PropertyDict state;
    ASSERT_EQ(unit->GetState(&state), kNoErr);
    ASSERT_NE(state.getString("name"), nullptr);
    EXPECT_EQ(*state.getString("name"), "My Sound");
}

TEST_F(UnitAU, StateDictionaryRoundTripsThroughItsFileFormIntoAFreshInstance) {
    unit->GetParam(testunit::kGain)->Set(0.25);
    unit->GetParam(testunit::kMode)->Set(3);
    unit->GetParam(testunit::kSwitch)->Set(1);
    unit->GetParam(testunit::kResets)->Set(42);
    PropertyDict state;
    ASSERT_EQ(unit->GetState(&state), kNoErr);
    for (const char* key : {"version", "type", "subtype", "manufacturer", "name", "data"})
        EXPECT_TRUE(state.has(key)) << key;
    EXPECT_EQ(*state.getInt("version"), 0x00010002);
    EXPECT_EQ(*state.getInt("subtype"), platform::cf::fourCC("HvTu"));

    PropertyDict reread;
    ASSERT_TRUE(platform::cf::readPropertyList(platform::cf::writePropertyList(state), &reread));
    EXPECT_EQ(reread, state);

    TestUnit fresh{IUnitInstanceInfo{}, false};
    EXPECT_EQ(fresh.GetParam(testunit::kGain)->Value(), 0.5);
    ASSERT_EQ(fresh.SetState(reread), kNoErr);
    for (int i = 0; i < testunit::kNumParams; ++i)
        EXPECT_EQ(fresh.GetParam(i)->Value(), unit->GetParam(i)->Value()) << i;
}

TEST_F(UnitAU, StateWithoutDataOrFromAnotherPlugInIsRefused) {
    unit->GetParam(testunit::kGain)->Set(0.75);
    PropertyDict state;
    ASSERT_EQ(unit->GetState(&state), kNoErr);
    TestUnit fresh{IUnitInstanceInfo{}, false};

    PropertyDict noData = state;
    noData.erase("data");
    EXPECT_EQ(fresh.SetState(noData), kErrInvalidProperty);
    PropertyDict wrongKind = state;
    wrongKind.setString("data", "not bytes");
    EXPECT_EQ(fresh.SetState(wrongKind), kErrInvalidProperty);
    PropertyDict foreign = state;
    foreign.setInt("subtype", platform::cf::fourCC("Othr"));
    EXPECT_EQ(fresh.SetState(foreign), kErrInvalidPropertyValue);
    EXPECT_EQ(fresh.GetParam(testunit::kGain)->Value(), 0.5);

    // Garbage bytes reach the plug-in's reader, which refuses them: so is
    // the load, and nothing changes.
    PropertyDict garbage = state;
    garbage.setData("data", {1, 2, 3});
    EXPECT_EQ(fresh.SetState(garbage), kErrInvalidPropertyValue);
    EXPECT_EQ(fresh.GetParam(testunit::kGain)->Value(), 0.5);

    // A state cut short after the values the reader takes first: what it
    // had set before it gave up goes back.
    const platform::cf::Bytes* data = state.getData("data");
    ASSERT_NE(data, nullptr);
    PropertyDict cut = state;
    cut.setData("data", platform::cf::Bytes(data->begin(), data->end() - 4));
    EXPECT_EQ(fresh.SetState(cut), kErrInvalidPropertyValue);
    TestUnit untouched{IUnitInstanceInfo{}, false};
    for (int i = 0; i < testunit::kNumParams; ++i)
        EXPECT_EQ(fresh.GetParam(i)->Value(), untouched.GetParam(i)->Value()) << i;
}

TEST_F(UnitAU, PanelChangesNotifyEveryListenerOnceWithThePlainValue) {
    struct Seen {
        std::vector<std::pair<int, float>> calls;
    } a, b;
    auto listener = [](void* user, int32_t id, float v) { static_cast<Seen*>(user)->calls.push_back({id, v}); };
    AUCall c{};
    c.selector = kSelAddParameterListener;
    c.parameterListener = listener;
    c.listenerUser = &a;
    ASSERT_EQ(unit->Dispatch(&c), kNoErr);
    ASSERT_EQ(unit->Dispatch(&c), kNoErr);  // the same listener twice counts once
    c.listenerUser = &b;
    ASSERT_EQ(unit->Dispatch(&c), kNoErr);

    unit->SetParameterFromGUI(testunit::kMode, 1.0);
    ASSERT_EQ(a.calls.size(), 1u);
    EXPECT_EQ(a.calls[0].first, testunit::kMode);
    EXPECT_EQ(a.calls[0].second, 3.0f);
    EXPECT_EQ(b.calls.size(), 1u);

    c.selector = kSelRemoveParameterListener;
    ASSERT_EQ(unit->Dispatch(&c), kNoErr);  // b goes
    // A host's own change is not echoed back to it.
    AUCall set{};
    set.selector = kSelSetParameter;
    set.paramID = testunit::kGain;
    set.paramValue = 0.3f;
    ASSERT_EQ(unit->Dispatch(&set), kNoErr);
    EXPECT_NEAR(unit->GetParam(testunit::kGain)->Value(), 0.3, 1e-6);
    EXPECT_EQ(a.calls.size(), 1u);
    unit->SetParameterFromGUI2(testunit::kGain, 0.5);
    EXPECT_EQ(a.calls.size(), 2u);
    EXPECT_EQ(b.calls.size(), 1u);
    set.paramID = -1;
    EXPECT_EQ(unit->Dispatch(&set), kErrInvalidParameter);
}

struct FakeHost {
    double tempo = 120.7, beat = 3.5;
    bool playing = true, changed = true;
    double pos = 9600;
    static OSStatus bt(void* u, double* beat, double* tempo) {
        auto* h = static_cast<FakeHost*>(u);
        *beat = h->beat;
        *tempo = h->tempo;
        return kNoErr;
    }
    static OSStatus ts(void* u, bool* playing, bool* changed, double* pos, bool* cyc, double* cs, double* ce) {
        auto* h = static_cast<FakeHost*>(u);
        *playing = h->playing;
        *changed = h->changed;
        *pos = h->pos;
        *cyc = false;
        *cs = *ce = 0;
        return kNoErr;
    }
};

TEST_F(UnitAU, RenderReadsTheHostsTimeOncePerBlockAndZeroesTheOutput) {
    EXPECT_EQ(unit->GetTempo(), 120.0);  // before any host time
    FakeHost host;
    HostCallbackInfo cb{};
    cb.hostUserData = &host;
    cb.beatAndTempoProc = FakeHost::bt;
    cb.transportStateProc = FakeHost::ts;  // no musical-time callback
    ASSERT_EQ(setProp(kPropHostCallbacks, &cb, sizeof cb), kNoErr);
    uint32_t frames = 256;
    ASSERT_EQ(setProp(kPropMaxFramesPerSlice, &frames, sizeof frames), kNoErr);
    AUCall init{};
    init.selector = kSelInitialize;
    ASSERT_EQ(unit->Dispatch(&init), kNoErr);
    EXPECT_EQ(unit->GetBlockSize(), 256);
    EXPECT_EQ(unit->GetParam(testunit::kResets)->Value(), 1.0);
    double rate = 96000;
    ASSERT_EQ(setProp(kPropSampleRate, &rate, sizeof rate), kNoErr);
    EXPECT_EQ(unit->GetSampleRate(), 96000.0);
    EXPECT_EQ(unit->GetParam(testunit::kResets)->Value(), 2.0);  // a new rate resets

    std::vector<float> in(256, 0.5f), out0(256, 9.0f), out1(256, 9.0f), out2(256, 9.0f);
    float* ins[1] = {in.data()};
    float* outs[3] = {out0.data(), out1.data(), out2.data()};
    AUCall r{};
    r.selector = kSelRender;
    r.nFrames = 256;
    r.nInputs = 1;
    r.inputs = ins;
    r.nOutputs = 3;
    r.outputs = outs;
    ASSERT_EQ(unit->Dispatch(&r), kNoErr);
    for (float v : out0) ASSERT_EQ(v, 0.0f);
    for (float v : out2) ASSERT_EQ(v, 0.0f);
    EXPECT_DOUBLE_EQ(unit->GetParam(testunit::kTempoSeen)->Value(), 120.7);
    EXPECT_EQ(unit->GetParam(testunit::kEdges)->Value(), 1.0);
    ITimeInfo t;
    unit->GetTime(&t);
    EXPECT_TRUE(t.mTransportIsRunning);
    EXPECT_TRUE(t.mTransportChanged);
    EXPECT_EQ(t.mSamplePos, 9600.0);
    EXPECT_EQ(t.mPPQPos, 3.5);
    EXPECT_EQ(t.mNumerator, 4);  // no callback: the default stays

    host.tempo = -3;  // nonsense from the host keeps the default
    host.playing = false;
    ASSERT_EQ(unit->Dispatch(&r), kNoErr);
    EXPECT_EQ(unit->GetTempo(), 120.0);
    EXPECT_EQ(unit->GetParam(testunit::kEdges)->Value(), 2.0);
    r.nFrames = 257;
    EXPECT_EQ(unit->Dispatch(&r), kErrTooManyFramesToProcess);
}

}  // namespace
