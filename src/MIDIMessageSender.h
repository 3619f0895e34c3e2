#pragma once
// The MIDI manager's job object: one Poco::Runnable that all three worker
// threads run. A starter writes the job code and the job's arguments, then
// starts a thread; run() performs the job chosen for the thread it runs on.
// Jobs pace themselves with millisecond sleeps and poll the plug-in's and the
// manager's flags (answered, cancel) between them; the only lock they take is
// the manager's, briefly, to arm and disarm the librarian's requests. They
// never touch the librarian's banks: what they send is copied in at the start,
// and what they have for it goes to the GUI thread.
#include <Poco/Runnable.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

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
    // Ends early once leave() was called, so a quit never waits out a job's
    // polls of an instrument that does not answer.
    void pause(int ms);
    // The same without the tests' shortening.
    void rest(int ms);
    // Cancels the running job and cuts its pauses short, for good.
    void leave();
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
    // armed stays armed, and the panel says what was stored.
    void endLibrarianRequest(bool single);

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
    // A job clears it as it begins, to the value of leaving.
    std::atomic<bool> cancelRequested{false};
    // Set once by leave(); the pauses wait on the lock's condition for it.
    std::atomic<bool> leaving{false};
    std::mutex mPauseLock;
    std::condition_variable mPauseWake;
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
};
