// Loading libraries from the system folder only. The LOAD_LIBRARY_SEARCH_* flags and
// SetDefaultDllDirectories came with the same Windows 7 update (KB2533623) that added
// AddDllDirectory; Microsoft documents the presence of AddDllDirectory as the test for
// the flags. Without them the library is named by its full path in the system folder.
#include "QvBuiTraySystemLibrary.h"

#include <cwchar>

#include "QvBuiTrayConstants.h"
#include "QvBuiTrayState.h"

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

namespace {

typedef BOOL(WINAPI* SetDefaultDllDirectoriesFunction)(DWORD flags);

// kernel32 is mapped into every process, so asking for its handle loads nothing.
FARPROC Kernel32EntryPoint(const char* name) {
    HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    return kernel32 ? GetProcAddress(kernel32, name) : nullptr;
}

bool SearchFlagsKnown() { return Kernel32EntryPoint("AddDllDirectory") != nullptr; }

}  // namespace

void RestrictQvBuiLibrarySearch() {
    // Takes the working folder out of the classic search order (Windows XP SP1 on).
    SetDllDirectoryW(L"");
    FARPROC entryPoint = Kernel32EntryPoint("SetDefaultDllDirectories");
    if (entryPoint) {
        // GetProcAddress gives a generic pointer; the entry point's real type is known.
        auto setDefaultDllDirectories = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
            reinterpret_cast<void (*)(void)>(entryPoint));
        setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
}

HMODULE LoadQvBuiSystemLibraryBy(const wchar_t* name, bool searchFlagsKnown) {
    if (!name || !name[0] || wcschr(name, L'\\') || wcschr(name, L'/'))
        return nullptr;
    if (searchFlagsKnown)
        return LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    wchar_t path[MAX_PATH];
    UINT length = GetSystemDirectoryW(path, MAX_PATH);
    size_t nameLength = wcslen(name);
    if (length == 0 || length + 1 + nameLength >= MAX_PATH)
        return nullptr;
    path[length] = L'\\';
    wmemcpy(path + length + 1, name, nameLength + 1);
    // The libraries it needs in turn are looked for beside it first, in the system folder.
    return LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

HMODULE LoadQvBuiSystemLibrary(const wchar_t* name) { return LoadQvBuiSystemLibraryBy(name, SearchFlagsKnown()); }

// GetProcAddress gives a generic pointer; going through void (*)(void) states that the
// entry point's real type is known here.
template <typename Function>
static Function LookUpEntryPoint(const wchar_t* library, const char* name) {
    HMODULE module = LoadQvBuiSystemLibrary(library);
    if (!module)
        return nullptr;
    FARPROC entryPoint = GetProcAddress(module, name);
    return reinterpret_cast<Function>(reinterpret_cast<void (*)(void)>(entryPoint));
}

void ResolveQvBuiOptionalEntryPoints() {
    QvBuiTray::getDpiForWindow = LookUpEntryPoint<QvGetDpiForWindowFunction>(
        QVBUITRAY_USER32_DLL, QVBUITRAY_GET_DPI_FOR_WINDOW_NAME);
    QvBuiTray::loadIconWithScaleDown = LookUpEntryPoint<QvLoadIconWithScaleDownFunction>(
        QVBUITRAY_COMCTL32_DLL, QVBUITRAY_LOAD_ICON_WITH_SCALE_DOWN_NAME);
}
