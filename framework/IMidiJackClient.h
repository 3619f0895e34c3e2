#pragma once
// A JACK client of the editor's own with one MIDI port, made, opened and
// closed by the MIDI worker.
//
// What libjack calls a client's process callback with. libjack may run
// that callback after it stopped taking the client for active, even after
// the client was closed: it skips stopping the thread of a client it takes
// for inactive. So the callback reaches its state through a slot that is
// never freed, and the state is let go only once no callback is inside it.
#include <jack/jack.h>
#include <jack/midiport.h>
#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <mutex>
#include <thread>
#include <vector>

template <class State>
class JackCallbackSlot {
public:
    // One for each client made; kept for the process.
    static JackCallbackSlot* make(State* state) {
        static std::mutex lock;
        static auto* kept = new std::vector<std::unique_ptr<JackCallbackSlot>>;
        std::lock_guard<std::mutex> guard(lock);
        kept->push_back(std::unique_ptr<JackCallbackSlot>(new JackCallbackSlot));
        kept->back()->mState = state;
        return kept->back().get();
    }

    State* state() const { return mState.load(); }

    // No callback reaches the state from now on. True when none is inside it
    // either, within the patience: the caller may free it then. A callback
    // cancelled inside would never leave; its state is kept.
    bool detach(std::chrono::milliseconds patience) {
        mState = nullptr;
        const auto deadline = std::chrono::steady_clock::now() + patience;
        while (mInside.load() != 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return mInside.load() == 0;
    }

    // For jack_set_process_callback, with the slot as its argument: the
    // state's process(frames). libjack stops a client's thread by
    // asynchronous cancellation, which must not land inside: it would leave
    // what the state feeds (a queue, a ring) half written.
    static int process(jack_nframes_t frames, void* arg) {
        static_cast<JackCallbackSlot*>(arg)->enter([frames](State& state) { state.process(frames); });
        return 0;
    }

    // For jack_set_buffer_size_callback, called as the client activates and
    // whenever the size changes: the state's resized().
    static int resized(jack_nframes_t, void* arg) {
        static_cast<JackCallbackSlot*>(arg)->enter([](State& state) { state.resized(); });
        return 0;
    }

private:
    JackCallbackSlot() = default;

    template <class Fn>
    void enter(Fn fn) {
        int cancelState = 0;
        pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, &cancelState);
        mInside.fetch_add(1);
        if (State* state = mState.load()) fn(*state);
        mInside.fetch_sub(1);
        pthread_setcancelstate(cancelState, nullptr);
    }

    std::atomic<State*> mState{nullptr};
    std::atomic<int> mInside{0};
};

// The client and its port. State holds the port the callback reads
// (std::atomic<jack_port_t*> port) and its process(frames); it is the
// client's from construction on. A State with resized() also keeps the
// client (std::atomic<jack_client_t*> client), to read its cycle's time
// and its buffer's size.
template <class State>
class JackMidiClient {
public:
    using Slot = JackCallbackSlot<State>;

    JackMidiClient(std::string name, State* state) : mName(std::move(name)), mSlot(Slot::make(state)) {}
    ~JackMidiClient() {
        State* state = mSlot->state();
        if (mSlot->detach(std::chrono::seconds(1))) delete state;
        if (mClient) jack_client_close(mClient);
    }
    JackMidiClient(const JackMidiClient&) = delete;
    JackMidiClient& operator=(const JackMidiClient&) = delete;

    State* state() const { return mSlot->state(); }

    // The client made and active, and our port registered as portName with
    // `flags`: the port, or null. `linked` is asked before every call that
    // may open a client or change the graph, and none is made once it says
    // no.
    jack_port_t* ready(const char* portName, unsigned long flags, const std::function<bool()>& linked) {
        State* s = state();
        if (!s || !linked()) return nullptr;
        if (!mClient) {
            jack_status_t status{};
            mClient = jack_client_open(mName.c_str(), jack_options_t(JackNoStartServer), &status);
            if (!mClient) return nullptr;
            jack_set_process_callback(mClient, Slot::process, mSlot);
            if constexpr (requires(State & st) { st.resized(); }) {
                s->client = mClient;
                jack_set_buffer_size_callback(mClient, Slot::resized, mSlot);
            }
        }
        if (!linked()) return nullptr;
        if (!mActive) {
            if (jack_activate(mClient) != 0) return nullptr;
            mActive = true;
        }
        if (!s->port.load()) {
            jack_port_t* port = jack_port_register(mClient, portName, JACK_DEFAULT_MIDI_TYPE, flags, 0);
            if (!port) return nullptr;
            s->port = port;
        }
        return linked() ? s->port.load() : nullptr;
    }

    // Connects two ports by name; true when they are connected and the
    // link stands.
    bool connect(const std::string& from, const std::string& to, const std::function<bool()>& linked) {
        const int connected = jack_connect(mClient, from.c_str(), to.c_str());
        mOpen = (connected == 0 || connected == EEXIST) && linked();
        return mOpen;
    }

    // The port goes; the client stays for the next one. True when there
    // was one.
    bool closePort() {
        mOpen = false;
        State* s = state();
        if (!s || !s->port.load()) return false;
        // The process callback reads the port, and clears an output's
        // buffer, which the server reads as long as the port is there: it
        // ends its cycles first.
        jack_deactivate(mClient);
        mActive = false;
        jack_port_unregister(mClient, s->port.exchange(nullptr));
        return true;
    }

    bool isPortOpen() const { return mOpen; }

private:
    const std::string mName;
    Slot* const mSlot;
    jack_client_t* mClient = nullptr;
    bool mActive = false;
    std::atomic<bool> mOpen{false};
};
