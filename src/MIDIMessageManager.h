#pragma once
// The instrument side of the editor: it takes every message from the
// instrument's MIDI input and turns it into panel and parameter updates,
// holds the two request buffers that collect program dumps for the
// librarian, and owns the job object with its three worker threads
// (transfers, clock start and stop, continuous clock).
//
// Flags shared with the MIDI input thread, the plug-in and the jobs are
// atomics, written by one side and polled by the other.
#include <Poco/Thread.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "framework/IMidiPortsSender.h"

#include "src/PatchLibrarianRequests.h"
#include "src/MIDIMessageSender.h"

class Halvoran;
class IControl;
class IGraphics;
class PatchLibrarian;
class PatchManager;
struct IMidiMsg;
struct ISysEx;

class MIDIMessageManager {
public:
    enum EThread { kTransferThread = 0, kClockControlThread = 1, kContinuousClockThread = 2, kNumThreads = 3 };

    MIDIMessageManager(Halvoran* plug, PatchManager* patchManager, PatchLibrarian* librarian, IGraphics* graphics);
    // Ends the clock, asks running jobs to cancel and waits for every worker
    // before the job object goes.
    ~MIDIMessageManager();
    // Ends the clock, cancels the running jobs and cuts their pauses short;
    // no job starts after it. The destructor's joins then wait for little.
    void stopJobs();
    MIDIMessageManager(const MIDIMessageManager&) = delete;
    MIDIMessageManager& operator=(const MIDIMessageManager&) = delete;

    // The start rule: when the thread is running, nothing happens (no code,
    // no argument is written) and the result is false. Otherwise setArgs
    // writes the job's arguments into the sender (and any flag that is set
    // only when the start happens), the code is written and the thread
    // started with the sender. From the render thread, a start that would
    // wait for another start, or for a wait for the job's end, is dropped
    // as one on a running thread is.
    bool startJob(EThread thread, uint32_t code, const std::function<void(MIDIMessageSender&)>& setArgs = {});
    bool isRunning(EThread thread) const;
    // Waits up to timeoutMs for the thread's job to end and joins the
    // thread, so that all the job wrote is settled for the caller; false
    // while it still runs.
    bool waitForEnd(EThread thread, int timeoutMs);
    Poco::Thread& thread(EThread which);
    // Which worker the calling thread is, or -1.
    int currentWorker() const;

    // Arms (messages emptied, name "", active) or disarms the single-program
    // request of the librarian.
    void armLibraryPatchRequest(bool on);
    // Arms the all-programs request alone.
    void armAllPatchesRequest();
    // Disarms both requests and ends a bank dump's request mode: nothing is
    // collected for the librarian any more.
    void disarmLibrarianRequests();
    // Arms the single request and starts kJobRequestSinglePatch.
    void sendSinglePatchRequestSysexFromLibrarian(bool tempProgram);

    // The panel's Cancel: ends the request whose overlay the panel shows,
    // else the transfer started last. Any thread.
    void cancelTransfer();
    // The request whose overlay, with its Cancel button, the panel shows;
    // 0 while none. The GUI thread sets it as it shows or hides the overlay.
    std::atomic<uint64_t> overlayRequest{0};

    // ---- The programs that a request-all asks for, one after another.
    // Each is for one slot, and a ticket marks what is sent for it. The
    // instrument answers the requests on its channel in order, so a program
    // dump answers the oldest request on its channel that left before it
    // and has no answer yet: it goes to that request's slot when the program
    // is still asked for, and is dropped when the program was given up. A
    // request that the instrument never answers would take the answer of a
    // later one; a global data request sent ahead of the next program (a
    // fence) clears them, as its answer comes after any of theirs. The next
    // program waits for that answer, so no program request stands between
    // two fences.
    // Opens the next program, for slot; the one before is over. The ticket
    // is the transfer job's to hold while it sends for the program.
    std::shared_ptr<IMidiPortsSender::Ticket> askProgram(int slot);
    // The channel (0..15) whose fence the next program sends first, or -1:
    // the one the instrument answered on last (else the held one), when a
    // request on it still waits for an answer.
    int channelToFence(int heldChannel);
    // The program asked last took its answer.
    bool programAnswered();
    // How many fences took their answer, for a job to wait on.
    uint64_t fencesAnswered() const;
    // The program asked last is over, answered or given up: what of it still
    // waits to go out is withdrawn.
    void programOver();
    // A request-all begins (on) or ends: nothing asked before counts any
    // more. While it runs, nothing the instrument sends goes anywhere but to
    // the programs asked for (a whole bank's dump aside).
    void askPrograms(bool on);

    // ---- Incoming, from the instrument (or the host's stream)
    void ProcessMidiMsgFromDevice(IMidiMsg* msg);
    void ProcessMidiMsgFromDAW(IMidiMsg* msg, int);
    void ProcessSysEx(ISysEx* msg, bool fromDevice);
    // Value to a control from the instrument (the parameter's minimum taken
    // off), then the timbre and common mode refreshes asked for.
    void processSysExToUI(IControl* control, int value, bool refreshTimbre, bool refreshCommonMode);
    // The control bound to the four SysEx lookup bytes takes the value.
    void getNormalControl(int b3, int b4, int b5, int b6, int value, bool);
    // Local control (CC 86) and the legacy map: moves the first control found
    // for the address and keeps the Local Control mirror.
    void getLegacyCCparam(int cc, int key, int value, bool refresh, bool mapped);
    // A program dump onto the panel, honouring the section locks.
    void sysexPartPatchParse(ISysEx* msg);
    // A global dump onto the panel; ends the initialization.
    void sysexSettingsParse(ISysEx* msg);
    // Whether value differs from 1.
    bool valueFlipper(int value);

    // ---- The program randomizer
    // Seeds the system generator with the time of day in seconds and refills
    // the plug-in's random table.
    void randomGenerator();
    // The table entry at slot folded into the parameter's range.
    int randomizer(int paramIdx, int slot);
    // New values for one timbre's (0 or 1) synthesis parameters, section by
    // section, skipping locked sections.
    void randomizePatchSettings(int timbre);

    // ---- Fields
    MIDIMessageSender* sender;
    Halvoran* plug;
    PatchManager* patchManager;
    IGraphics* graphics;
    PatchLibrarian* patchLibrarian;
    // Armed and disarmed under mRequestLock, which the MIDI input holds while
    // it takes a message into one and hands the program to the GUI thread:
    // a request disarmed is then sure to have handed over all it took.
    LibraryPatchRequest libraryPatchRequest;
    LibraryPatchRequestAll libraryPatchRequestAll;
    int nrpnMsb = 0;
    int nrpnLsb = 0;
    // While set, incoming parameter-change and mode-change SysEx is ignored.
    std::atomic<bool> controlDataBlocked{false};
    // A program dump for the panel is expected.
    std::atomic<bool> awaitingPanelDump{false};
    // At the end of ProcessSysEx, the plug-in re-runs its handler for
    // kTimbreSelect.
    std::atomic<bool> timbreRefreshPending{false};
    // The instrument answered the current request.
    std::atomic<bool> replySeen{false};
    std::atomic<bool> legacyDataEntry{false};
    // 1 until the first short message from the instrument.
    std::atomic<int> fromHost{1};
    std::atomic<uint32_t> lastProgramChangeTick{0};
    Poco::Thread transferThread;
    Poco::Thread clockControlThread;
    Poco::Thread continuousClockThread;

private:
    enum LibrarianRoute { kNotForTheLibrarian, kLibrarianTookIt, kLibrarianTookBank };
    // The librarian's requests take a message first: a single request, or
    // the all-programs request one dump per slot (or a whole bank dump). What
    // they took goes to the librarian on the GUI thread.
    LibrarianRoute routeToLibrarianRequest(const uint8_t* data, int size);
    // The same under mRequestLock; work is what the GUI thread is to do.
    LibrarianRoute takeForLibrarian(const uint8_t* data, int size, std::function<void()>& work);
    // A request-all's program is asked for or owed an answer on the
    // message's channel: the message is taken for it (work stores it) or
    // dropped. Under mRequestLock.
    bool takeAskedProgram(const uint8_t* data, int size, std::function<void()>& work);
    // The instrument's channel becomes the editor's: kGlobalMIDICha and the
    // device byte.
    void takeOverChannel(int deviceByte);
    // A dump longer than its format: the flag the device enquiry reports.
    void raiseDataMismatch();
    void applyParameterChange(int lo, int hi, int v, int h);
    // value / (max - min) to the control, with the minimum taken off first
    // when fromMinimum.
    void valueToControl(IControl* control, double value, bool fromMinimum = false);
    // False when the message ends the call (timbre selection).
    bool controlChangeFromDevice(IMidiMsg* msg);
    void selectTimbreFromDevice(int v);
    void programChangeFromDevice(IMidiMsg* msg);
    void selectLibrarianSlot(int slot);

    // Guards the arming of the two requests and the hand-over of what they
    // took. Lock order: a start's mStartMutex, then this, then a request's
    // own lock or the GUI queue's. Never held while the librarian's work
    // runs (on the GUI thread that work is done once it is let go).
    std::mutex mRequestLock;
    struct AskedProgram {
        uint64_t id = 0;
        int slot = 0;
        bool open = true;
        bool answered = false;
    };
    // A request that left and has no answer yet, in the order they left: a
    // program request (for the program `asked`) or a fence.
    struct Unanswered {
        uint64_t asked = 0;
        int channel = 0;
        bool fence = false;
    };
    // Under mRequestLock.
    bool mAskingPrograms = false;
    std::deque<AskedProgram> mAsked;
    std::deque<Unanswered> mUnanswered;
    uint64_t mAskedCount = 0;
    // The program asked last took its answer.
    std::atomic<bool> mAskedAnswered{false};
    // The channel the last answer taken came on, or -1.
    int mAnswerChannel = -1;
    // Counts the fences answered; written under mRequestLock.
    std::atomic<uint64_t> mFencesAnswered{0};
    // A fence was answered: the job is woken once the lock is let go. Under
    // mRequestLock.
    bool mFenceWake = false;
    // The ticket of the program asked last; the transfer job's.
    std::shared_ptr<IMidiPortsSender::Ticket> mAskedTicket;
    AskedProgram* askedProgram(uint64_t id);

    // Starts on one thread never race each other. A start holds it across
    // its setArgs and waitForEnd across 10 ms steps: the render thread only
    // tries it.
    std::mutex mStartMutex[kNumThreads];
    // A thread that was started must be joined before it starts again, so
    // the finished one's resources go.
    bool mJoinOwed[kNumThreads] = {false, false, false};
    bool mStopping = false;
};
