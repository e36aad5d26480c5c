#pragma once
// Test support for the system services: writing registry values where the library reads
// them (Windows: the real registry; POSIX: the directory store below $QV_REGISTRY_ROOT),
// environment variables that started programs inherit, and small process facts.
// Paths are UTF-8 with "\" as separator; registry key paths use "\" as well.

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

namespace QvTestSystem {

// Points the library's registry at a test's own store. POSIX: sets QV_REGISTRY_ROOT to
// folder. Windows: nothing (the real registry is used; keep test keys apart by name).
bool UseRegistryStore(const std::string& folder);

// root is a predefined root key's handle value (QvSystem::kRegistryRoot...). Keys are
// created as needed; an empty valueName writes the key's default value.
bool WriteRegistryString(uint32_t root, const std::string& keyPath, const std::string& valueName,
                         const std::string& utf8Value);
bool WriteRegistryNumber(uint32_t root, const std::string& keyPath, const std::string& valueName,
                         uint32_t value);
bool DeleteRegistryValue(uint32_t root, const std::string& keyPath, const std::string& valueName);
// Deletes the key with everything below it; true also when it did not exist.
bool DeleteRegistryTree(uint32_t root, const std::string& keyPath);

// Environment of this process, inherited by programs it starts. Unset with UnsetEnv.
bool SetEnv(const std::string& name, const std::string& value);
bool UnsetEnv(const std::string& name);
// The value, or "" when unset; *isSet tells the difference.
std::string GetEnv(const std::string& name, bool* isSet);

// The folder of the running test program, without a trailing separator.
std::string GetProgramDir();
// Copies a program file and makes the copy executable.
bool CopyProgram(const std::string& source, const std::string& destination);
// True when a child process of this one has ended and was not reaped (POSIX); false on
// Windows, where nothing has to be reaped.
bool HasUnreapedChild();

// Waiting for another process: polls until the condition holds, which the other side
// brings about by writing a file when it is ready or done. The ceiling is one that only
// a hang reaches: a cold Wine on a loaded machine can take tens of seconds to start a
// program. Real time, never the fake clock.
constexpr int kHangCeilingMillis = 180000;
template <typename Condition>
bool WaitForHandshake(Condition condition) {
    auto start = std::chrono::steady_clock::now();
    for (;;) {
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds(kHangCeilingMillis))
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace QvTestSystem
