#include "framework/IMidiPorts.h"

#include <jack/jack.h>
#include <rtmidi/RtMidi.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <thread>

#include "framework/Log.h"

namespace {

// Printed, and counted, so that a list made while the system turned a
// client away is asked again.
void printMidiError(RtMidiError::Type, const std::string& text, void* errors) {
    LogLine("MIDI: %s", text.c_str());
    if (errors) static_cast<std::atomic<int>*>(errors)->fetch_add(1);
}

// JACK's client library prints a dozen lines of its own when no server
// answers, and more when one goes away; what matters is said in one line
// of ours instead. The functions are the process's, set once.
void quietJack(const char*) {}

void silenceJack() {
    static std::once_flag once;
    std::call_once(once, [] {
        jack_set_error_function(quietJack);
        jack_set_info_function(quietJack);
    });
}

void onJackShutdown(jack_status_t, const char*, void* lost) { static_cast<std::atomic<bool>*>(lost)->store(true); }

// A client of a JACK server that went away is never closed: the client
// library crashes unregistering its ports. It is kept, unused, for the rest
// of the process (a few kilobytes per server that went).
template <class Client>
void abandon(std::unique_ptr<Client>& client) {
    static std::mutex lock;
    static auto* kept = new std::vector<void*>;
    if (!client) return;
    std::lock_guard<std::mutex> guard(lock);
    kept->push_back(client.release());
}

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
        in->setErrorCallback(printMidiError, &mClientErrors);
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
        out->setErrorCallback(printMidiError, &mClientErrors);
        mOut = std::move(out);
    });
    return mOut != nullptr;
}

// The list is kept, so a client the MIDI system turned away for a moment (a
// busy JACK server does) must not leave it empty: an empty answer that came
// with an error is asked again with a fresh client before it is kept. An
// empty answer without one is the truth: there are no ports.
template <class Midi>
std::vector<std::string> IMidiPorts::listOnce(std::unique_ptr<Midi>& client, bool (IMidiPorts::*ensure)()) {
    std::vector<std::string> names;
    for (int attempt = 0; attempt < kListAttempts; ++attempt) {
        if (attempt > 0) {
            client.reset();
            std::this_thread::sleep_for(std::chrono::milliseconds(kListRetryMs));
        }
        const int errorsBefore = mClientErrors;
        const bool made = (this->*ensure)();
        names = listPorts(client.get());
        if (names.size() > 1 || (made && mClientErrors == errorsBefore)) break;
    }
    return names;
}

bool IMidiPorts::systemAnswers() {
    std::lock_guard<std::mutex> lock(mSystemMutex);
    if (mSystem != System::kUnknown) return mSystem == System::kAnswering;
    std::string why;
    if (chosenApi() == RtMidi::UNIX_JACK) {
        silenceJack();
        // The client that asks stays and hears of the server's end.
        // A server that is there but slow to answer (a loaded machine) fails
        // an open without the "cannot connect" mark: ask it again.
        jack_client_t* watcher = nullptr;
        for (int attempt = 0; !watcher && attempt < kListAttempts; ++attempt) {
            if (attempt) std::this_thread::sleep_for(std::chrono::milliseconds(kListRetryMs));
            jack_status_t status{};
            watcher = jack_client_open((mClientName + " Watch").c_str(), jack_options_t(JackNoStartServer), &status);
            if (status & JackServerFailed) break;
        }
        if (watcher) {
            jack_on_info_shutdown(watcher, onJackShutdown, &mLost);
            mWatcher = watcher;
        }
        const char* server = getenv("JACK_DEFAULT_SERVER");
        why = std::string(access("/dev/snd/seq", F_OK) == 0 ? "" : "no ALSA sequencer, and ") +
              "no JACK server is running (server \"" + (server && *server ? server : "default") + "\")";
    } else if (access("/dev/snd/seq", R_OK | W_OK) == 0) {
        mSystem = System::kAnswering;
    } else {
        why = "the ALSA sequencer /dev/snd/seq cannot be opened";
    }
    if (mWatcher) mSystem = System::kAnswering;
    if (mSystem == System::kAnswering) return true;
    mSystem = System::kAbsent;
    if (!mAbsenceReported) LogLine("MIDI: no MIDI system: %s; no port can be chosen", why.c_str());
    mAbsenceReported = true;
    return false;
}

void IMidiPorts::dropWatcher() {
    if (mWatcher) jack_client_close(static_cast<jack_client_t*>(mWatcher));
    mWatcher = nullptr;
}

std::vector<std::string> IMidiPorts::listIn() {
    if (!systemAnswers()) return {kNoDeviceName};
    return listOnce(mIn, &IMidiPorts::ensureIn);
}

std::vector<std::string> IMidiPorts::listOut() {
    if (!systemAnswers()) return {kNoDeviceName};
    return listOnce(mOut, &IMidiPorts::ensureOut);
}

void IMidiPorts::prefetchNames() {
    std::lock_guard<std::mutex> lock(mPrefetchMutex);
    if (mInPrefetch.joinable() || mOutPrefetch.joinable()) return;
    try {
        mInPrefetch = std::thread([this] { fill(true, false); });
        mOutPrefetch = std::thread([this] { fill(false, false); });
    } catch (const std::system_error&) {
        // No thread to spare: the lists are made when first asked for.
    }
}

void IMidiPorts::waitForPrefetch() {
    std::lock_guard<std::mutex> lock(mPrefetchMutex);
    if (mInPrefetch.joinable()) mInPrefetch.join();
    if (mOutPrefetch.joinable()) mOutPrefetch.join();
}

const std::vector<std::string>& IMidiPorts::fill(bool input, bool afresh) {
    std::lock_guard<std::mutex> lock(input ? mInMutex : mOutMutex);
    std::vector<std::string>& names = input ? mInNames : mOutNames;
    bool& listed = input ? mInListed : mOutListed;
    if (afresh || !listed) names = input ? listIn() : listOut();
    listed = true;
    return names;
}

const std::vector<std::string>& IMidiPorts::inNames() {
    waitForPrefetch();
    return fill(true, false);
}

const std::vector<std::string>& IMidiPorts::outNames() {
    waitForPrefetch();
    return fill(false, false);
}

void IMidiPorts::recoverFromLoss() {
    // The clients of a server that went away can do nothing more; new ones
    // are made when a list or a port is asked for.
    {
        std::lock_guard<std::mutex> lock(mInMutex);
        abandon(mIn);
    }
    {
        std::lock_guard<std::mutex> lock(mOutMutex);
        abandon(mOut);
    }
    std::lock_guard<std::mutex> lock(mSystemMutex);
    mWatcher = nullptr;  // gone with its server, and not to be closed either
    mSystem = System::kUnknown;
    mLost = false;
}

void IMidiPorts::askSystemAgain() {
    waitForPrefetch();
    if (mLost) recoverFromLoss();
    std::lock_guard<std::mutex> lock(mSystemMutex);
    // A system that did not answer before may answer now.
    if (mSystem == System::kAbsent) mSystem = System::kUnknown;
}

const std::vector<std::string>& IMidiPorts::refreshInNames() {
    askSystemAgain();
    return fill(true, true);
}

const std::vector<std::string>& IMidiPorts::refreshOutNames() {
    askSystemAgain();
    return fill(false, true);
}

void IMidiPorts::setIn(int& index, const char* name) {
    if (mLost) recoverFromLoss();
    const std::vector<std::string>& names = inNames();
    std::lock_guard<std::mutex> lock(mInMutex);
    if (mIn) guarded("closing the input port", [&] { mIn->closePort(); });
    if (index == 0) return;
    int found = findListed(names, name);
    index = (found > 0 && ensureIn() && openByName(*mIn, names[found], "in")) ? found : 0;
}

void IMidiPorts::setOut(int& index, const char* name) {
    if (mLost) recoverFromLoss();
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
    waitForPrefetch();
    if (mLost) {
        recoverFromLoss();
        return;
    }
    // libjack stops a closing client's threads by asynchronous cancellation:
    // one cancelled in the middle of work can leave the heap or a runtime
    // lock held for good. So every client is closed while its threads are
    // idle: the watcher first, before the other closings notify it, and the
    // input only after its port is gone and the cycle and the notifications
    // under way have passed.
    {
        std::lock_guard<std::mutex> system(mSystemMutex);
        dropWatcher();
    }
    // The input client is deleted outside the lock, since a callback in
    // progress may ask whether the port is open.
    std::unique_ptr<RtMidiIn> in;
    {
        std::lock_guard<std::mutex> lock(mInMutex);
        in = std::move(mIn);
    }
    const bool jackIn = in && in->getCurrentApi() == RtMidi::UNIX_JACK && in->isPortOpen();
    if (jackIn) {
        in->closePort();
        std::this_thread::sleep_for(std::chrono::milliseconds(kJackSettleMs));
    }
    in.reset();
    std::lock_guard<std::mutex> lock(mOutMutex);
    // JACK tells every client of the input's departure on the client's own
    // notification thread, which walks the client's port list unguarded: the
    // output port unregistered during that walk is read after it is freed.
    // Let those notifications pass first.
    if (jackIn && mOut && mOut->isPortOpen()) std::this_thread::sleep_for(std::chrono::milliseconds(kJackSettleMs));
    mOut.reset();
}

bool IMidiPorts::send(const uint8_t* bytes, size_t size) {
    if (!bytes || size == 0) return false;
    std::lock_guard<std::mutex> lock(mOutMutex);
    if (!mOut || !mOut->isPortOpen()) return false;
    return guarded("sending", [&] { mOut->sendMessage(bytes, size); });
}
