#pragma once
// The editor plug-in: start-up and tear-down, the handlers of parameter
// changes, the MIDI send helpers, the incoming-message entry points, the
// job starters, the librarian and progress helpers, the lookups, the audio
// callback and the saved state.
//
// Flags that several threads touch (host, main, render, MIDI input and the
// MIDI manager's workers) are atomics: each is written by one side and
// polled by the other, never guarded by a lock.
#include <atomic>
#include <bitset>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "framework/GuiThreadQueue.h"
#include "framework/IMidiQueue.h"
#include "framework/IUnitAU.h"
#include "src/DataFolder.h"
#include "src/HalvoranParams.h"
#include "src/InstrumentFrame.h"
#include "src/Settings.h"

class BankEditPopupMenu;
class ControlLayer;
class IControl;
class IGraphics;
class ITextControl;
class LeftPatchPopupMenu;
class LibrarianViewControl;
class MIDIMessageManager;
class PatchLibrarian;
class PatchManager;
class RightPatchPopupMenu;
class RightSearchPopupMenu;
class UIConfigManager;
struct ControlAction;
struct LibrarianPatch;
struct PatchFile;

class Halvoran : public IUnitAU {
public:
    // The panel at scale 1.0.
    static constexpr int kGUIWidth = 1200;
    static constexpr int kGUIHeight = 720;
    static constexpr int kGUIFrameRate = 25;
    // The parameters 0..406 that the saved state holds by value.
    static constexpr int kNumStateParams = 407;

    // What the plug-in tells the host of itself.
    static IUnitConfig unitConfig();

    // The editor as a host makes it: the whole start-up.
    explicit Halvoran(const IUnitInstanceInfo& info);
    // The plug-in object without its start-up: the parameter table and the
    // members, nothing built, no panel, no MIDI manager. Single components
    // are tested on it.
    Halvoran();
    ~Halvoran() override;

    // ---- Parameter changes
    // A change made on the panel (or by the host).
    void OnParamChange(int paramIdx) override;
    // A change that came from the instrument: no control change goes back.
    void OnParamChange2(int paramIdx) override;
    // The one place where a changed synth parameter becomes MIDI.
    void processControlAction(ControlAction* action, int paramIdx, double value);

    // ---- Audio callback and reset
    void ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) override;
    void Reset() override;

    // ---- Saved state
    bool SerializeState(ByteChunk* chunk) override;
    int UnserializeState(ByteChunk* chunk, int startPos) override;
    bool SerializeState2(ByteChunk* chunk, bool withPatches);
    int UnserializeState2(ByteChunk* chunk, int startPos, bool withPatches);
    // Where a state written by SerializeState2 that starts at startPos ends,
    // when the chunk holds all of it; -1 otherwise.
    int stateEnd(const ByteChunk* chunk, int startPos, bool withPatches) const;

    // ---- The view
    void* OpenView(void* parentView, int* width, int* height) override;
    void CloseView(void* view) override;

    // ---- Sending
    void MIDIOutRoutingSwitch(IMidiMsg* msg);
    void sendMidiMsgAndLog(IMidiMsg* msg);
    void AllSoundsOff();
    void checksumCheckAndSend(unsigned char* bytes, int length);
    void SendProgramChangeCommand(int program);
    int getTimerValue();
    // The global MIDI channel, the integer part of kGlobalMIDICha.
    int globalMIDIChannel() const;

    // ---- The MIDI ports
    // A port menu is opening: its list is asked afresh from the MIDI system.
    // The open port keeps its entry; one that went away is no longer chosen.
    void refreshMIDIPortMenu(int paramIdx);
    // When the MIDI system went away under an open port: the ports count as
    // closed, the selectors show none, the status line says so. The port
    // names stay in the saved state until the user chooses again.
    void noticeLostMIDIPorts();

    // ---- Incoming messages
    void ProcessMidiMsg(IMidiMsg* msg, bool fromDevice) override;
    void ProcessSysEx(ISysEx* msg, bool fromDevice) override;

    // ---- Job starters
    void sendSysExInitialization();
    void sendPatchToDeviceFromLibrarian(int slot, int pane);
    void SendSingleProgramFromLibrarian(bool store);
    void SendAllProgramsFromLibrarian();
    void storeAllPatchesToDeviceFromLibrarian(int lowerPane, int second);
    void sendPartDataBackToHardware(int);
    // The panel's program and data to the instrument (kJobSendArrangement),
    // incoming MIDI held back meanwhile; nothing while the output is not
    // ready or another transfer runs.
    void pushCurrentDataToHardware();

    // ---- Librarian and progress
    // Any thread: the veil over the panel while a transfer runs; hiding it
    // shows the current page again.
    void DisplayProcessingIndicator(bool show);
    void SetLibrarianRequestActive(bool active);
    void SetLibrarianStatusUnsaved(bool unsaved);
    // Any thread: work for the panel and the librarian, done on the GUI
    // thread in the order handed over (at once when called there).
    void onGuiThread(std::function<void()> work);
    static bool isGuiThread();
    // The calling thread is in the audio callback, which takes no lock that
    // the GUI thread holds and touches no control.
    static bool onRenderThread();
    // Any thread: the parameter's plain value is set at once, and its
    // controls show it on the GUI thread. What is asked before that runs,
    // for any parameters, is done in one call: a flood asks for no more.
    void setParameterLater(int paramIdx, double plainValue);
    // Any thread: the pages follow kMainTab (mainTab) or the timbre layers
    // the selected timbre, on the GUI thread, both read when it runs; asked
    // again before that, it runs once.
    void switchTabsLater(bool mainTab);
    // GUI thread: a program a request collected, into slot of the upper
    // bank; whole when it is a complete program.
    void storeReceivedProgram(const LibrarianPatch& program, int slot, bool whole);
    // How a librarian request ended.
    enum class RequestEnd { kCompleted, kCancelled, kTimedOut };
    // Any thread, at the start and at the end of a request into the
    // librarian (after its records are disarmed): the status line then says
    // what was stored and where; a bank that took programs opens the save
    // row. single: one program was asked for; asked: of a request-all, the
    // slots from 0 that were asked for, the empty ones of which it names.
    void librarianRequestBegins();
    void librarianRequestEnds(RequestEnd end, bool single, int asked = 0);
    // GUI thread: a whole bank's dump the all-programs request took, read
    // into the upper bank's slots while that request lasts.
    void readRequestedBankDump(const std::vector<uint8_t>& dump);
    // GUI thread: the panes refilled from their banks (0 upper, 1 lower, 2
    // both and the view redrawn).
    void updatePatchLibrarianView(int which);
    void setLibrarianViewDirty();
    // The bank folder: the data folder followed by "Patches", no trailing
    // separator.
    std::string getPatchesFolderStr() const { return halvoranDataFolder() + "Patches"; }
    // The pane selectors' texts from the banks: a file name of 50 characters
    // or more shows as its first 44, "~." and its extension in lower case.
    void ResetPatchSelectionMenus();
    static std::string bankListText(const std::string& fileName);
    // Rescans the bank folder when reload is set, then selects the first
    // bank of each pane and rebuilds the selectors and the view.
    void patchTypeChanged(int, int, bool reload);
    void refreshPopUpMenus();
    // The bank choosers of both panes and the librarian's main menu, each on
    // its own hidden layer; the tab switch shows them with the page.
    void buildLibrarianMenus();
    // The slot menus of the librarian view, run at once at the right click.
    void showFileEditMenu(int x, int y);
    void showFileCopyMenu(int x, int y);
    // The librarian page is shown: drags are possible and the upper pane is
    // refilled; newly shown, the upper slot of kCurrentPatch is selected.
    void librarianPageShown(bool newlyShown);
    // Selects a slot of one pane in the librarian view (when there is one),
    // moving its key cursor there too when asked.
    void selectLibrarianViewSlot(int pane, int slot, bool moveCursor);
    // The slot the librarian view's arrow keys move from, 0 while it is on
    // no slot (the librarian's upper slot when there is no view).
    int librarianKeyCursor() const;
    // Opens the data folder in the desktop's file manager; when it cannot be
    // opened (the opener cannot start, or fails within a few seconds), the
    // status line says so and names the folder. The panel is not held
    // meanwhile.
    void OpenDataDirectory();
    // REFRESH: the banks read again from the bank folder; refused while the
    // save row is open, as the bank arrows are.
    void refreshFolders();

    // ---- The edited bank and the save row
    // Writes the upper bank back to its own file ("Save (Overwrite current
    // bank)", OVERWRITE); a bank that has no file yet asks for a name.
    void saveUpperBank();
    // Asks for a name and writes the upper bank there, raw or as a Standard
    // MIDI File; the pane then shows the saved bank, listed at once.
    void saveUpperBankAs(bool asMid);
    // DISCARD: the upper bank holds again what its file holds.
    void discardBankEdits();
    // KEEP: the changes stay in memory, not saved.
    void keepBankEdits();
    // The edited state ends: kBankEditUnsaved 0, the save row hidden, the
    // upper bank chooser shown again with the page.
    void endBankEdit();
    // The bank lists changed in memory: selectors, choosers and panes follow,
    // each pane keeping its bank by name.
    void bankListChanged();
    // Asks for a bank or program file and imports it into the bank folder.
    void ImportSinglePatches();
    // The programs of the file become a bank file of 128 slots in the bank
    // folder; refused, with the status text "File does not contain Bank
    // info.", when the file holds no program. Never replaces a file.
    bool saveImportedFile(const std::string& path, const std::string& data);

    // ---- Lookups of the controls bound for incoming MIDI
    IControl* getCCControls(int key, int ccNumber, int type);
    IControl* getMsbLsbControl(int key, int msbValue, int lsbValue, int lsbControl, int type);
    IControl* getSysexControl(int header1, int header2, int header3, int keyByte, int fifthKey);

    // ---- Panel helpers
    // The layer the panel description made under this name, or null.
    ControlLayer* getLayer(const std::string& name) const;
    // Shows (false) or hides (true) a named layer when the panel has it.
    void hideLayer(const std::string& name, bool hide);
    // The first control bound to a parameter, or null.
    IControl* firstBoundControl(int paramIdx) const;
    // Text of the panel lines; each does nothing while its control is missing.
    void setStatusText(const char* text);
    void setValueText(const char* text);
    void setMIDIText(const char* text);
    void setLatencyText(const char* text);
    void setTimbreText(const char* text);
    // Sets a parameter's plain value and shows it on its controls, with no
    // change handler and no host notification.
    void setParameterFromPlug(int paramIdx, double plainValue);

    // Gives every parameter that the panel left untyped a usable default: the
    // editor's settings their kinds and ranges, the port selectors the port
    // names, the rest 0..127.
    void initParameterDefaults();

    // ---- The program randomizer
    // The panel's "randomize" button: new values for the selected timbre,
    // the program sent and asked back.
    void randomizeProgram();

    // ---- The program's name
    // Any thread: what kPatchName shows, copied.
    std::string programName() const;
    // Any thread: the name the saved state keeps for the program.
    void keepProgramName(const std::string& name);

    // ---- Debug log
    // Writes one line while the log is on.
    void log(const std::string& message) const;

    // ---- Settings file
    const HalvoranSettings& settings() const { return mSettings; }
    std::string settingsPath() const;

    // ==== Members other parts of the editor read and write ====

    // Device byte: 0x30 plus the instrument's global MIDI channel, put at
    // offset 2 of every SysEx message sent; the copy is set with it.
    std::atomic<int> deviceByte{kDeviceByteBase};
    std::atomic<int> deviceByteCopy{kDeviceByteBase};

    // Set only while an output port is really open.
    std::atomic<bool> midiOutReady{false};
    // Both ports chosen (the librarian's sends need them).
    std::atomic<bool> midiInOutSet{false};
    std::atomic<bool> constructionComplete{false};
    // The change being handled came from the instrument.
    std::atomic<bool> echoGuard{false};
    // The change comes from the control linker.
    std::atomic<bool> linking{false};
    // Mirrors of instrument settings.
    std::atomic<bool> localControlOn{false};
    std::atomic<bool> masterKeyboard{false};
    // While set, sendMidiMsgAndLog sends nothing.
    std::atomic<bool> sendSuppressed{false};
    // The instrument holds the panel's global data.
    std::atomic<bool> globalSent{true};
    // The next program send starts with a global dump.
    std::atomic<bool> pushGlobal{false};
    // The panel's global values are the instrument's (a global dump came in)
    // or the user's (one was changed since): only then does the global page
    // send them, so defaults never overwrite the instrument's settings.
    std::atomic<bool> globalValuesKnown{false};

    // Audio callback state.
    std::atomic<bool> postSendRefresh{false};
    std::atomic<bool> pendingTimbreLink{false};
    std::atomic<bool> allNotesOffPaused{false};
    std::atomic<bool> allNotesOffPending{false};
    std::atomic<bool> readBackPending{false};
    std::atomic<bool> routeToDAWBuffer{false};
    std::atomic<int> queueDelay{0};
    IMidiQueue midiQueue;
    std::atomic<int> midiLampOn{0};
    std::atomic<uint32_t> midiLampTick{0};
    std::atomic<int> timbreViewMode{0};
    bool wasRunning = false;      // render thread only
    bool clockStartSent = false;  // render thread only
    std::atomic<bool> continuousClockStarted{false};
    bool tempoSynced = false;  // render thread only
    int syncedTempoIndex = 0;  // render thread only
    std::atomic<double> sampleRate{0.0};
    ITimeInfo timeInfo;  // render thread only

    // Transfers.
    std::atomic<bool> answered{false};
    std::atomic<bool> initialization{false};
    std::atomic<bool> dataMismatch{false};
    // A whole bank's dump the all-programs request took waits to be read
    // into the slots, or is being read: incoming short messages wait. Set by
    // the MIDI input, cleared when the dump is read or the request ends.
    std::atomic<bool> bankDumpSeen{false};
    // A project recall or a push of the current data runs: incoming MIDI is
    // ignored and the reset texts and the callback's panel refresh wait.
    std::atomic<bool> transferBusy{false};
    std::atomic<bool> processingIndicator{false};

    // Input filters, one per pass-through setting: host side and instrument
    // side, each CC, PC, note, poly pressure, pitch (PA), channel pressure,
    // SysEx. Set means filtered.
    enum EFilter { kFilterCC, kFilterPC, kFilterNote, kFilterPP, kFilterPA, kFilterCA, kFilterSysEx, kNumFilters };
    std::atomic<bool> dawInputFilter[kNumFilters] = {};
    std::atomic<bool> hwInputFilter[kNumFilters] = {};
    std::atomic<bool> deviceInputSwitch{false};
    std::atomic<bool> trackIncoming{false};
    std::atomic<bool> clockStartStopEnabled{false};
    std::atomic<bool> continuousClockEnabled{false};

    // Program transfers from and to the librarian.
    std::atomic<bool> storeAfterSend{false};
    std::atomic<int> sourceTimbre{1};
    std::atomic<int> targetTimbre{1};
    std::atomic<bool> paramChangeInProgress{false};
    std::atomic<bool> searchResultsShown{false};
    // True when no rename of a librarian program is pending.
    std::atomic<bool> renameIdle{true};
    // 0 or 1, from kTimbreSelect.
    std::atomic<int> selectedTimbre{0};

    // The randomizer's table: 297 entries, each 0..255, refilled at every
    // press of the button.
    static constexpr int kRandomTableSize = kProgramDumpSize;
    int randomTable[kRandomTableSize] = {};

    // Debug log: on when the log file existed at start-up.
    bool debugLogOn = false;
    std::string debugLogPath;

    // Panel lines, each the first control bound to its parameter.
    ITextControl* statusTextControl = nullptr;
    ITextControl* valueTextControl = nullptr;
    ITextControl* midiTextControl = nullptr;
    ITextControl* latencyTextControl = nullptr;
    ITextControl* timbreTextControl = nullptr;
    IControl* deviceInControl = nullptr;
    IControl* deviceOutControl = nullptr;
    IControl* upperBankListControl = nullptr;
    IControl* lowerBankListControl = nullptr;

    // File and folder name of the bank last chosen for each pane.
    std::string upperBankName;
    std::string upperBankFolder;
    std::string lowerBankName;
    std::string lowerBankFolder;

    // Owned objects.
    PatchManager* patchManager = nullptr;
    // The GUI thread's alone: its bank lists, bank selections and slots are
    // changed and read there only. The MIDI input and the transfer jobs hand
    // what they have for it (received programs, program changes that send a
    // slot, a request's end) over through onGuiThread, and a job is given
    // copies of the programs it sends. The slot selections are atomics that
    // the jobs move and the MIDI input reads, to tell where a program goes.
    PatchLibrarian* patchLibrarian = nullptr;
    UIConfigManager* uiConfigManager = nullptr;
    MIDIMessageManager* midiManager = nullptr;
    IGraphics* graphics = nullptr;                  // owned by the plug-in base
    LibrarianViewControl* librarianView = nullptr;  // owned by the panel
    LeftPatchPopupMenu* upperChooser = nullptr;     // owned by the panel
    RightPatchPopupMenu* lowerChooser = nullptr;    // owned by the panel
    RightSearchPopupMenu* searchChooser = nullptr;  // owned by the panel
    BankEditPopupMenu* bankEditMenu = nullptr;      // owned by the panel
    // The slot menu of the last right click.
    std::unique_ptr<IControl> slotMenu;
    ControlLayer* progressLayer = nullptr;  // owned by the panel

private:
    void openDebugLog();
    void readSettings();
    void buildPanel();
    void takePanelControls();
    void applySettingsToParameters();
    bool writeSettings();  // false when the file could not be written
    // The port selector changed: the port closes at once, and the MIDI
    // worker opens the one of that name; a port that would not open puts
    // the selector back to none and says so on the status line.
    void selectMIDIPort(int paramIdx);
    void portNotOpened(int paramIdx, unsigned choice);
    void applyMIDIFilterSwitches();
    // The librarian pane a send takes: 0 while the view has an upper
    // selection, else 1.
    int selectedPane() const;
    // The bank a pane (0 upper, else lower) shows, or null.
    PatchFile* paneBank(int pane) const;
    // The librarian's settings: rename, rescan, search, bank stepping.
    void onLibrarianParamChange(int paramIdx);
    void stepBank(int paramIdx);
    void renameSelectedProgram(const std::string& name);
    // Fills one panel line when its control exists.
    void setText(ITextControl* control, const char* text);
    // The panel's part of DisplayProcessingIndicator, on the GUI thread.
    void showProcessingIndicator(bool show);
    // The timbre view refreshed as a change of kTimbreSelect refreshes it,
    // the display keeping what it showed; GUI thread.
    void refreshTimbreView();
    // Marks the calling thread as in the audio callback, or no more.
    static void markRendering(bool rendering);

    // Work the other threads leave for the panel, one call on the GUI
    // thread for all that was asked before it ran.
    enum PanelWork : unsigned {
        kWorkShowParams = 1u << 0,     // controls of the parameters in mShowPending
        kWorkMainTabs = 1u << 1,       // the pages and timbre layers
        kWorkTimbreTabs = 1u << 2,     // the timbre layers
        kWorkLatency = 1u << 3,        // the latency line from mLatencyMs, mLatencyBlock
        kWorkTimbreLink = 1u << 4,     // the linked timbres shown, then the view refreshed
        kWorkTimbreRefresh = 1u << 5,  // the timbre view refreshed
        kWorkPortLoss = 1u << 6,       // the lost MIDI system told
    };
    void panelWorkLater(unsigned work);
    void doPanelWork();
    // What waits for that call; the parameters whose controls wait.
    std::atomic<unsigned> mPanelWork{0};
    std::unique_ptr<std::atomic<bool>[]> mShowPending { new std::atomic<bool>[ kNumParams ]() };
    std::atomic<int> mLatencyMs{-1}, mLatencyBlock{0};

    // Under the plug-in mutex; its file is written by one thread at a time,
    // under mSettingsWriting alone.
    HalvoranSettings mSettings;
    std::mutex mSettingsWriting;
    // The loss of the MIDI system was told; cleared when the lists are asked
    // afresh.
    std::atomic<bool> mPortLossTold{false};
    // The port choices made, input and output, under the plug-in mutex: an
    // outcome that comes after a later choice is not shown.
    unsigned mPortChoices[2] = {0, 0};
    // A recalled project's port names that could not be opened; kept and
    // saved again until the user chooses a port.
    std::string mUnopenedInName, mUnopenedOutName;
    double mUnopenedInValue = 0.0, mUnopenedOutValue = 0.0;
    std::string mLastImportFolder;
    // Panel and librarian work the other threads hand over; shared, so that a
    // file manager's late answer finds it gone rather than freed.
    std::shared_ptr<GuiThreadQueue> mGuiCalls = std::make_shared<GuiThreadQueue>();
    // The programs the current librarian request stored, by slot, the last
    // one and the bank it went to; the GUI thread's alone.
    struct ReceivedPrograms {
        std::bitset<128> slots;
        std::string lastName;
        int lastSlot = -1;
        std::string bankName;
    } mReceived;
    void reportLibrarianRequest(RequestEnd end, bool single, int asked);
};
