#pragma once
// The plug-in's external MIDI input and output ports, through RtMidi. The
// MIDI system is the ALSA sequencer when /dev/snd/seq exists, JACK
// otherwise; HALVORAN_MIDI_API=alsa|jack chooses one.
//
// The system is asked once whether it answers; when it does not, the lists
// hold only kNoDeviceName and one line says so (JACK's own messages are
// silenced). A JACK server that goes away while a port is open is noticed
// (lost()), and asking for the lists afresh (refreshInNames/refreshOutNames,
// as a port menu does when it opens) starts again with new clients.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
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

    // Starts asking the MIDI system for both lists on threads of their own,
    // so that its answer (a JACK server's takes a while) comes while the
    // caller does other work; the lists wait for it.
    void prefetchNames();
    // Built on first use; entry 0 is kNoDeviceName. The same vectors are
    // refilled by a refresh.
    const std::vector<std::string>& inNames();
    const std::vector<std::string>& outNames();
    // The lists asked afresh from the MIDI system. After the system went
    // away, the dead clients are dropped first, closing their ports.
    const std::vector<std::string>& refreshInNames();
    const std::vector<std::string>& refreshOutNames();
    // The MIDI system went away (a JACK server ended) since the clients
    // were made; a refresh clears it.
    bool lost() const { return mLost; }

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
    enum class System { kUnknown, kAnswering, kAbsent };
    static constexpr int kListAttempts = 3;
    static constexpr int kListRetryMs = 40;
    static constexpr int kJackSettleMs = 100;  // for the server's notifications to pass

    static void inputCallback(double, std::vector<unsigned char>* message, void* user);
    template <class Midi>
    std::vector<std::string> listOnce(std::unique_ptr<Midi>& client, bool (IMidiPorts::*ensure)());
    bool ensureIn();
    bool ensureOut();
    // Whether the MIDI system answers, asked once (again after a loss). On
    // JACK the client that asks stays, to hear of the server's end.
    bool systemAnswers();
    void dropWatcher();
    std::vector<std::string> listIn();
    std::vector<std::string> listOut();
    // The input or output list, made when it was not yet (or afresh).
    const std::vector<std::string>& fill(bool input, bool afresh);
    // After a loss: the dead clients go, the system is asked again.
    void recoverFromLoss();
    // Before a refresh: after a loss, or when the system did not answer.
    void askSystemAgain();
    void waitForPrefetch();

    std::string mClientName;
    std::function<void(const uint8_t*, size_t)> mOnInput;
    std::unique_ptr<RtMidiIn> mIn;
    std::unique_ptr<RtMidiOut> mOut;
    std::vector<std::string> mInNames, mOutNames;
    bool mInListed = false, mOutListed = false;
    std::mutex mSystemMutex;
    System mSystem = System::kUnknown;
    bool mAbsenceReported = false;
    void* mWatcher = nullptr;  // jack_client_t*
    std::atomic<bool> mLost{false};
    // Errors the MIDI library reported for our clients.
    std::atomic<int> mClientErrors{0};
    std::mutex mPrefetchMutex;
    std::thread mInPrefetch, mOutPrefetch;
    // Guards the input client against being replaced while the ports are
    // changed from several threads.
    mutable std::mutex mInMutex;
    // Guards the output client; held for every send.
    mutable std::mutex mOutMutex;
};
