// The UI utility module's start-up and its interface texts. The whole interface-text file
// is loaded once; a lookup takes the text from the current locale's element, falls back to
// the English element, and remembers the texts of a fixed set of often-used keys until the
// locale changes.
#include "qvbase/QvUiUtil.h"

#include <atomic>
#include <mutex>
#include <new>

#include "config/QvUiUtilState.h"
#include "foundation/QvUntilExit.h"
#include "qvbase/QvFile.h"
#include "qvbase/QvFileXml.h"
#include "qvbase/QvInfoManager.h"
#include "qvbase/QvLog.h"
#include "qvbase/QvString.h"
#include "qvbase/QvStringVector.h"
#include "qvbase/QvSystem.h"

namespace QvUiUtilPrivate {

// Texts of the control panel's main window, schedule and progress displays, asked for
// over and over while it runs; every other key is looked up afresh each time.
const char* const kCachedKeys[] = {
    "MainDialog_Button_PauseBackup",
    "MainDialog_Button_BackupNow",
    "MainDialog_Button_RestoreOptions",
    "MainDialog_Button_Settings",
    "MainDialog_WhatIsBeingBackedUp",
    "MainDialog_HowLongWillMyFirstBackupTake",
    "ScheduleTab_Continuously",
    "ScheduleTab_OncePerDay",
    "ScheduleTab_OnlyWhenClickBackupNow",
    "OverviewTab_RemainingFilesToBackup",
    "OverviewTab_LastBackupTodayFormatStr",
    "MainDialog_NumbersBelowAreOld",
    "MainDialog_SelectedForBackup",
    "MainDialog_BackupSchedule",
    "MainDialog_RemainingFiles",
    "MainDialog_Transferring",
    "MainDialog_TopBanner_InitialBackupInProgress",
    "MainDialog_TopBanner_InitialBackupPaused",
    "MainDialog_TopBanner_YouAreBackedUpAsOf",
    "MainDialog_TopBanner_CurrentlyBackingUpFiles",
    "MainDialog_TopBanner_CurrentlyBackingUpNewerFiles",
    "MainDialog_TopBanner_BackupPausedUntilTime",
    "MainDialog_TopBanner_OfflineBackupPausedUntilTime",
    "MainDialog_TopBanner_DatacenterOfflineBackupPausedUntilTime",
    "MainDialog_TopBanner_BackupPausedUntilYouClick",
    "MainDialog_TopBanner_BackupPausedUntilComputerIdle",
    "MainDialog_TopBanner_BackupPausedUntilStartTime",
    "MainDialog_TopBanner_FilesWillBeBackedUpAsTheyChange",
    "MainDialog_TopBanner_NewerFilesWillBeBackedUpWhenIdle",
    "MainDialog_TopBanner_NewerFilesWillBeBackedUpWhenClick",
    "MainDialog_TopBanner_NewerFilesWillBeBackedUpAtTime",
    "MainDialog_BottomBanner_ViewFilesAt",
    "MainDialog_BottomBanner_YourDataIsNotBackedUp",
    "MainDialog_AnimatedHelpTip_StopShowingTips",
    "MainDialog_AnimatedHelpTip_TipLabel",
    "MainDialog_AnimatedHelpTip_MaxNumber",
    "MainDialog_AnimatedHelpTip_Tip01",
    "MainDialog_AnimatedHelpTip_Tip02",
    "MainDialog_AnimatedHelpTip_Tip03",
    "MainDialog_AnimatedHelpTip_Tip04",
    "MainDialog_AnimatedHelpTip_Tip05",
    "MainDialog_AnimatedHelpTip_Tip06",
    "MainDialog_AnimatedHelpTip_Tip07",
    "MainDialog_AnimatedHelpTip_Tip08",
    "MainDialog_AnimatedHelpTip_Tip09",
    "MainDialog_ManageAccountAt",
    "MainDialog_Questions",
    "MainDialog_HelpCenter",
    "file",
    "files",
    "VersionHistory30DaysTitle",
    "restore_file",
    "progress",
    "transfer",
    "transfer_rate_sentence_less_than_1000_KbitsPerSec_two_min_remaining",
    "transfer_rate_sentence_less_than_1000_KbitsPerSec_two_hours_remaining",
    "transfer_rate_sentence_less_than_1000_KbitsPerSec_many_hours_remaining",
    "transfer_rate_sentence_more_than_1000_KbitsPerSec_two_min_remaining",
    "transfer_rate_sentence_more_than_1000_KbitsPerSec_two_hours_remaining",
    "transfer_rate_sentence_more_than_1000_KbitsPerSec_many_min_remaining",
    "progress_sentence_MBytes",
    "progress_sentence_GBytes",
};
const int32_t kCachedKeyCount = int32_t(sizeof kCachedKeys / sizeof kCachedKeys[0]);
static_assert(sizeof kCachedKeys / sizeof kCachedKeys[0] == 62, "the text cache holds 62 keys");

}  // namespace QvUiUtilPrivate

namespace {

const char* const kInterfaceFileName = "qvbui_interface.xml";
const char* const kInterfaceTextTag = "qvbui_text";
const char* const kLangAttribute = "lang";
const char* const kFallbackLocale = "en_US";
const char* const kMissingTextPrefix = "ERR_";
const char* const kLocaleSettingAttribute = "qvui_locale";
const char* const kLocaleSettingDefault = "default";
const char* const kInstallerLocaleFileName = "qvui_installer_locale.txt";

const char* const kLookupErrorPrefix = "ERROR: GetUtf8InterfaceText, ";
const char* const kNoTextElementError = "no <qvbui_text> tag found in private_qvbuiInterfaceXml";
const char* const kNoLangError = "no <lang> tag found in snippet: ";
// The line for a key missing from the current language carries another operation's name;
// the client's other programs log the same text, and log readers look for it.
const char* const kKeyMissingErrorStart = "ERROR: GetI18nInstallText, no <";
const char* const kKeyMissingErrorMiddle = "> tag found in snippet: ";
const char* const kNoEnglishError = "could not even find English for: ";

using QvUiUtilPrivate::kCachedKeyCount;
using QvUiUtilPrivate::kCachedKeys;

using QvUiUtilPrivate::QvUiTextState;
using QvUiUtilPrivate::State;

bool IsEqual(const char* a, const char* b) { return QvString::Compare(a, b) == 0; }

// Fills the cache with the fixed keys and as many empty texts. Without room for all of
// them the cache stays empty and every lookup reads the interface text.
void FillCachedKeys(QvUiTextState& s) {
    s.cachedKeys.Clear();
    s.cachedTexts.Clear();
    for (int32_t i = 0; i < kCachedKeyCount; ++i) {
        QvString* key = new QvString(kCachedKeys[i]);
        QvString* text = new QvString();
        bool added = key && text && key->GetLength() > 0 && s.cachedKeys.Add(key);
        if (!added) {
            delete key;
            delete text;
        } else if (!s.cachedTexts.Add(text)) {
            delete text;
            added = false;
        }
        if (!added) {
            s.cachedKeys.Clear();
            s.cachedTexts.Clear();
            return;
        }
    }
}

// Index of the first cached key equal to key, or -1.
int32_t FindCachedKey(const QvUiTextState& s, const char* key) {
    if (s.cachedKeys.GetCount() != s.cachedTexts.GetCount())
        return -1;
    for (int32_t i = 0; i < s.cachedKeys.GetCount(); ++i) {
        if (IsEqual(s.cachedKeys.GetAt(i)->GetText(), key))
            return i;
    }
    return -1;
}

void WriteErrorLine(QvUiTextState& s, const char* start, const char* middle, const char* end) {
    s.errorText.Set(start);
    s.errorText.Append(middle);
    s.errorText.Append(end);
    WriteLogLine(&s.errorText);
}

void SetMissingText(const char* key, QvString* out) {
    out->Set(kMissingTextPrefix);
    out->Append(key);
}

// Reads key from the first element of the current language, else from the first English
// element. False, with "ERR_" and the key in out, when neither has it.
bool LookUpInterfaceText(QvUiTextState& s, const char* locale, const char* key, QvString* out) {
    s.lang.Set("");
    s.errorText.Set("");

    if (!QvFile::GetAllXmlSnippetsWithTagNameInXml(&s.private_qvbuiInterfaceXml, kInterfaceTextTag,
                                                   &s.snippets)) {
        WriteErrorLine(s, kLookupErrorPrefix, kNoTextElementError, "");
        SetMissingText(key, out);
        return false;
    }

    // The current language. Elements without a language are reported on the way.
    for (int32_t i = 0; i < s.snippets.GetCount(); ++i) {
        const char* snippet = s.snippets.GetAt(i)->GetText();
        if (!QvFile::GetUniqueStrAttrFromXmlSnippet(snippet, kLangAttribute, &s.lang)) {
            WriteErrorLine(s, kLookupErrorPrefix, kNoLangError, snippet);
            continue;
        }
        if (!IsEqual(s.lang.GetText(), locale))
            continue;
        if (QvFile::GetUniqueStrAttrFromXmlSnippet(snippet, key, out))
            return true;
        s.errorText.Set(kKeyMissingErrorStart);
        s.errorText.Append(key);
        s.errorText.Append(kKeyMissingErrorMiddle);
        s.errorText.Append(locale);
        WriteLogLine(&s.errorText);
        break;
    }

    // English, from the first element that has it.
    for (int32_t i = 0; i < s.snippets.GetCount(); ++i) {
        const char* snippet = s.snippets.GetAt(i)->GetText();
        if (!QvFile::GetUniqueStrAttrFromXmlSnippet(snippet, kLangAttribute, &s.lang) ||
            !IsEqual(s.lang.GetText(), kFallbackLocale))
            continue;
        if (QvFile::GetUniqueStrAttrFromXmlSnippet(snippet, key, out))
            return true;
        break;
    }
    WriteErrorLine(s, kLookupErrorPrefix, kNoEnglishError, key);
    SetMissingText(key, out);
    return false;
}

}  // namespace

// The first caller runs the start; callers from other threads meanwhile wait on the start
// lock and return once it is complete. The start lock is taken before any other lock of
// the module (the settings reader, the interface-text lock and the log nest inside it).
void InitQvUiUtil() {
    QvUiTextState& s = State();
    if (s.started.load(std::memory_order_acquire))
        return;
    std::lock_guard<std::recursive_mutex> startGuard(s.startLock);
    if (s.uiUtilInitialized)
        return;
    // Set first: whatever the steps below call must not start the initialisation again.
    s.uiUtilInitialized = true;

    QvInfoManager::ReadControlPanelSettingsFromQvInfoXmlFile();

    QvString path;
    QvSystem::GetInstallDir(&path);
    path.Append(kInterfaceFileName);
    {
        std::lock_guard<std::mutex> guard(QvUiUtilPrivate::InterfaceTextLock());
        // A missing or unreadable file is not logged here: every lookup reports it.
        if (!QvFile::ReadFileToString(path.GetText(), &s.private_qvbuiInterfaceXml))
            s.private_qvbuiInterfaceXml.Set("");
    }

    s.started.store(true, std::memory_order_release);
}

const QvString& GetQvUiLocale() {
    QvUiTextState& s = State();
    InitQvUiUtil();

    QvString setting;
    QvFile::GetUniqueStrAttrFromXmlFile(QvInfoManager::GetQvInfoXmlPath()->GetText(),
                                        kLocaleSettingAttribute, &setting);
    if (setting.GetLength() > 0 && !IsEqual(setting.GetText(), kLocaleSettingDefault)) {
        s.uiLocaleSetting.Set(&setting);
        return s.uiLocaleSetting;
    }

    // No choice in the settings: the language picked at installation, taken as written.
    QvString installerFile;
    QvSystem::GetDataDir(&installerFile);
    installerFile.Append(kInstallerLocaleFileName);
    if (QvFile::FileExists(&installerFile)) {
        QvString content;
        if (QvFile::ReadFileToString(installerFile.GetText(), &content))
            s.uiLocaleSetting.Set(&content);
        else
            s.uiLocaleSetting.Set(kLocaleSettingDefault);
    } else {
        s.uiLocaleSetting.Set(&setting);
    }
    return s.uiLocaleSetting;
}

void GetUtf8InterfaceText(const char* key, QvString* out) {
    QvUiTextState& s = State();
    InitQvUiUtil();
    if (!out)
        return;
    if (!key)
        key = "";

    // The lock covers the cache as well, so that lookups from several threads cannot
    // clear the cache under one another.
    std::lock_guard<std::mutex> guard(QvUiUtilPrivate::InterfaceTextLock());
    const char* locale = QvSystem::GetLocaleCode();
    if (!IsEqual(locale, s.cachedLocale.GetText())) {
        s.cachedKeys.Clear();
        s.cachedTexts.Clear();
        s.cachedLocale.Set(locale);
    }
    if (s.cachedKeys.GetCount() == 0)
        FillCachedKeys(s);

    int32_t cacheIndex = FindCachedKey(s, key);
    QvString* cachedText = cacheIndex >= 0 ? s.cachedTexts.GetAt(cacheIndex) : nullptr;
    if (cachedText && cachedText->GetLength() > 0) {
        out->Set(cachedText);
        return;
    }

    if (LookUpInterfaceText(s, locale, key, out) && cachedText)
        cachedText->Set(out);
}

namespace QvUiUtilPrivate {

QvUiTextState& State() {
    static QvUntilExit<QvUiTextState> state;
    return *state;
}

std::mutex& InterfaceTextLock() {
    static QvUntilExit<std::mutex> lock;
    return *lock;
}

}  // namespace QvUiUtilPrivate
