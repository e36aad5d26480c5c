#pragma once
// Test support for the system services: registry values where the library reads them (Windows: the real
// registry; POSIX: the store below $QV_REGISTRY_ROOT), the environment started programs inherit, and
// process facts. Paths and registry key paths are UTF-8 with "\" as separator.

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

namespace QvTestSystem {

// POSIX: the registry is the store in folder. Windows: nothing (keep test keys apart by name).
bool UseRegistryStore(const std::string& folder);
// root: QvSystem::kRegistryRoot...; keys are created as needed; an empty valueName is the default value.
bool WriteRegistryString(uint32_t root, const std::string& keyPath, const std::string& valueName,
                         const std::string& utf8Value);
bool WriteRegistryNumber(uint32_t root, const std::string& keyPath, const std::string& valueName, uint32_t value);
bool DeleteRegistryValue(uint32_t root, const std::string& keyPath, const std::string& valueName);
bool DeleteRegistryTree(uint32_t root, const std::string& keyPath);  // true also when it did not exist

bool SetEnv(const std::string& name, const std::string& value);
bool UnsetEnv(const std::string& name);
std::string GetEnv(const std::string& name, bool* isSet);  // "" when unset

std::string GetProgramDir();  // of the running test program, without a trailing separator
bool CopyProgram(const std::string& source, const std::string& destination);  // the copy is executable
bool HasUnreapedChild();  // POSIX: a child has ended and was not reaped; Windows: false

// Polls until the other process has written what condition looks for. Real time, never the fake clock;
// the ceiling only catches a hang (a cold Wine on a loaded machine takes tens of seconds to start).
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
