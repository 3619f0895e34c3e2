#pragma once
// The plug-in's external MIDI input and output ports: through RtMidi on the
// ALSA sequencer, through clients of the editor's own on JACK
// (IMidiPortsInput, IMidiPortsOutput). The MIDI system is the ALSA
// sequencer when /dev/snd/seq exists, JACK otherwise;
// HALVORAN_MIDI_API=alsa|jack chooses one.
//
// Every call into the MIDI system runs on a thread of its own: no caller
// waits on a system that stops answering (a JACK server stopped, or stuck on
// a stale lock) beyond a time limit, and neither a send nor a port choice
// waits on it at all. Sends go through a bounded queue (IMidiPortsSender);
// a port choice is carried out by the MIDI worker, which says how it ended.
// A system that did not answer in time makes state() say so, and one line
// of the log; a choice made meanwhile is carried out once it answers.
//
// The time limit is HALVORAN_MIDI_CALL_LIMIT_MS milliseconds (3000 when it
// is not set), read when the ports are made. Closing them waits a second at
// most, in all.
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
    // How long closing waits for the MIDI system, in all.
    static constexpr std::chrono::milliseconds kClosePatience{1000};
    // Whether a port opened, once its choice was carried out.
    using Chosen = std::function<void(bool opened)>;

    // Each complete incoming message goes to onInput, in order, on the
    // ports' own input thread, which may wait: the MIDI system's real-time
    // thread only queues it (see IMidiInputQueue for what is dropped when
    // the input comes too fast or too long). clientName names our end of
    // the connections.
    IMidiPorts(std::string clientName, std::function<void(const uint8_t*, size_t)> onInput);
    // Never waits on a call that does not end.
    ~IMidiPorts();
    IMidiPorts(const IMidiPorts&) = delete;
    IMidiPorts& operator=(const IMidiPorts&) = delete;

    // Starts asking the MIDI system for both lists, so that its answer (a
    // JACK server's takes a while) comes while the caller does other work.
    void prefetchNames();
    // The latest lists the system gave (asked on first use); entry 0 is
    // kNoDeviceName. Copies: a refresh, or a first answer that came late,
    // changes what the next call returns.
    std::vector<std::string> inNames();
    std::vector<std::string> outNames();
    // The lists asked afresh from the MIDI system. After the system went
    // away, the dead clients are dropped first, closing their ports.
    std::vector<std::string> refreshInNames();
    std::vector<std::string> refreshOutNames();
    // The MIDI system went away (a JACK server ended, or the JACK library
    // freed the clients) since they were made; a refresh clears it.
    bool lost() const;
    MidiSystem state() const;

    // Chooses the port called `name` (none for index 0) and returns its list
    // index, 0 when it is not listed, waiting for nothing but the first
    // lists (as inNames does). The open port is closed for the caller at
    // once; messages sent meanwhile wait for the new one (a clock tick is
    // refused instead). The MIDI worker then opens it and calls `chosen`,
    // on its own thread, unless a later choice or closeAll came first.
    int choose(bool input, int index, const char* name, Chosen chosen);
    // The same, waiting for the port within the time limit: index is left
    // at the list index of the port when it opened, else 0.
    void setIn(int& index, const char* name);
    void setOut(int& index, const char* name);
    bool inOpen() const;
    bool outOpen() const;
    // Ends both ports and both clients, waiting kClosePatience at most in
    // all, the wait at the process's exit for what is left included (then
    // they end once the system answers). No input callback, and no
    // `chosen`, runs once this returns.
    void closeAll();

    // One whole message for the output port; sends from several threads
    // never interleave, and each thread's keep their order. False when no
    // port is open or being opened, or the queue is full.
    bool send(const uint8_t* bytes, size_t size);

    // The MIDI system in use, by RtMidi's number.
    static int chosenApi();

    // ThreadSanitizer cannot see that a message which came through the MIDI
    // system was sent after what its sender did before: a sender in this
    // process (a test's instrument) releases this mark as it sends, and the
    // input thread acquires it with each message it hands on.
    static void* deliveryMark();

    // What the input's real-time side measured of itself, and what was
    // dropped so far (told in the log as it happens).
    struct InputFigures {
        uint64_t calls = 0;                        // calls of the MIDI system's thread that fed the queue
        uint64_t longestCallNs = 0;                // the longest of them
        uint64_t callsUnderPowerOfTwoNs[32] = {};  // [i]: those under 2^i ns
        uint64_t dropped = 0;                      // messages that found the queue full
        uint64_t droppedSysEx = 0;                 // of those, SysEx
        uint64_t droppedTooLong = 0;               // SysEx messages longer than the longest kept
        uint64_t droppedUnread = 0;                // events read late or lying outside their buffer
        // Messages handed on, counted once what was dropped before them is.
        uint64_t handedOn = 0;
    };
    InputFigures inputFigures() const;

private:
    struct Core;
    class Choice;
    // Waits for the first lists, asking for them when nobody did yet.
    void awaitFirstAnswer();
    std::vector<std::string> current(bool input) const;
    std::vector<std::string> refresh(bool input);
    void setPort(bool input, int& index, const char* name);
    std::shared_ptr<Choice> startChoice(bool input, int index, const char* name, Chosen chosen);

    std::shared_ptr<Core> mCore;
    // Something was asked of the MIDI system since the last closeAll. Set
    // and read by the callers' threads.
    std::atomic<bool> mAsked{false};
    // Until when the last closeAll waits for the MIDI system; the process's
    // exit waits no longer. Set and read by the callers' threads.
    std::atomic<std::chrono::steady_clock::time_point> mClosingEnds{};
};
