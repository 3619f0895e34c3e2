#pragma once
// SHA-1 digest (FIPS 180-1) of a byte range.

namespace sha1 {

// Writes the 20-byte digest of bytelength bytes at src into hash. The length
// is counted in 32 bits, so inputs must be shorter than 2^29 bytes.
void calc(const void* src, const int bytelength, unsigned char* hash);

// Writes the digest as 40 lower-case hex digits and a terminating zero:
// hexstring must hold 41 bytes.
void toHexString(const unsigned char* hash, char* hexstring);

}  // namespace sha1
