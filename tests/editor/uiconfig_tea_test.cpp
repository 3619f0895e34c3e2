// The resource cipher, its whole-buffer helpers, the SHA-1 digest and the
// build-time encipher tool.
#include "src/Tea.h"
#include "src/TeaKey.h"
#include "src/TeaResource.h"
#include "src/sha1.h"
#include "support/TempDataDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

std::string slurp(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string hexOf(const unsigned char* b, int n) {
    static const char d[] = "0123456789abcdef";
    std::string s;
    for (int i = 0; i < n; ++i) {
        s += d[b[i] >> 4];
        s += d[b[i] & 15];
    }
    return s;
}

TEST(Tea, PublishedVectorAllZero) {
    const unsigned int key[4] = {0, 0, 0, 0};
    unsigned int words[2] = {0, 0};
    Tea tea;
    tea.encryptTea(words, key);
    EXPECT_EQ(words[0], 0x41EA3A0Au);
    EXPECT_EQ(words[1], 0x94BAA940u);
    tea.decryptTea(words, key);
    EXPECT_EQ(words[0], 0u);
    EXPECT_EQ(words[1], 0u);

    unsigned char block[8] = {};
    tea.simpleencrypt(block, key);
    EXPECT_EQ(hexOf(block, 8), "41ea3a0a94baa940");
    tea.simpledecrypt(block, key);
    EXPECT_EQ(hexOf(block, 8), "0000000000000000");
}

TEST(Tea, RoundTripsAndByteOrder) {
    std::mt19937 rng(1234);
    Tea tea;
    int nativeDiffers = 0;
    for (int round = 0; round < 200; ++round) {
        unsigned int key[4];
        for (auto& k : key) k = rng();
        unsigned char in[8];
        for (auto& b : in) b = static_cast<unsigned char>(rng());

        unsigned char big[8];
        std::memcpy(big, in, 8);
        tea.simpleencrypt(big, key);
        unsigned char back[8];
        std::memcpy(back, big, 8);
        tea.simpledecrypt(back, key);
        ASSERT_EQ(0, std::memcmp(back, in, 8));

        // The byte form is the word form over big-endian halves.
        unsigned int w[2] = {(unsigned(in[0]) << 24) | (unsigned(in[1]) << 16) | (unsigned(in[2]) << 8) | in[3],
                             (unsigned(in[4]) << 24) | (unsigned(in[5]) << 16) | (unsigned(in[6]) << 8) | in[7]};
        tea.encryptTea(w, key);
        unsigned char viaWords[8] = {static_cast<unsigned char>(w[0] >> 24), static_cast<unsigned char>(w[0] >> 16),
                                     static_cast<unsigned char>(w[0] >> 8),  static_cast<unsigned char>(w[0]),
                                     static_cast<unsigned char>(w[1] >> 24), static_cast<unsigned char>(w[1] >> 16),
                                     static_cast<unsigned char>(w[1] >> 8),  static_cast<unsigned char>(w[1])};
        ASSERT_EQ(0, std::memcmp(viaWords, big, 8));

        unsigned int raw[2];
        std::memcpy(raw, in, 8);
        tea.encryptTea(raw, key);
        if (std::memcmp(raw, big, 8) != 0) ++nativeDiffers;
        tea.decryptTea(raw, key);
        ASSERT_EQ(0, std::memcmp(raw, in, 8));
    }
    EXPECT_GT(nativeDiffers, 190);  // little-endian words see other numbers
}

TEST(Tea, WholeBufferLengthBlock) {
    unsigned int key[4];
    buildResourceKey(key);
    Tea tea;

    std::vector<unsigned char> buf(16, 0xAB);
    unsigned int len = 0;
    tea.encryptBlock(buf.data(), &len, key);
    EXPECT_EQ(len, 8u);
    tea.decryptBlock(buf.data(), &len, key);
    EXPECT_EQ(len, 0u);

    buf.assign(24, 0);
    for (int i = 0; i < 8; ++i) buf[i] = static_cast<unsigned char>('a' + i);
    len = 8;
    tea.encryptBlock(buf.data(), &len, key);
    EXPECT_EQ(len, 16u);
    EXPECT_NE(std::string(buf.begin(), buf.begin() + 8), "abcdefgh");
    tea.decryptBlock(buf.data(), &len, key);
    EXPECT_EQ(len, 8u);
    EXPECT_EQ(std::string(buf.begin(), buf.begin() + 8), "abcdefgh");

    const std::string text = "thirteen byte";
    buf.assign(8 * 2 + 8, 0);
    std::memcpy(buf.data(), text.data(), text.size());
    len = static_cast<unsigned int>(text.size());
    tea.encryptBlock(buf.data(), &len, key);
    EXPECT_EQ(len, 24u);
    tea.decryptBlock(buf.data(), &len, key);
    EXPECT_EQ(len, 13u);
    EXPECT_EQ(std::string(buf.begin(), buf.begin() + 13), text);
}

TEST(Tea, WholeBufferBadInputStaysInside) {
    unsigned int key[4];
    buildResourceKey(key);
    Tea tea;
    // Shorter than a block: nothing to decipher and no length word before the buffer.
    std::vector<unsigned char> tiny = {1, 2, 3, 4, 5};
    unsigned int len = 5;
    tea.decryptBlock(tiny.data(), &len, key);
    EXPECT_EQ(len, 5u);
    EXPECT_EQ(tiny, (std::vector<unsigned char>{1, 2, 3, 4, 5}));
    len = 0;
    tea.decryptBlock(tiny.data(), &len, key);
    EXPECT_EQ(len, 0u);

    // Under another key the length word is noise; it never claims more than the payload.
    std::vector<unsigned char> buf(32, 0x5A);
    len = 20;
    tea.encryptBlock(buf.data(), &len, key);
    ASSERT_EQ(len, 32u);
    unsigned int other[4] = {1, 2, 3, 4};
    tea.decryptBlock(buf.data(), &len, other);
    EXPECT_LE(len, 24u);
}

TEST(Tea, PrintBuffer) {
    Tea tea;
    const unsigned char text[] = {'T', 'e', 'a'};
    testing::internal::CaptureStdout();
    tea.printBuffer(text, 3);
    tea.printBuffer(text, 0);
    tea.printBuffer(text, -4);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Tea\n\n\n");
}

TEST(Sha1, StandardDigests) {
    auto digest = [](const std::string& s) {
        unsigned char h[20];
        char hex[41];
        std::memset(hex, 'x', sizeof hex);
        sha1::calc(s.data(), static_cast<int>(s.size()), h);
        sha1::toHexString(h, hex);
        EXPECT_EQ(hex[40], '\0');
        return std::string(hex);
    };
    EXPECT_EQ(digest(""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(digest("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(digest("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
    EXPECT_EQ(digest(std::string(1000000, 'a')), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
    // Padding edges: 55 bytes fit one final block, 56 and 64 need another.
    EXPECT_EQ(digest(std::string(55, 'a')), "c1c8bbdc22796e28c0e15163d20899b65621d65a");
    EXPECT_EQ(digest(std::string(56, 'a')), "c2db330f6083854c99d4b5bfb6e8f29f201be699");
    EXPECT_EQ(digest(std::string(64, 'a')), "0098ba824b5c16427bd7a1122a5a442a25ec644d");
}

TEST(TeaResource, BlocksAreIndependentAndPadded) {
    unsigned int key[4];
    buildResourceKey(key);
    const std::string plain = "<sysexlist>abcdefgh abcdefgh</sysexlist>";  // 40 bytes
    const std::string twice = std::string("abcdefgh") + "abcdefgh";
    std::string cipher = teaEncipherResource(plain + "x", key);
    ASSERT_EQ(cipher.size(), 48u);
    // No chaining: equal plain blocks give equal cipher blocks.
    const std::string blockPlain = teaEncipherResource(twice, key);
    EXPECT_EQ(blockPlain.substr(0, 8), blockPlain.substr(8, 8));

    std::size_t rest = 99;
    std::string back =
        teaDecipherResource(reinterpret_cast<const unsigned char*>(cipher.data()), cipher.size(), key, &rest);
    EXPECT_EQ(rest, 0u);
    EXPECT_EQ(back, plain + "x" + std::string(7, '\0'));

    // A trailing partial block is not deciphered and is counted.
    cipher += "abc";
    back = teaDecipherResource(reinterpret_cast<const unsigned char*>(cipher.data()), cipher.size(), key, &rest);
    EXPECT_EQ(rest, 3u);
    EXPECT_EQ(back.size(), 48u);

    back = teaDecipherResource(nullptr, 0, key, &rest);
    EXPECT_TRUE(back.empty());
    EXPECT_EQ(rest, 0u);
}

TEST(TeaResource, KeyIsStable) {
    unsigned int a[4], b[4];
    buildResourceKey(a);
    buildResourceKey(b);
    EXPECT_EQ(0, std::memcmp(a, b, sizeof a));
    EXPECT_FALSE(a[0] == 0 && a[1] == 0 && a[2] == 0 && a[3] == 0);
}

#ifdef HV_TEA_ENCIPHER
int runTool(const std::string& args) {
    const std::string cmd = std::string("\"") + HV_TEA_ENCIPHER + "\" " + args + " > /dev/null 2>&1";
    const int rc = std::system(cmd.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

TEST(TeaEncipherTool, RoundTripAndRefusals) {
    hvtest::TempDataDir dir;
    const std::string xml = "<uiconfig>\n  <valueLists/>\n</uiconfig>\n";  // 39 bytes
    const auto src = dir.write("in.xml", xml);
    const auto out = dir.path() / "out.tea";
    ASSERT_EQ(runTool("\"" + src.string() + "\" \"" + out.string() + "\""), 0);
    const std::string cipher = slurp(out);
    ASSERT_EQ(cipher.size(), 40u);
    EXPECT_EQ(cipher.find("uiconfig"), std::string::npos);
    unsigned int key[4];
    buildResourceKey(key);
    std::string plain = teaDecipherResource(reinterpret_cast<const unsigned char*>(cipher.data()), cipher.size(), key);
    EXPECT_EQ(plain, xml + std::string(1, '\0'));

    EXPECT_NE(runTool("\"" + (dir.path() / "missing.xml").string() + "\" \"" + out.string() + "\""), 0);
    EXPECT_EQ(slurp(out), cipher);  // a failed run leaves the old output alone
    const auto withZero = dir.write("zero.xml", std::string("<a>\0</a>", 8));
    EXPECT_NE(runTool("\"" + withZero.string() + "\" \"" + (dir.path() / "z.tea").string() + "\""), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "z.tea"));
    EXPECT_NE(runTool(""), 0);
}

TEST(TeaEncipherTool, BundleResourcesMatchTheirSources) {
    namespace fs = std::filesystem;
    unsigned int key[4];
    buildResourceKey(key);
    for (const char* name : {"uiconfig", "sysex"}) {
        const fs::path source = fs::path(HV_SOURCE_DIR) / "resources" / (std::string(name) + ".xml");
        const fs::path built = fs::path(HV_BUNDLE_DIR) / "resources" / (std::string(name) + ".tea");
        ASSERT_TRUE(fs::exists(built)) << built;
        const std::string cipher = slurp(built);
        ASSERT_EQ(cipher.size() % 8, 0u);
        std::string plain =
            teaDecipherResource(reinterpret_cast<const unsigned char*>(cipher.data()), cipher.size(), key);
        plain.resize(std::strlen(plain.c_str()));
        EXPECT_EQ(plain, slurp(source)) << built;
    }
}
#endif

}  // namespace
