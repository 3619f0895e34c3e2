// tea-encipher INPUT OUTPUT
// Reads a plain resource text and writes it enciphered for the bundle: zero
// padding to whole 8-byte blocks, each block enciphered alone under the
// resource key. Prints the plain text's SHA-1 so a shipped file can be traced
// back to its source.
#include "src/TeaKey.h"
#include "src/TeaResource.h"
#include "src/sha1.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace {

constexpr std::size_t kMaxResource = 4096000;  // what the editor reads of a resource

bool readWhole(const char* path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: tea-encipher INPUT OUTPUT\n");
        return 2;
    }
    std::string plain;
    if (!readWhole(argv[1], plain)) {
        std::fprintf(stderr, "tea-encipher: cannot read %s\n", argv[1]);
        return 1;
    }
    // The reader ends the text at the first zero byte; one inside the source
    // would silently cut the resource short.
    if (plain.find('\0') != std::string::npos) {
        std::fprintf(stderr, "tea-encipher: %s contains a zero byte\n", argv[1]);
        return 1;
    }
    unsigned int key[4];
    buildResourceKey(key);
    const std::string cipher = teaEncipherResource(plain, key);
    if (cipher.size() > kMaxResource) {
        std::fprintf(stderr, "tea-encipher: %s is larger than %zu bytes\n", argv[1], kMaxResource);
        return 1;
    }

    const std::string tmp = std::string(argv[2]) + ".part";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out.write(cipher.data(), static_cast<std::streamsize>(cipher.size()));
        if (!out.flush()) {
            std::fprintf(stderr, "tea-encipher: cannot write %s\n", tmp.c_str());
            std::remove(tmp.c_str());
            return 1;
        }
    }
    if (std::rename(tmp.c_str(), argv[2]) != 0) {
        std::fprintf(stderr, "tea-encipher: cannot write %s\n", argv[2]);
        std::remove(tmp.c_str());
        return 1;
    }

    unsigned char digest[20];
    char hex[41];
    sha1::calc(plain.data(), static_cast<int>(plain.size()), digest);
    sha1::toHexString(digest, hex);
    std::printf("%s: %zu bytes enciphered, plain sha1 %s\n", argv[2], cipher.size(), hex);
    return 0;
}
