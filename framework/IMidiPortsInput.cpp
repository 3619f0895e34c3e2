#include "framework/IMidiPortsInput.h"

#include <jack/jack.h>
#include <jack/midiport.h>
#include <rtmidi/RtMidi.h>

#include <atomic>
#include <ctime>

#include "framework/IMidiInputQueue.h"
#include "framework/IMidiJackClient.h"
#include "framework/IMidiRtMidiPort.h"
#include "framework/Log.h"

namespace {

uint64_t nowNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return uint64_t(t.tv_sec) * 1000000000u + uint64_t(t.tv_nsec);
}

// Whether an event lies inside its cycle's port buffer of `bytes`.
bool inside(const void* buffer, size_t bytes, const jack_midi_event_t& event) {
    const auto from = reinterpret_cast<uintptr_t>(buffer), at = reinterpret_cast<uintptr_t>(event.buffer);
    return at >= from && event.size <= bytes && at - from <= bytes - event.size;
}

// What the process callback feeds the queue from.
struct InputFeed {
    explicit InputFeed(std::shared_ptr<IMidiInputQueue> q) : queue(std::move(q)) {}
    // Kept by a client given up, whose thread may still run.
    const std::shared_ptr<IMidiInputQueue> queue;
    std::atomic<jack_port_t*> port{nullptr};
    std::atomic<jack_client_t*> client{nullptr};
    // The size of a MIDI port's buffer, as libjack last told it.
    std::atomic<size_t> bufferBytes{0};
    std::atomic<bool> feeding{false};
    std::atomic<uint32_t> tag{0};

    void resized() { bufferBytes = jack_port_type_get_buffer_size(client, JACK_DEFAULT_MIDI_TYPE); }

    // JACK's real-time thread: every event's bytes to the queue, as they are.
    // The buffer is the sender's own port buffer, which it fills again in
    // the next cycle: a cycle read late is rewritten under the reader, and
    // an event read then may point anywhere, even outside every mapping. So
    // what is read once the server's next cycle began, or lies outside the
    // buffer, is dropped unread.
    void process(jack_nframes_t frames) {
        jack_port_t* p = port.load(std::memory_order_acquire);
        if (!p || !feeding.load(std::memory_order_acquire)) return;
        const uint64_t start = nowNs();
        jack_client_t* c = client.load(std::memory_order_relaxed);
        const jack_nframes_t cycle = jack_last_frame_time(c);
        void* buffer = jack_port_get_buffer(p, frames);
        const uint32_t count = buffer ? jack_midi_get_event_count(buffer) : 0;
        const size_t bytes = bufferBytes.load(std::memory_order_relaxed);
        const uint32_t t = tag.load(std::memory_order_relaxed);
        for (uint32_t i = 0; i < count; ++i) {
            jack_midi_event_t event{};
            if (jack_midi_event_get(&event, buffer, i) != 0 || jack_last_frame_time(c) != cycle) {
                queue->lose(t, count - i);
                break;
            }
            if (inside(buffer, bytes, event))
                queue->feed(event.buffer, event.size, t);
            else
                queue->lose(t, 1);
        }
        if (count) queue->noteFeedCall(nowNs() - start);
        queue->wakeTaker();
    }
};

class JackInput final : public IMidiPortsInput {
public:
    JackInput(std::string clientName, std::shared_ptr<IMidiInputQueue> queue)
        : mClient(std::move(clientName), new InputFeed(std::move(queue))) {}

    bool open(const std::string& source, const char* portName, uint32_t tag,
              const std::function<bool()>& linked) override {
        jack_port_t* port = mClient.ready(portName, JackPortIsInput, linked);
        if (!port) return false;
        mClient.state()->tag = tag;
        mClient.state()->feeding = true;
        return mClient.connect(source, jack_port_name(port), linked);
    }

    void closePort() override { mClient.closePort(); }
    bool isPortOpen() const override { return mClient.isPortOpen(); }

    void stop() override {
        if (InputFeed* feed = mClient.state()) feed->feeding = false;
    }

private:
    JackMidiClient<InputFeed> mClient;
};

class RtMidiInput final : public IMidiPortsInput {
public:
    RtMidiInput(int api, const std::string& clientName, std::shared_ptr<IMidiInputQueue> queue)
        : mQueue(std::move(queue)), mIn(static_cast<RtMidi::Api>(api), clientName) {
        // SysEx is kept; the queue leaves timing clock and sensing out.
        mIn.setErrorCallback(
            [](RtMidiError::Type, const std::string& text, void*) { LogLine("MIDI: %s", text.c_str()); }, nullptr);
        mIn.ignoreTypes(false, true, true);
        mIn.setCallback(callback, this);
    }

    bool open(const std::string& source, const char* portName, uint32_t tag,
              const std::function<bool()>& linked) override {
        mTag = tag;
        mFeeding = true;
        return openRtMidiPortNamed(mIn, source, portName, linked);
    }

    void closePort() override { mIn.closePort(); }
    bool isPortOpen() const override { return mIn.isPortOpen(); }
    void stop() override {
        mFeeding = false;
        mIn.cancelCallback();
    }

private:
    static void callback(double, std::vector<unsigned char>* message, void* user) {
        auto* self = static_cast<RtMidiInput*>(user);
        if (!message || message->empty() || !self->mFeeding.load(std::memory_order_acquire)) return;
        const uint64_t start = nowNs();
        self->mQueue->feed(message->data(), message->size(), self->mTag.load(std::memory_order_relaxed));
        self->mQueue->noteFeedCall(nowNs() - start);
        self->mQueue->wakeTaker();
    }

    const std::shared_ptr<IMidiInputQueue> mQueue;
    RtMidiIn mIn;
    std::atomic<bool> mFeeding{false};
    std::atomic<uint32_t> mTag{0};
};

}  // namespace

std::unique_ptr<IMidiPortsInput> IMidiPortsInput::makeJack(std::string clientName,
                                                           std::shared_ptr<IMidiInputQueue> queue) {
    return std::make_unique<JackInput>(std::move(clientName), std::move(queue));
}

std::unique_ptr<IMidiPortsInput> IMidiPortsInput::makeRtMidi(int api, std::string clientName,
                                                             std::shared_ptr<IMidiInputQueue> queue) {
    return std::make_unique<RtMidiInput>(api, clientName, std::move(queue));
}
