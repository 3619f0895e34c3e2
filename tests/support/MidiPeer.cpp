#include "support/MidiPeer.h"

#include <atomic>

#include "support/JackServer.h"
#include "support/MidiReceive.h"

namespace hvtest {

namespace {

std::string uniqueName(const std::string& stem) {
    static std::atomic<int> n{0};
    return stem + std::to_string(++n);
}

}  // namespace

MidiPeer::MidiPeer(const std::string& stem)
    : outClient(uniqueName(stem + "-out")),
      inClient(uniqueName(stem + "-in")),
      out(RtMidi::UNIX_JACK, outClient),
      in(RtMidi::UNIX_JACK, inClient, 4096) {
    out.openVirtualPort("out");
    in.ignoreTypes(false, false, false);
    in.openVirtualPort("in");
}

MidiPeer::~MidiPeer() { closeMidiPorts({&in, &out}); }

std::string MidiPeer::outName() const { return jackPortName(outClient, "out"); }
std::string MidiPeer::inName() const { return jackPortName(inClient, "in"); }

std::vector<MidiPeer::Bytes> MidiPeer::receive(size_t count, std::chrono::milliseconds limit) {
    return receiveMidi(in, count, limit);
}

std::vector<MidiPeer::Bytes> MidiPeer::drain(std::chrono::milliseconds quiet) { return receiveMidi(in, 100000, quiet); }

}  // namespace hvtest
