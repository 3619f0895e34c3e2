#include "framework/IMidiPortsInput.h"

#include <jack/jack.h>
#include <jack/midiport.h>
#include <pthread.h>
#include <rtmidi/RtMidi.h>

#include <atomic>
#include <cerrno>
#include <ctime>

#include "framework/IMidiInputQueue.h"
#include "framework/Log.h"

namespace {

uint64_t nowNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return uint64_t(t.tv_sec) * 1000000000u + uint64_t(t.tv_nsec);
}

class JackInput final : public IMidiPortsInput {
public:
    JackInput(std::string clientName, std::shared_ptr<IMidiInputQueue> queue)
        : mClientName(std::move(clientName)), mQueue(std::move(queue)) {}

    ~JackInput() override {
        if (mClient) jack_client_close(mClient);
    }

    bool open(const std::string& source, const char* portName, uint32_t tag,
              const std::function<bool()>& linked) override {
        if (!linked()) return false;
        if (!mClient) {
            jack_status_t status{};
            mClient = jack_client_open(mClientName.c_str(), jack_options_t(JackNoStartServer), &status);
            if (!mClient) return false;
            jack_set_process_callback(mClient, process, this);
        }
        if (!linked()) return false;
        if (!mActive) {
            if (jack_activate(mClient) != 0) return false;
            mActive = true;
        }
        if (!mPort.load()) {
            jack_port_t* port = jack_port_register(mClient, portName, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
            if (!port) return false;
            mPort = port;
        }
        mTag = tag;
        mFeeding = true;
        if (!linked()) return false;
        const int connected = jack_connect(mClient, source.c_str(), jack_port_name(mPort.load()));
        mOpen = (connected == 0 || connected == EEXIST) && linked();
        return mOpen;
    }

    void closePort() override {
        mOpen = false;
        jack_port_t* port = mPort.exchange(nullptr);
        if (!port) return;
        // The process callback reads the port: it ends its cycle first.
        jack_deactivate(mClient);
        mActive = false;
        jack_port_unregister(mClient, port);
    }

    bool isPortOpen() const override { return mOpen; }

    void stop() override { mFeeding = false; }

private:
    // JACK's real-time thread: every event's bytes to the queue, as they are.
    static int process(jack_nframes_t frames, void* arg) {
        auto* self = static_cast<JackInput*>(arg);
        jack_port_t* port = self->mPort.load(std::memory_order_acquire);
        if (!port || !self->mFeeding.load(std::memory_order_acquire)) return 0;
        // libjack stops a deactivated client's thread by asynchronous
        // cancellation: one that landed inside a feed would leave the queue
        // held by a thread that is gone. It waits until the cycle's work is
        // done.
        int cancelState = 0;
        pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, &cancelState);
        const uint64_t start = nowNs();
        void* buffer = jack_port_get_buffer(port, frames);
        const uint32_t count = buffer ? jack_midi_get_event_count(buffer) : 0;
        const uint32_t tag = self->mTag.load(std::memory_order_relaxed);
        for (uint32_t i = 0; i < count; ++i) {
            jack_midi_event_t event{};
            if (jack_midi_event_get(&event, buffer, i) == 0) self->mQueue->feed(event.buffer, event.size, tag);
        }
        if (count) self->mQueue->noteFeedCall(nowNs() - start);
        self->mQueue->wakeTaker();
        pthread_setcancelstate(cancelState, nullptr);
        return 0;
    }

    const std::string mClientName;
    // Kept by a client given up, whose thread may still run.
    const std::shared_ptr<IMidiInputQueue> mQueue;
    jack_client_t* mClient = nullptr;
    bool mActive = false;
    std::atomic<bool> mOpen{false};
    // Read by the process callback.
    std::atomic<jack_port_t*> mPort{nullptr};
    std::atomic<bool> mFeeding{false};
    std::atomic<uint32_t> mTag{0};
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
        const unsigned n = mIn.getPortCount();
        for (unsigned i = 0; i < n && !mIn.isPortOpen() && linked(); ++i)
            if (mIn.getPortName(i) == source && linked()) mIn.openPort(i, portName);
        return mIn.isPortOpen() && linked();
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
