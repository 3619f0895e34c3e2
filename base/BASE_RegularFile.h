#pragma once
// Opening a file whose name came from outside: the user's banks, projects,
// settings, images and log. The open never blocks, and only what the open
// descriptor shows to be a regular file is used, so a pipe, a device or a
// socket that takes a file's place (even after the caller looked at it)
// fails at once instead of holding the reader or writer.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Reading; appending to a file that is there already; appending to a file
// made when it is missing. An appending descriptor reads too, so that its
// caller can look at what it appends to.
enum class BASE_FileUse { Read, Append, AppendOrCreate };

// A descriptor of the regular file at path, open for the use, or -1 with
// errno set (EISDIR for a folder, EINVAL for anything else that is not a
// regular file). size, when given, receives the file's size. shared, when
// given, tells whether the file has a life beyond this name: the name is a
// symbolic link to it (which then leads only to a file that is there, never
// makes one), or the file has other names too.
int BASE_OpenRegularFile(const char* path, int64_t* size = nullptr, BASE_FileUse use = BASE_FileUse::Read,
                         bool* shared = nullptr);

// The same as a stdio stream, for callers that want one; null with errno set.
FILE* BASE_OpenRegularFileStream(const char* path, BASE_FileUse use = BASE_FileUse::Read);

// The whole regular file at path, when it holds at most limit bytes. False,
// with out empty and errno set (EFBIG when it is larger: a file that is so
// when it is opened is refused before it is read), otherwise.
bool BASE_ReadRegularFile(const char* path, size_t limit, std::string& out);
bool BASE_ReadRegularFile(const char* path, size_t limit, std::vector<uint8_t>& out);
