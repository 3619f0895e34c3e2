#pragma once
// The instrument's SysEx frame, the one place its bytes and sizes live:
// F0, maker 42, device byte 3g (g: the instrument's global MIDI channel),
// model 58, function code, 7-bit data, F7. No message carries a checksum.
#include <cstddef>
#include <cstdint>
#include <vector>

constexpr uint8_t kSysExStart = 0xF0;
constexpr uint8_t kSysExEnd = 0xF7;
constexpr uint8_t kManufacturerId = 0x42;
constexpr uint8_t kModelId = 0x58;
constexpr int kDeviceByteBase = 0x30;

enum EFunction : uint8_t {
    kFuncGlobalRequest = 0x0E,
    kFuncProgramRequest = 0x10,
    kFuncWriteRequest = 0x11,
    kFuncProgramDump = 0x40,
    kFuncParameterChange = 0x41,
    kFuncAllProgramsDump = 0x4C,
    kFuncModeChange = 0x4E,
    kFuncAllDataDump = 0x50,
    kFuncGlobalDump = 0x51,
};
constexpr int kAnyFunction = -1;

// Whole lengths, F0 to F7.
constexpr int kRequestSize = 6;  // the requests 0E and 10
constexpr int kWriteRequestSize = 8;
constexpr int kProgramDumpSize = 297;
constexpr int kGlobalDumpSize = 235;
constexpr int kParameterChangeSize = 10;
constexpr int kModeChangeSize = 8;

// The device byte for a global MIDI channel 0..15, and the test for one.
constexpr int deviceByteFor(int channel) { return kDeviceByteBase + (channel & 0x0F); }
constexpr bool isDeviceByte(int byte) { return (byte & 0xF0) == kDeviceByteBase; }

// The one check of every reader. F0 42 3g 58 and the function (any with
// kAnyFunction) at the start of at least six bytes. A whole message also ends
// with F7 and carries only 7-bit bytes between; a bank file's dump is read
// only as far as its header, since more messages may follow it in the file.
enum class FrameExtent { kHeader, kWhole };
bool isInstrumentFrame(const uint8_t* msg, size_t size, int function, FrameExtent extent = FrameExtent::kWhole);

// The first byte from p on, before end, with its top bit set (a status
// byte); end when there is none. Bank files are scanned with it too.
const uint8_t* findStatusByte(const uint8_t* p, const uint8_t* end);

// The writers. A request body without F0 and F7: 42 3g 58 code (4 bytes).
std::vector<unsigned char> requestBody(int deviceByte, EFunction code);
// The write request body: 42 3g 58 11 00 program (6 bytes).
std::vector<unsigned char> writeRequestBody(int deviceByte, int program);
// Writes F0 42 3g 58 code at msg[0..4].
void putFrameHeader(unsigned char* msg, int deviceByte, EFunction code);
// The function code of a whole message of the instrument, or -1.
int frameFunction(const unsigned char* msg, int size);
