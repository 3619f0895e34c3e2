#pragma once
// The plug-in's external MIDI input and output ports, through RtMidi. The
// MIDI system is the ALSA sequencer when /dev/snd/seq exists, JACK
// otherwise; HALVORAN_MIDI_API=alsa|jack chooses one.
//
// Every call into the MIDI system runs on a thread of its own and is waited
// for only up to a time limit: a system that stops answering (a JACK server
// stopped, or stuck on a stale lock) holds up neither the panel nor a quit.
// Until it answers again the lists stay as they were, a port chosen meanwhile
// does not open, state() says so, and so does one line of the log.
//
// When there is no MIDI system the lists hold only kNoDeviceName and one
// line says so (JACK's own messages are silenced). A JACK server that goes
// away while a port is open is noticed (lost()), and asking for the lists
// afresh (refreshInNames/refreshOutNames, as a port menu does when it opens)
// starts again with new clients. A JACK server that turns a new client away
// is asked again a few times; when that broke the process's link to the
// server (libjack then frees every client of the process at the next open),
// the editor's clients are made again and an open port is opened again,
// or else reported lost. The lists never hold the editor's own
// ports. A port's client exists only while the port is open, since a JACK
// client is woken at every period of its server.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

enum class MidiSystem {
    kAnswering,     // ports can be listed and opened
    kAbsent,        // no MIDI system to ask
    kNotAnswering,  // a call into it did not end within its time limit
};

class IMidiPorts {
public:
    static constexpr const char* kNoDeviceName = "Select MIDI Device";
    // How long the first lists are waited for, from when they were asked;
    // the panel is built meanwhile.
    static constexpr std::chrono::milliseconds kFirstAnswerPatience{1000};
    // How long any later call into the MIDI system is waited for, in
    // milliseconds (tests on a machine slowed by sanitizers allow more).
    static inline std::atomic<int> callLimitMs{3000};

    // Each complete incoming message goes to onInput, on the MIDI
    // library's thread. clientName names our end of the connections.
    IMidiPorts(std::string clientName, std::function<void(const uint8_t*, size_t)> onInput);
    // Never waits on a call that does not end.
    ~IMidiPorts();
    IMidiPorts(const IMidiPorts&) = delete;
    IMidiPorts& operator=(const IMidiPorts&) = delete;

    // Starts asking the MIDI system for both lists, so that its answer (a
    // JACK server's takes a while) comes while the caller does other work.
    void prefetchNames();
    // Built on first use; entry 0 is kNoDeviceName. The same vectors are
    // refilled by a refresh, and by a first answer that came late.
    const std::vector<std::string>& inNames();
    const std::vector<std::string>& outNames();
    // The lists asked afresh from the MIDI system. After the system went
    // away, the dead clients are dropped first, closing their ports.
    const std::vector<std::string>& refreshInNames();
    const std::vector<std::string>& refreshOutNames();
    // The MIDI system went away (a JACK server ended, or the JACK library
    // freed the clients) since they were made; a refresh clears it.
    bool lost() const;
    MidiSystem state() const;

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
    struct Core;
    // Waits for the first lists, asking for them when nobody did yet.
    void awaitFirstAnswer();
    // The public list of a direction, brought up to the latest answer.
    const std::vector<std::string>& current(bool input);
    const std::vector<std::string>& refresh(bool input);
    void setPort(bool input, int& index, const char* name);

    std::shared_ptr<Core> mCore;
    std::mutex mNamesMutex;
    std::vector<std::string> mInNames, mOutNames;
    unsigned mInSeen = 0, mOutSeen = 0;  // the answer each list holds
};
