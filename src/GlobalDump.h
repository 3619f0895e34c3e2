#pragma once
// The instrument's global data as its 235-byte dump (F0 42 3g 58 51, 229
// packed bytes, F7). Neither direction unpacks the dump: each global
// parameter has its message byte (and, for the two signed ones, a bit of the
// first packing byte); every other byte comes from the template.
#include <cstdint>

#include "src/InstrumentFrame.h"
#include "src/ProgramDump.h"

// The dump every global dump the editor writes starts from.
extern const uint8_t globalDumpTemplate[kGlobalDumpSize];

// The value of kMasterTune or kMasterTranspose that travels as the signed
// byte 0: the middle of the parameter's range, rounded down (12 for a
// transposition of 0..24, 50 for a tune of 0..100, 0 for a range centred on 0).
int globalZeroPoint(const DumpParams& params, int paramIdx);

// The template with the device byte at 2 and the fifteen global parameters
// at their bytes; every data byte stays within 0..127.
void buildGlobalDump(const DumpParams& params, int deviceByte, uint8_t dump[kGlobalDumpSize]);

// The parser's gate: a whole global dump of exactly 235 bytes.
bool isGlobalDumpMessage(const uint8_t* msg, int size);
// Sets the global parameters from bytes 2 to 25 in message order; bytes out
// of their pattern (5, 11, 21, 25) leave what they carry. False, and nothing
// set, for a message the gate refuses.
bool parseGlobalDump(const uint8_t* msg, int size, DumpParams& params);
