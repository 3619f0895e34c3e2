#pragma once
// The plug-in's external MIDI input and output ports, through RtMidi. The
// MIDI system is the ALSA sequencer when /dev/snd/seq exists, JACK
// otherwise; HALVORAN_MIDI_API=alsa|jack chooses one.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class RtMidiIn;
class RtMidiOut;

class IMidiPorts {
public:
    static constexpr const char* kNoDeviceName = "Select MIDI Device";

    // Each complete incoming message goes to onInput, on the MIDI
    // library's thread. clientName names our end of the connections.
    IMidiPorts(std::string clientName, std::function<void(const uint8_t*, size_t)> onInput);
    ~IMidiPorts();
    IMidiPorts(const IMidiPorts&) = delete;
    IMidiPorts& operator=(const IMidiPorts&) = delete;

    // Built on first use, then fixed; entry 0 is kNoDeviceName.
    const std::vector<std::string>& inNames();
    const std::vector<std::string>& outNames();

    void setIn(int& index, const char* name);
    void setOut(int& index, const char* name);
    bool inOpen() const;
    bool outOpen() const;
    // Ends both ports and both clients; no input callback runs afterwards.
    void closeAll();

    // One whole message to the output port; sends from several threads
    // never interleave. False when no port is open or it failed.
    bool send(const uint8_t* bytes, size_t size);

    // The MIDI system in use, by RtMidi's number.
    static int chosenApi();

private:
    static constexpr int kListAttempts = 3;
    static constexpr int kListRetryMs = 40;
    static constexpr int kJackSettleMs = 100;  // for the server's notifications to pass

    static void inputCallback(double, std::vector<unsigned char>* message, void* user);
    template <class Midi>
    std::vector<std::string> listOnce(std::unique_ptr<Midi>& client, bool (IMidiPorts::*ensure)());
    bool ensureIn();
    bool ensureOut();

    std::string mClientName;
    std::function<void(const uint8_t*, size_t)> mOnInput;
    std::unique_ptr<RtMidiIn> mIn;
    std::unique_ptr<RtMidiOut> mOut;
    std::vector<std::string> mInNames, mOutNames;
    bool mInListed = false, mOutListed = false;
    // Guards the input client against being replaced while the ports are
    // changed from several threads.
    mutable std::mutex mInMutex;
    // Guards the output client; held for every send.
    mutable std::mutex mOutMutex;
};
