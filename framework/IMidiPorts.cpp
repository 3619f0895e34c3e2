#include "framework/IMidiPorts.h"

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif
#include <dlfcn.h>
#include <jack/jack.h>
#include <jack/midiport.h>
#include <rtmidi/RtMidi.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>

#include "framework/IMidiInputQueue.h"
#include "framework/IMidiPortsInput.h"
#include "framework/IMidiPortsOutput.h"
#include "framework/IMidiPortsSender.h"
#include "framework/IMidiPortsWorker.h"
#include "framework/Log.h"

namespace {

using Clock = std::chrono::steady_clock;
using Call = IMidiPortsWorker::Call;

void printMidiError(RtMidiError::Type, const std::string& text, void*) { LogLine("MIDI: %s", text.c_str()); }

// JACK's client library prints a dozen lines of its own when no server
// answers, and more when one goes away; what matters is said in one line
// of ours instead. The functions are the process's, set once.
void quietJack(const char*) {}

// libjack keeps one mark for the whole process of whether its server is
// there. A client whose link breaks (its server went, or the server turned
// a new client away) clears it, and the next client opened anywhere in the
// process first closes and frees every other client of the process. It
// says so only in an error message: that sweep is counted here, and a
// client made before the latest sweep is never touched again.
std::atomic<unsigned> gJackSweeps{0};
// Read on libjack's threads, which ThreadSanitizer does not see.
std::atomic<void (*)(const char*)> gHostJackErrors{nullptr};

void onJackError(const char* text) {
    if (text && strstr(text, "clients are still allocated")) ++gJackSweeps;
    // A function the host set before us still hears every message.
    if (auto host = gHostJackErrors.load()) host(text);
}

void silenceJack() {
    static std::once_flag once;
    std::call_once(once, [] {
        void (*before)(const char*) = jack_error_callback;
        jack_set_error_function(nullptr);  // libjack's own, which prints
        if (before != jack_error_callback) gHostJackErrors = before;
        jack_set_error_function(onJackError);
        jack_set_info_function(quietJack);
    });
}

void onJackShutdown(jack_status_t, const char*, void* lost) { static_cast<std::atomic<bool>*>(lost)->store(true); }

// What a watcher's shutdown callback sets: one per watcher, never freed. A
// watcher given up untouched keeps its callback, which may come after the
// ports that made it are gone.
std::atomic<bool>* newShutdownFlag() {
    static std::mutex lock;
    static auto* kept = new std::vector<std::unique_ptr<std::atomic<bool>>>;  // for the process
    std::lock_guard<std::mutex> guard(lock);
    kept->push_back(std::make_unique<std::atomic<bool>>(false));
    return kept->back().get();
}

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

// A thread left inside a call that never ends returns into this code if the
// call ends after all, so the library holding it is never unloaded.
void keepThisCodeLoaded() {
    static std::once_flag once;
    std::call_once(once, [] {
        Dl_info info{};
        if (dladdr(reinterpret_cast<void*>(&keepThisCodeLoaded), &info) && info.dli_fname)
            dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    });
}

// A worker still busy when its ports were closed goes on by itself: the
// closing of its clients waits behind the call that held it up (a first
// ask of a server slow to answer, say). Should the process end meanwhile,
// the clients that call opens, and libjack's threads for them, would still
// run while the process and libjack are torn down. So the process waits for
// those workers as it ends, within what is left of their closing's
// patience: a server that does not answer costs quitting that second once.
void finishAtExit(std::function<void()> finish) {
    static std::mutex lock;
    static auto* pending = new std::vector<std::function<void()>>;  // used at exit
    static std::once_flag once;
    std::call_once(once, [] {
        std::atexit([] {
            std::vector<std::function<void()>> all;
            {
                std::lock_guard<std::mutex> guard(lock);
                all.swap(*pending);
            }
            for (auto& f : all) f();
        });
    });
    std::lock_guard<std::mutex> guard(lock);
    pending->push_back(std::move(finish));
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

// HALVORAN_MIDI_CALL_LIMIT_MS, or 3 s when it is not a number of
// milliseconds (at most ten minutes).
std::chrono::milliseconds callLimitFromEnvironment() {
    const char* env = getenv("HALVORAN_MIDI_CALL_LIMIT_MS");
    char* end = nullptr;
    const long ms = env ? strtol(env, &end, 10) : 0;
    if (!env || end == env || *end || ms <= 0) return std::chrono::milliseconds(3000);
    return std::chrono::milliseconds(std::min(ms, 600000L));
}

// The list index of `name`, or 0. Entry 0 never matches.
int findListed(const std::vector<std::string>& names, const char* name) {
    if (!name) return 0;
    for (size_t i = 1; i < names.size(); ++i)
        if (names[i] == name) return static_cast<int>(i);
    return 0;
}

}  // namespace

// What the calls into the MIDI system work on. The worker's calls hold it,
// so it stays while a call that has not ended may still come back to it.
//
// Locks, in the order they may be taken: mFirstLock (prefetchNames posts
// under it), the worker's own lock (Call::commit publishes under it),
// mGateLock (a choice's outcome is told under it), then mChoiceLock,
// mListLock or the sender's lock, which take no other. None is held while
// the MIDI library is called. The MIDI system's thread takes none: it feeds
// mQueue. The input thread hands each message on under mGateLock, which is
// taken elsewhere only to change what the callbacks reach (closeAll, the
// destructor).
struct IMidiPorts::Core : std::enable_shared_from_this<Core> {
    Core(std::string name, std::function<void(const uint8_t*, size_t)> input);
    ~Core();

    using Job = std::function<void(Core&, Call&)>;
    std::shared_ptr<Call> post(Job job);

    // ---- On the worker's thread.
    enum class System { kUnknown, kAnswering, kAbsent };
    static constexpr int kOpenAttempts = 3;
    static constexpr int kOpenRetryMs = 40;
    static constexpr int kJackSettleMs = 100;  // for the server's notifications to pass

    void ask(bool afresh);
    bool systemAnswers();
    // The JACK library has freed our clients: the server went, or the
    // process's clients were swept (see gJackSweeps).
    bool clientsGone() const;
    // Whether a client opened now would leave ours alone: the process's
    // link to the server stands. Always true for ALSA.
    bool linkSound() const;
    // linkSound, or else every client of ours is given up, untouched.
    bool keepLinked();
    std::vector<std::string> list(bool input);
    bool ours(const std::string& port) const;
    bool makeIn();
    bool makeOut();
    // True when the port opened for that choice and the caller still waits.
    bool openPort(bool input, const std::string& name, unsigned choice, Call& call);
    // A client and its port to `name`, tried a few times.
    bool openWithRetries(bool input, const std::string& name);
    bool openOnce(bool input, const std::string& name);
    // The port goes to the callers, unless a later choice came first.
    void publish(bool input, unsigned choice);
    // The sender lets go of the output port, or else its client is given
    // up: false then.
    bool releaseOutput();
    void closePort(bool input);
    void dropClient(bool input);
    void abandonClient(bool input);
    void closeEverything();
    void recoverFromLoss();
    // libjack stops a closing client's threads by asynchronous cancellation,
    // and its notification threads walk their port lists unguarded: a port
    // or client goes only once the notifications of the last change passed.
    void settle();
    void changedGraph() { mLastChange = Clock::now(); }
    const char* systemName() const;

    // ---- On the callers' threads.
    // A new choice of port, closing the open one for the callers at once;
    // its number.
    unsigned choose(bool input, bool opening);
    // The choice is the latest of its direction.
    bool latest(bool input, unsigned choice);
    // Tells a choice's caller how it ended, unless closeAll came since.
    void tell(bool input, unsigned choice, unsigned epoch, const Chosen& chosen, bool opened);

    // ---- The input thread: each queued message to mOnInput, in order.
    void startInputThread();
    void stopInputThread();
    void handleInput();
    // One log line for what the queue dropped, at most once a second.
    void tellDropped(IMidiInputQueue::Dropped& pending, Clock::time_point& told);

    const std::string mClientName;
    std::unique_ptr<IMidiPortsInput> mIn;
    std::unique_ptr<IMidiPortsOutput> mOut;
    // Lists the ALSA sequencer's ports; JACK's are listed by the watcher.
    std::unique_ptr<RtMidiIn> mInLister;
    std::unique_ptr<RtMidiOut> mOutLister;
    jack_client_t* mWatcher = nullptr;
    // The system's port each of ours is connected to, while open, and the
    // choice it was opened for.
    std::string mInPort, mOutPort;
    unsigned mInOpenedFor = 0, mOutOpenedFor = 0;
    // Each input opened queues under a tag of its own; the last one's.
    uint32_t mInTags = 0, mOpeningTag = 0;
    System mSystem = System::kUnknown;
    bool mAbsenceReported = false;
    Clock::time_point mLastChange{};

    // ---- Shared with the other threads.
    std::atomic<bool> mLost{false};
    // The watcher's shutdown flag, while there is a watcher.
    std::atomic<std::atomic<bool>*> mWatcherGone{nullptr};
    // gJackSweeps when the watcher was made, while it exists.
    std::atomic<bool> mWatching{false};
    std::atomic<unsigned> mSweeps{0};
    std::atomic<MidiSystem> mState{MidiSystem::kAnswering};
    const std::chrono::milliseconds mCallLimit = callLimitFromEnvironment();
    // Held by a callback in progress (the input's, a choice's `chosen`),
    // and to change what they reach: mOnInput, and mEpoch, which closeAll
    // counts up (read anywhere).
    std::mutex mGateLock;
    std::function<void(const uint8_t*, size_t)> mOnInput;
    std::atomic<unsigned> mEpoch{0};
    // The input's choices are counted under it, and mAccepting and mInOpen
    // set by the latest one (read anywhere; the input goes through only
    // while mAccepting).
    std::mutex mChoiceLock;
    unsigned mInChoice = 0;
    std::atomic<bool> mAccepting{false}, mInOpen{false};
    // The tag of the input whose messages go through (while mAccepting).
    std::atomic<uint32_t> mAcceptTag{0};
    // What the input receives, from the MIDI system's thread to the input
    // thread; kept by an input client given up, whose thread may go on.
    const std::shared_ptr<IMidiInputQueue> mQueue = std::make_shared<IMidiInputQueue>();
    std::once_flag mInputStarted;
    std::thread mInputThread;
    std::atomic<bool> mInputStop{false};
    // All the queue dropped, as told, and the messages handed on by then.
    std::atomic<uint64_t> mDroppedFull{0}, mDroppedSysEx{0}, mDroppedTooLong{0}, mDroppedUnread{0}, mHandedOn{0};
    // The output's messages, and its choices.
    IMidiPortsSender mSender;
    std::atomic<bool> mOverflowTold{false};
    // The latest lists the system gave, numbered.
    std::mutex mListLock;
    std::vector<std::string> mInList{kNoDeviceName}, mOutList{kNoDeviceName};
    unsigned mAnswers = 0;
    // The first ask, and until when it is waited for.
    std::mutex mFirstLock;
    std::shared_ptr<Call> mFirstAsk;
    Clock::time_point mFirstDeadline{};

    // Last: its thread goes first.
    std::unique_ptr<IMidiPortsWorker> mWorker;
};

IMidiPorts::Core::Core(std::string name, std::function<void(const uint8_t*, size_t)> input)
    : mClientName(std::move(name)), mOnInput(std::move(input)) {
    mWorker = std::make_unique<IMidiPortsWorker>(
        [this] {
            mState = MidiSystem::kNotAnswering;
            LogLine("MIDI: the MIDI system is not answering (%s); a port chosen meanwhile opens once it does",
                    systemName());
        },
        [this] {
            mState = mSystem == System::kAbsent ? MidiSystem::kAbsent : MidiSystem::kAnswering;
            LogLine("MIDI: the MIDI system answers again");
        });
}

IMidiPorts::Core::~Core() {
    mWorker.reset();
    closeEverything();
}

std::shared_ptr<Call> IMidiPorts::Core::post(Job job) {
    return mWorker->post([self = shared_from_this(), job = std::move(job)](Call& call) { job(*self, call); });
}

const char* IMidiPorts::Core::systemName() const {
    return chosenApi() == RtMidi::UNIX_JACK ? "the JACK server" : "the ALSA sequencer";
}

void IMidiPorts::Core::startInputThread() {
    std::call_once(mInputStarted, [this] {
        try {
            mInputThread = std::thread([this] { handleInput(); });
        } catch (const std::system_error& e) {
            LogLine("MIDI: no thread for the input: %s", e.what());
        }
    });
}

void IMidiPorts::Core::stopInputThread() {
    mInputStop = true;
    mQueue->wake();
    if (!mInputThread.joinable()) return;
    if (mInputThread.get_id() == std::this_thread::get_id())
        mInputThread.detach();
    else
        mInputThread.join();
}

void IMidiPorts::Core::handleInput() {
    std::vector<uint8_t> message;
    message.reserve(512);
    IMidiInputQueue::Dropped pending;
    Clock::time_point told{};
    uint64_t handed = 0;
    while (!mInputStop) {
        uint32_t tag = 0;
        for (int n = 1; !mInputStop && mQueue->take(message, tag); ++n, ++handed) {
#if defined(__SANITIZE_THREAD__)
            __tsan_acquire(deliveryMark());
#endif
            {
                std::lock_guard<std::mutex> gate(mGateLock);
                if (mAccepting && tag == mAcceptTag && mOnInput) mOnInput(message.data(), message.size());
            }
            if (n % 1024 == 0) tellDropped(pending, told);
        }
        tellDropped(pending, told);
        mHandedOn = handed;
        // A drop wakes it too: what was dropped is told within a second,
        // however quiet the input is then or long a message that never ends.
        mQueue->wait(Clock::now() + (pending.any() ? std::chrono::seconds(1) : std::chrono::hours(1)));
    }
}

void IMidiPorts::Core::tellDropped(IMidiInputQueue::Dropped& pending, Clock::time_point& told) {
    const IMidiInputQueue::Dropped d = mQueue->takeDropped();
    pending.full += d.full;
    pending.fullSysEx += d.fullSysEx;
    pending.tooLong += d.tooLong;
    pending.cutShort += d.cutShort;
    pending.overlap += d.overlap;
    pending.lost += d.lost;
    mDroppedFull += d.full + d.overlap;
    mDroppedUnread += d.lost;
    mDroppedSysEx += d.fullSysEx;
    mDroppedTooLong += d.tooLong;
    const Clock::time_point now = Clock::now();
    if (!pending.any() || now - told < std::chrono::seconds(1)) return;
    using ull = unsigned long long;
    if (pending.full || pending.overlap)
        LogLine("MIDI: the input came faster than the editor took it: %llu messages dropped (%llu of them SysEx)",
                ull(pending.full + pending.overlap), ull(pending.fullSysEx));
    if (pending.tooLong)
        LogLine(
            "MIDI: %llu SysEx message(s) longer than %zu bytes dropped whole; the input goes on at the next "
            "status byte",
            ull(pending.tooLong), mQueue->longestMessage());
    if (pending.cutShort)
        LogLine("MIDI: %llu SysEx message(s) cut short by another message dropped", ull(pending.cutShort));
    if (pending.lost)
        LogLine(
            "MIDI: %llu event(s) of JACK cycles read late, or lying outside their cycle's buffer, dropped unread "
            "with the messages they were part of",
            ull(pending.lost));
    pending = {};
    told = now;
}

bool IMidiPorts::Core::systemAnswers() {
    if (mSystem != System::kUnknown) return mSystem == System::kAnswering;
    std::string why;
    if (chosenApi() == RtMidi::UNIX_JACK) {
        silenceJack();
        // The watcher lists the ports and hears of the server's end. A
        // server that is there but slow to answer (a loaded machine) fails
        // an open without the "cannot connect" mark: ask it again.
        // No client of ours is left at this point, so one opened after a
        // refusal may sweep the process's clients (see gJackSweeps).
        bool refused = false;
        for (int attempt = 0; !mWatcher && attempt < kOpenAttempts; ++attempt) {
            if (attempt) std::this_thread::sleep_for(std::chrono::milliseconds(kOpenRetryMs));
            jack_status_t status{};
            mWatcher = jack_client_open((mClientName + " Watch").c_str(), jack_options_t(JackNoStartServer), &status);
            refused = !mWatcher && !(status & JackServerFailed);
            if (status & JackServerFailed) break;
        }
        if (mWatcher) {
            mSweeps = gJackSweeps.load();
            mWatching = true;
            std::atomic<bool>* gone = newShutdownFlag();
            jack_on_info_shutdown(mWatcher, onJackShutdown, gone);
            mWatcherGone = gone;
            mSystem = System::kAnswering;
        }
        const char* env = getenv("JACK_DEFAULT_SERVER");
        const std::string server = std::string("server \"") + (env && *env ? env : "default") + "\"";
        if (refused)
            why = "the JACK server (" + server + ") turned the editor away";
        else
            why = "no MIDI system: " + std::string(access("/dev/snd/seq", F_OK) == 0 ? "" : "no ALSA sequencer, and ") +
                  "no JACK server is running (" + server + ")";
    } else if (access("/dev/snd/seq", R_OK | W_OK) == 0) {
        mSystem = System::kAnswering;
    } else {
        why = "no MIDI system: the ALSA sequencer /dev/snd/seq cannot be opened";
    }
    if (mSystem == System::kAnswering) return true;
    mSystem = System::kAbsent;
    if (!mAbsenceReported) LogLine("MIDI: %s; no port can be chosen", why.c_str());
    mAbsenceReported = true;
    return false;
}

// A port's client is named "<our name> In" or "<our name> Out"; JACK adds
// "-NN" to a name already taken (another editor in the same host).
bool IMidiPorts::Core::ours(const std::string& port) const {
    std::string client = port.substr(0, port.find(':'));
    size_t dash = client.rfind('-');
    if (dash != std::string::npos && dash + 1 < client.size() &&
        client.find_first_not_of("0123456789", dash + 1) == std::string::npos)
        client.resize(dash);
    return client == mClientName + " In" || client == mClientName + " Out";
}

// Entry 0 says "no port"; the system's ports follow in its order.
std::vector<std::string> IMidiPorts::Core::list(bool input) {
    std::vector<std::string> names{kNoDeviceName};
    if (mWatcher) {
        // Listed without a client of RtMidi's, which would be active and
        // woken at every period. Inputs come from the others' outputs.
        const char** ports =
            jack_get_ports(mWatcher, nullptr, JACK_DEFAULT_MIDI_TYPE, input ? JackPortIsOutput : JackPortIsInput);
        for (const char** p = ports; p && *p; ++p)
            if (!ours(*p)) names.emplace_back(*p);
        if (ports) jack_free(ports);
        return names;
    }
    RtMidi* lister = nullptr;
    guarded("listing ports", [&] {
        if (input) {
            if (!mInLister) mInLister = std::make_unique<RtMidiIn>(RtMidi::LINUX_ALSA, mClientName + " List");
            lister = mInLister.get();
        } else {
            if (!mOutLister) mOutLister = std::make_unique<RtMidiOut>(RtMidi::LINUX_ALSA, mClientName + " List");
            lister = mOutLister.get();
        }
        lister->setErrorCallback(printMidiError, nullptr);
        unsigned n = lister->getPortCount();
        for (unsigned i = 0; i < n; ++i) {
            std::string name = lister->getPortName(i);
            if (!ours(name)) names.push_back(std::move(name));
        }
    });
    return names;
}

bool IMidiPorts::Core::clientsGone() const {
    const std::atomic<bool>* watcherGone = mWatcherGone;
    return mLost || (watcherGone && *watcherGone) || (mWatching && mSweeps != gJackSweeps);
}

bool IMidiPorts::Core::linkSound() const {
    if (chosenApi() != RtMidi::UNIX_JACK) return true;
    if (clientsGone()) return false;
    if (!mWatcher) return !mIn && !mOut;
    // A call the server answers; libjack fails it at once while its mark
    // says the server is gone.
    char* uuid = jack_get_uuid_for_client_name(mWatcher, jack_get_client_name(mWatcher));
    if (!uuid) return false;
    jack_free(uuid);
    return true;
}

bool IMidiPorts::Core::keepLinked() {
    if (linkSound()) return true;
    LogLine("MIDI: the link to the JACK server broke; the editor's clients are made again");
    recoverFromLoss();
    return false;
}

void IMidiPorts::Core::ask(bool afresh) {
    if (clientsGone()) recoverFromLoss();
    // A system that did not answer before may answer now.
    if (afresh && mSystem == System::kAbsent) mSystem = System::kUnknown;
    const bool answers = systemAnswers();
    std::vector<std::string> ins = answers ? list(true) : std::vector<std::string>{kNoDeviceName};
    std::vector<std::string> outs = answers ? list(false) : std::vector<std::string>{kNoDeviceName};
    {
        std::lock_guard<std::mutex> guard(mListLock);
        mInList = std::move(ins);
        mOutList = std::move(outs);
        ++mAnswers;
    }
    if (!mWorker->heldUp()) mState = answers ? MidiSystem::kAnswering : MidiSystem::kAbsent;
}

bool IMidiPorts::Core::releaseOutput() {
    if (mSender.release(Clock::now() + mCallLimit)) return true;
    LogLine("MIDI: a send into \"%s\" did not end; its client is given up", mOutPort.c_str());
    abandonClient(false);
    return false;
}

void IMidiPorts::Core::closePort(bool input) {
    if (input) {
        mInPort.clear();
        mInOpen = mAccepting = false;
        if (!mIn || !mIn->isPortOpen()) return;
        settle();
        guarded("closing the input port", [&] { mIn->closePort(); });
    } else {
        if (!releaseOutput()) return;
        mOutPort.clear();
        if (!mOut || !mOut->isPortOpen()) return;
        settle();
        guarded("closing the output port", [&] { mOut->closePort(); });
    }
    changedGraph();
}

void IMidiPorts::Core::dropClient(bool input) {
    if (clientsGone()) {
        recoverFromLoss();
        return;
    }
    // Closing would ask a server that libjack takes for gone.
    if (mWatcher && !linkSound()) {
        abandonClient(input);
        return;
    }
    if (input) {
        if (!mIn) return;
        // The input only once its port is gone and the cycle under way passed.
        closePort(true);
        settle();
        mIn.reset();
    } else {
        if (!mOut || !releaseOutput()) return;
        settle();
        mOut.reset();
    }
    changedGraph();
}

bool IMidiPorts::Core::makeIn() {
    if (mIn) return true;
    guarded("creating the input client", [&] {
        const int api = chosenApi();
        mIn = api == RtMidi::UNIX_JACK ? IMidiPortsInput::makeJack(mClientName + " In", mQueue)
                                       : IMidiPortsInput::makeRtMidi(api, mClientName + " In", mQueue);
    });
    return mIn != nullptr;
}

bool IMidiPorts::Core::makeOut() {
    if (mOut) return true;
    guarded("creating the output client", [&] {
        const int api = chosenApi();
        mOut = api == RtMidi::UNIX_JACK ? IMidiPortsOutput::makeJack(mClientName + " Out")
                                        : IMidiPortsOutput::makeRtMidi(api, mClientName + " Out");
    });
    return mOut != nullptr;
}

bool IMidiPorts::Core::openPort(bool input, const std::string& name, unsigned choice, Call& call) {
    if (clientsGone()) recoverFromLoss();
    closePort(input);
    // Nobody waits for the port any more: it would only be closed again.
    if (call.abandoned()) {
        if (!input) mSender.failed(choice);
        dropClient(input);
        return false;
    }
    const std::string other = input ? mOutPort : mInPort;
    bool done = openWithRetries(input, name);
    // A link that broke on the way took the other port along.
    if (!other.empty() && (input ? mOutPort : mInPort).empty()) {
        if (openWithRetries(!input, other)) {
            publish(!input, input ? mOutOpenedFor : mInOpenedFor);
        } else {
            LogLine("MIDI: \"%s\" could not be opened again", other.c_str());
            mLost = true;
        }
        done = done && (input ? mIn && mIn->isPortOpen() : mOut && mOut->isPortOpen());
    }
    changedGraph();
    bool opened = false;
    const bool kept = call.commit([&] {
        opened = done;
        if (done) publish(input, choice);
    });
    if (!opened && !input) mSender.failed(choice);
    if (!kept || !done) dropClient(input);
    return opened;
}

bool IMidiPorts::Core::openWithRetries(bool input, const std::string& name) {
    // A loaded JACK server may turn a new client away for a moment: the
    // port, which was listed, is tried again with a fresh client.
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
        if (attempt) {
            dropClient(input);
            std::this_thread::sleep_for(std::chrono::milliseconds(kOpenRetryMs));
        }
        if (openOnce(input, name)) return true;
    }
    LogLine("MIDI: could not open \"%s\"", name.c_str());
    return false;
}

bool IMidiPorts::Core::openOnce(bool input, const std::string& name) {
    if (clientsGone()) recoverFromLoss();
    // A new client only beside the watcher (made again after a broken
    // link), and only while opening it leaves our others alone.
    if (!systemAnswers() || !keepLinked()) return false;
    const bool made = input ? makeIn() : makeOut();
    if (!keepLinked() || !made) return false;
    auto linked = [this] { return linkSound(); };
    bool opened = false;
    if (input) {
        mOpeningTag = ++mInTags;
        guarded("opening a port", [&] { opened = mIn->open(name, "in", mOpeningTag, linked); });
    } else {
        guarded("opening a port", [&] { opened = mOut->open(name, "out", linked); });
    }
    if (!keepLinked() || !opened) return false;
    (input ? mInPort : mOutPort) = name;
    return true;
}

void IMidiPorts::Core::publish(bool input, unsigned choice) {
    if (input) {
        mInOpenedFor = choice;
        std::lock_guard<std::mutex> guard(mChoiceLock);
        if (choice == mInChoice) {
            mAcceptTag = mOpeningTag;
            mInOpen = mAccepting = true;
        }
    } else {
        mOutOpenedFor = choice;
        IMidiPortsOutput* out = mOut.get();
        mSender.deliverTo(choice, [out](const IMidiPortsSender::Message& m) {
            guarded("sending", [&] { out->send(m.data(), m.size()); });
        });
    }
}

unsigned IMidiPorts::Core::choose(bool input, bool opening) {
    if (!input) return mSender.choose(opening);
    std::lock_guard<std::mutex> guard(mChoiceLock);
    mInOpen = mAccepting = false;
    return ++mInChoice;
}

bool IMidiPorts::Core::latest(bool input, unsigned choice) {
    if (!input) return mSender.latest(choice);
    std::lock_guard<std::mutex> guard(mChoiceLock);
    return choice == mInChoice;
}

void IMidiPorts::Core::tell(bool input, unsigned choice, unsigned epoch, const Chosen& chosen, bool opened) {
    if (!chosen) return;
    std::lock_guard<std::mutex> gate(mGateLock);
    if (epoch == mEpoch && latest(input, choice)) chosen(opened);
}

void IMidiPorts::Core::abandonClient(bool input) {
    if (input) {
        mInOpen = mAccepting = false;
        // The client may live on until libjack sweeps it; the input thread
        // drops what it still queued, by its tag.
        if (mIn) guarded("giving up the input client", [&] { mIn->stop(); });
        abandon(mIn);
        mInPort.clear();
    } else {
        // A send still inside the client keeps it: it is never freed. One
        // waiting for room there ends.
        if (mOut) guarded("giving up the output client", [&] { mOut->stop(); });
        mSender.release(Clock::now());
        abandon(mOut);
        mOutPort.clear();
    }
}

void IMidiPorts::Core::recoverFromLoss() {
    // The clients of a server that went away can do nothing more; new ones
    // are made when a list or a port is asked for.
    abandonClient(true);
    abandonClient(false);
    mWatcher = nullptr;  // gone with its server, and not to be closed either
    mWatcherGone = nullptr;
    mWatching = false;
    mSystem = System::kUnknown;
    mLost = false;
}

void IMidiPorts::Core::closeEverything() {
    if (clientsGone() || !linkSound()) {
        recoverFromLoss();
        return;
    }
    // The watcher first, before the other closings notify it; then the
    // input, then the output, each once the last change passed.
    if (mWatcher) jack_client_close(mWatcher);
    mWatcher = nullptr;
    mWatcherGone = nullptr;
    mWatching = false;
    mSystem = System::kUnknown;
    dropClient(true);
    dropClient(false);
    mInLister.reset();
    mOutLister.reset();
}

void IMidiPorts::Core::settle() {
    if (chosenApi() != RtMidi::UNIX_JACK) return;
    std::this_thread::sleep_until(mLastChange + std::chrono::milliseconds(kJackSettleMs));
}

// ---- The caller's side

void* IMidiPorts::deliveryMark() {
    static char mark;
    return &mark;
}

int IMidiPorts::chosenApi() {
    const char* env = getenv("HALVORAN_MIDI_API");
    if (env && strcmp(env, "alsa") == 0) return RtMidi::LINUX_ALSA;
    if (env && strcmp(env, "jack") == 0) return RtMidi::UNIX_JACK;
    return access("/dev/snd/seq", F_OK) == 0 ? RtMidi::LINUX_ALSA : RtMidi::UNIX_JACK;
}

IMidiPorts::IMidiPorts(std::string clientName, std::function<void(const uint8_t*, size_t)> onInput)
    : mCore(std::make_shared<Core>(std::move(clientName), std::move(onInput))) {}

IMidiPorts::~IMidiPorts() {
    closeAll();
    {
        std::lock_guard<std::mutex> gate(mCore->mGateLock);
        mCore->mOnInput = nullptr;
    }
    mCore->stopInputThread();
    if (mCore->mWorker->busy() || mCore->mSender.sending()) {
        keepThisCodeLoaded();
        finishAtExit([weak = std::weak_ptr<Core>(mCore), until = mClosingEnds.load()] {
            if (std::shared_ptr<Core> core = weak.lock()) core->mWorker->waitIdle(until);
        });
    }
}

void IMidiPorts::prefetchNames() {
    std::lock_guard<std::mutex> guard(mCore->mFirstLock);
    if (mCore->mFirstAsk) return;
    mAsked = true;
    mCore->mFirstAsk = mCore->post([](Core& core, Call&) { core.ask(false); });
    mCore->mFirstDeadline = Clock::now() + kFirstAnswerPatience;
}

void IMidiPorts::awaitFirstAnswer() {
    prefetchNames();
    std::shared_ptr<Call> ask;
    Clock::time_point deadline;
    {
        std::lock_guard<std::mutex> guard(mCore->mFirstLock);
        ask = mCore->mFirstAsk;
        deadline = mCore->mFirstDeadline;
    }
    mCore->mWorker->wait(ask, deadline);
}

std::vector<std::string> IMidiPorts::current(bool input) const {
    std::lock_guard<std::mutex> lists(mCore->mListLock);
    return input ? mCore->mInList : mCore->mOutList;
}

std::vector<std::string> IMidiPorts::inNames() {
    awaitFirstAnswer();
    return current(true);
}

std::vector<std::string> IMidiPorts::outNames() {
    awaitFirstAnswer();
    return current(false);
}

std::vector<std::string> IMidiPorts::refresh(bool input) {
    awaitFirstAnswer();
    // While the system does not answer, asking again would only queue up.
    if (!mCore->mWorker->heldUp()) {
        mAsked = true;
        mCore->mWorker->wait(mCore->post([](Core& core, Call&) { core.ask(true); }), Clock::now() + mCore->mCallLimit);
    }
    return current(input);
}

std::vector<std::string> IMidiPorts::refreshInNames() { return refresh(true); }

std::vector<std::string> IMidiPorts::refreshOutNames() { return refresh(false); }

bool IMidiPorts::lost() const { return mCore->clientsGone(); }

MidiSystem IMidiPorts::state() const { return mCore->mState; }

// What a choice's caller may wait for.
class IMidiPorts::Choice {
public:
    int found = 0;
    std::shared_ptr<Call> call;
    std::atomic<bool> opened{false};
};

std::shared_ptr<IMidiPorts::Choice> IMidiPorts::startChoice(bool input, int index, const char* name, Chosen chosen) {
    auto choice = std::make_shared<Choice>();
    const std::vector<std::string> names = input ? inNames() : outNames();
    choice->found = index == 0 ? 0 : findListed(names, name);
    std::string port = choice->found ? names[choice->found] : std::string();
    if (input && !port.empty()) mCore->startInputThread();
    const unsigned number = mCore->choose(input, !port.empty());
    const unsigned epoch = mCore->mEpoch;
    mAsked = true;
    choice->call = mCore->post(
        [input, number, epoch, port = std::move(port), choice, chosen = std::move(chosen)](Core& core, Call& call) {
            if (port.empty()) {
                core.dropClient(input);
                return;
            }
            choice->opened = core.openPort(input, port, number, call);
            core.tell(input, number, epoch, chosen, choice->opened);
        });
    return choice;
}

int IMidiPorts::choose(bool input, int index, const char* name, Chosen chosen) {
    return startChoice(input, index, name, std::move(chosen))->found;
}

void IMidiPorts::setPort(bool input, int& index, const char* name) {
    std::shared_ptr<Choice> choice = startChoice(input, index, name, nullptr);
    const bool ended = mCore->mWorker->wait(choice->call, Clock::now() + mCore->mCallLimit);
    index = ended && choice->opened ? choice->found : 0;
}

void IMidiPorts::setIn(int& index, const char* name) { setPort(true, index, name); }

void IMidiPorts::setOut(int& index, const char* name) { setPort(false, index, name); }

bool IMidiPorts::inOpen() const { return mCore->mInOpen; }

bool IMidiPorts::outOpen() const { return mCore->mSender.open(); }

void IMidiPorts::closeAll() {
    mCore->choose(false, false);
    mCore->choose(true, false);
    {
        // A callback under way ends before this returns, and none comes after.
        std::lock_guard<std::mutex> gate(mCore->mGateLock);
        ++mCore->mEpoch;
    }
    // One chance in all: a later call finds nothing more asked.
    if (!mAsked.exchange(false)) return;
    const Clock::time_point deadline = Clock::now() + std::min<Clock::duration>(kClosePatience, mCore->mCallLimit);
    mClosingEnds = deadline;
    mCore->mWorker->wait(mCore->post([](Core& core, Call&) { core.closeEverything(); }), deadline);
}

bool IMidiPorts::send(const uint8_t* bytes, size_t size) {
    if (!bytes || size == 0) return false;
    switch (mCore->mSender.send(bytes, size)) {
        case IMidiPortsSender::Sent::kQueued:
            mCore->mOverflowTold = false;
            return true;
        case IMidiPortsSender::Sent::kFull:
            if (!mCore->mOverflowTold.exchange(true))
                LogLine("MIDI: the output port does not take messages as fast as they come; some are dropped");
            return false;
        case IMidiPortsSender::Sent::kNoPort:
            break;
    }
    return false;
}

IMidiPorts::InputFigures IMidiPorts::inputFigures() const {
    const IMidiInputQueue::Figures f = mCore->mQueue->figures();
    InputFigures out;
    out.calls = f.calls;
    out.longestCallNs = f.longestNs;
    std::copy(std::begin(f.underPowerOfTwoNs), std::end(f.underPowerOfTwoNs), std::begin(out.callsUnderPowerOfTwoNs));
    out.dropped = mCore->mDroppedFull;
    out.droppedSysEx = mCore->mDroppedSysEx;
    out.droppedTooLong = mCore->mDroppedTooLong;
    out.droppedUnread = mCore->mDroppedUnread;
    out.handedOn = mCore->mHandedOn;
    return out;
}
