#include "framework/IMidiPortsOutput.h"

#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>
#include <rtmidi/RtMidi.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "framework/IMidiJackClient.h"
#include "framework/IMidiRtMidiPort.h"
#include "framework/Log.h"

namespace {

// What the process callback sends from, handed over by the sender's thread.
// Each message waits in the ring as its size, then its bytes.
struct Feed {
    static constexpr size_t kRingBytes = 1 << 14;
    jack_ringbuffer_t* const ring = jack_ringbuffer_create(kRingBytes);
    std::atomic<jack_port_t*> port{nullptr};
    ~Feed() {
        if (ring) jack_ringbuffer_free(ring);
    }

    // JACK's real-time thread: the messages that fit into this cycle.
    void process(jack_nframes_t frames) {
        jack_port_t* p = port.load(std::memory_order_acquire);
        if (!p || !ring) return;
        void* buffer = jack_port_get_buffer(p, frames);
        if (!buffer) return;
        jack_midi_clear_buffer(buffer);
        for (bool first = true;; first = false) {
            uint32_t size = 0;
            if (jack_ringbuffer_peek(ring, reinterpret_cast<char*>(&size), sizeof size) != sizeof size) return;
            if (jack_ringbuffer_read_space(ring) < sizeof size + size) return;
            jack_midi_data_t* event = jack_midi_event_reserve(buffer, 0, size);
            // One that no cycle could take is dropped; one that this cycle
            // has no room left for waits for the next.
            if (!event && !first) return;
            jack_ringbuffer_read_advance(ring, sizeof size);
            if (event)
                jack_ringbuffer_read(ring, reinterpret_cast<char*>(event), size);
            else
                jack_ringbuffer_read_advance(ring, size);
        }
    }
};

class JackOutput final : public IMidiPortsOutput {
public:
    explicit JackOutput(std::string clientName) : mClient(std::move(clientName), new Feed) {}
    ~JackOutput() override { mStopping = true; }

    bool open(const std::string& target, const char* portName, const std::function<bool()>& linked) override {
        Feed* feed = mClient.state();
        jack_port_t* port = feed && feed->ring ? mClient.ready(portName, JackPortIsOutput, linked) : nullptr;
        return port && mClient.connect(jack_port_name(port), target, linked);
    }

    void closePort() override {
        // What did not go is not for the next port.
        if (mClient.closePort()) jack_ringbuffer_reset(mClient.state()->ring);
    }

    bool isPortOpen() const override { return mClient.isPortOpen(); }

    void send(const uint8_t* bytes, size_t size) override {
        Feed* feed = mClient.state();
        if (!feed || !feed->ring || !bytes || size == 0) return;
        const uint32_t n = static_cast<uint32_t>(size);
        if (sizeof n + size > Feed::kRingBytes - 1) {
            LogLine("MIDI: a message of %zu bytes is longer than the output takes; dropped", size);
            return;
        }
        // Waits for the cycles to make room: the sender's thread may wait.
        while (jack_ringbuffer_write_space(feed->ring) < sizeof n + size) {
            if (mStopping) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        jack_ringbuffer_write(feed->ring, reinterpret_cast<const char*>(&n), sizeof n);
        jack_ringbuffer_write(feed->ring, reinterpret_cast<const char*>(bytes), size);
    }

    void stop() override { mStopping = true; }

private:
    JackMidiClient<Feed> mClient;
    std::atomic<bool> mStopping{false};
};

class RtMidiOutput final : public IMidiPortsOutput {
public:
    RtMidiOutput(int api, const std::string& clientName) : mOut(static_cast<RtMidi::Api>(api), clientName) {
        mOut.setErrorCallback(
            [](RtMidiError::Type, const std::string& text, void*) { LogLine("MIDI: %s", text.c_str()); }, nullptr);
    }

    bool open(const std::string& target, const char* portName, const std::function<bool()>& linked) override {
        return openRtMidiPortNamed(mOut, target, portName, linked);
    }

    void closePort() override { mOut.closePort(); }
    bool isPortOpen() const override { return mOut.isPortOpen(); }
    void send(const uint8_t* bytes, size_t size) override { mOut.sendMessage(bytes, size); }
    void stop() override {}

private:
    RtMidiOut mOut;
};

}  // namespace

std::unique_ptr<IMidiPortsOutput> IMidiPortsOutput::makeJack(std::string clientName) {
    return std::make_unique<JackOutput>(std::move(clientName));
}

std::unique_ptr<IMidiPortsOutput> IMidiPortsOutput::makeRtMidi(int api, std::string clientName) {
    return std::make_unique<RtMidiOutput>(api, clientName);
}
