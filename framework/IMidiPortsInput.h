#pragma once
// The client that holds the input port, feeding what the port receives to
// the input queue on the MIDI system's thread. Made, opened and closed by
// the MIDI worker alone.
//
// Under JACK the client is the editor's own, on libjack: RtMidi's JACK input
// puts a SysEx message together in a vector that grows without bound until
// its F7 comes, and takes nothing else meanwhile, so an instrument that
// never ends one would take all memory. Each JACK event's bytes go to the
// queue instead, which bounds what it keeps. Under ALSA RtMidi's input
// stays, and the queue bounds what it hands on (RtMidi itself keeps a SysEx
// whole until its end).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class IMidiInputQueue;

class IMidiPortsInput {
public:
    // JACK: a client of the editor's own. Makes no call into the system.
    static std::unique_ptr<IMidiPortsInput> makeJack(std::string clientName, std::shared_ptr<IMidiInputQueue> queue);
    // RtMidi's client for that API; throws RtMidiError when it cannot.
    static std::unique_ptr<IMidiPortsInput> makeRtMidi(int api, std::string clientName,
                                                       std::shared_ptr<IMidiInputQueue> queue);

    virtual ~IMidiPortsInput() = default;
    // Our port, named portName, connected to the system's port `source`,
    // its messages queued under `tag`. `linked` is asked before every call
    // that may open a client or change the graph (see IMidiPorts.cpp), and
    // none is made once it says no. True when the port is open.
    virtual bool open(const std::string& source, const char* portName, uint32_t tag,
                      const std::function<bool()>& linked) = 0;
    virtual void closePort() = 0;
    virtual bool isPortOpen() const = 0;
    // Nothing more reaches the queue; the client is never used again.
    virtual void stop() = 0;
};
