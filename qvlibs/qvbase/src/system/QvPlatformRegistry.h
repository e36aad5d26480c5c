#pragma once
// The platform seam, registry: one whole value query (open the key for querying, read the
// value, close the key). Windows reads the real registry; POSIX reads a small directory
// tree below $QV_REGISTRY_ROOT in which keys are directories and string values are files
// holding their UTF-8 text (see the POSIX backend for the exact layout).

#include <cstdint>

class QvUtf16String;

namespace QvPlatform {

// Value types as the registry reports them.
const uint32_t kRegistryTypeString = 1;  // REG_SZ
const uint32_t kRegistryTypeBinary = 3;  // REG_BINARY

// Queries one value. rootKey is a predefined root key's handle value (0x80000000 and up);
// keyPath uses "\" between its components and, when empty, the value is read from the
// root key itself; an empty valueName names the key's default value. data has room for
// *dataBytes bytes; on success *dataBytes and *type describe what was stored there.
// False when the key cannot be opened for querying, the value is absent, or its data
// does not fit (no partial data is handed out).
bool QueryRegistryValue(uint32_t rootKey, const QvUtf16String* keyPath,
                        const QvUtf16String* valueName, void* data, uint32_t* dataBytes,
                        uint32_t* type);

}  // namespace QvPlatform
