#pragma once
// The client that holds the output port. Made, opened and closed by the
// MIDI worker; the sender's thread sends through it.
//
// Under JACK the client is the editor's own, on libjack: RtMidi's JACK
// output frees what its process callback reads (its message ring, then its
// whole state) without making sure that callback has stopped, and a
// callback that libjack did not stop (a client it no longer took for
// active) then read through a null ring at start-up or shutdown under load.
// Here the callback reaches its state through a JackCallbackSlot
// (IMidiJackClient.h). Under
// ALSA RtMidi's output stays.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class IMidiPortsOutput {
public:
    // JACK: a client of the editor's own. Makes no call into the system.
    static std::unique_ptr<IMidiPortsOutput> makeJack(std::string clientName);
    // RtMidi's client for that API; throws RtMidiError when it cannot.
    static std::unique_ptr<IMidiPortsOutput> makeRtMidi(int api, std::string clientName);

    virtual ~IMidiPortsOutput() = default;
    // Our port, named portName, connected to the system's port `target`.
    // `linked` is asked before every call that may open a client or change
    // the graph (see IMidiPorts.cpp), and none is made once it says no. True
    // when the port is open.
    virtual bool open(const std::string& target, const char* portName, const std::function<bool()>& linked) = 0;
    virtual void closePort() = 0;
    virtual bool isPortOpen() const = 0;
    // One message into the port, after the ones before it; waits while the
    // port has no room for it, until stop.
    virtual void send(const uint8_t* bytes, size_t size) = 0;
    // A send waiting for room ends; nothing more is sent.
    virtual void stop() = 0;
};
