// ctest-labels: tsan
// The editor end to end, as a host runs it: its panel built from a test panel
// description and opened into a headless window, controls turned and chosen
// with the mouse, and what reaches the instrument's place on real JACK ports,
// byte for byte.
#include "core_component.h"
#include "framework/IControl.h"
#include "platform/appkit/Backend.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/HeadlessBackend.h"
#include "platform/appkit/Window.h"
#include "src/MIDIMessageManager.h"
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
        shownEditor = std::make_unique<coretest::ShownEditor>();
        ASSERT_TRUE(shownEditor->shown());
        editor = &shownEditor->editor;
        plug = editor->plug;
        window = shownEditor->window.get();
        // The panel's own status line.
        status = plug->statusTextControl;
        ASSERT_NE(status, nullptr);
        ASSERT_EQ(plug->firstBoundControl(kControlDisplayName), status);
    }
    void TearDown() override {
        shownEditor.reset();
        peer.reset();
    }

    // The panel's control of a parameter, with the binding the panel gave it.
    IControl* control(int paramIdx, int kind) {
        IControl* c = plug->firstBoundControl(paramIdx);
        ControlAction* a = plug->GetParam(paramIdx)->GetControlAction();
        EXPECT_NE(c, nullptr) << paramIdx;
        EXPECT_TRUE(a && a->kind == kind) << paramIdx;
        return c;
    }
    static platform::appkit::Point centre(IControl* c) {
        const IRECT& r = c->GetRECTRef();
        return {(r.L + r.R) / 2, (r.T + r.B) / 2};
    }
    // Presses on the control, drags up by dy pixels and lets go.
    void turn(IControl* c, int dy) {
        const platform::appkit::Point at = centre(c);
        window->sendEvent(Event::mouse(EV::MouseDown, at));
        window->sendEvent(Event::mouse(EV::MouseDragged, {at.x, at.y - dy}));
        window->sendEvent(Event::mouse(EV::MouseUp, {at.x, at.y - dy}));
    }
    // Clicks a menu control and chooses the item at index.
    void choose(IControl* c, int index) {
        auto* headless = dynamic_cast<platform::appkit::HeadlessBackend*>(&platform::appkit::Application::backend());
        ASSERT_NE(headless, nullptr);
        headless->clearRecords();
        headless->queueMenuChoice({index});
        window->sendEvent(Event::mouse(EV::MouseDown, centre(c)));
        window->sendEvent(Event::mouse(EV::MouseUp, centre(c)));
        ASSERT_EQ(headless->shownMenus().size(), 1u);
        shownTitles = headless->shownMenus()[0].titles;
    }
    std::string midiText() const { return plug->midiTextControl ? plug->midiTextControl->GetTextString() : "?"; }

    hvtest::TempDataDir dir;
    coretest::PanelBundle bundle{dir.path()};
    std::unique_ptr<Peer> peer;
    std::unique_ptr<coretest::ShownEditor> shownEditor;
    EditorInstance* editor = nullptr;
    platform::appkit::Window* window = nullptr;
    Halvoran* plug = nullptr;
    ITextControl* status = nullptr;
    std::vector<std::string> shownTitles;
};

TEST_F(CoreEndToEnd, AKnobTurnedOnThePanelSendsItsControlChange) {
    IControl* knob = control(kFilterCutoff, ControlAction::kCC);
    ASSERT_NE(dynamic_cast<IKnobMultiControl*>(knob), nullptr);
    EXPECT_EQ(plug->GetParam(kFilterCutoff)->GetControlAction()->ccNumber, 74);
    editor->setParameter(kGlobalMIDICha, 3);

    // No port yet: the panel says so and nothing is sent.
    turn(knob, 32);
    EXPECT_EQ(status->GetTextString(), "Set MIDI I/O First!");

    editor->choosePorts(*peer);
    ASSERT_TRUE(plug->midiOutReady);
    peer->drain(200ms);
    turn(knob, 32);
    const int v = plug->GetParam(kFilterCutoff)->Int();
    ASSERT_GT(v, 0);
    EXPECT_EQ(knob->GetValue(), plug->GetParam(kFilterCutoff)->GetNormalized());
    auto got = peer->receive(1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], (Bytes{0xB3, 74, static_cast<unsigned char>(v)}));
    EXPECT_EQ(midiText(), "CC|74");
    EXPECT_NE(status->GetTextString(), "Set MIDI I/O First!");

    // The same value again, from the host: nothing goes out.
    editor->setParameter(kFilterCutoff, static_cast<float>(v) + 0.4f);
    EXPECT_TRUE(peer->drain(300ms).empty());
}

TEST_F(CoreEndToEnd, AnMsbLsbMenuSendsItsThreeMessagesInOrder) {
    IControl* menu = control(kArpType, ControlAction::kMsbLsb);
    editor->choosePorts(*peer);
    peer->drain(200ms);
    choose(menu, 2);
    EXPECT_EQ(shownTitles, (std::vector<std::string>{"Up", "Down", "Alt1", "Alt2", "Random", "Trigger"}));
    EXPECT_EQ(plug->GetParam(kArpType)->Int(), 2);
    auto got = peer->receive(3);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0], (Bytes{0xB0, 99, 0}));
    EXPECT_EQ(got[1], (Bytes{0xB0, 98, 7}));
    EXPECT_EQ(got[2], (Bytes{0xB0, 6, 51}));
    EXPECT_EQ(midiText(), "MSB/LSB");

    // Chosen again: nothing.
    choose(menu, 2);
    EXPECT_TRUE(peer->drain(300ms).empty());
}

TEST_F(CoreEndToEnd, ASysExBoundControlSendsTheWholeProgram) {
    IControl* knob = control(kSeq1Step3, ControlAction::kSysEx);
    editor->setParameter(kGlobalMIDICha, 15);
    plug->deviceByte = 0x30 + 15;
    editor->choosePorts(*peer);
    peer->drain(200ms);
    turn(knob, 20);
    ASSERT_GT(plug->GetParam(kSeq1Step3)->Int(), 0);
    auto got = peer->receive(1);
    ASSERT_EQ(got.size(), 1u);
    ASSERT_EQ(got[0].size(), 297u);
    EXPECT_EQ(Bytes(got[0].begin(), got[0].begin() + 6), (Bytes{0xF0, 0x42, 0x3F, 0x58, 0x40, 0x00}));
    EXPECT_EQ(got[0].back(), 0xF7);
    EXPECT_TRUE(plug->postSendRefresh);
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

    // Without the port: nothing, and the panel says so. A message of its
    // own: a server that misses a cycle may hand the peer an earlier one
    // again.
    editor->setParameter(kDeviceOutSelection, 0);
    EXPECT_FALSE(plug->midiOutReady);
    unsigned char another[] = {0xF0, 0x42, 0x35, 0x58, 0x12, 0xF7};
    plug->checksumCheckAndSend(another, 6);
    EXPECT_EQ(status->GetTextString(), "Set MIDI I/O First!");
    for (const Bytes& late : peer->drain(200ms)) EXPECT_NE(late, Bytes(another, another + 6));
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
                peer->send(change, sizeof change);
            else
                peer->send(cc, sizeof cc);
            std::this_thread::sleep_for(1ms);
        }
    });
    std::this_thread::sleep_for(100ms);
    shownEditor.reset();  // closes the input before anything it reaches goes
    stop = true;
    flood.join();
}

// While a transfer runs the veil covers the panel: a knob under it does not
// move, the cancel button on it does its work, and once the veil is gone the
// panel answers again.
TEST_F(CoreEndToEnd, TheProgressVeilLetsOnlyTheCancelButtonThrough) {
    IControl* knob = control(kFilterCutoff, ControlAction::kCC);
    const double before = plug->GetParam(kFilterCutoff)->Value();
    // The veil of a request, which its Cancel is for.
    const uint64_t request = plug->midiManager->sender->openRequest();
    plug->DisplayProcessingIndicator(true);
    turn(knob, 32);
    EXPECT_EQ(plug->GetParam(kFilterCutoff)->Value(), before);

    IControl* cancel = plug->firstBoundControl(kCancelDataRequest);
    ASSERT_NE(cancel, nullptr);
    EXPECT_EQ(cancel->GetRECTRef().L, 860);
    window->sendEvent(Event::mouse(EV::MouseDown, centre(cancel)));
    window->sendEvent(Event::mouse(EV::MouseUp, centre(cancel)));
    EXPECT_TRUE(plug->midiManager->sender->isCancelled(request));

    plug->DisplayProcessingIndicator(false);
    turn(knob, 32);
    EXPECT_GT(plug->GetParam(kFilterCutoff)->Value(), before);
}

}  // namespace
