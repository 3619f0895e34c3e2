#pragma once
// A simulated instrument on its own JACK ports, for end-to-end tests of the
// editor. It speaks the instrument's wire protocol: SysEx framed
// F0 42 (30 + channel) 58 function ... F7, program dumps of 297 bytes, global
// dumps of 235 bytes, requests, write requests, parameter and mode changes,
// control changes, NRPN, program changes and notes.
//
// It holds 128 programs, an edit buffer and the global data; answers program
// and global requests on its channel with dumps; takes dumps, write requests,
// program changes and control changes; records everything that arrives with
// its arrival time. Test code only: nothing here comes from the editor.
//
// Ports: the editor opens outPort() as its MIDI input and inPort() as its MIDI
// output. Call JackServer::shared() before making one.
#include <rtmidi/RtMidi.h>

#include "support/JackServer.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace hvtest {

class SimInstrument {
public:
    using Bytes = std::vector<uint8_t>;
    using Clock = std::chrono::steady_clock;

    static constexpr int kPrograms = 128;
    static constexpr int kProgramDumpSize = 297;
    static constexpr int kGlobalDumpSize = 235;
    static constexpr int kProgramDataSize = 254;
    static constexpr int kGlobalDataSize = 200;

    // One message that arrived.
    struct Message {
        Bytes bytes;
        Clock::time_point arrived;  // when the port handed it over
        double stamp = 0.0;         // seconds since the first message, by the port's own timestamps
    };

    // Called on the instrument's thread for every channel message on its
    // channel, after the instrument's own handling; a later parameter map
    // hooks in here (for example to move a program field on a control change).
    using ChannelHook = std::function<void(SimInstrument&, const Bytes& message)>;

    explicit SimInstrument(int channel = 0, const std::string& clientStem = "hvsim");
    ~SimInstrument();
    SimInstrument(const SimInstrument&) = delete;
    SimInstrument& operator=(const SimInstrument&) = delete;

    // ---- Ports
    std::string outPort() const;  // "client:out": what the instrument sends
    std::string inPort() const;   // "client:in": what it receives
    // Waits until something is connected to the chosen ports and the server
    // has run a few cycles since, so that the connections carry data.
    bool waitConnected(std::chrono::milliseconds limit = std::chrono::seconds(60), bool in = true,
                       bool out = true) const;

    // ---- Behaviour
    // Global MIDI channel 0..15: the device byte it answers to and sends.
    int channel() const { return channel_; }
    void setChannel(int channel) { channel_ = channel & 0x0F; }
    // A silent instrument takes everything but answers no request.
    void setAnswering(bool answering) { answering_ = answering; }
    // A pause before each answer.
    void setReplyDelay(std::chrono::milliseconds delay) { replyDelayMs_ = static_cast<int>(delay.count()); }
    void addChannelHook(ChannelHook hook);
    // Called on the instrument's thread for every message before it is
    // handled: what the hook does comes before any answer to the message.
    void setBeforeHandling(std::function<void(const Bytes& message)> hook);
    // The next program dumps and global dumps it answers with are counted
    // but lost on their way out, as a link that drops part of a burst.
    void loseAnswers(int programDumps, int globalDumps) {
        programDumpsToLose_ = programDumps;
        globalDumpsToLose_ = globalDumps;
    }

    // ---- Memory. Program slots and the edit buffer are whole 297-byte dumps;
    // the device byte at 2 is put in when they are sent.
    int currentProgram() const;
    Bytes program(int slot) const;
    void setProgram(int slot, const Bytes& dump);
    Bytes editBuffer() const;
    void setEditBuffer(const Bytes& dump);
    Bytes globalDump() const;
    void setGlobalDump(const Bytes& dump);
    // The edit buffer's data bytes (0..253, 8 bits; the packing is handled here).
    int dataByte(int n) const;
    void setDataByte(int n, int value);
    // The edit buffer's name: its 12 name bytes; a 0 byte ends it.
    std::string name() const;
    void setName(const std::string& name);
    // A global data byte (0..199, 8 bits).
    int globalDataByte(int n) const;
    void setGlobalDataByte(int n, int value);
    // The last value taken for a control change or NRPN address, -1 for none.
    int ccValue(int cc) const;
    int nrpnValue(int msb, int lsb) const;
    // How many requests it answered, dumps it took and programs it stored.
    int programRequestsAnswered() const { return programAnswers_; }
    int globalRequestsAnswered() const { return globalAnswers_; }
    int programDumpsTaken() const { return programDumpsTaken_; }
    int globalDumpsTaken() const { return globalDumpsTaken_; }
    int programsWritten() const { return programsWritten_; }

    // ---- Sending (on its own channel unless one is given)
    void sendProgramDump();
    void sendGlobalDump();
    void sendParameterChange(int idLow, int idHigh, int value, int valueHigh);
    void sendModeChange(int mode);
    void sendControlChange(int cc, int value, int channel = -1);
    // CC 99, CC 98, then data entry (CC 6).
    void sendNRPN(int msb, int lsb, int value, int channel = -1);
    // On its own channel this is the user choosing a program on the
    // instrument: it plays that program from then on.
    void sendProgramChange(int program, int channel = -1);
    void sendNoteOn(int note, int velocity, int channel = -1);
    void sendNoteOff(int note, int channel = -1);
    void sendRaw(const Bytes& bytes);
    // A frame F0 42 3g 58 function, body, F7 on its channel.
    Bytes frame(int function, const Bytes& body) const;

    // ---- What arrived
    std::vector<Message> received() const;
    size_t receivedCount() const;
    void clearReceived();
    // Waits until pred holds for what arrived so far.
    bool waitFor(const std::function<bool(const std::vector<Message>&)>& pred,
                 std::chrono::milliseconds limit = std::chrono::seconds(60)) const;
    bool waitForCount(size_t count, std::chrono::milliseconds limit = std::chrono::seconds(60)) const;
    // Waits until the instrument's thread has handled everything that arrived.
    bool waitIdle(std::chrono::milliseconds limit = std::chrono::seconds(60)) const;

    // ---- Message tests
    // SysEx of this instrument's frame with that function (any channel).
    static bool isFunction(const Bytes& m, int function);
    static bool isControlChange(const Bytes& m, int cc = -1);
    static bool isProgramChange(const Bytes& m);
    static bool isNote(const Bytes& m);

private:
    static void inputCallback(double delta, std::vector<unsigned char>* message, void* self);
    void onInput(double delta, const Bytes& bytes);
    void work();
    void handle(const Bytes& m);
    void handleSysEx(const Bytes& m);
    void handleChannel(const Bytes& m);
    void send(Bytes bytes);
    // The edit buffer and the global data as the instrument sends them.
    Bytes programMessage() const;
    Bytes globalMessage() const;
    void answer(Bytes bytes);
    int deviceByte() const { return 0x30 + channel_; }
    static Bytes defaultProgram(int slot);
    Bytes defaultGlobal() const;

    // Makes the clients and their ports; false when the server turned one
    // away, and then what was made is let go.
    bool openClients(const std::string& stem);
    void letGo();

    std::string inClient_, outClient_;
    std::unique_ptr<RtMidiIn> in_;
    std::unique_ptr<RtMidiOut> out_;
    // A client of our own, to look at port connections and the link.
    std::unique_ptr<JackParty> party_;
    std::mutex sendMutex_;

    mutable std::mutex mutex_;  // memory and records
    mutable std::condition_variable arrived_;
    std::vector<Message> received_;
    double stamp_ = 0.0;
    std::deque<Bytes> queue_;
    size_t handled_ = 0, queued_ = 0;
    bool stop_ = false;
    std::thread worker_;

    std::array<Bytes, kPrograms> programs_;
    Bytes edit_, global_;
    int current_ = 0;
    std::array<int, 128> cc_;
    std::map<int, int> nrpn_;
    int nrpnMsb_ = -1, nrpnLsb_ = -1;
    std::vector<ChannelHook> hooks_;
    std::function<void(const Bytes&)> beforeHandling_;  // under mutex_

    std::atomic<int> channel_{0};
    std::atomic<bool> answering_{true};
    std::atomic<int> replyDelayMs_{0};
    std::atomic<int> programDumpsToLose_{0}, globalDumpsToLose_{0};
    std::atomic<int> programAnswers_{0}, globalAnswers_{0}, programDumpsTaken_{0}, globalDumpsTaken_{0},
        programsWritten_{0};
};

}  // namespace hvtest
