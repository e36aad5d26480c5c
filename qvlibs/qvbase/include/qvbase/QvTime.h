#pragma once
// Time values of the program: signed 64-bit milliseconds since 1970-01-01 00:00:00 UTC,
// read from the wall clock, and their text form "YYYY-MM-DD HH:MM:SS" in UTC.

#include <cstdint>

// Size of the buffer that FormatTimeMillis writes into. The text itself is 19 characters.
constexpr int32_t kQvTimeTextBufferSize = 100;
constexpr int32_t kQvTimeTextLength = 19;

// The current time value. Follows the wall clock, so it jumps when the clock is set.
int64_t GetCurrentTimeMillis();

// Writes the UTC text of timeMillis ("%Y-%m-%d %H:%M:%S", NUL-terminated) into buffer,
// which holds kQvTimeTextBufferSize bytes. Milliseconds are dropped, not rounded.
// A value the platform cannot turn into a date writes an empty text.
void FormatTimeMillis(char* buffer, int64_t timeMillis);
