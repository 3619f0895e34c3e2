#pragma once
// Opening an RtMidi port by the name the system lists it under.
#include <rtmidi/RtMidi.h>

#include <functional>
#include <string>

// The port called `target` as the system lists it now: ports may have come
// and gone since the list was made. True when it is open and the link
// stands; `linked` is asked before every call into the MIDI system.
inline bool openRtMidiPortNamed(RtMidi& midi, const std::string& target, const char* portName,
                                const std::function<bool()>& linked) {
    const unsigned n = midi.getPortCount();
    for (unsigned i = 0; i < n && !midi.isPortOpen() && linked(); ++i)
        if (midi.getPortName(i) == target && linked()) midi.openPort(i, portName);
    return midi.isPortOpen() && linked();
}
