// QvLoadByName.exe NAME: loads a library by its bare name with the default search, as a
// program without a restricted search would; exits 0 when something was loaded. The
// whole-program tests use it to prove that a planted library is found where they put it.
#include <windows.h>

int wmain(int argc, wchar_t** argv) { return argc == 2 && LoadLibraryW(argv[1]) ? 0 : 1; }
