#pragma once
// Layout of the POSIX registry store, shared by the backend that reads it and the test
// support that writes it: the environment variable naming its folder, the folder of each
// predefined root key, and the file name of a key's default value.

#include <cstdint>

namespace QvRegistryStore {

const char* const kRootVariable = "QV_REGISTRY_ROOT";
const char* const kDefaultValueFileName = "@";

// The folder of a predefined root key (by its handle value), or null for any other key.
inline const char* RootFolderName(uint32_t rootKey) {
    switch (rootKey) {
    case 0x80000000u: return "HKEY_CLASSES_ROOT";
    case 0x80000001u: return "HKEY_CURRENT_USER";
    case 0x80000002u: return "HKEY_LOCAL_MACHINE";
    case 0x80000003u: return "HKEY_USERS";
    case 0x80000005u: return "HKEY_CURRENT_CONFIG";
    case 0x80000006u: return "HKEY_DYN_DATA";
    default: return nullptr;
    }
}

}  // namespace QvRegistryStore
