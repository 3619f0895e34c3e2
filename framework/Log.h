#pragma once
// The framework's own messages ("failed to open file", MIDI port errors):
// one line each on stderr, whole even when threads print at once.

void LogLine(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
