#include "src/UIConfigManager.h"

#include <sstream>

namespace {

// Byte 7 carries the sign or the high part in the folded encodings, so every
// template must reach it.
constexpr std::size_t kMinTemplateBytes = 8;

// Writes the running value v into message msg, the i-th of the expansion,
// at list position pos (and byte 7 where the encoding has a second byte).
using ValueRule = void (*)(std::vector<int>& msg, std::size_t pos, int i, int& v);

void plainValue(std::vector<int>& msg, std::size_t pos, int, int& v) {
    // The 7-bit wrap: 128 goes out as 0 and counting goes on from there.
    if (v == 128) v = 0;
    msg[pos] = v;
}

// Signed values in 7-bit two's complement: the first `negatives` messages are
// the negative half, 128 + value with the template's byte 7 as the sign; the
// rest are the plain value with byte 7 cleared.
template <int negatives>
void signedValue(std::vector<int>& msg, std::size_t pos, int i, int& v) {
    if (i < negatives) {
        msg[pos] = v + 128 - negatives;
    } else {
        msg[pos] = v - negatives;
        msg[7] = 0;
    }
}

void tempoValue(std::vector<int>& msg, std::size_t pos, int i, int& v) {
    if (i <= 107) {
        msg[pos] = v + 20;
        msg[7] = 0;
    } else if (i <= 235) {
        msg[pos] = v - 108;
        msg[7] = 1;
    } else {
        msg[pos] = v - 236;
        msg[7] = 2;
    }
}

void swingValue(std::vector<int>& msg, std::size_t pos, int i, int& v) {
    if (i <= 99) {
        msg[pos] = v + 28;
    } else if (i <= 200) {
        msg[pos] = v - 100;
        msg[7] = 0;
    }
}

struct Encoding {
    const char* member;  // named in the log
    int byte5Step;       // what the second timbre's copy adds to byte 5 (0: no copy rule)
    ValueRule rule;
};

// In the order of UIConfigManager::SysExEncoding.
constexpr Encoding kEncodings[] = {
    {"calculateSysexWithChangingByte", 1, plainValue},
    {"calculateSysexWithTwoChangingBytes", 2, plainValue},
    {"calculateSysexWithChangingByteEQ", 1, signedValue<12>},
    {"calculateSysexWithChangingByteTempo", 0, tempoValue},
    {"calculateSysexWithChangingByteSwing", 0, swingValue},
    {"calculateSysexWithChangingByteTranspose", 1, signedValue<24>},
    {"calculateSysexWithChangingByteTuning", 1, signedValue<50>},
    {"calculateSysexWithChangingByteModSeq", 1, signedValue<64>},
};

}  // namespace

void UIConfigManager::expandTemplate(SysExEncoding encoding, const std::string& sysexTemplate, int changingByte,
                                     int count, ControlActionSysExMessage* out, int start, int offset) {
    if (!out) return;
    const Encoding& e = kEncodings[static_cast<std::size_t>(encoding)];
    out->messages.clear();
    const std::vector<int> bytes = convertStringSysextoVector(sysexTemplate);

    const char* refusal = nullptr;
    if (bytes.size() < kMinTemplateBytes)
        refusal = "is shorter than 8 bytes";
    else if (changingByte < 1 || static_cast<std::size_t>(changingByte) > bytes.size())
        refusal = "has no changing byte at that position";
    else if (start != -1 && count <= 0)
        refusal = "yields no message for that range";
    if (refusal) {
        if (debugLogOn()) {
            std::ostringstream line;
            line << "CONFIG READER: SysEx template \"" << sysexTemplate << "\" " << refusal << " (" << e.member
                 << ", changing byte " << changingByte << ", count " << count << ") REFUSED!";
            log(line.str());
        }
        return;
    }

    const std::size_t pos = static_cast<std::size_t>(changingByte) - 1;
    std::vector<std::vector<int>> messages;
    int i = 0;
    int v = start;
    if (start == -1) {
        messages.push_back(bytes);
        v = bytes[pos];
        i = 1;
    }
    for (; i < count; ++i, ++v) {
        std::vector<int> msg = bytes;
        if (e.byte5Step && offset == 1) {
            msg[4] = msg[4] + 16 <= 127 ? msg[4] + 16 : msg[4] - 112;
            msg[5] += e.byte5Step;
        }
        e.rule(msg, pos, i, v);
        messages.push_back(std::move(msg));
    }
    out->messages = std::move(messages);
}

void UIConfigManager::calculateSysexWithChangingByte(std::string sysexTemplate, int changingByte, int count,
                                                     ControlActionSysExMessage* out, int start, int offset) {
    expandTemplate(SysExEncoding::Plain, sysexTemplate, changingByte, count, out, start, offset);
}

void UIConfigManager::calculateSysexWithTwoChangingBytes(std::string sysexTemplate, int changingByte, int count,
                                                         ControlActionSysExMessage* out, int start, int offset) {
    expandTemplate(SysExEncoding::TwoBytes, sysexTemplate, changingByte, count, out, start, offset);
}

void UIConfigManager::calculateSysexWithChangingByteEQ(std::string sysexTemplate, int changingByte, int count,
                                                       ControlActionSysExMessage* out, int start, int offset) {
    expandTemplate(SysExEncoding::EQ, sysexTemplate, changingByte, count, out, start, offset);
}

void UIConfigManager::calculateSysexWithChangingByteTempo(std::string sysexTemplate, int changingByte, int count,
                                                          ControlActionSysExMessage* out, int start, int offset) {
    expandTemplate(SysExEncoding::Tempo, sysexTemplate, changingByte, count, out, start, offset);
}

void UIConfigManager::calculateSysexWithChangingByteSwing(std::string sysexTemplate, int changingByte, int count,
                                                          ControlActionSysExMessage* out, int start, int offset) {
    expandTemplate(SysExEncoding::Swing, sysexTemplate, changingByte, count, out, start, offset);
}

void UIConfigManager::calculateSysexWithChangingByteTranspose(std::string sysexTemplate, int changingByte, int count,
                                                              ControlActionSysExMessage* out, int start, int offset) {
    expandTemplate(SysExEncoding::Transpose, sysexTemplate, changingByte, count, out, start, offset);
}

void UIConfigManager::calculateSysexWithChangingByteTuning(std::string sysexTemplate, int changingByte, int count,
                                                           ControlActionSysExMessage* out, int start, int offset) {
    expandTemplate(SysExEncoding::Tuning, sysexTemplate, changingByte, count, out, start, offset);
}

void UIConfigManager::calculateSysexWithChangingByteModSeq(std::string sysexTemplate, int changingByte, int count,
                                                           ControlActionSysExMessage* out, int start, int offset) {
    expandTemplate(SysExEncoding::ModSeq, sysexTemplate, changingByte, count, out, start, offset);
}
