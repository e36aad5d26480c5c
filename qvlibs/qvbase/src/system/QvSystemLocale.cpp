// Locale codes: the eleven languages of the client's interface text, chosen either by an
// explicit override (the user's language setting) or by the user's interface language.
#include "qvbase/QvSystem.h"

#include <atomic>
#include <cstring>

#include "system/QvPlatformShell.h"
#include "system/QvSystemState.h"

namespace {

struct QvLocaleEntry {
    const char* code;
    uint16_t languageId;  // compared as a whole: primary language and sub-language
};

// Searched in this order. Only the listed sub-languages count: Chinese (Taiwan) 0x0404
// and traditional-sort Spanish 0x040A fall back to "en_US" like any other language.
const QvLocaleEntry kLocaleTable[] = {
    {"en_US", 0x0409}, {"ja_JP", 0x0411}, {"zh_TW", 0x0C04}, {"zh_CN", 0x0804},
    {"ko_KR", 0x0412}, {"fr_FR", 0x040C}, {"de_DE", 0x0407}, {"es_ES", 0x0C0A},
    {"it_IT", 0x0410}, {"ru_RU", 0x0419}, {"pt_BR", 0x0416},
};
const char* const kDefaultLocaleCode = kLocaleTable[0].code;

}  // namespace

namespace QvSystem {

const char* GetLocaleCode() {
    const char* chosen = QvSystemPrivate::LocaleOverride().load();
    if (chosen)
        return chosen;
    // Asked on every call: the display language may change while the program runs.
    uint16_t languageId = QvPlatform::GetUserDefaultUiLanguage();
    for (const QvLocaleEntry& entry : kLocaleTable) {
        if (entry.languageId == languageId)
            return entry.code;
    }
    return kDefaultLocaleCode;
}

bool SetLocaleCode(const char* code) {
    if (!code)
        return false;
    for (const QvLocaleEntry& entry : kLocaleTable) {
        if (strcmp(code, entry.code) == 0) {
            QvSystemPrivate::LocaleOverride() = entry.code;
            return true;
        }
    }
    return false;
}

}  // namespace QvSystem

namespace QvSystemPrivate {
std::atomic<const char*>& LocaleOverride() {
    static std::atomic<const char*> chosen{nullptr};  // trivially destroyed
    return chosen;
}
}  // namespace QvSystemPrivate
