// Fuzz target: the small text parsers against references written here. The input is split at its first
// line feed into a text and a needle; its first byte also gives a start position.
#include <algorithm>
#include <cstring>
#include <string>

#include "FuzzEnvironment.h"
#include "qvbase/QvStringVector.h"

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

void CheckRegistryPath(const std::string& path) {
    static const char* const kRootNames[] = {"HKCR", "HKEY_CLASSES_ROOT", "HKCU", "HKEY_CURRENT_USER", "HKLM",
                                             "HKEY_LOCAL_MACHINE", "HKU", "HKEY_USERS", "HKCC", "HKEY_CURRENT_CONFIG",
                                             "HKDD", "HKEY_DYN_DATA"};
    QvSystem::QvRegistryPathParts parts;
    memset(&parts, 0x5A, sizeof(parts));
    bool split = QvSystem::SplitRegistryPath(path.c_str(), &parts);
    Check(memchr(parts.rootName, 0, sizeof(parts.rootName)) && memchr(parts.keyPath, 0, sizeof(parts.keyPath)) &&
          memchr(parts.valueName, 0, sizeof(parts.valueName)));
    QvSystem::QvRegistryRoot root = QvSystem::ParseRegistryRootKey(path.c_str());
    if (!split)
        return;
    std::string rootName = parts.rootName, keyPath = parts.keyPath, valueName = parts.valueName;
    size_t n = rootName.size(), valueStart = n + 1 + keyPath.size();
    Check(n > 0 && n <= size_t(QvSystem::kRegistryMaxRootNameLength) && path.compare(0, n, rootName) == 0 &&
          n < path.size() && IsSeparator(path[n]) && path.compare(n + 1, keyPath.size(), keyPath) == 0);
    Check(valueStart < path.size() && IsSeparator(path[valueStart]) &&
          path.compare(valueStart + 1, std::string::npos, valueName) == 0 &&
          std::none_of(valueName.begin(), valueName.end(), IsSeparator));
    Check(std::count(std::begin(kRootNames), std::end(kRootNames), rootName) == (root != QvSystem::kRegistryRootNone));
}

// An optional sign and the digits, wrapping around without an overflow check.
int64_t ReferenceToInt64(const char* bytes, int32_t length, int64_t defaultValue) {
    int32_t i = length > 0 && (bytes[0] == '+' || bytes[0] == '-') ? 1 : 0;
    if (i >= length || bytes[i] < '0' || bytes[i] > '9')
        return defaultValue;
    uint64_t value = 0;
    for (; i < length && bytes[i] >= '0' && bytes[i] <= '9'; ++i)
        value = value * 10 + uint64_t(bytes[i] - '0');
    return int64_t(bytes[0] == '-' ? 0 - value : value);
}

std::string ReferenceTrim(const std::string& s) {
    size_t begin = s.find_first_not_of(" \t\r\n"), end = s.find_last_not_of(" \t\r\n");
    return begin == std::string::npos ? "" : s.substr(begin, end + 1 - begin);
}

void CheckSplitCommaList(const std::string& s) {
    QvString source(s.c_str());
    QvStringVector items;
    QvStringVector::SplitCommaList(&source, &items);
    size_t expected = s.empty() ? 0 : size_t(std::count(s.begin(), s.end(), ',')) + (s.back() == ',' ? 0 : 1);
    Check(size_t(items.GetCount()) == expected);
    for (size_t i = 0, start = 0, comma; i < expected; ++i, start = comma + 1) {
        comma = s.find(',', start);
        Check(QvFuzz::Text(*items.GetAt(int32_t(i))) == ReferenceTrim(s.substr(start, comma - start)));
    }
}

void CheckFind(const std::string& s, const std::string& needle, int32_t start) {
    QvString text(s.c_str()), needleString(needle.c_str());
    bool inside = start >= 0 && size_t(start) < s.size();
    size_t found = !needle.empty() && inside ? s.find(needle, size_t(start)) : std::string::npos;
    int32_t expected = found == std::string::npos ? -1 : int32_t(found);
    Check(text.Find(start, needle.c_str()) == expected && text.Find(start, &needleString) == expected);
    if (!needle.empty()) {
        found = inside ? s.find(needle[0], size_t(start)) : std::string::npos;
        Check(text.FindChar(start, needle[0]) == (found == std::string::npos ? -1 : int32_t(found)));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 100000)
        return 0;
    const char* bytes = reinterpret_cast<const char*>(data);
    QvString whole;
    whole.Set(bytes, int32_t(size));
    int64_t expected = ReferenceToInt64(whole.GetText(), whole.GetLength(), -77);
    Check(whole.ToInt64(-77) == expected && whole.ToInt(-77) == int32_t(uint32_t(uint64_t(expected))));

    // The C-string forms stop at the first NUL, as the library's callers pass them.
    std::string text(bytes, strnlen(bytes, size)), needle;
    size_t lineFeed = text.find('\n');
    if (lineFeed != std::string::npos) {
        needle = text.substr(lineFeed + 1);
        text.resize(lineFeed);
    }
    std::string trimmed = text + (needle.empty() ? "" : "\n" + needle);
    QvString trim(trimmed.c_str());
    trim.Trim();
    Check(QvFuzz::Text(trim) == ReferenceTrim(trimmed));
    CheckRegistryPath(text);
    CheckSplitCommaList(text);
    CheckFind(text, needle, size > 0 ? int32_t(data[0] % 16) - 2 : 0);
    return 0;
}
