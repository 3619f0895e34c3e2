#pragma once
// Whole-resource form of the cipher: a resource is its text, padded with zero
// bytes to whole 8-byte blocks, each block enciphered on its own (no chaining)
// with Tea::simpleencrypt.
#include <cstddef>
#include <string>

// Pads and enciphers a plain text; the result's length is a multiple of 8.
std::string teaEncipherResource(const std::string& plain, const unsigned int* key);

// Deciphers the whole blocks of data and returns their plain bytes, padding
// included. Bytes after the last whole block are not deciphered; their count
// goes to *remainder when it is given.
std::string teaDecipherResource(const unsigned char* data, std::size_t length, const unsigned int* key,
                                std::size_t* remainder = nullptr);
