#pragma once
// The instrument's program dump as the librarian stores it, the file
// templates of a bank, and the 7-bit packing shared by single and whole-bank
// dumps.
#include <cstddef>
#include <cstdint>
#include <string>

#include "src/InstrumentFrame.h"

constexpr int kProgramDataSize = 254;
constexpr int kBankSlots = 128;
constexpr int kRawBankFileSize = kBankSlots * kProgramDumpSize;        // 38016
constexpr int kSmfBankFileSize = 53 + kBankSlots * 296 + 127 * 5 + 4;  // 38580
constexpr int kPackedBankSize = 37163;                                 // all programs
constexpr int kPackedBankSizeLong = 37392;                             // programs and more

// The most a bank file can hold. A file of more than one bank (a library
// saved whole) is split into 128-program banks, and its programs take at
// most 301 bytes each, whatever its form: 297 as dumps back to back (.syx,
// .hvx, .qzx), 296 and a 5-byte event head in a Standard MIDI File (.mid),
// 292 in the instrument's whole-bank dumps. The largest libraries kept in one
// file hold some tens of banks, under 4 MiB; this leaves room for four times
// that, some 55,000 programs. A larger file is no bank, and is not read.
constexpr int64_t kMaxBankFileSize = int64_t{16} << 20;

// The init program that pads banks. Its header is not the instrument's.
extern const uint8_t hvInitPatchData[kProgramDumpSize];
// Start of a bank written as a Standard MIDI File, through the first event
// head; and the head put before every further program.
extern const uint8_t hvPatchStart[53];
extern const uint8_t hvPatchInBetween[5];
extern const uint8_t hvPatchEnd[4];

// The slot name of a dump: every non-zero byte of offsets 6..18, in order.
// A message shorter than 19 bytes gives what it holds of them.
std::string patchNameFromDump(const uint8_t* bytes, size_t size);

// A whole program dump of 297 bytes: one program from the instrument.
bool isProgramDump(const uint8_t* bytes, size_t size);
// Exactly the padding program.
bool isInitProgram(const uint8_t* bytes, size_t size);
// A program as a bank slot may hold it: either of the two above.
inline bool isSlotProgram(const uint8_t* bytes, size_t size) {
    return isProgramDump(bytes, size) || isInitProgram(bytes, size);
}
// The instrument's header with a whole-bank function (4C or 50), or function
// 40 at one of the two whole-bank sizes; then 00.
bool isBankDumpHeader(const uint8_t* bytes, size_t size);

// Packing: data byte n of a stream travels at 6 + 8(n/7) + n%7 (counted from
// the message start) with its top bit in bit n%7 of the byte at 5 + 8(n/7).
constexpr int packedDataOffset(int n) { return 6 + 8 * (n / 7) + n % 7; }
constexpr int packedGroupOffset(int n) { return 5 + 8 * (n / 7); }

// Writes the 254 data bytes into dump offsets 5..295 with their packing bytes.
void packProgramData(const uint8_t data[kProgramDataSize], uint8_t* dump);
// Reads the 254 data bytes back out of a 297-byte dump.
void unpackProgramData(const uint8_t* dump, uint8_t data[kProgramDataSize]);
