// Fuzz target: the small text parsers. The input is split at its first line feed into a
// text and a needle; the first byte of the text also serves as a start position.
// - registry path splitting: parts always terminated and within their fields; a split
//   that succeeds gives back the path as root, separator, key, separator, value; the root
//   key is known exactly when the root name is one of the table's names;
// - ToInt and ToInt64 against a parser written here (wrap-around, no overflow check);
// - SplitCommaList: one item per field, nothing after a trailing comma, items trimmed;
// - Trim against a reference; Find against a plain forward search.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "qvbase/QvString.h"
#include "qvbase/QvStringVector.h"
#include "qvbase/QvSystem.h"

namespace {

void Check(bool condition) {
    if (!condition)
        abort();
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }
bool IsTrimmed(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

const char* const kRootNames[] = {"HKCR", "HKEY_CLASSES_ROOT", "HKCU", "HKEY_CURRENT_USER", "HKLM",
                                  "HKEY_LOCAL_MACHINE", "HKU", "HKEY_USERS", "HKCC", "HKEY_CURRENT_CONFIG",
                                  "HKDD", "HKEY_DYN_DATA"};

void CheckRegistryPath(const std::string& path) {
    QvSystem::QvRegistryPathParts parts;
    memset(&parts, 0x5A, sizeof(parts));
    bool split = QvSystem::SplitRegistryPath(path.c_str(), &parts);
    Check(memchr(parts.rootName, 0, sizeof(parts.rootName)) != nullptr);
    Check(memchr(parts.keyPath, 0, sizeof(parts.keyPath)) != nullptr);
    Check(memchr(parts.valueName, 0, sizeof(parts.valueName)) != nullptr);
    QvSystem::QvRegistryRoot root = QvSystem::ParseRegistryRootKey(path.c_str());
    if (!split)
        return;
    std::string rootName = parts.rootName;
    std::string keyPath = parts.keyPath;
    std::string valueName = parts.valueName;
    Check(!rootName.empty() && rootName.size() <= size_t(QvSystem::kRegistryMaxRootNameLength));
    size_t n = rootName.size();
    Check(path.compare(0, n, rootName) == 0 && n < path.size() && IsSeparator(path[n]));
    Check(path.compare(n + 1, keyPath.size(), keyPath) == 0);
    size_t valueStart = n + 1 + keyPath.size();
    Check(valueStart < path.size() && IsSeparator(path[valueStart]));
    Check(path.compare(valueStart + 1, std::string::npos, valueName) == 0);
    for (char c : valueName)
        Check(!IsSeparator(c));
    bool known = false;
    for (const char* name : kRootNames)
        known = known || rootName == name;
    Check(known == (root != QvSystem::kRegistryRootNone));
}

int64_t ReferenceToInt64(const char* bytes, int32_t length, int64_t defaultValue) {
    if (length < 1)
        return defaultValue;
    int32_t i = 0;
    bool negative = false;
    if (bytes[0] == '+' || bytes[0] == '-') {
        negative = bytes[0] == '-';
        i = 1;
    }
    if (i >= length || bytes[i] < '0' || bytes[i] > '9')
        return defaultValue;
    uint64_t value = 0;
    for (; i < length && bytes[i] >= '0' && bytes[i] <= '9'; ++i)
        value = value * 10 + uint64_t(bytes[i] - '0');
    return int64_t(negative ? 0 - value : value);
}

void CheckNumbers(const QvString& text) {
    int64_t expected = ReferenceToInt64(text.GetText(), text.GetLength(), -77);
    Check(text.ToInt64(-77) == expected);
    Check(text.ToInt(-77) == int32_t(uint32_t(uint64_t(expected))));
}

std::string ReferenceTrim(const std::string& s) {
    size_t begin = 0;
    while (begin < s.size() && IsTrimmed(s[begin]))
        ++begin;
    size_t end = s.size();
    while (end > begin && IsTrimmed(s[end - 1]))
        --end;
    return s.substr(begin, end - begin);
}

void CheckTrim(const std::string& s) {
    QvString text(s.c_str());
    text.Trim();
    Check(std::string(text.GetText(), text.GetLength()) == ReferenceTrim(s));
}

void CheckSplitCommaList(const std::string& s) {
    QvString source(s.c_str());
    QvStringVector items;
    QvStringVector::SplitCommaList(&source, &items);
    size_t expected = 0;
    if (!s.empty()) {
        size_t commas = 0;
        for (char c : s)
            commas += c == ',';
        expected = commas + (s.back() == ',' ? 0 : 1);
        if (commas == 0)
            expected = 1;
    }
    Check(size_t(items.GetCount()) == expected);
    size_t start = 0;
    for (int32_t i = 0; i < items.GetCount(); ++i) {
        size_t comma = s.find(',', start);
        std::string field = s.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        const QvString* item = items.GetAt(i);
        Check(std::string(item->GetText(), item->GetLength()) == ReferenceTrim(field));
        start = comma + 1;
    }
}

void CheckFind(const std::string& s, const std::string& needle, int32_t start) {
    QvString text(s.c_str());
    int32_t expected = -1;
    if (!needle.empty() && start >= 0 && size_t(start) < s.size()) {
        size_t found = s.find(needle, size_t(start));
        expected = found == std::string::npos ? -1 : int32_t(found);
    }
    Check(text.Find(start, needle.c_str()) == expected);
    QvString needleString(needle.c_str());
    Check(text.Find(start, &needleString) == expected);
    if (!needle.empty()) {
        size_t found = start >= 0 && size_t(start) < s.size() ? s.find(needle[0], size_t(start)) : std::string::npos;
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
    CheckNumbers(whole);

    // The C-string forms stop at the first NUL, as the library's callers pass them.
    std::string text(bytes, strnlen(bytes, size));
    std::string needle;
    size_t lineFeed = text.find('\n');
    if (lineFeed != std::string::npos) {
        needle = text.substr(lineFeed + 1);
        text.resize(lineFeed);
    }
    int32_t start = size > 0 ? int32_t(data[0] % 16) - 2 : 0;
    CheckRegistryPath(text);
    CheckTrim(text + (needle.empty() ? "" : "\n" + needle));
    CheckSplitCommaList(text);
    CheckFind(text, needle, start);
    return 0;
}
