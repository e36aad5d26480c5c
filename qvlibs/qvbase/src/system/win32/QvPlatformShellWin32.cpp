// Windows backend of the shell seam: SHGetFolderPathW for the known folders (with
// wldp.dll held loaded from the system directory during the query),
// GetUserDefaultUILanguage, and ShellExecuteW "open".
#include "system/QvPlatformShell.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include "qvbase/QvUtf16String.h"

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

namespace {

// Folder queries run with the system's application-control policy library loaded from
// the system directory only, never from the program's folder or the search path. It is
// not called; it is held for the duration of the query and released afterwards.
bool QueryFolderWithPolicyLibrary(int csidl, wchar_t* path) {
    HMODULE policyLibrary = ::LoadLibraryExW(L"wldp.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    HRESULT result = ::SHGetFolderPathW(nullptr, csidl, nullptr, 0, path);
    if (policyLibrary)
        ::FreeLibrary(policyLibrary);
    return SUCCEEDED(result);
}

}  // namespace

namespace QvPlatform {

bool NativeQueryKnownFolder(QvKnownFolder folder, QvUtf16String* out) {
    if (!out)
        return false;
    out->Set(nullptr, 0);
    int csidl = folder == QvKnownFolder::ProgramFiles ? CSIDL_PROGRAM_FILES : CSIDL_COMMON_APPDATA;
    wchar_t path[MAX_PATH + 1];
    path[0] = 0;
    if (!QueryFolderWithPolicyLibrary(csidl, path))
        return false;
    path[MAX_PATH] = 0;
    out->Set(reinterpret_cast<const char16_t*>(path), int32_t(wcslen(path)));
    return true;
}

uint16_t NativeGetUserDefaultUiLanguage() { return ::GetUserDefaultUILanguage(); }

bool ShellOpenProgram(const QvUtf16String* program, const QvUtf16String* arguments) {
    if (!program || !arguments)
        return false;
    HINSTANCE result = ::ShellExecuteW(nullptr, L"open", reinterpret_cast<const wchar_t*>(program->GetText()),
                                       reinterpret_cast<const wchar_t*>(arguments->GetText()), nullptr, SW_HIDE);
    // Values up to 32 are error codes, anything above means the program was started.
    return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace QvPlatform
