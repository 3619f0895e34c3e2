#pragma once
// The Tiny Encryption Algorithm: a 64-bit block under a 128-bit key, 32 cycles.
// The object holds no state; every member transforms the caller's memory in place.

class Tea {
public:
    // One block as 8 bytes with big-endian halves; this is how the bundle
    // resources are stored, whatever the machine's byte order.
    void simpledecrypt(unsigned char* block, const unsigned int* key) const;
    void simpleencrypt(unsigned char* block, const unsigned int* key) const;

    // One block as two words in the machine's own order.
    void decryptTea(unsigned int* block, const unsigned int* key) const;
    void encryptTea(unsigned int* block, const unsigned int* key) const;

    // Whole buffers in native word order. encryptBlock pads *length up to whole
    // blocks, stores it in one extra trailing block and enciphers everything:
    // the buffer must hold 8 * ((*length + 7) / 8) + 8 bytes. decryptBlock
    // deciphers the whole blocks and restores the length from the last one (at
    // most the bytes before that block); a buffer shorter than one block is left
    // alone with *length unchanged.
    void encryptBlock(unsigned char* data, unsigned int* length, const unsigned int* key) const;
    void decryptBlock(unsigned char* data, unsigned int* length, const unsigned int* key) const;

    // Writes count bytes to standard output, then a newline.
    void printBuffer(const unsigned char* buffer, int count) const;
};
