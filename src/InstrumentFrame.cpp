#include "src/InstrumentFrame.h"

#include <bit>
#include <cstring>

namespace {

// Eight bytes at a time.
constexpr uint64_t kTopBits = 0x8080808080808080ull;

uint64_t word(const uint8_t* p) {
    uint64_t w;
    std::memcpy(&w, p, 8);
    return w;
}

}  // namespace

const uint8_t* findStatusByte(const uint8_t* p, const uint8_t* end) {
    for (; end - p >= 8; p += 8)
        if (const uint64_t top = word(p) & kTopBits) {
            const int bit = std::endian::native == std::endian::little ? std::countr_zero(top) : std::countl_zero(top);
            return p + bit / 8;
        }
    for (; p < end; ++p)
        if (*p & 0x80) return p;
    return end;
}

bool isInstrumentFrame(const uint8_t* msg, size_t size, int function, FrameExtent extent) {
    if (!msg || size < kRequestSize) return false;
    if (msg[0] != kSysExStart || msg[1] != kManufacturerId || !isDeviceByte(msg[2]) || msg[3] != kModelId) return false;
    if (function != kAnyFunction && msg[4] != function) return false;
    if (extent == FrameExtent::kHeader) return true;
    return msg[size - 1] == kSysExEnd && findStatusByte(msg + 4, msg + size - 1) == msg + size - 1;
}

std::vector<unsigned char> requestBody(int deviceByte, EFunction code) {
    return {kManufacturerId, static_cast<unsigned char>(deviceByte & 0x7F), kModelId, code};
}

std::vector<unsigned char> writeRequestBody(int deviceByte, int program) {
    return {kManufacturerId,
            static_cast<unsigned char>(deviceByte & 0x7F),
            kModelId,
            kFuncWriteRequest,
            0x00,
            static_cast<unsigned char>(program & 0x7F)};
}

void putFrameHeader(unsigned char* msg, int deviceByte, EFunction code) {
    msg[0] = kSysExStart;
    msg[1] = kManufacturerId;
    msg[2] = static_cast<unsigned char>(deviceByte & 0x7F);
    msg[3] = kModelId;
    msg[4] = code;
}

int frameFunction(const unsigned char* msg, int size) {
    return size > 0 && isInstrumentFrame(msg, static_cast<size_t>(size), kAnyFunction) ? msg[4] : -1;
}
