// ctest-labels: tsan
// The simulated instrument against a bare peer on JACK: what it answers,
// what it takes, what it sends and what it records.
#include <gtest/gtest.h>
#include <rtmidi/RtMidi.h>

#include <chrono>
#include <thread>

#include "support/JackServer.h"
#include "support/MidiReceive.h"
#include "support/SimInstrument.h"

namespace {

using hvtest::SimInstrument;
using Bytes = SimInstrument::Bytes;
using namespace std::chrono_literals;

// Index of a port by its full name, or -1.
template <class Port>
int portIndex(Port& port, const std::string& name) {
    for (unsigned i = 0; i < port.getPortCount(); ++i)
        if (port.getPortName(i) == name) return static_cast<int>(i);
    return -1;
}

// Plays the editor's side: writes to the instrument's input, reads its output.
class SimInstrumentTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(hvtest::JackServer::shared().running());
        sim = std::make_unique<SimInstrument>(3);
        out = std::make_unique<RtMidiOut>(RtMidi::UNIX_JACK, "hvsimtest-out");
        in = std::make_unique<RtMidiIn>(RtMidi::UNIX_JACK, "hvsimtest-in", 4096);
        in->ignoreTypes(false, false, false);
        const int o = portIndex(*out, sim->inPort()), i = portIndex(*in, sim->outPort());
        ASSERT_GE(o, 0);
        ASSERT_GE(i, 0);
        out->openPort(o);
        in->openPort(i);
        ASSERT_TRUE(sim->waitConnected());
    }

    void TearDown() override {
        hvtest::closeMidiPorts({in.get(), out.get()});
        in.reset();
        out.reset();
        sim.reset();
    }

    void send(const Bytes& m) {
        std::vector<unsigned char> v(m.begin(), m.end());
        out->sendMessage(&v);
    }
    std::vector<std::vector<unsigned char>> receive(size_t n, std::chrono::milliseconds limit = 10s) {
        return hvtest::receiveMidi(*in, n, limit);
    }

    std::unique_ptr<SimInstrument> sim;
    std::unique_ptr<RtMidiOut> out;
    std::unique_ptr<RtMidiIn> in;
};

TEST_F(SimInstrumentTest, AnswersRequestsOnItsChannelOnly) {
    send({0xF0, 0x42, 0x30, 0x58, 0x10, 0xF7});  // channel 1: not its own
    send({0xF0, 0x42, 0x33, 0x58, 0x10, 0xF7});
    auto got = receive(1);
    ASSERT_EQ(got.size(), 1u);
    ASSERT_EQ(got[0].size(), 297u);
    EXPECT_EQ(got[0][2], 0x33);
    EXPECT_EQ(got[0][4], 0x40);
    EXPECT_EQ(Bytes(got[0].begin(), got[0].end()), [&] {
        Bytes b = sim->editBuffer();
        b[2] = 0x33;
        return b;
    }());
    EXPECT_EQ(sim->programRequestsAnswered(), 1);

    send({0xF0, 0x42, 0x33, 0x58, 0x0E, 0xF7});
    got = receive(1);
    ASSERT_EQ(got.size(), 1u);
    ASSERT_EQ(got[0].size(), 235u);
    EXPECT_EQ(got[0][4], 0x51);
    EXPECT_EQ(got[0][16], 3);  // its global channel
    EXPECT_TRUE(receive(1, 300ms).empty());
}

TEST_F(SimInstrumentTest, SilentInstrumentRecordsButDoesNotAnswer) {
    sim->setAnswering(false);
    send({0xF0, 0x42, 0x33, 0x58, 0x10, 0xF7});
    ASSERT_TRUE(sim->waitForCount(1));
    ASSERT_TRUE(sim->waitIdle());
    EXPECT_TRUE(receive(1, 300ms).empty());
    EXPECT_EQ(sim->programRequestsAnswered(), 0);
}

TEST_F(SimInstrumentTest, TakesDumpsWritesAndProgramChanges) {
    Bytes dump = sim->program(9);
    dump[2] = 0x33;
    dump[20] = 0x11;
    send(dump);
    send({0xF0, 0x42, 0x33, 0x58, 0x11, 0x00, 0x05, 0xF7});  // write into program 5
    ASSERT_TRUE(sim->waitForCount(2));
    ASSERT_TRUE(sim->waitIdle());
    EXPECT_EQ(sim->programDumpsTaken(), 1);
    EXPECT_EQ(sim->programsWritten(), 1);
    EXPECT_EQ(sim->program(5), dump);
    EXPECT_EQ(sim->editBuffer(), dump);

    send({0xC3, 7});
    ASSERT_TRUE(sim->waitForCount(3));
    ASSERT_TRUE(sim->waitIdle());
    EXPECT_EQ(sim->currentProgram(), 7);
    EXPECT_EQ(sim->name(), "Sim Prog 007");

    Bytes global = sim->globalDump();
    global[16] = 9;  // the dump moves its global channel
    send(global);
    ASSERT_TRUE(sim->waitForCount(4));
    ASSERT_TRUE(sim->waitIdle());
    EXPECT_EQ(sim->channel(), 9);
    EXPECT_EQ(sim->globalDumpsTaken(), 1);
}

TEST_F(SimInstrumentTest, TracksControlChangesAndNrpnOnItsChannel) {
    int hooked = 0;
    sim->addChannelHook([&hooked](SimInstrument&, const Bytes& m) {
        if (SimInstrument::isControlChange(m)) ++hooked;
    });
    send({0xB3, 74, 100});
    send({0xB0, 74, 5});  // another channel
    send({0xB3, 99, 4});
    send({0xB3, 98, 2});
    send({0xB3, 6, 36});
    ASSERT_TRUE(sim->waitForCount(5));
    ASSERT_TRUE(sim->waitIdle());
    EXPECT_EQ(sim->ccValue(74), 100);
    EXPECT_EQ(sim->nrpnValue(4, 2), 36);
    EXPECT_EQ(sim->nrpnValue(4, 3), -1);
    EXPECT_EQ(hooked, 4);
    auto r = sim->received();
    ASSERT_EQ(r.size(), 5u);
    for (size_t i = 1; i < r.size(); ++i) {
        EXPECT_LE(r[i - 1].arrived, r[i].arrived);
        EXPECT_LE(r[i - 1].stamp, r[i].stamp);
    }
}

TEST_F(SimInstrumentTest, SendsItsMessagesOnItsChannel) {
    sim->setName("Lead");
    sim->setDataByte(58, 0xC5);  // a byte with its top bit
    EXPECT_EQ(sim->dataByte(58), 0xC5);
    EXPECT_EQ(sim->name(), "Lead");
    sim->sendProgramDump();
    sim->sendParameterChange(0x10, 0x00, 2, 0);
    sim->sendModeChange(1);
    sim->sendControlChange(74, 99);
    sim->sendNRPN(4, 2, 36);
    sim->sendProgramChange(12);
    sim->sendNoteOn(60, 100);
    sim->sendNoteOff(60);
    auto got = receive(10);
    ASSERT_EQ(got.size(), 10u);
    EXPECT_EQ(got[0].size(), 297u);
    EXPECT_EQ(got[0][6], 'L');
    EXPECT_EQ(got[0][10], 0x00);
    EXPECT_EQ(got[1], (std::vector<unsigned char>{0xF0, 0x42, 0x33, 0x58, 0x41, 0x10, 0x00, 0x02, 0x00, 0xF7}));
    EXPECT_EQ(got[2], (std::vector<unsigned char>{0xF0, 0x42, 0x33, 0x58, 0x4E, 0x01, 0x00, 0xF7}));
    EXPECT_EQ(got[3], (std::vector<unsigned char>{0xB3, 74, 99}));
    EXPECT_EQ(got[4], (std::vector<unsigned char>{0xB3, 99, 4}));
    EXPECT_EQ(got[5], (std::vector<unsigned char>{0xB3, 98, 2}));
    EXPECT_EQ(got[6], (std::vector<unsigned char>{0xB3, 6, 36}));
    EXPECT_EQ(got[7], (std::vector<unsigned char>{0xC3, 12}));
    EXPECT_EQ(got[8], (std::vector<unsigned char>{0x93, 60, 100}));
    EXPECT_EQ(got[9], (std::vector<unsigned char>{0x83, 60, 0}));
}

TEST_F(SimInstrumentTest, ReplyDelayHoldsTheAnswerBack) {
    sim->setReplyDelay(300ms);
    const auto start = std::chrono::steady_clock::now();
    send({0xF0, 0x42, 0x33, 0x58, 0x10, 0xF7});
    auto got = receive(1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms);
}

}  // namespace
