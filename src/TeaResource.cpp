#include "src/TeaResource.h"

#include "src/Tea.h"

std::string teaEncipherResource(const std::string& plain, const unsigned int* key) {
    std::string out = plain;
    out.resize((plain.size() + 7) / 8 * 8, '\0');
    Tea tea;
    for (std::size_t at = 0; at < out.size(); at += 8)
        tea.simpleencrypt(reinterpret_cast<unsigned char*>(out.data() + at), key);
    return out;
}

std::string teaDecipherResource(const unsigned char* data, std::size_t length, const unsigned int* key,
                                std::size_t* remainder) {
    const std::size_t whole = data ? length / 8 * 8 : 0;
    std::string out;
    if (whole) out.assign(reinterpret_cast<const char*>(data), whole);
    Tea tea;
    for (std::size_t at = 0; at < whole; at += 8)
        tea.simpledecrypt(reinterpret_cast<unsigned char*>(out.data() + at), key);
    if (remainder) *remainder = data ? length - whole : 0;
    return out;
}
