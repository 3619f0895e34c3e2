#pragma once
// The editor as a host drives it: made through the component entry, given
// sample rate, block size and the host's transport, initialised and
// rendered; and a peer on real JACK ports in the instrument's place.
#include <gtest/gtest.h>
#include <rtmidi/RtMidi.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "framework/IGraphics.h"
#include "framework/IUnitAU.h"
#include "host/HostTransport.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/Window.h"
#include "platform/audiounit/AUHost.h"
#include "src/Halvoran.h"
#include "support/JackServer.h"
#include "support/MidiPeer.h"
#include "support/MidiReceive.h"
#include "support/WaitUntil.h"
#include "uiconfig_bundle_fixture.h"

namespace coretest {

using Bytes = std::vector<unsigned char>;
using namespace std::chrono_literals;

inline IUnitAU* makeEditor() {
    return IUnitAU_MakePlug("com.tallowmere.halvoran",
                            [](const IUnitInstanceInfo& info) -> IUnitAU* { return new Halvoran(info); });
}

inline int32_t editorEntry(platform::au::AUCall* call) { return IUnitAU_Entry(call, makeEditor); }

inline std::string uniqueClient(const char* stem) {
    static int n = 0;
    return std::string(stem) + std::to_string(++n);
}

// The editor's bundle: the small panel of data/core_panel.xml and the SysEx
// lists, enciphered as the build enciphers them, with the images the panel
// names, in a folder that HALVORAN_BUNDLE names while this lives. An editor
// made meanwhile builds its panel from it through its own reader.
struct PanelBundle : hvtest::BundleFolder {
    explicit PanelBundle(const std::filesystem::path& folder) : BundleFolder(folder) {
        putPng("Halvoran25.png", 40, 1000);  // knob: 25 frames of 40 x 40
        putPng("btn-cancel-request.png", 80, 20);
        putPng("bg-main-leg.png", Halvoran::kGUIWidth, Halvoran::kGUIHeight);
        putPng("overlayer.png", Halvoran::kGUIWidth, Halvoran::kGUIHeight);
        putEnciphered("uiconfig.tea", sourceData("core_panel.xml"));
        putEnciphered("sysex.tea", sourceData("factories_sysex.xml"));
    }
};

using Peer = hvtest::MidiPeer;

class EditorInstance {
public:
    explicit EditorInstance(int blockSize = 512, double sampleRate = 48000.0)
        : transport(sampleRate, 120.0, false), instance(editorEntry), block(blockSize) {
        if (instance.open() != platform::au::kNoErr) return;
        plug = static_cast<Halvoran*>(static_cast<IUnitAU*>(instance.handle()));
        instance.set(platform::au::kPropSampleRate, sampleRate);
        instance.set(platform::au::kPropMaxFramesPerSlice, static_cast<uint32_t>(blockSize));
        platform::au::HostCallbackInfo cb = transport.callbacks();
        instance.set(platform::au::kPropHostCallbacks, cb);
        instance.initialize();
    }
    ~EditorInstance() { instance.close(); }

    // One render call of n frames (the block size by default).
    void render(int n = -1) {
        if (n < 0) n = block;
        std::vector<float> l(n), r(n);
        float* outs[2] = {l.data(), r.data()};
        instance.render(static_cast<uint32_t>(n), 0, nullptr, 2, outs);
        transport.advance(n);
    }
    // The host sets a parameter to a plain value.
    void setParameter(int idx, float value) { instance.setParameter(idx, value); }
    // The list index of a port name, or 0.
    int portIndex(int paramIdx, const std::string& name) {
        IParam* p = plug->GetParam(paramIdx);
        for (int i = 1; i < p->GetNDisplayTexts(); ++i)
            if (name == p->GetDisplayText(i)) return i;
        return 0;
    }
    // The same for a port that exists: while the MIDI system's first lists
    // have not come (the panel waits for them a second at most), the menu
    // is opened afresh, as the user would, until it lists the port. 0 when
    // it still does not after a minute.
    int listedPortIndex(int paramIdx, const std::string& name) {
        int index = 0;
        hvtest::waitUntil(
            [&] {
                if ((index = portIndex(paramIdx, name)) > 0) return true;
                plug->refreshMIDIPortMenu(paramIdx);
                return (index = portIndex(paramIdx, name)) > 0;
            },
            60000, 50);
        return index;
    }
    // Until the MIDI worker carried out the port choices: each port is
    // open, or its selector went back to none (told on the GUI thread).
    // Fails the case when they do not settle.
    void awaitPorts() {
        auto settled = [&](int paramIdx, bool open) { return open || plug->GetParam(paramIdx)->Int() == 0; };
        const bool done = hvtest::waitUntil(
            [&] {
                platform::appkit::RunLoop::main().runOnce();
                return settled(kDeviceInSelection, plug->isExternalMIDIInOpen()) &&
                       settled(kDeviceOutSelection, plug->isExternalMIDIOutOpen());
            },
            60000);
        EXPECT_TRUE(done) << "the port choices did not settle";
    }
    // Chooses the peer's ports as the user would on the port menus, and
    // waits until what the editor sends reaches the peer.
    void choosePorts(Peer& peer) {
        setParameter(kDeviceInSelection, static_cast<float>(listedPortIndex(kDeviceInSelection, peer.outName())));
        setParameter(kDeviceOutSelection, static_cast<float>(listedPortIndex(kDeviceOutSelection, peer.inName())));
        awaitPorts();
        if (!plug->isExternalMIDIOutOpen()) return;
        IMidiMsg probe(0, 0xFE);  // active sensing: nothing the instrument acts on
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        do {
            plug->SendMidiMsg(&probe);
        } while (peer.receive(1, 100ms).empty() && std::chrono::steady_clock::now() < deadline);
        peer.drain(100ms);
    }

    hvhost::HostTransport transport;
    platform::au::Instance instance;
    Halvoran* plug = nullptr;
    int block;
};

// The editor as a host shows it: made through the component entry and its
// panel opened into a window of the panel's size; the panel is closed
// before the editor goes, and the window after it.
class ShownEditor {
public:
    ShownEditor() {
        if (!editor.plug) return;
        window = std::make_unique<platform::appkit::Window>(
            platform::appkit::Size{editor.plug->GetGUI()->Width(), editor.plug->GetGUI()->Height()}, "editor");
        int w = 0, h = 0;
        view = editor.plug->OpenView(window->contentView(), &w, &h);
    }
    ~ShownEditor() {
        if (view) editor.plug->CloseView(nullptr);
    }
    bool shown() const { return view != nullptr; }

    std::unique_ptr<platform::appkit::Window> window;  // before the editor: it goes last
    EditorInstance editor;

private:
    void* view = nullptr;
};

}  // namespace coretest
