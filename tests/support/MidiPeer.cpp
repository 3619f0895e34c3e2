#include "support/MidiPeer.h"

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

#include "framework/IMidiPorts.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <thread>

namespace hvtest {

namespace {

void quietErrors(RtMidiError::Type, const std::string&, void*) {}

}  // namespace

MidiPeer::MidiPeer(const std::string& stem) {
    // A loaded server may turn a client away; it is asked again a few times.
    for (int attempt = 0; attempt < 5 && !open(stem); ++attempt) {
        letGo();
        std::this_thread::sleep_for(std::chrono::milliseconds(100 * (attempt + 1)));
    }
}

bool MidiPeer::open(const std::string& stem) {
    outClient = uniqueClientName(stem + "-out");
    inClient = uniqueClientName(stem + "-in");
    party_ = std::make_unique<JackParty>(uniqueClientName(stem + "-q"));
    if (!party_->opened()) return false;
    // Each RtMidi call opens its client again while the first open was
    // turned away: none follows once the link broke.
    out_ = std::make_unique<RtMidiOut>(RtMidi::UNIX_JACK, outClient);
    out_->setErrorCallback(quietErrors, nullptr);
    if (!party_->linkSound()) return false;
    out_->openVirtualPort("out");
    if (!party_->linkSound()) return false;
    in_ = std::make_unique<RtMidiIn>(RtMidi::UNIX_JACK, inClient, 4096);
    in_->setErrorCallback(quietErrors, nullptr);
    if (!party_->linkSound()) return false;
    in_->ignoreTypes(false, false, false);
    in_->openVirtualPort("in");
    return party_->hasPort(outName()) && party_->hasPort(inName());
}

void MidiPeer::letGo() { hvtest::letGo(party_, in_, out_); }

MidiPeer::~MidiPeer() { letGo(); }

std::string MidiPeer::outName() const { return jackPortName(outClient, "out"); }
std::string MidiPeer::inName() const { return jackPortName(inClient, "in"); }

namespace {

int menuIndex(RtMidi&& lister, const std::string& name) {
    for (unsigned i = 0; i < lister.getPortCount(); ++i)
        if (lister.getPortName(i) == name) return static_cast<int>(i) + 1;
    return 0;
}

}  // namespace

int MidiPeer::inMenuIndex() const {
    return menuIndex(RtMidiIn(RtMidi::UNIX_JACK, uniqueClientName("hvlist")), outName());
}
int MidiPeer::outMenuIndex() const {
    return menuIndex(RtMidiOut(RtMidi::UNIX_JACK, uniqueClientName("hvlist")), inName());
}

std::vector<MidiPeer::Bytes> MidiPeer::receive(size_t count, std::chrono::milliseconds limit) {
    if (!in_) return {};
    return receiveMidi(*in_, count, limit);
}

std::vector<TimedMidi> MidiPeer::receiveTimed(size_t count, std::chrono::milliseconds limit, unsigned char status) {
    if (!in_) return {};
    return receiveMidiTimed(*in_, count, limit, status);
}

std::vector<MidiPeer::Bytes> MidiPeer::drain(std::chrono::milliseconds quiet) { return receive(100000, quiet); }

std::vector<std::string> MidiPeer::allPorts() const {
    std::vector<std::string> names;
    if (!party_ || !party_->linkSound()) return names;
    const char** ports = jack_get_ports(party_->client(), nullptr, JACK_DEFAULT_MIDI_TYPE, 0);
    for (const char** p = ports; p && *p; ++p) names.emplace_back(*p);
    if (ports) jack_free(ports);
    return names;
}

void MidiPeer::send(const unsigned char* bytes, size_t size) {
#if defined(__SANITIZE_THREAD__)
    __tsan_release(IMidiPorts::deliveryMark());
#endif
    if (out_) out_->sendMessage(bytes, size);
}

}  // namespace hvtest
