#include "src/GlobalDump.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "src/HalvoranParams.h"

// clang-format off
const uint8_t globalDumpTemplate[kGlobalDumpSize] = {
    kSysExStart, kManufacturerId, kDeviceByteBase, kModelId, kFuncGlobalDump,  // the frame
    0x00, 0x00, 0x00, 0x01, 0x40, 0x03, 0x0E, 0x00, 0x00, 0x01, 0x01, 0x00, 0x5A, 0x5F,
    0x00, 0x00, 0x04, 0x00, 0x03, 0x00, 0x45, 0x05, 0x4D, 0x0E, 0x00, 0x0F, 0x4E, 0x52, 0x12, 0x13, 0x14, 0x15, 0x00,
    0x16, 0x53, 0x4A, 0x47, 0x4F, 0x55, 0x07, 0x00, 0x0A, 0x56, 0x5C, 0x17, 0x18, 0x19, 0x1A, 0x00, 0x49, 0x4B, 0x46,
    0x48, 0x57, 0x1B, 0x58, 0x00, 0x4C, 0x1C, 0x1D, 0x1E, 0x1F, 0x59, 0x0C, 0x00, 0x5D, 0x0D, 0x5E, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x02, 0x03, 0x04, 0x00, 0x05,
    0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x00, 0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x11, 0x12, 0x00, 0x13, 0x14, 0x15, 0x16,
    0x17, 0x18, 0x19, 0x00, 0x1A, 0x1B, 0x1C, 0x1D, 0x1E, 0x1F, 0x20, 0x00, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27,
    0x00, 0x28, 0x29, 0x2A, 0x2B, 0x2C, 0x2D, 0x2E, 0x00, 0x2F, 0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x00, 0x36, 0x37,
    0x38, 0x39, 0x3A, 0x3B, 0x3C, 0x00, 0x3D, 0x3E, 0x3F, 0x40, 0x41, 0x42, 0x43, 0x00, 0x44, 0x45, 0x46, 0x47, 0x48,
    0x49, 0x4A, 0x00, 0x4B, 0x4C, 0x4D, 0x4E, 0x4F, 0x50, 0x51, 0x00, 0x52, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x00,
    0x59, 0x5A, 0x5B, 0x5C, 0x5D, 0x5E, 0x5F, 0x00, 0x60, 0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x00, 0x67, 0x68, 0x69,
    0x6A, 0x6B, 0x6C, 0x6D, 0x00, 0x6E, 0x6F, 0x70, 0x71, 0x72, 0x73, 0x74, 0x00, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7A,
    0x7B, 0x00, 0x7C, 0x7D, 0x7E, 0x7F, 0xF7,
};
// clang-format on

namespace {

// Message bytes of the byte map.
enum {
    kBytePacking = 5,
    kByteTune = 6,
    kByteTranspose = 7,
    kBytePosition = 8,
    kByteVelocityValue = 9,
    kByteVelocityArea = 10,
    kByteLocalAndProtect = 11,
    kByteClockSource = 15,
    kByteChannel = 16,
    kByteSysExFilter = 21,
    kByteCtrl1 = 22,
    kByteCtrl2 = 23,
    kByteFilters = 25,
};

int wholeValue(const DumpParams& params, int paramIdx) { return dumpWhole(params.value(paramIdx)); }

// A plain data byte: the value held inside 0..127.
uint8_t dataByte(const DumpParams& params, int paramIdx) {
    return static_cast<uint8_t>(std::clamp(wholeValue(params, paramIdx), 0, 127));
}

bool on(const DumpParams& params, int paramIdx) { return wholeValue(params, paramIdx) != 0; }

// The signed distance from the zero point, as an 8-bit two's complement byte.
uint8_t signedByte(const DumpParams& params, int paramIdx) {
    const int v = std::clamp(wholeValue(params, paramIdx) - globalZeroPoint(params, paramIdx), -128, 127);
    return static_cast<uint8_t>(v);
}

}  // namespace

int globalZeroPoint(const DumpParams& params, int paramIdx) {
    double lo = 0.0, hi = 0.0;
    params.bounds(paramIdx, lo, hi);
    return dumpWhole(std::floor((lo + hi) / 2.0));
}

void buildGlobalDump(const DumpParams& params, int deviceByte, uint8_t dump[kGlobalDumpSize]) {
    std::memcpy(dump, globalDumpTemplate, kGlobalDumpSize);
    dump[2] = static_cast<uint8_t>(deviceByte & 0x7F);
    const uint8_t tune = signedByte(params, kMasterTune);
    const uint8_t transpose = signedByte(params, kMasterTranspose);
    dump[kBytePacking] = static_cast<uint8_t>((tune >> 7) | ((transpose >> 7) << 1));
    dump[kByteTune] = tune & 0x7F;
    dump[kByteTranspose] = transpose & 0x7F;
    dump[kBytePosition] = dataByte(params, kMasterPosition);
    dump[kByteVelocityValue] = dataByte(params, kMasterVelocityValue);
    dump[kByteVelocityArea] = dataByte(params, kMasterVelocityArea);
    dump[kByteLocalAndProtect] =
        static_cast<uint8_t>((on(params, kGlobalLocalOn) ? 4 : 0) | (on(params, kMIDIFilterWriteProtect) ? 1 : 0));
    dump[kByteClockSource] = dataByte(params, kGlobalClockSource);
    dump[kByteChannel] = static_cast<uint8_t>(std::clamp(wholeValue(params, kGlobalMIDICha), 0, 15));
    // The SysEx filter is bit 7 of the data byte carried in byte 24: the
    // whole packing byte of that group.
    dump[kByteSysExFilter] = on(params, kMIDIFilterSysEx) ? 4 : 0;
    dump[kByteCtrl1] = dataByte(params, kGlobalMIDI1Ctrl);
    dump[kByteCtrl2] = dataByte(params, kGlobalMIDI2Ctrl);
    dump[kByteFilters] = static_cast<uint8_t>((on(params, kMIDIFilterProgramChange) ? 0x01 : 0) |
                                              (on(params, kMIDIFilterControlChange) ? 0x04 : 0) |
                                              (on(params, kMIDIFilterPitchBend) ? 0x40 : 0));
}

bool isGlobalDumpMessage(const uint8_t* msg, int size) {
    return size == kGlobalDumpSize && isInstrumentFrame(msg, size, kFuncGlobalDump);
}

bool parseGlobalDump(const uint8_t* msg, int size, DumpParams& params) {
    if (!isGlobalDumpMessage(msg, size)) return false;
    params.set(kGlobalMIDICha, msg[2] - kDeviceByteBase);

    // Only the three patterns of the two sign bits count.
    const int packing = msg[kBytePacking];
    const bool tuneNegative = packing == 1 || packing == 3;
    const bool transposeNegative = packing == 2 || packing == 3;
    auto signedValue = [&](int byte, bool negative, int paramIdx) {
        const int raw = (msg[byte] & 0x7F) | (negative ? 0x80 : 0);
        return static_cast<int8_t>(static_cast<uint8_t>(raw)) + globalZeroPoint(params, paramIdx);
    };
    params.set(kMasterTune, signedValue(kByteTune, tuneNegative, kMasterTune));
    params.set(kMasterTranspose, signedValue(kByteTranspose, transposeNegative, kMasterTranspose));
    params.set(kMasterPosition, msg[kBytePosition]);
    params.set(kMasterVelocityValue, msg[kByteVelocityValue]);
    params.set(kMasterVelocityArea, msg[kByteVelocityArea]);

    const int local = msg[kByteLocalAndProtect];
    if (local < 16) {
        params.set(kGlobalLocalOn, (local >> 2) & 1);
        params.set(kMIDIFilterWriteProtect, local & 1);
    }
    params.set(kGlobalClockSource, msg[kByteClockSource]);
    params.set(kGlobalMIDICha, msg[kByteChannel]);

    const int sysexFilter = msg[kByteSysExFilter];
    if (sysexFilter == 0 || sysexFilter == 4) params.set(kMIDIFilterSysEx, sysexFilter == 4 ? 1 : 0);
    params.set(kGlobalMIDI1Ctrl, msg[kByteCtrl1]);
    params.set(kGlobalMIDI2Ctrl, msg[kByteCtrl2]);

    const int filters = msg[kByteFilters];
    if ((filters & ~0x45) == 0) {
        params.set(kMIDIFilterProgramChange, filters & 0x01 ? 1 : 0);
        params.set(kMIDIFilterControlChange, filters & 0x04 ? 1 : 0);
        params.set(kMIDIFilterPitchBend, filters & 0x40 ? 1 : 0);
    }
    return true;
}
