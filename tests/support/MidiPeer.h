#pragma once
// The instrument's place on real JACK ports: an output the plug-in reads and
// an input that records what the plug-in sends. Made before the plug-in,
// whose port lists are fixed when it first asks for them.
#include <rtmidi/RtMidi.h>

#include <chrono>
#include <string>
#include <vector>

namespace hvtest {

class MidiPeer {
public:
    using Bytes = std::vector<unsigned char>;

    // Its clients are named stem-out<n> and stem-in<n>, n new for each peer.
    explicit MidiPeer(const std::string& stem = "hvpeer");
    ~MidiPeer();
    MidiPeer(const MidiPeer&) = delete;
    MidiPeer& operator=(const MidiPeer&) = delete;

    // The ports as the plug-in lists them.
    std::string outName() const;
    std::string inName() const;
    // Up to count messages, waiting at most limit for them.
    std::vector<Bytes> receive(size_t count, std::chrono::milliseconds limit = std::chrono::seconds(10));
    // Whatever arrives within quiet.
    std::vector<Bytes> drain(std::chrono::milliseconds quiet = std::chrono::milliseconds(300));

    std::string outClient, inClient;
    RtMidiOut out;
    RtMidiIn in;
};

}  // namespace hvtest
