#pragma once
// The instrument's place on real JACK ports: an output the plug-in reads and
// an input that records what the plug-in sends. Made before the plug-in,
// whose port lists are fixed when it first asks for them.
#include <rtmidi/RtMidi.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "support/JackServer.h"
#include "support/MidiReceive.h"

namespace hvtest {

class MidiPeer {
public:
    using Bytes = std::vector<unsigned char>;

    // Its clients are named stem-out-<pid>-<n> and stem-in-<pid>-<n>, n new
    // for each try.
    explicit MidiPeer(const std::string& stem = "hvpeer");
    ~MidiPeer();
    MidiPeer(const MidiPeer&) = delete;
    MidiPeer& operator=(const MidiPeer&) = delete;

    // The ports as the plug-in lists them.
    std::string outName() const;
    std::string inName() const;
    // Their places in the editor's IN and OUT menus: "Select MIDI Device"
    // first, then the ports as the MIDI library lists them; 0 when missing.
    int inMenuIndex() const;   // its output, which the editor reads
    int outMenuIndex() const;  // its input, which the editor feeds
    // Up to count messages, waiting at most limit for them.
    std::vector<Bytes> receive(size_t count, std::chrono::milliseconds limit = std::chrono::seconds(10));
    // Up to count messages of that status byte (any for 0), each with the
    // seconds since the one before.
    std::vector<TimedMidi> receiveTimed(size_t count, std::chrono::milliseconds limit, unsigned char status = 0);
    // Whatever arrives within quiet.
    std::vector<Bytes> drain(std::chrono::milliseconds quiet = std::chrono::milliseconds(300));

    // Every MIDI port the server has, as "client:port".
    std::vector<std::string> allPorts() const;
    // One message out of its output port; nothing when the server turned
    // every try away.
    void send(const unsigned char* bytes, size_t size);
    void send(const Bytes& message) { send(message.data(), message.size()); }

    std::string outClient, inClient;

private:
    // False when the server turned a client away; then what was made is
    // let go.
    bool open(const std::string& stem);
    void letGo();

    std::unique_ptr<RtMidiOut> out_;
    std::unique_ptr<RtMidiIn> in_;
    std::unique_ptr<JackParty> party_;
};

}  // namespace hvtest
