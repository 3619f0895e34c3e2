#pragma once
// Plain records that pass between the host, the MIDI ports and the plug-in:
// a timed short MIDI message, a timed SysEx buffer and the host's time.
#include <cstdint>

// A short MIDI message at a sample offset within the current block.
struct IMidiMsg {
    int mOffset;
    uint8_t mStatus, mData1, mData2;

    // The kind of a channel message: the status byte's upper nibble.
    enum EStatusMsg {
        kNone = 0,
        kNoteOff = 8,
        kNoteOn = 9,
        kPolyAftertouch = 10,
        kControlChange = 11,
        kProgramChange = 12,
        kChannelAftertouch = 13,
        kPitchWheel = 14
    };

    // Controller numbers; any 0..127 may be passed as this type.
    enum EControlChangeMsg : int {
        kBankSelectMSB = 0,
        kModWheel = 1,
        kDataEntryMSB = 6,
        kBankSelectLSB = 32,
        kDataEntryLSB = 38,
        kNRPNLSB = 98,
        kNRPNMSB = 99,
        kAllSoundOff = 120,
        kResetAllControllers = 121,
        kLocalControl = 122,
        kAllNotesOff = 123
    };

    explicit IMidiMsg(int offset = 0, uint8_t status = 0, uint8_t data1 = 0, uint8_t data2 = 0)
        : mOffset(offset), mStatus(status), mData1(data1), mData2(data2) {}

    // value is normalised (0..1); the data byte is trunc(value * 127), held
    // inside 0..127 so a stray value can never make a status byte.
    void MakeControlChangeMsg(EControlChangeMsg idx, double value, int channel, int offset = 0);
    void MakeProgramChangeMsg(double value, int channel, int offset = 0);
    void MakeNoteOnMsg(int noteNumber, int velocity, int channel, int offset = 0);
    void MakeNoteOffMsg(int noteNumber, int channel, int offset = 0);
    void Clear() { *this = IMidiMsg(); }

    // 8..14 for a channel message, 0 for anything else.
    EStatusMsg StatusMsg() const;
    int Channel() const { return mStatus & 0x0F; }
    int NoteNumber() const { return mData1; }
    int Velocity() const { return mData2; }
    int Program() const { return mData1; }
    // Data byte 1 of a control change (its controller number), else -1.
    int ControlChangeIdx() const { return StatusMsg() == kControlChange ? mData1 : -1; }
    // The value of a control change of that controller, normalised; -1 else.
    double ControlChange(EControlChangeMsg idx) const;
    // Bytes on the wire: 2 for program change, channel pressure and the
    // two-byte system messages, 3 for other channel messages, 1 else.
    int Size() const;
};

static_assert(sizeof(IMidiMsg) == 8, "IMidiMsg is an 8-byte queue entry");

// A SysEx message (F0 ... F7) handed to the plug-in by reference. The
// caller owns the bytes for the duration of the call.
struct ISysEx {
    int mOffset;
    int mSize;
    const uint8_t* mData;

    explicit ISysEx(int offset = 0, const uint8_t* data = nullptr, int size = 0)
        : mOffset(offset), mSize(size), mData(data) {}
};

// The host's musical time at the start of the current block.
struct ITimeInfo {
    double mTempo = 120.0;
    double mSamplePos = 0.0;
    double mPPQPos = 0.0;
    double mLastBar = 0.0;
    double mCycleStart = 0.0;
    double mCycleEnd = 0.0;
    int mNumerator = 4;
    int mDenominator = 4;
    bool mTransportIsRunning = false;
    bool mTransportChanged = false;
    bool mTransportLoop = false;
};
