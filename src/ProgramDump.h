#pragma once
// One program of the instrument as its 297-byte dump (F0 42 3g 58 40, 291
// packed bytes, F7), and the one field table that turns parameter values into
// the dump's 254 data bytes and the dump back into parameter values.
#include <cstdint>
#include <string>

#include "src/PatchLibrarianDump.h"

// The built-in init program every outgoing dump starts from.
extern const uint8_t initProgramDump[kProgramDumpSize];

class IGraphics;
class IUnitBase;

// The parameter values the instrument's dumps are built from and parsed
// into, in plain units.
class DumpParams {
public:
    virtual ~DumpParams() = default;
    virtual double value(int paramIdx) const = 0;
    virtual void set(int paramIdx, double plain) = 0;
    virtual void bounds(int paramIdx, double& lo, double& hi) const = 0;
};

// The parameters of a plug-in object; an index it does not hold reads as 0
// and takes nothing. With a panel, a value set moves the bound controls too
// (and sends nothing).
class UnitDumpParams : public DumpParams {
public:
    explicit UnitDumpParams(IUnitBase& unit, IGraphics* panel = nullptr) : unit_(unit), panel_(panel) {}
    double value(int paramIdx) const override;
    void set(int paramIdx, double plain) override;
    void bounds(int paramIdx, double& lo, double& hi) const override;

private:
    IUnitBase& unit_;
    IGraphics* panel_;
};

// Parts of the data a writer may be asked for: the name and common block,
// and each timbre block.
enum ProgramSection : unsigned {
    kSectionCommon = 1u << 0,
    kSectionTimbre1 = 1u << 1,
    kSectionTimbre2 = 1u << 2,
    kSectionAll = kSectionCommon | kSectionTimbre1 | kSectionTimbre2,
};

// First data byte of the timbre blocks (timbre 2 has the same layout).
constexpr int kTimbre1Data = 38;
constexpr int kTimbre2Data = 146;
constexpr int kTimbreDataSize = 108;
constexpr int kProgramNameLength = 12;

// ---- Writing

// Writes the fields of the chosen sections into 254 data bytes from the
// parameter values; bytes of no field keep what they hold.
void writeProgramFields(const DumpParams& params, uint8_t data[kProgramDataSize], unsigned sections = kSectionAll);
// Puts 254 data bytes into a dump: every data position gets its low seven
// bits, and the packing bytes of the groups that carry a field's top bit are
// rebuilt; all other packing bytes keep what the dump holds.
void putProgramData(const uint8_t data[kProgramDataSize], uint8_t* dump);
// What a program name takes of a character, as the instrument shows 7-bit
// ASCII only: printable ASCII as it is, a Latin letter with an accent as its
// plain letter (two for Æ, Œ, Ĳ, Þ and ß), nothing for anything else.
std::u32string programNameCharacter(char32_t c);
// A name (UTF-8) as the instrument shows it: each character as above.
std::string programNameText(const std::string& name);
// The name rule: the name as the instrument shows it, up to 12 characters
// into data bytes 0..11, a 0 after a name of six characters or fewer, blanks
// elsewhere.
void writeProgramName(const std::string& name, uint8_t data[kProgramDataSize]);
// A whole dump of the current program: the init program with the device
// byte, the fields of every section and the name.
void buildProgramDump(const DumpParams& params, int deviceByte, const std::string& name,
                      uint8_t dump[kProgramDumpSize]);

// ---- Reading

// The parser's gate: a whole program dump of exactly 297 bytes.
bool isProgramDumpMessage(const uint8_t* msg, int size);
// The name the parser gives a dump: the twelve name positions without their 0
// bytes, or "Request" when all of them are blank (below 0x21 or above 0xF0).
std::string programDumpName(const uint8_t* dump);
// Walks the dump's positions 2..295 and sets every field whose section lock
// is off (locks are read afresh for each field), the raw bytes of the spare
// parameters, and the global channel from the device byte. Nothing happens,
// and the result is false, for a message the gate refuses.
bool parseProgramDump(const uint8_t* msg, int size, DumpParams& params);

// ---- Single encodings that other writers share

// A parameter value as the whole number a dump byte takes: truncated toward
// zero, 0 for a value that is not finite.
int dumpWhole(double v);

// The byte of an oscillator 2 semitone value: 40 plus its place among the 49
// steps, or the value itself when it is none of them.
int semitoneToByte(int value);
// The value of an oscillator 2 semitone byte as the parser reads it.
int semitoneFromByte(int byte);
