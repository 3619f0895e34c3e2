#include "framework/IUnitStructs.h"

#include <algorithm>
#include <cmath>

namespace {

uint8_t dataByte(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 127)); }

// trunc(value * 127) held inside a data byte; NaN reads as 0.
uint8_t scaledDataByte(double value) {
    double v = value * 127.0;
    if (!(v > 0.0)) return 0;
    if (v >= 127.0) return 127;
    return static_cast<uint8_t>(static_cast<int>(v));
}

uint8_t statusByte(int kind, int channel) { return static_cast<uint8_t>((kind << 4) | (channel & 0x0F)); }

}  // namespace

void IMidiMsg::MakeControlChangeMsg(EControlChangeMsg idx, double value, int channel, int offset) {
    mOffset = offset;
    mStatus = statusByte(kControlChange, channel);
    mData1 = dataByte(idx);
    mData2 = scaledDataByte(value);
}

void IMidiMsg::MakeProgramChangeMsg(double value, int channel, int offset) {
    mOffset = offset;
    mStatus = statusByte(kProgramChange, channel);
    mData1 = scaledDataByte(value);
    mData2 = 0;
}

void IMidiMsg::MakeNoteOnMsg(int noteNumber, int velocity, int channel, int offset) {
    mOffset = offset;
    mStatus = statusByte(kNoteOn, channel);
    mData1 = dataByte(noteNumber);
    mData2 = dataByte(velocity);
}

void IMidiMsg::MakeNoteOffMsg(int noteNumber, int channel, int offset) {
    mOffset = offset;
    mStatus = statusByte(kNoteOff, channel);
    mData1 = dataByte(noteNumber);
    mData2 = 0;
}

IMidiMsg::EStatusMsg IMidiMsg::StatusMsg() const {
    int kind = mStatus >> 4;
    return (kind >= kNoteOff && kind <= kPitchWheel) ? static_cast<EStatusMsg>(kind) : kNone;
}

double IMidiMsg::ControlChange(EControlChangeMsg idx) const {
    if (StatusMsg() == kControlChange && mData1 == idx) return mData2 / 127.0;
    return -1.0;
}

int IMidiMsg::Size() const {
    switch (StatusMsg()) {
        case kProgramChange:
        case kChannelAftertouch:
            return 2;
        case kNone:
            break;
        default:
            return 3;
    }
    switch (mStatus) {
        case 0xF1:  // time code quarter frame
        case 0xF3:  // song select
            return 2;
        case 0xF2:  // song position
            return 3;
        default:
            return 1;
    }
}
