// The version of qvbuitray, shared by the resource script (the version block) and the
// program (the start-up log line). Plain #defines only: the resource compiler reads this
// file too.
#pragma once

#define QVBUITRAY_VERSION_MAJOR 9
#define QVBUITRAY_VERSION_MINOR 2
#define QVBUITRAY_VERSION_PATCH 2
#define QVBUITRAY_VERSION_BUILD 897

#define QVBUITRAY_STRINGIZE_(x) #x
#define QVBUITRAY_STRINGIZE(x) QVBUITRAY_STRINGIZE_(x)
#define QVBUITRAY_PASTE_(a, b) a##b
#define QVBUITRAY_PASTE(a, b) QVBUITRAY_PASTE_(a, b)
// a.b.c.d stringized as a whole, with no white space between the tokens: one literal, as
// every statement of the resource script takes it (it does not join adjacent literals
// everywhere).
#define QVBUITRAY_DOTTED_(a, b, c, d) QVBUITRAY_STRINGIZE(a.b.c.d)

// "9.2.2.897": the FileVersion and ProductVersion strings and the start-up log line.
#define QVBUITRAY_VERSION_TEXT                                                              \
    QVBUITRAY_DOTTED_(QVBUITRAY_VERSION_MAJOR, QVBUITRAY_VERSION_MINOR, QVBUITRAY_VERSION_PATCH, \
                      QVBUITRAY_VERSION_BUILD)

// Language and code page of the version strings, as four hexadecimal digits each: U.S.
// English (LANG_ENGLISH, SUBLANG_ENGLISH_US) and UTF-16 (code page 1200). Together they
// name the string block ("040904B0"); each with 0x in front, they are the translation
// entry.
#define QVBUITRAY_VERSION_LANGUAGE_DIGITS 0409
#define QVBUITRAY_VERSION_CODE_PAGE_DIGITS 04B0
#define QVBUITRAY_VERSION_STRING_BLOCK \
    QVBUITRAY_STRINGIZE(QVBUITRAY_PASTE(QVBUITRAY_VERSION_LANGUAGE_DIGITS, QVBUITRAY_VERSION_CODE_PAGE_DIGITS))
#define QVBUITRAY_VERSION_LANGUAGE QVBUITRAY_PASTE(0x, QVBUITRAY_VERSION_LANGUAGE_DIGITS)
#define QVBUITRAY_VERSION_CODE_PAGE QVBUITRAY_PASTE(0x, QVBUITRAY_VERSION_CODE_PAGE_DIGITS)
