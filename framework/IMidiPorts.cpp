#include "framework/IMidiPorts.h"

#include <rtmidi/RtMidi.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "framework/Log.h"

namespace {

void printMidiError(RtMidiError::Type, const std::string& text, void*) { LogLine("MIDI: %s", text.c_str()); }

template <class Fn>
bool guarded(const char* what, Fn fn) {
    try {
        fn();
        return true;
    } catch (const RtMidiError& e) {
        LogLine("MIDI: %s: %s", what, e.getMessage().c_str());
    } catch (const std::exception& e) {
        LogLine("MIDI: %s: %s", what, e.what());
    }
    return false;
}

// Entry 0 says "no port"; port i of the MIDI system is entry i + 1.
std::vector<std::string> listPorts(RtMidi* midi) {
    std::vector<std::string> names{IMidiPorts::kNoDeviceName};
    if (!midi) return names;
    guarded("listing ports", [&] {
        unsigned n = midi->getPortCount();
        for (unsigned i = 0; i < n; ++i) names.push_back(midi->getPortName(i));
    });
    return names;
}

// The list index of `name`, or 0. Entry 0 never matches.
int findListed(const std::vector<std::string>& names, const char* name) {
    if (!name) return 0;
    for (size_t i = 1; i < names.size(); ++i)
        if (names[i] == name) return static_cast<int>(i);
    return 0;
}

// Opens the port called `name` as the system lists it now, since ports may
// have come and gone since the list was made; -1 when it is not there.
template <class Midi>
bool openByName(Midi& midi, const std::string& name, const char* ourPortName) {
    bool opened = false;
    guarded("opening a port", [&] {
        unsigned n = midi.getPortCount();
        for (unsigned i = 0; i < n && !opened; ++i)
            if (midi.getPortName(i) == name) {
                midi.openPort(i, ourPortName);
                opened = midi.isPortOpen();
            }
    });
    if (!opened) LogLine("MIDI: could not open \"%s\"", name.c_str());
    return opened;
}

}  // namespace

int IMidiPorts::chosenApi() {
    const char* env = getenv("HALVORAN_MIDI_API");
    if (env && strcmp(env, "alsa") == 0) return RtMidi::LINUX_ALSA;
    if (env && strcmp(env, "jack") == 0) return RtMidi::UNIX_JACK;
    return access("/dev/snd/seq", F_OK) == 0 ? RtMidi::LINUX_ALSA : RtMidi::UNIX_JACK;
}

IMidiPorts::IMidiPorts(std::string clientName, std::function<void(const uint8_t*, size_t)> onInput)
    : mClientName(std::move(clientName)), mOnInput(std::move(onInput)) {}

IMidiPorts::~IMidiPorts() { closeAll(); }

void IMidiPorts::inputCallback(double, std::vector<unsigned char>* message, void* user) {
    auto* self = static_cast<IMidiPorts*>(user);
    if (message && !message->empty() && self->mOnInput) self->mOnInput(message->data(), message->size());
}

bool IMidiPorts::ensureIn() {
    if (mIn) return true;
    guarded("creating the input client", [&] {
        auto in = std::make_unique<RtMidiIn>(static_cast<RtMidi::Api>(chosenApi()), mClientName + " In");
        in->setErrorCallback(printMidiError, nullptr);
        // SysEx is kept; timing clock and active sensing are not wanted.
        in->ignoreTypes(false, true, true);
        in->setCallback(inputCallback, this);
        mIn = std::move(in);
    });
    return mIn != nullptr;
}

bool IMidiPorts::ensureOut() {
    if (mOut) return true;
    guarded("creating the output client", [&] {
        auto out = std::make_unique<RtMidiOut>(static_cast<RtMidi::Api>(chosenApi()), mClientName + " Out");
        out->setErrorCallback(printMidiError, nullptr);
        mOut = std::move(out);
    });
    return mOut != nullptr;
}

// The list is made once and kept, so a client the MIDI system turned away
// for a moment (a busy JACK server does) must not leave it empty: an empty
// answer is asked again with a fresh client before it is kept.
template <class Midi>
std::vector<std::string> IMidiPorts::listOnce(std::unique_ptr<Midi>& client, bool (IMidiPorts::*ensure)()) {
    std::vector<std::string> names;
    for (int attempt = 0; attempt < kListAttempts; ++attempt) {
        if (attempt > 0) {
            client.reset();
            std::this_thread::sleep_for(std::chrono::milliseconds(kListRetryMs));
        }
        (this->*ensure)();
        names = listPorts(client.get());
        if (names.size() > 1) break;
    }
    return names;
}

const std::vector<std::string>& IMidiPorts::inNames() {
    std::lock_guard<std::mutex> lock(mInMutex);
    if (!mInListed) {
        mInNames = listOnce(mIn, &IMidiPorts::ensureIn);
        mInListed = true;
    }
    return mInNames;
}

const std::vector<std::string>& IMidiPorts::outNames() {
    std::lock_guard<std::mutex> lock(mOutMutex);
    if (!mOutListed) {
        mOutNames = listOnce(mOut, &IMidiPorts::ensureOut);
        mOutListed = true;
    }
    return mOutNames;
}

void IMidiPorts::setIn(int& index, const char* name) {
    const std::vector<std::string>& names = inNames();
    std::lock_guard<std::mutex> lock(mInMutex);
    if (mIn) guarded("closing the input port", [&] { mIn->closePort(); });
    if (index == 0) return;
    int found = findListed(names, name);
    index = (found > 0 && ensureIn() && openByName(*mIn, names[found], "in")) ? found : 0;
}

void IMidiPorts::setOut(int& index, const char* name) {
    const std::vector<std::string>& names = outNames();
    std::lock_guard<std::mutex> lock(mOutMutex);
    if (mOut) guarded("closing the output port", [&] { mOut->closePort(); });
    if (index == 0) return;
    int found = findListed(names, name);
    index = (found > 0 && ensureOut() && openByName(*mOut, names[found], "out")) ? found : 0;
}

bool IMidiPorts::inOpen() const {
    std::lock_guard<std::mutex> lock(mInMutex);
    return mIn && mIn->isPortOpen();
}

bool IMidiPorts::outOpen() const {
    std::lock_guard<std::mutex> lock(mOutMutex);
    return mOut && mOut->isPortOpen();
}

void IMidiPorts::closeAll() {
    // Deleting the input client waits for a callback in progress and stops
    // any later one. It happens outside the lock, since that callback may
    // ask whether the port is open.
    std::unique_ptr<RtMidiIn> in;
    {
        std::lock_guard<std::mutex> lock(mInMutex);
        in = std::move(mIn);
    }
    const bool hadIn = in != nullptr;
    in.reset();
    std::lock_guard<std::mutex> lock(mOutMutex);
    // JACK tells every client of the input's departure on the client's own
    // notification thread, which walks the client's port list unguarded: the
    // output port unregistered during that walk is read after it is freed.
    // Let those notifications pass first.
    if (hadIn && mOut && mOut->getCurrentApi() == RtMidi::UNIX_JACK && mOut->isPortOpen())
        std::this_thread::sleep_for(std::chrono::milliseconds(kJackSettleMs));
    mOut.reset();
}

bool IMidiPorts::send(const uint8_t* bytes, size_t size) {
    if (!bytes || size == 0) return false;
    std::lock_guard<std::mutex> lock(mOutMutex);
    if (!mOut || !mOut->isPortOpen()) return false;
    return guarded("sending", [&] { mOut->sendMessage(bytes, size); });
}
