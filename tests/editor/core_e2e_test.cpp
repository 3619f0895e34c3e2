// The editor end to end, as a host runs it: its panel opened into a headless
// window, controls turned with the mouse, and what reaches the instrument's
// place on real JACK ports, byte for byte.
#include "core_component.h"
#include "framework/IControl.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/Window.h"
#include "raster/RAST_Bitmap.h"
#include "src/MIDIMessageSender.h"
#include "src/UIConfigManager.h"
#include "support/TempDataDir.h"

#include <gtest/gtest.h>

namespace {

using coretest::Bytes;
using coretest::EditorInstance;
using coretest::Peer;
using namespace std::chrono_literals;
using platform::appkit::Event;
using EV = platform::appkit::EventType;

class CoreEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(hvtest::JackServer::shared().running());
        peer = std::make_unique<Peer>();
        editor = std::make_unique<EditorInstance>();
        ASSERT_NE(editor->plug, nullptr);
        plug = editor->plug;
        window = std::make_unique<platform::appkit::Window>(
            platform::appkit::Size{plug->GetGUI()->Width(), plug->GetGUI()->Height()}, "editor");
        int w = 0, h = 0;
        ASSERT_NE(plug->OpenView(window->contentView(), &w, &h), nullptr);
        IText style;
        status = new ITextControl(plug, IRECT(0, 0, 200, 12), &style, "");
        plug->GetGUI()->AttachControl(status);
        plug->uiConfigManager->bindControl(kControlDisplayName, ControlAction::kNone, status);
        plug->statusTextControl = status;
    }
    void TearDown() override {
        if (editor) plug->CloseView(nullptr);
        editor.reset();
        window.reset();
        peer.reset();
    }

    // A knob of 40 x 40 pixels at (x, y), bound as the panel binds it.
    ControlAction* knob(int paramIdx, int x, int y, int kind) {
        auto bmp = std::make_unique<RAST_MemBitmap>(40, 40, 4);
        IBitmap strip(bmp.get(), 40, 40, 1);
        bitmaps.push_back(std::move(bmp));
        auto* k = new IKnobMultiControl(plug, x, y, paramIdx, &strip);
        plug->GetGUI()->AttachControl(k);
        return plug->uiConfigManager->bindControl(paramIdx, kind, k);
    }
    // Presses at (x, y), drags up by dy pixels and lets go.
    void turn(int x, int y, int dy) {
        window->sendEvent(Event::mouse(EV::MouseDown, {x, y}));
        window->sendEvent(Event::mouse(EV::MouseDragged, {x, y - dy}));
        window->sendEvent(Event::mouse(EV::MouseUp, {x, y - dy}));
    }

    hvtest::TempDataDir dir;
    std::unique_ptr<Peer> peer;
    std::unique_ptr<EditorInstance> editor;
    std::unique_ptr<platform::appkit::Window> window;
    std::vector<std::unique_ptr<RAST_MemBitmap>> bitmaps;
    Halvoran* plug = nullptr;
    ITextControl* status = nullptr;
};

TEST_F(CoreEndToEnd, AKnobTurnedOnThePanelSendsItsControlChange) {
    ControlAction* a = knob(kFilterCutoff, 100, 100, ControlAction::kCC);
    a->ccNumber = 74;
    editor->setParameter(kGlobalMIDICha, 3);

    // No port yet: the panel says so and nothing is sent.
    turn(120, 120, 32);
    EXPECT_EQ(status->GetTextString(), "Set MIDI I/O First!");

    editor->choosePorts(*peer);
    ASSERT_TRUE(plug->midiOutReady);
    peer->drain(200ms);
    turn(120, 120, 32);
    const int v = plug->GetParam(kFilterCutoff)->Int();
    ASSERT_GT(v, 0);
    auto got = peer->receive(1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], (Bytes{0xB3, 74, static_cast<unsigned char>(v)}));
    EXPECT_NE(status->GetTextString(), "Set MIDI I/O First!");

    // The same value again, from the host: nothing goes out.
    editor->setParameter(kFilterCutoff, static_cast<float>(v) + 0.4f);
    EXPECT_TRUE(peer->drain(300ms).empty());
}

TEST_F(CoreEndToEnd, AnMsbLsbBindingSendsItsThreeMessagesInOrder) {
    ControlAction* a = knob(kArpType, 300, 100, ControlAction::kMsbLsb);
    a->ccNumber = 6;
    a->msbValue = 0;
    a->lsbValue = 7;
    plug->GetParam(kArpType)->InitEnum("Arp Type", 0, 6);
    editor->choosePorts(*peer);
    peer->drain(200ms);
    editor->setParameter(kArpType, 2);
    auto got = peer->receive(3);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0], (Bytes{0xB0, 99, 0}));
    EXPECT_EQ(got[1], (Bytes{0xB0, 98, 7}));
    EXPECT_EQ(got[2], (Bytes{0xB0, 6, 51}));
}

TEST_F(CoreEndToEnd, ASysExBoundControlSendsTheWholeProgram) {
    knob(kSeq1Step3, 500, 100, ControlAction::kSysEx);
    editor->setParameter(kGlobalMIDICha, 15);
    plug->deviceByte = 0x30 + 15;
    editor->choosePorts(*peer);
    peer->drain(200ms);
    turn(520, 120, 20);
    auto got = peer->receive(1);
    ASSERT_EQ(got.size(), 1u);
    ASSERT_EQ(got[0].size(), 297u);
    EXPECT_EQ(Bytes(got[0].begin(), got[0].begin() + 6), (Bytes{0xF0, 0x42, 0x3F, 0x58, 0x40, 0x00}));
    EXPECT_EQ(got[0].back(), 0xF7);
}

TEST_F(CoreEndToEnd, ShortSysExBodiesAreFramedAndWholeMessagesGoUnchanged) {
    editor->choosePorts(*peer);
    peer->drain(200ms);
    std::vector<unsigned char> body = MIDIMessageSender::requestBody(0x35, MIDIMessageSender::kFuncGlobalRequest);
    plug->checksumCheckAndSend(body.data(), static_cast<int>(body.size()));
    unsigned char whole[] = {0xF0, 0x42, 0x35, 0x58, 0x10, 0xF7};
    plug->checksumCheckAndSend(whole, 6);
    auto got = peer->receive(2);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0], (Bytes{0xF0, 0x42, 0x35, 0x58, 0x0E, 0xF7}));
    EXPECT_EQ(got[1], Bytes(whole, whole + 6));

    // Without the port: nothing, and the panel says so.
    editor->setParameter(kDeviceOutSelection, 0);
    EXPECT_FALSE(plug->midiOutReady);
    plug->checksumCheckAndSend(whole, 6);
    EXPECT_EQ(status->GetTextString(), "Set MIDI I/O First!");
    EXPECT_TRUE(peer->drain(200ms).empty());
}

TEST_F(CoreEndToEnd, ProgramChangesAndTheLampFollowSends) {
    editor->choosePorts(*peer);
    peer->drain(200ms);
    plug->SendProgramChangeCommand(127);
    auto got = peer->receive(1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], (Bytes{0xC0, 127}));
    EXPECT_EQ(plug->midiLampOn, 1);
    EXPECT_EQ(plug->GetParam(kMIDILed)->Value(), 1.0);
    // The render thread puts it out 100 ms after the send.
    std::this_thread::sleep_for(150ms);
    editor->render();
    EXPECT_EQ(plug->midiLampOn, 0);
    EXPECT_EQ(plug->GetParam(kMIDILed)->Value(), 0.0);
}

TEST_F(CoreEndToEnd, ClosingWhileTheInstrumentSendsIsSafe) {
    editor->choosePorts(*peer);
    std::atomic<bool> stop{false};
    std::thread flood([&] {
        const unsigned char change[] = {0xF0, 0x42, 0x30, 0x58, 0x41, 1, 0, 5, 0, 0xF7};
        const unsigned char cc[] = {0xB0, 74, 9};
        for (int i = 0; !stop; ++i) {
            if (i % 2)
                peer->out.sendMessage(change, sizeof change);
            else
                peer->out.sendMessage(cc, sizeof cc);
            std::this_thread::sleep_for(1ms);
        }
    });
    std::this_thread::sleep_for(100ms);
    plug->CloseView(nullptr);
    editor.reset();  // closes the input before anything it reaches goes
    stop = true;
    flood.join();
}

}  // namespace
