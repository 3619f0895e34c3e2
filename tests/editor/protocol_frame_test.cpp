// The one check of the instrument's frame, as each reader asks it: a whole
// message, or a bank file's header only; and the readers it gates.
#include <gtest/gtest.h>

#include <vector>

#include "src/GlobalDump.h"
#include "src/InstrumentFrame.h"
#include "src/PatchLibrarianDump.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes parameterChange() { return {0xF0, 0x42, 0x3F, 0x58, 0x41, 0x10, 0x00, 0x02, 0x00, 0xF7}; }

}  // namespace

TEST(InstrumentFrame, WholeMessagesAndHeaders) {
    struct Case {
        const char* what;
        int at;  // -1: as built
        uint8_t value;
        size_t size;
        int function;
        bool whole, header;
    };
    const Case cases[] = {
        {"as built", -1, 0, 10, 0x41, true, true},
        {"any function", -1, 0, 10, kAnyFunction, true, true},
        {"another function", -1, 0, 10, 0x4E, false, false},
        {"no F0", 0, 0xF1, 10, 0x41, false, false},
        {"another maker", 1, 0x43, 10, 0x41, false, false},
        {"device byte 4x", 2, 0x40, 10, 0x41, false, false},
        {"device byte 2x", 2, 0x2F, 10, 0x41, false, false},
        {"another model", 3, 0x57, 10, 0x41, false, false},
        {"no F7 at the end", 9, 0x00, 10, 0x41, false, true},
        {"an 8-bit data byte", 7, 0x82, 10, 0x41, false, true},
        {"cut after the function", -1, 0, 5, 0x41, false, false},
        {"the six bytes of a request", -1, 0, 6, 0x41, false, true},
    };
    for (const Case& c : cases) {
        Bytes m = parameterChange();
        if (c.at >= 0) m[c.at] = c.value;
        EXPECT_EQ(isInstrumentFrame(m.data(), c.size, c.function), c.whole) << c.what;
        EXPECT_EQ(isInstrumentFrame(m.data(), c.size, c.function, FrameExtent::kHeader), c.header) << c.what;
    }
    EXPECT_FALSE(isInstrumentFrame(nullptr, 10, kAnyFunction, FrameExtent::kHeader));
    EXPECT_EQ(deviceByteFor(16 + 3), 0x33);
}

// A dump of a global dump's length whose function is not the global dump's
// is not read as global data.
TEST(InstrumentFrame, GlobalDumpGateReadsTheFunction) {
    Bytes d(globalDumpTemplate, globalDumpTemplate + kGlobalDumpSize);
    EXPECT_TRUE(isGlobalDumpMessage(d.data(), kGlobalDumpSize));
    d[4] = kFuncProgramDump;
    EXPECT_FALSE(isGlobalDumpMessage(d.data(), kGlobalDumpSize));
}

TEST(InstrumentFrame, BankHeadersNeedNoEndByte) {
    Bytes bank(kPackedBankSize, 0x00);
    putFrameHeader(bank.data(), 0x30, kFuncProgramDump);
    EXPECT_TRUE(isBankDumpHeader(bank.data(), bank.size()));  // no F7, as a file may hold more
    bank[4] = kFuncAllProgramsDump;
    EXPECT_TRUE(isBankDumpHeader(bank.data(), 6));
    bank[5] = 0x01;
    EXPECT_FALSE(isBankDumpHeader(bank.data(), bank.size()));
}
