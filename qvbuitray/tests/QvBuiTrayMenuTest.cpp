// The context menu: its entries and labels in the user's language, the two entries that
// come and go, and the send-logs label with the job's progress.
#include "QvBuiTrayMenu.h"

#include <fstream>
#include <sstream>

#include "QvBuiTrayState.h"
#include "QvBuiTrayTestSupport.h"
#include "QvTestCommon.h"

static const std::string kEnglish =
    "1 Open Velbrook|3 Help|4 Check for Updates|5 Inherit a Backup|6 Restore Options|7 About Velbrook|2 -|8 Quit";

static std::string WithSendLogs(const std::string& label) {  // the send-logs entry (9) comes before About
    return std::string(kEnglish).insert(kEnglish.find("7 About"), "9 " + label + "|");
}

class QvBuiTrayMenuTest : public QvBuiTrayTest {
protected:
    std::string Menu() {
        ShowQvBuiTrayMenu(mainWindow);
        return menuShows.back().items;
    }
};

TEST_F(QvBuiTrayMenuTest, ListsEntriesInOrderAndCheckForUpdatesUnlessTheHostInfoDisablesIt) {
    EXPECT_EQ(kEnglish, Menu()) << "no host information";
    WriteHostInfo("enable_check_for_updates=\"FaLsE\"");
    EXPECT_EQ("1 Open Velbrook|3 Help|5 Inherit a Backup|6 Restore Options|7 About Velbrook|2 -|8 Quit", Menu());
    WriteHostInfo("enable_check_for_updates=\"true\" hide_icon=\"false\"");
    EXPECT_EQ(kEnglish, Menu());
}

TEST_F(QvBuiTrayMenuTest, LanguageSettingMakesLabelsFrenchUntilTheProgramEnds) {
    const std::string french = "1 Ouvrir Velbrook|3 Aide|4 Rechercher des mises \xC3\xA0 jour|"
                               "5 H\xC3\xA9riter d'une sauvegarde|6 Options|7 \xC3\x80 propos|2 -|8 Quitter";
    WriteLocaleSetting("fr_FR");
    EXPECT_EQ(french, Menu());
    WriteLocaleSetting("default");
    EXPECT_EQ(french, Menu());
}

TEST_F(QvBuiTrayMenuTest, ControlHeldOnceAddsSendLogsWithTheJobsProgressToEveryLaterMenu) {
    EXPECT_EQ(kEnglish, Menu());
    SetControlKeyHeld(true);
    EXPECT_EQ(WithSendLogs("Send Logs"), Menu());
    SetControlKeyHeld(false);
    struct Case { uint32_t status; uint64_t done, total; const char* label; } cases[] = {  // status 0: no record
        {1, 30, 100, "Preparing logs (3%)"}, {2, 50, 100, "Sending logs (55%)"}, {7, 5, 10, "Send Logs"},
        {0, 0, 0, "Send Logs"}};
    for (const Case& c : cases) {
        WriteSendLogsRecord(c.status, c.done, c.total);
        EXPECT_EQ(WithSendLogs(c.label), Menu()) << "status " << c.status;
    }
}

TEST_F(QvBuiTrayMenuTest, EntryThatCannotBeAppendedIsLoggedWithWhatWasPassed) {
    HMENU gone = CreatePopupMenu();
    DestroyMenu(gone);
    EXPECT_FALSE(qvbuiAppendStrMenuItem(gone, "TrayMenuItem_Help", 3, true));
    EXPECT_FALSE(qvbuiAppendStrMenuItem(gone, "Plain label", 9, false));
    EXPECT_EQ((std::vector<std::string>{"ERROR: qvbuiAppendStrMenuItem failed to AppendMenu: TrayMenuItem_Help",
                                        "ERROR: qvbuiAppendStrMenuItem failed to AppendMenu: Plain label"}),
              TakeLog());
}

// Every language the client ships, through the real menu-building path: each label reaches
// the menu and comes back exactly as the interface text gives it (the file itself is checked
// by the library's own test), with nothing lost in the wide calls.
TEST_F(QvBuiTrayMenuTest, ShowsEveryShippedLanguageExactlyAsTheInterfaceTextGivesIt) {
    std::ifstream in(QvTestDataFile(QV_INTERFACE_XML_PATH), std::ios::binary);
    std::stringstream file;
    file << in.rdbuf();
    temp.MakeFile("install\\qvbui_interface.xml", file.str());
    SetControlKeyHeld(true);  // the send-logs entry, in every later menu
    Menu();
    SetControlKeyHeld(false);
    WriteSendLogsRecord(1, 30, 100);  // "preparing", at 3 %
    const struct { int id; const char* key; } entries[] = {
        {1, "TrayMenuItem_VelbrookControlPanel"}, {3, "TrayMenuItem_Help"}, {4, "TrayMenuItem_CheckForUpdates"},
        {5, "TrayMenuItem_Inherit"}, {6, "MainDialog_Button_RestoreOptions"}, {9, "SendLogsMenu_Status_Preparing"},
        {7, "TrayMenuItem_About"}, {8, "TrayMenuItem_Quit"}};
    for (const char* language : {"en_US", "ja_JP", "zh_TW", "zh_CN", "ko_KR", "fr_FR", "de_DE", "es_ES", "it_IT",
                                 "ru_RU", "pt_BR"}) {
        WriteLocaleSetting(language);
        const std::string shown = Menu();
        std::string expected;
        for (const auto& entry : entries) {
            std::string label = LookUp(entry.key);
            if (entry.id == 9)  // a printf format: "%u" takes the percentage, "%%" is "%"
                label = label.replace(label.find("%u"), 2, "3").replace(label.find("%%"), 2, "%");
            expected += std::to_string(entry.id) + " " + label + (entry.id == 7 ? "|2 -|" : entry.id == 8 ? "" : "|");
        }
        EXPECT_EQ(expected, shown) << language;
        EXPECT_TRUE(shown.find('?') == std::string::npos && shown.find("\xEF\xBF\xBD") == std::string::npos)
            << language << ": " << shown;
    }
}
