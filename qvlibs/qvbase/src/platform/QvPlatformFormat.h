#pragma once
// The platform seam, text formatting: the C library's printf family with the Microsoft
// length modifier "%I64d" understood on every platform, so 64-bit numbers format the same
// way natively and under Windows.

#include <cstdarg>
#include <cstddef>

namespace QvPlatform {
// As vsnprintf: the length the full text needs, or a negative value on a formatter error.
int FormatText(char* buffer, size_t size, const char* format, va_list args);
// The same with the arguments given directly (fixed formats into a caller's buffer).
int FormatTextInto(char* buffer, size_t size, const char* format, ...);
}  // namespace QvPlatform
