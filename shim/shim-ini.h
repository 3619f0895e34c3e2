#pragma once
// Win32-style profile calls over ini files. Parsed files stay in a cache of
// 32 file contexts, checked against the file on disk at every call. Every
// change rewrites the whole file: sections and keys in case-blind sorted
// order, one empty line after each section; comments and the old order are
// not kept.
//
// Section and key names are compared without regard to case, file names
// exactly. Writers refuse (with 0) what would not read back as written: an
// empty section name, a section name holding "]", a key starting with a
// blank, a tab or "[", a key holding "=", and a line feed or carriage return
// anywhere. Paths of 1015 bytes or more are refused: reads give the default,
// writes 0.
//
// Two processes may write one file at once: a writer locks the file, takes in
// what another process wrote meanwhile, and replaces the file by renaming a
// complete temporary copy (".<name>.new" beside it) over it while still
// holding the lock, so readers see either the old file or the new one.
#include "shim/shim.h"

// Copies the value (cleaned of surrounding blanks and one pair of matching
// quotes) or def into buf, at most size - 1 bytes and a NUL; returns the
// length. A null key lists the section's keys, a null section the sections,
// as NUL-separated names closed by two NULs (the result excludes those two).
int GetPrivateProfileString(const char* section, const char* key, const char* def, char* buf, int size,
                            const char* file);
// The value as a number (atoi), or def for an empty value or one that reads
// as 0 without starting with "0".
int GetPrivateProfileInt(const char* section, const char* key, int def, const char* file);
// "key=value" entries, each ending in a NUL, closed by one more NUL. The
// result excludes the closing NUL; size - 2 when the list was cut.
int GetPrivateProfileSection(const char* section, char* buf, int size, const char* file);
// Decodes size bytes written by WritePrivateProfileStruct; TRUE when the
// length and the checksum match.
BOOL GetPrivateProfileStruct(const char* section, const char* key, void* buf, int size, const char* file);

// A null key deletes the section, a null value the key. TRUE once the file
// holds the change (or already did); FALSE when it was refused or could not
// be written (the cache then drops the file, so the next read shows the disk).
BOOL WritePrivateProfileString(const char* section, const char* key, const char* value, const char* file);
// Replaces the section with "key=value" entries, each ending in a NUL, the
// list closed by an empty entry.
BOOL WritePrivateProfileSection(const char* section, const char* data, const char* file);
// Writes size bytes as upper-case hexadecimal pairs and a checksum pair.
BOOL WritePrivateProfileStruct(const char* section, const char* key, const void* data, int size, const char* file);
