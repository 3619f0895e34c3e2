#include "src/InstrumentFrame.h"

bool isInstrumentFrame(const uint8_t* msg, size_t size, int function, FrameExtent extent) {
    if (!msg || size < kRequestSize) return false;
    if (msg[0] != kSysExStart || msg[1] != kManufacturerId || !isDeviceByte(msg[2]) || msg[3] != kModelId) return false;
    if (function != kAnyFunction && msg[4] != function) return false;
    if (extent == FrameExtent::kHeader) return true;
    if (msg[size - 1] != kSysExEnd) return false;
    for (size_t i = 4; i < size - 1; ++i)
        if (msg[i] & 0x80) return false;
    return true;
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
