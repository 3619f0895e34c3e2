// ctest-labels: tsan
// The plug-in's external MIDI ports over real JACK ports: a peer stands in
// for the instrument, with its own ports made before the plug-in lists them.
#include "framework/IMidiPorts.h"
#include "framework/IUnitAU.h"
#include "support/JackServer.h"
#include "support/MidiPeer.h"
#include "support/ScopedEnv.h"
#include "support/WaitUntil.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <jack/jack.h>
#include <jack/midiport.h>
#include <rtmidi/RtMidi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;
using namespace std::chrono_literals;

// A plug-in that records what its input port hands it.
class Recorder : public IUnitAU {
public:
    Recorder() : IUnitAU(IUnitInstanceInfo{}, config(), 4) {}
    ~Recorder() override { closeExternalMIDIPorts(); }

    static IUnitConfig config() {
        IUnitConfig c;
        c.productName = "HvRecorder";
        return c;
    }

    void ProcessMidiMsg(IMidiMsg* m, bool fromDevice) override {
        std::lock_guard<std::mutex> lock(mMutex);
        mShort.push_back(Bytes{m->mStatus, m->mData1, m->mData2});
        mFlags.push_back(fromDevice && m->mOffset == 0);
        mCv.notify_all();
    }
    void ProcessSysEx(ISysEx* s, bool fromDevice) override {
        std::lock_guard<std::mutex> lock(mMutex);
        mSysEx.emplace_back(s->mData, s->mData + s->mSize);
        mFlags.push_back(fromDevice && s->mOffset == 0);
        mCv.notify_all();
    }

    bool waitFor(size_t shorts, size_t sysexes, std::chrono::milliseconds limit = 3s) {
        std::unique_lock<std::mutex> lock(mMutex);
        return mCv.wait_for(lock, limit, [&] { return mShort.size() >= shorts && mSysEx.size() >= sysexes; });
    }
    std::vector<Bytes> shorts() {
        std::lock_guard<std::mutex> lock(mMutex);
        return mShort;
    }
    std::vector<Bytes> sysexes() {
        std::lock_guard<std::mutex> lock(mMutex);
        return mSysEx;
    }
    std::vector<bool> flags() {
        std::lock_guard<std::mutex> lock(mMutex);
        return mFlags;
    }

private:
    std::mutex mMutex;
    std::condition_variable mCv;
    std::vector<Bytes> mShort, mSysEx;
    std::vector<bool> mFlags;
};

class MidiPorts : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(hvtest::JackServer::shared().running());
        peer = std::make_unique<hvtest::MidiPeer>();
        peerOutName = peer->outName();
        peerInName = peer->inName();
        plug = std::make_unique<Recorder>();
    }
    void TearDown() override {
        plug.reset();
        peer.reset();
    }

    int openIn() {
        int idx = 1;
        plug->setExternalMIDIIn(idx, peerOutName.c_str());
        std::this_thread::sleep_for(100ms);
        return idx;
    }
    int openOut() {
        int idx = 1;
        plug->setExternalMIDIOut(idx, peerInName.c_str());
        std::this_thread::sleep_for(100ms);
        return idx;
    }

    std::unique_ptr<hvtest::MidiPeer> peer;
    std::unique_ptr<Recorder> plug;
    std::string peerOutName, peerInName;
};

TEST_F(MidiPorts, ListsStartWithSelectMidiDeviceAndChangeOnlyWhenAskedAfresh) {
    const std::vector<std::string> ins = plug->getExternalMIDIInNames();
    const std::vector<std::string> outs = plug->getExternalMIDIOutNames();
    ASSERT_GE(ins.size(), 2u);
    EXPECT_EQ(ins[0], "Select MIDI Device");
    EXPECT_EQ(outs[0], "Select MIDI Device");
    EXPECT_NE(std::find(ins.begin(), ins.end(), peerOutName), ins.end());
    EXPECT_NE(std::find(outs.begin(), outs.end(), peerInName), outs.end());
    // A port made later joins the list when it is asked afresh; a list
    // handed out before stays as it was.
    RtMidiOut late(RtMidi::UNIX_JACK, "hvlate");
    late.openVirtualPort("out");
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(plug->getExternalMIDIInNames(), ins);
    const std::vector<std::string> refreshed = plug->refreshExternalMIDIInNames();
    EXPECT_NE(std::find(refreshed.begin(), refreshed.end(), "hvlate:out"), refreshed.end());
    EXPECT_EQ(plug->getExternalMIDIInNames(), refreshed);
    EXPECT_EQ(std::find(ins.begin(), ins.end(), "hvlate:out"), ins.end());
    hvtest::closeMidiPorts({&late});
}

TEST_F(MidiPorts, OpenByNameLeavesTheListIndexAndUnknownNamesLeaveNone) {
    const std::vector<std::string> ins = plug->getExternalMIDIInNames();
    int idx = openIn();
    ASSERT_GT(idx, 0);
    EXPECT_EQ(ins[idx], peerOutName);
    EXPECT_TRUE(plug->isExternalMIDIInOpen());

    // An unknown name closes the open port and gives index 0.
    idx = 3;
    plug->setExternalMIDIIn(idx, "no such port:anywhere");
    EXPECT_EQ(idx, 0);
    EXPECT_FALSE(plug->isExternalMIDIInOpen());
    idx = 1;
    plug->setExternalMIDIIn(idx, "Select MIDI Device");  // entry 0 is never a port
    EXPECT_EQ(idx, 0);
    idx = 1;
    plug->setExternalMIDIOut(idx, nullptr);
    EXPECT_EQ(idx, 0);
    EXPECT_FALSE(plug->isExternalMIDIOutOpen());

    // Index 0 closes and opens nothing, whatever the name.
    EXPECT_GT(openOut(), 0);
    EXPECT_TRUE(plug->isExternalMIDIOutOpen());
    idx = 0;
    plug->setExternalMIDIOut(idx, peerInName.c_str());
    EXPECT_EQ(idx, 0);
    EXPECT_FALSE(plug->isExternalMIDIOutOpen());
    EXPECT_FALSE(plug->SendMidiSysex2({0xF8}));  // nothing is open to send to
}

TEST_F(MidiPorts, ControlChangeAndProgramDumpFromThePeerArrive) {
    ASSERT_GT(openIn(), 0);
    Bytes cc{0xB2, 74, 100}, clock{0xF8}, sensing{0xFE}, pc{0xC2, 5};
    Bytes dump(297);
    dump[0] = 0xF0;
    for (size_t i = 1; i < 296; ++i) dump[i] = static_cast<unsigned char>((i * 7) & 0x7F);
    dump[296] = 0xF7;
    peer->send(cc);
    peer->send(clock);    // ignored
    peer->send(sensing);  // ignored
    peer->send(dump);
    peer->send(pc);
    ASSERT_TRUE(plug->waitFor(2, 1));
    std::this_thread::sleep_for(50ms);
    auto shorts = plug->shorts();
    ASSERT_EQ(shorts.size(), 2u);
    EXPECT_EQ(shorts[0], cc);
    EXPECT_EQ(shorts[1], (Bytes{0xC2, 5, 0}));
    auto sx = plug->sysexes();
    ASSERT_EQ(sx.size(), 1u);
    EXPECT_EQ(sx[0], dump);
    for (bool f : plug->flags()) EXPECT_TRUE(f);  // from the device, at offset 0
}

TEST_F(MidiPorts, SendsArriveAtThePeerByteForByte) {
    ASSERT_GT(openOut(), 0);
    IMidiMsg cc;
    cc.MakeControlChangeMsg(IMidiMsg::EControlChangeMsg(7), 100 / 127.0, 4);
    IMidiMsg pc;
    pc.MakeProgramChangeMsg(12 / 127.0, 4);
    EXPECT_TRUE(plug->SendMidiMsg(&cc));
    EXPECT_TRUE(plug->SendMidiMsg(&pc));
    const unsigned char body[] = {0x42, 0x34, 0x58, 0x12};
    EXPECT_TRUE(plug->SendMidiSysex(body, 4));  // framed with F0 .. F7
    const unsigned char framed[] = {0xF0, 0x42, 0x30, 0x58, 0x10, 0xF7};
    EXPECT_TRUE(plug->SendMidiSysex(framed, 6));  // taken as it is
    Bytes dump(297, 0x11);
    dump.front() = 0xF0;
    dump.back() = 0xF7;
    EXPECT_TRUE(plug->SendMidiSysex2(dump));
    EXPECT_TRUE(plug->SendMidiSysex2({0xFA}));
    // Nothing to send is refused, and nothing goes out.
    EXPECT_FALSE(plug->SendMidiSysex(body, 0));
    EXPECT_FALSE(plug->SendMidiSysex(nullptr, 4));
    EXPECT_FALSE(plug->SendMidiSysex2({}));

    auto got = peer->receive(6);
    ASSERT_EQ(got.size(), 6u);
    EXPECT_EQ(got[0], (Bytes{0xB4, 7, 100}));
    EXPECT_EQ(got[1], (Bytes{0xC4, 12}));
    EXPECT_EQ(got[2], (Bytes{0xF0, 0x42, 0x34, 0x58, 0x12, 0xF7}));
    EXPECT_EQ(got[3], Bytes(framed, framed + 6));
    EXPECT_EQ(got[4], dump);
    EXPECT_EQ(got[5], (Bytes{0xFA}));
    EXPECT_TRUE(peer->receive(1, 200ms).empty());
}

// Several threads send on the one port at once (render, transfer, clock,
// panel): every message must arrive whole.
TEST_F(MidiPorts, ThreadsSendingAtOnceNeverInterleave) {
    ASSERT_GT(openOut(), 0);
    constexpr int kThreads = 4, kEach = 25;
    std::vector<std::thread> ts;
    for (int t = 0; t < kThreads; ++t)
        ts.emplace_back([this, t] {
            for (int i = 0; i < kEach; ++i) {
                Bytes m(40, static_cast<unsigned char>(t * 16 + 1));
                m.front() = 0xF0;
                m[1] = static_cast<unsigned char>(i);
                m.back() = 0xF7;
                plug->SendMidiSysex2(m);
                IMidiMsg cc(0, static_cast<uint8_t>(0xB0 | t), static_cast<uint8_t>(i), 1);
                plug->SendMidiMsg(&cc);
                std::this_thread::sleep_for(1ms);
            }
        });
    for (auto& t : ts) t.join();
    // Every message that arrives must be whole and in its thread's order.
    // A JACK graph slowed down (by ThreadSanitizer, say) may drop whole
    // periods, so the count only has to show real traffic; delivery itself
    // is checked message by message above.
    auto got = peer->receive(kThreads * kEach * 2, 3s);
    ASSERT_GT(got.size(), size_t(kThreads * kEach));
    std::vector<int> sysexLast(kThreads, -1), ccLast(kThreads, -1);
    for (const Bytes& m : got) {
        if (m[0] == 0xF0) {
            ASSERT_EQ(m.size(), 40u);
            int t = (m[2] - 1) / 16;
            ASSERT_TRUE(t >= 0 && t < kThreads);
            for (size_t k = 2; k + 1 < m.size(); ++k) ASSERT_EQ(m[k], m[2]);
            EXPECT_GT(m[1], sysexLast[t]);
            sysexLast[t] = m[1];
            EXPECT_EQ(m.back(), 0xF7);
        } else {
            ASSERT_EQ(m.size(), 3u);
            int t = m[0] & 0x0F;
            ASSERT_EQ(m[0] & 0xF0, 0xB0);
            ASSERT_LT(t, kThreads);
            EXPECT_GT(m[1], ccLast[t]);
            ccLast[t] = m[1];
        }
    }
}

// The input callback can run while the plug-in goes away: closing the
// ports first stops it before anything it reaches is deleted.
TEST_F(MidiPorts, ThreadsClosingInputWhileMessagesArriveIsSafe) {
    ASSERT_GT(openIn(), 0);
    std::atomic<bool> stop{false};
    std::thread sender([this, &stop] {
        Bytes cc{0xB0, 1, 2};
        while (!stop) {
            peer->send(cc);
            std::this_thread::sleep_for(100us);
        }
    });
    ASSERT_TRUE(plug->waitFor(5, 0));
    plug->closeExternalMIDIPorts();
    size_t after = plug->shorts().size();
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(plug->shorts().size(), after);  // nothing after the close
    plug->closeExternalMIDIPorts();           // again: harmless
    plug.reset();
    stop = true;
    sender.join();
}

// A JACK output port whose buffer `fill` writes each cycle, once cleared.
// The last member of what fill reads, so that it stops first.
class RawOutput {
public:
    RawOutput(const std::string& stem, std::function<void(void*)> fill)
        : party_(hvtest::uniqueClientName(stem)), fill_(std::move(fill)) {
        if (!party_.opened()) return;
        port_ = jack_port_register(party_.client(), "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        jack_set_process_callback(party_.client(), process, this);
        jack_activate(party_.client());
    }
    ~RawOutput() {
        if (port_ && party_.linkSound()) jack_deactivate(party_.client());
    }
    std::string portName() const { return port_ ? jack_port_name(port_) : ""; }
    bool connected() const { return jack_port_connected(port_) > 0; }

private:
    static int process(jack_nframes_t frames, void* arg) {
        auto* self = static_cast<RawOutput*>(arg);
        void* buffer = jack_port_get_buffer(self->port_, frames);
        jack_midi_clear_buffer(buffer);
        self->fill_(buffer);
        return 0;
    }

    hvtest::JackParty party_;
    const std::function<void(void*)> fill_;
    jack_port_t* port_ = nullptr;
};

// An instrument's output that starts a SysEx and never ends it: after F0
// every cycle carries as many data bytes as its port takes, until it is told
// to send one control change instead.
class EndlessSysEx {
public:
    std::string portName() const { return out_.portName(); }
    void start() { state_ = kStart; }
    void endWithControlChange() { state_ = kControlChange; }
    uint64_t sent() const { return sent_; }

private:
    enum { kIdle, kStart, kData, kControlChange };
    void fill(void* buffer) {
        static const std::vector<unsigned char> data(4096, 0x11);
        switch (state_.load()) {
            case kStart: {
                const unsigned char start[] = {0xF0, 0x42, 0x30, 0x58};
                if (jack_midi_event_write(buffer, 0, start, sizeof start) == 0) state_ = kData;
                break;
            }
            case kData:
                // Four events a cycle: about 3 MB/s, which a loaded machine
                // under a sanitizer still carries.
                for (int i = 0; i < 4 && jack_midi_event_write(buffer, 0, data.data(), data.size()) == 0; ++i)
                    sent_ += data.size();
                break;
            case kControlChange: {
                const unsigned char cc[] = {0xB0, 7, 99};
                if (jack_midi_event_write(buffer, 0, cc, sizeof cc) == 0) state_ = kIdle;
                break;
            }
        }
    }

    std::atomic<int> state_{kIdle};
    std::atomic<uint64_t> sent_{0};
    RawOutput out_{"hvendless", [this](void* buffer) { fill(buffer); }};
};

// A sender whose one cycle holds, between good messages, what the buffer of
// a cycle read late holds: records of events that point outside it. They are
// written in jackd2's layout of a MIDI port buffer: six words (magic,
// size, ...), then one record per event (time, size, and the offset of its
// data, or the data themselves up to four bytes).
class LateCycle {
public:
    static inline const Bytes kSysEx{0xF0, 0x42, 0x30, 0x58, 0x41, 0x0A, 0x00, 0x05, 0x00, 0xF7};
    static Bytes cc(unsigned char v) { return {0xB0, 74, v}; }

    std::string portName() const { return out_.portName(); }
    void send() { armed_ = true; }
    bool sent() const { return sent_; }
    bool layoutAsWritten() const { return layoutAsWritten_; }

private:
    void fill(void* buffer) {
        // Until the server's graph holds the link, the cycle goes nowhere.
        if (!out_.connected() || !armed_.exchange(false)) return;
        auto* words = static_cast<uint32_t*>(buffer);
        uint32_t n = 0;
        auto put = [&](const Bytes& m) {
            jack_midi_event_write(buffer, 0, m.data(), m.size());
            return words + 6 + 3 * n++;
        };
        put(kSysEx);
        put(cc(1));
        put(kSysEx)[2] = 0x7FFF0000;  // far beyond
        put(cc(2));
        put(kSysEx)[2] = words[1] - 4;  // past the end
        put(cc(3));
        put(cc(9))[1] = 10;  // a size rewritten: the data read as an offset
        put(cc(4));
        put(kSysEx)[1] = uint32_t(-16);  // a size no buffer holds
        put(cc(5));
        layoutAsWritten_ = words[0] == 0x900df00d && words[4] == n;
        sent_ = true;
    }

    std::atomic<bool> armed_{false}, sent_{false}, layoutAsWritten_{false};
    RawOutput out_{"hvlate", [this](void* buffer) { fill(buffer); }};
};

// What the framework logs (stderr), read while it goes on.
class LogFile {
public:
    LogFile() : path_(testing::TempDir() + "hvlog-" + std::to_string(getpid())) {
        fflush(stderr);
        saved_ = dup(2);
        const int fd = open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        dup2(fd, 2);
        close(fd);
    }
    ~LogFile() {
        fflush(stderr);
        dup2(saved_, 2);
        close(saved_);
        std::fprintf(stderr, "%s", text().c_str());
        unlink(path_.c_str());
    }
    std::string text() const {
        std::ifstream in(path_);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    bool says(const std::string& line, int timeoutMs) const {
        return hvtest::waitUntil([&] { return text().find(line) != std::string::npos; }, timeoutMs);
    }

private:
    std::string path_;
    int saved_ = -1;
};

// A recorder whose input reads `port`.
std::unique_ptr<Recorder> readingFrom(const std::string& port) {
    auto plug = std::make_unique<Recorder>();
    int idx = 1;
    plug->setExternalMIDIIn(idx, port.c_str());
    EXPECT_GT(idx, 0);
    return plug;
}

long residentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return 0;
}

// The input keeps no more than the longest message it takes: a SysEx that
// never ends costs no memory, is dropped whole and said so while it goes
// on, and what comes after it arrives.
TEST(MidiInputBound, ASysExThatNeverEndsIsDroppedAndTheNextMessageArrives) {
    ASSERT_TRUE(hvtest::JackServer::shared().running());
    EndlessSysEx source;
    ASSERT_FALSE(source.portName().empty());
    auto plug = readingFrom(source.portName());
    const LogFile log;
    constexpr uint64_t kMiB = 1u << 20;
    long grown = 0;
    size_t rounds = 0;
    bool told = false;
    // A server that misses a cycle drops what the cycle carried (its log
    // shows the xruns): were that the F0, the bytes after it are stray data
    // and nothing is too long, so the source starts again.
    do {
        ++rounds;
        const uint64_t from = source.sent();
        source.start();
        // What the sanitizers take once (the ring's shadow) is taken in the
        // first megabytes; from then on nothing grows with the input.
        EXPECT_TRUE(hvtest::waitUntil([&] { return source.sent() >= from + 2 * kMiB; }, 120000));
        const long before = residentKiB();
        EXPECT_TRUE(hvtest::waitUntil([&] { return source.sent() >= from + 12 * kMiB; }, 120000));
        grown = residentKiB() - before;
        told = log.says("1 SysEx message(s) longer than 65536 bytes dropped whole", 20000);
        source.endWithControlChange();
        ASSERT_TRUE(plug->waitFor(rounds, 0, 60s));
        // Once the control change is handed on, what was dropped before it is counted.
        ASSERT_TRUE(hvtest::waitUntil([&] { return plug->externalMIDIInputFigures().handedOn >= rounds; }, 60000));
    } while (plug->externalMIDIInputFigures().droppedTooLong == 0 && rounds < 3);
    EXPECT_TRUE(told) << log.text();
    EXPECT_EQ(plug->shorts(), std::vector<Bytes>(rounds, Bytes{0xB0, 7, 99}));
    EXPECT_TRUE(plug->sysexes().empty());
    EXPECT_EQ(plug->externalMIDIInputFigures().droppedTooLong, 1u);
    plug.reset();
    // 10 MiB came meanwhile.
    EXPECT_LT(grown, 4 * 1024) << grown << " KiB more after " << source.sent() << " bytes";
}

// Events that lie outside their cycle's buffer are dropped unread and
// counted, and the messages around them arrive.
TEST(MidiInputBound, EventsOutsideTheirCyclesBufferAreDroppedAndTheRestArrive) {
    ASSERT_TRUE(hvtest::JackServer::shared().running());
    LateCycle source;
    ASSERT_FALSE(source.portName().empty());
    auto plug = readingFrom(source.portName());
    source.send();
    ASSERT_TRUE(hvtest::waitUntil([&] { return source.sent(); }, 30000));
    ASSERT_TRUE(source.layoutAsWritten()) << "jackd lays out its MIDI port buffers otherwise";
    ASSERT_TRUE(plug->waitFor(5, 1, 30s));
    const std::vector<Bytes> ccs{LateCycle::cc(1), LateCycle::cc(2), LateCycle::cc(3), LateCycle::cc(4),
                                 LateCycle::cc(5)};
    EXPECT_EQ(plug->shorts(), ccs);
    EXPECT_EQ(plug->sysexes(), std::vector<Bytes>{LateCycle::kSysEx});
    ASSERT_TRUE(hvtest::waitUntil([&] { return plug->externalMIDIInputFigures().handedOn >= 6; }, 30000));
    EXPECT_EQ(plug->externalMIDIInputFigures().droppedUnread, 4u);
}

// A server that stops with the output open: sends are taken without waiting,
// up to the queue's bound and refused beyond it, and what was taken arrives
// in order once the server goes on.
TEST(MidiPortsStopped, SendsAreQueuedUpToABoundAndArriveInOrderOnceTheServerGoesOn) {
    // Put back however the case ends: the cases after it use the shared server.
    hvtest::ScopedEnv keep("JACK_DEFAULT_SERVER", hvtest::JackServer::shared().name());
    {
        hvtest::JackServer server("hvfstall");
        ASSERT_TRUE(server.start());
        hvtest::MidiPeer peer("hvfstall");
        Recorder plug;
        int idx = 1;
        plug.setExternalMIDIOut(idx, peer.inName().c_str());
        ASSERT_GT(idx, 0);
        server.pause();
        Bytes dump(300, 0x11);
        dump.front() = 0xF0;
        dump.back() = 0xF7;
        size_t taken = 0;
        for (dump[1] = 0; taken < 100000 && plug.SendMidiSysex2(dump); ++taken) dump[1] = (taken + 1) & 0x7F;
        EXPECT_LT(taken, 100000u);
        server.resume();
        auto got = peer.receive(20, 30s);
        ASSERT_EQ(got.size(), 20u);
        for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i][1], i) << i;
    }
}

}  // namespace

namespace {

TEST(MidiApi, ChoosesAlsaWhenTheSequencerExistsUnlessTheEnvironmentSays) {
    const char* was = getenv("HALVORAN_MIDI_API");
    std::string saved = was ? was : "";
    setenv("HALVORAN_MIDI_API", "alsa", 1);
    EXPECT_EQ(IMidiPorts::chosenApi(), RtMidi::LINUX_ALSA);
    setenv("HALVORAN_MIDI_API", "jack", 1);
    EXPECT_EQ(IMidiPorts::chosenApi(), RtMidi::UNIX_JACK);
    unsetenv("HALVORAN_MIDI_API");
    bool seq = access("/dev/snd/seq", F_OK) == 0;
    EXPECT_EQ(IMidiPorts::chosenApi(), seq ? RtMidi::LINUX_ALSA : RtMidi::UNIX_JACK);
    setenv("HALVORAN_MIDI_API", "something", 1);
    EXPECT_EQ(IMidiPorts::chosenApi(), seq ? RtMidi::LINUX_ALSA : RtMidi::UNIX_JACK);
    if (was)
        setenv("HALVORAN_MIDI_API", saved.c_str(), 1);
    else
        unsetenv("HALVORAN_MIDI_API");
}

}  // namespace
