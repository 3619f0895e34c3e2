#pragma once
// The MIDI manager's job object: one Poco::Runnable that all three worker
// threads run. A starter writes the job code and the job's arguments, then
// starts a thread; run() performs the job chosen for the thread it runs on.
// Jobs pace themselves with millisecond waits, which a cancel of their
// request ends at once, and poll the plug-in's and the manager's flags
// (answered) between them; the only locks they take are the manager's and
// their waits', briefly. They
// never touch the librarian's banks: what they send is copied in at the start,
// and what they have for it goes to the GUI thread.
#include <Poco/Runnable.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "framework/IMidiPortsSender.h"
#include "src/InstrumentFrame.h"
#include "src/PatchLibrarianRecords.h"

class Halvoran;
class MIDIMessageManager;
class PatchManager;

class MIDIMessageSender : public Poco::Runnable {
public:
    // Job codes and the thread each runs on.
    enum EJob : uint32_t {
        kJobSendArrangement = 0,     // transfers: the current program to the instrument
        kJobSendGlobal = 1,          // transfers: the global data
        kJobSendLibrarianPatch = 2,  // transfers: one librarian slot
        kJobStoreAllPatches = 3,     // transfers: a whole bank, stored program by program
        kJobRequestArrangement = 4,  // transfers: current program and global data
        kJobRequestPart = 5,         // transfers: the current program
        kJobRequestSinglePatch = 6,  // transfers: one program into the librarian
        kJobRequestAllPatches = 7,   // transfers: 128 programs into the librarian
        kJobInitClassicPatch = 8,    // transfers: the init program
        kJobDeviceIdEnquiry = 9,     // transfers: which channel the instrument is on
        kJobNone = 10,
        kJobStartClock = 11,       // clock control: MIDI Start
        kJobContinuousClock = 12,  // continuous clock: timing clock ticks
        kJobStopClock = 13,        // clock control: MIDI Stop
    };

    // ---- The frame (InstrumentFrame.h), also under the sender's name
    using EFunction = ::EFunction;
    using enum ::EFunction;
    static constexpr auto& requestBody = ::requestBody;
    static constexpr auto& writeRequestBody = ::writeRequestBody;
    static constexpr auto& putFrameHeader = ::putFrameHeader;
    static constexpr auto& frameFunction = ::frameFunction;
    static constexpr auto& deviceByteFor = ::deviceByteFor;

    MIDIMessageSender(MIDIMessageManager* manager, PatchManager* patchManager, Halvoran* plug);
    ~MIDIMessageSender() override;

    // Runs the job chosen for the calling thread.
    void run() override;
    // Dispatch by code; codes 10 and above 13 do nothing.
    void runJob(uint32_t code);

    // ---- The jobs
    void sendArrangementToDevice(bool applyLocally);
    void sendGlobalToDevice();
    // The global dump from the panel's values, sent, then the instrument's
    // pause; the progress overlay is left as it is.
    void writeGlobalDump();
    void sendPatchToDeviceFromLibrarian(LibrarianPatch* patch, int, int slot);
    // Stores programsToStore, slot by slot.
    void storeAllPatchesToDeviceFromLibrarian(int lowerPane, int);
    void sendActiveArrangementRequestSysex(bool withProgram);
    void sendPartRequestSysex(bool toPanel);
    void sendSinglePatchRequestSysex(bool tempProgram);
    void sendAllPatchRequestSysex();
    void initClassicPatch(bool onlyDuringParameterChange);
    void sendDeviceIdEnquiry();
    void startMIDIClockOutput();
    void sendContinuousMIDIClock(int);
    void stopMIDIClockOutput();
    // _clockRunning := !stop; a stop wakes the sleeping clock thread.
    static void resetContinuousClock(bool stop);
    // The clock's tempo in whole BPM: the host's while kOverrideTempo is on,
    // else the "tempoValues" entry of kArpTempo; 0 when there is none of at
    // least 1 BPM.
    int clockTempo();

    // Builds the current program from the parameters into a 297-byte dump.
    void buildArrangementDump(unsigned char* dump);
    // Writes a program name into the name bytes of a 297-byte dump: at most
    // 12 characters, the rest blanks, and a 0 after a name of 6 or fewer.
    static void putProgramName(unsigned char* dump, const std::string& name);

    // ---- Pacing and waiting of the transfer jobs
    // Every pause of the jobs goes through here, divided by pacingDivisor:
    // tests shorten long sequences with it, the editor leaves it at 1.
    static std::atomic<int> pacingDivisor;
    // Waits ms, or less: on the transfer thread a cancel of its request ends
    // the wait, and on any thread leave() does, so neither a Cancel nor a
    // quit waits out a job's polls of an instrument that does not answer.
    // True when it was cut short so.
    bool pause(int ms);
    // The same without the tests' shortening.
    bool rest(int ms);
    // The instrument's time between two messages that belong together (a
    // dump and its write request): only leave() ends it early.
    void pace(int ms);
    // Waits up to ms (shortened as pause is) until done() holds, which it
    // is asked whenever the pauses are woken (wakePauses); a cancel or
    // leave() ends it as it ends a pause. True when done() held.
    bool waitUntil(int ms, const std::function<bool()>& done);
    // Wakes the waits, to look at what they wait for again.
    void wakePauses();
    // Cancels the running job and cuts its pauses short, for good.
    void leave();

    // ---- Requests and their cancel. Each start of a transfer job opens a
    // request of a number of its own; a cancel is for one request, so a job
    // that starts later is neither ended by it nor clears it.
    // On a start of the transfer thread: the new request's number.
    uint64_t openRequest();
    uint64_t latestRequest() const { return mLatestRequest.load(); }
    // Any thread: that request ends as soon as its job looks, and its job's
    // waits end at once.
    void cancel(uint64_t request);
    bool isCancelled(uint64_t request) const;
    // The transfer job's own request was cancelled, or the editor leaves.
    bool cancelRequested() const;
    // Sends the request body (42 3g 58 code) with a device byte.
    void sendRequest(int deviceByte, EFunction code);
    // The channel sweep: the request with the device bytes 30..3F in turn,
    // each followed by a pause of waitMs; with statusPerChannel the status
    // shows the channel (1..16) first. Stops once the instrument answered or
    // a cancel arrived; the result is true for a cancel. The held device byte
    // does not change.
    bool sweepChannels(EFunction code, int waitMs, bool statusPerChannel);
    // The polls of kJobRequestPart and kJobRequestSinglePatch: 35 pauses of
    // t with a sweep at the 30th, "CONNECTION TIMED OUT!" at the 35th; a
    // cancel ends them failed.
    void pollProgramRequest(int t);
    // Selects a slot of the upper pane in the librarian and in its view.
    void selectUpperSlot(int slot);
    // The slot the librarian view's cursor is on.
    int activeLibrarianSlot() const;
    // The end of a request into the librarian, however it ended: nothing it
    // armed stays armed, and the panel says what was stored, and which of
    // the first `asked` slots a request-all asked for stayed empty.
    void endLibrarianRequest(bool single, int asked = 0);
    // One program of a request-all into its slot: its program change and
    // request under a ticket of their own, then the wait for its answer.
    // True when it came.
    bool requestProgram(int program, int t);
    // Before a program of a request-all: fences until no request before
    // them waits for an answer (or the instrument leaves one unanswered).
    void fenceOff(int t);
    // The polls for the program's answer, from when its request left.
    bool awaitProgram(const IMidiPortsSender::Ticket& ticket, int t);

    // ---- Fields
    // The code written by the last start, whichever thread it was for.
    std::atomic<uint32_t> jobCode{0};
    // The code of each thread's job, so that starts on two threads at once
    // never swap their jobs.
    uint32_t threadJobCode[3] = {kJobNone, kJobNone, kJobNone};
    LibrarianPatch* libraryPatch = nullptr;
    // The jobs' own copies of the librarian programs they send, given at the
    // start: the banks are the GUI thread's.
    LibrarianPatch patchToSend;
    std::vector<LibrarianPatch> programsToStore;
    int intArg1 = 0, intArg2 = 0, intArg3 = 0;
    bool toPanel = false;
    bool tempProgram = false;
    bool applyLocally = false;
    bool initArg = false;
    std::atomic<bool> failed{false};
    // Set once by leave(); the pauses wait on the lock's condition for it,
    // as for a cancel.
    std::atomic<bool> leaving{false};
    std::mutex mPauseLock;
    std::condition_variable mPauseWake;
    // The latest request opened, and the latest one cancelled: requests
    // open in increasing order, so every request up to it counts as
    // cancelled. Written under mPauseLock, read anywhere.
    std::atomic<uint64_t> mLatestRequest{0};
    std::atomic<uint64_t> mCancelledUpTo{0};
    int clockArgument = 0;
    PatchManager* patchManager;
    Halvoran* plug;
    MIDIMessageManager* manager;

    // The MIDI clock, process-wide.
    static std::atomic<bool> _clockRunning;
    static std::atomic<uint32_t> clockInterval;
    // How long before each tick the clock thread stops sleeping and watches
    // the clock (none as built: it sleeps up to the tick); an interval or
    // more makes it a pure busy wait.
    static std::atomic<int64_t> clockSpinWindowNs;

private:
    // The waits of pause, rest and waitUntil, for ms as given.
    bool waitFor(int ms, const std::function<bool()>& done);
};
