#pragma once
// Libraries the program loads by name come from the system folder and nowhere else: not
// from the program's folder, the working folder or the PATH, where another user or a
// careless packager may have left a file of the same name (DLL preloading).

#include <windows.h>

// Narrows the search that later loads by name use, the program's own and those that
// system libraries make on its behalf, to the system folder, and drops the working
// folder from the classic search. Called first thing at start; silent when the system
// offers neither call.
void RestrictQvBuiLibrarySearch();

// The system folder's library of this name (a bare file name such as L"Comctl32.dll"),
// loaded; null when it cannot be loaded from there.
HMODULE LoadQvBuiSystemLibrary(const wchar_t* name);

// The same with the way chosen by the caller: the search flag of LoadLibraryExW when
// searchFlagsKnown, otherwise the full path in the system folder, which is how a
// Windows 7 SP1 without the update that introduced the flag is served.
HMODULE LoadQvBuiSystemLibraryBy(const wchar_t* name, bool searchFlagsKnown);

// Looks up the optional entry points newer systems offer for icons at the display's
// resolution (GetDpiForWindow in user32, LoadIconWithScaleDown in comctl32) in libraries
// loaded as above, into QvBuiTray::getDpiForWindow and loadIconWithScaleDown; each stays
// null when its library or entry point is missing.
void ResolveQvBuiOptionalEntryPoints();
