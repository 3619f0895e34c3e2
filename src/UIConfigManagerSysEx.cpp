#include "src/UIConfigManager.h"

#include <sstream>

namespace {

// Byte 7 carries the sign or the high part in the folded encodings, so every
// template must reach it.
constexpr std::size_t kMinTemplateBytes = 8;

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

}  // namespace

void UIConfigManager::expandTemplate(const char* member, const std::string& sysexTemplate, int changingByte, int count,
                                     ControlActionSysExMessage* out, int start, int offset, int byte5Step,
                                     ValueRule rule) {
    if (!out) return;
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
            line << "CONFIG READER: SysEx template \"" << sysexTemplate << "\" " << refusal << " (" << member
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
        if (byte5Step && offset == 1) {
            msg[4] = msg[4] + 16 <= 127 ? msg[4] + 16 : msg[4] - 112;
            msg[5] += byte5Step;
        }
        rule(msg, pos, i, v);
        messages.push_back(std::move(msg));
    }
    out->messages = std::move(messages);
}

void UIConfigManager::calculateSysexWithChangingByte(std::string sysexTemplate, int changingByte, int count,
                                                     ControlActionSysExMessage* out, int start, int offset) {
    expandTemplate("calculateSysexWithChangingByte", sysexTemplate, changingByte, count, out, start, offset, 1,
                   plainValue);
}

void UIConfigManager::calculateSysexWithTwoChangingBytes(std::string sysexTemplate, int changingByte, int count,
                                                         ControlActionSysExMessage* out, int start, int offset) {
    expandTemplate("calculateSysexWithTwoChangingBytes", sysexTemplate, changingByte, count, out, start, offset, 2,
                   plainValue);
}

void UIConfigManager::calculateSysexWithChangingByteEQ(std::string sysexTemplate, int changingByte, int count,
                                                       ControlActionSysExMessage* out, int start, int offset) {
    expandTemplate("calculateSysexWithChangingByteEQ", sysexTemplate, changingByte, count, out, start, offset, 1,
                   signedValue<12>);
}

void UIConfigManager::calculateSysexWithChangingByteTempo(std::string sysexTemplate, int changingByte, int count,
                                                          ControlActionSysExMessage* out, int start, int offset) {
    expandTemplate("calculateSysexWithChangingByteTempo", sysexTemplate, changingByte, count, out, start, offset, 0,
                   tempoValue);
}

void UIConfigManager::calculateSysexWithChangingByteSwing(std::string sysexTemplate, int changingByte, int count,
                                                          ControlActionSysExMessage* out, int start, int offset) {
    expandTemplate("calculateSysexWithChangingByteSwing", sysexTemplate, changingByte, count, out, start, offset, 0,
                   swingValue);
}

void UIConfigManager::calculateSysexWithChangingByteTranspose(std::string sysexTemplate, int changingByte, int count,
                                                              ControlActionSysExMessage* out, int start, int offset) {
    expandTemplate("calculateSysexWithChangingByteTranspose", sysexTemplate, changingByte, count, out, start, offset, 1,
                   signedValue<24>);
}

void UIConfigManager::calculateSysexWithChangingByteTuning(std::string sysexTemplate, int changingByte, int count,
                                                           ControlActionSysExMessage* out, int start, int offset) {
    expandTemplate("calculateSysexWithChangingByteTuning", sysexTemplate, changingByte, count, out, start, offset, 1,
                   signedValue<50>);
}

void UIConfigManager::calculateSysexWithChangingByteModSeq(std::string sysexTemplate, int changingByte, int count,
                                                           ControlActionSysExMessage* out, int start, int offset) {
    expandTemplate("calculateSysexWithChangingByteModSeq", sysexTemplate, changingByte, count, out, start, offset, 1,
                   signedValue<64>);
}
