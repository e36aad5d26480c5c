// The context menu: its entries and labels in the user's language, the two entries that
// come and go, and the send-logs label with the job's progress.
#include "QvBuiTrayMenu.h"

#include "QvBuiTrayState.h"
#include "QvBuiTrayTestSupport.h"

using namespace QvBuiTrayTestEnv;
using QvBuiTrayRecord::menuShows;
using QvBuiTrayMenuTest = QvBuiTrayTest;

static const std::vector<UINT> kAllButSendLogs = {1, 3, 4, 5, 6, 7, 2, 8};

TEST_F(QvBuiTrayMenuTest, ListsEntriesInOrderAndCheckForUpdatesUnlessTheHostInfoDisablesIt) {
    struct Case {
        const char* attributes;  // "": no host-information file
        std::vector<UINT> ids;
    } cases[] = {
        {"", kAllButSendLogs},
        {"enable_check_for_updates=\"FaLsE\"", {1, 3, 5, 6, 7, 2, 8}},
        {"enable_check_for_updates=\"true\" hide_icon=\"false\"", kAllButSendLogs},
    };
    for (const Case& c : cases) {
        WriteHostInfo(c.attributes);
        ShowQvBuiTrayMenu(mainWindow);
        EXPECT_EQ(c.ids, menuShows.back().ids) << c.attributes;
    }
    EXPECT_EQ((std::vector<std::string>{"Open Velbrook", "Help", "Check for Updates", "Inherit a Backup",
                                        "Restore Options", "About Velbrook", "-", "Quit"}),
              menuShows[0].labels);
}

TEST_F(QvBuiTrayMenuTest, LanguageSettingMakesLabelsFrenchUntilTheProgramEnds) {
    WriteLocaleSetting("fr_FR");
    ShowQvBuiTrayMenu(mainWindow);
    WriteLocaleSetting("default");
    ShowQvBuiTrayMenu(mainWindow);
    ASSERT_EQ(2u, menuShows.size());
    for (const QvBuiTrayMenuShow& show : menuShows)
        EXPECT_EQ((std::vector<std::string>{"Ouvrir Velbrook", "Aide", "Rechercher des mises \xC3\xA0 jour",
                                            "H\xC3\xA9riter d'une sauvegarde", "Options", "\xC3\x80 propos", "-",
                                            "Quitter"}),
                  show.labels);
}

TEST_F(QvBuiTrayMenuTest, ControlHeldOnceAddsSendLogsForEveryLaterMenu) {
    for (bool held : {false, true, false}) {
        SetControlKeyHeld(held);
        ShowQvBuiTrayMenu(mainWindow);
    }
    ASSERT_EQ(3u, menuShows.size());
    EXPECT_EQ(kAllButSendLogs, menuShows[0].ids);
    EXPECT_EQ((std::vector<UINT>{1, 3, 4, 5, 6, 9, 7, 2, 8}), menuShows[1].ids);
    EXPECT_EQ(menuShows[1].ids, menuShows[2].ids);
}

TEST_F(QvBuiTrayMenuTest, SendLogsLabelShowsTheJobsProgressAsItIs) {
    struct Case {
        uint32_t status;  // 0: no record
        uint64_t done, total;
        const char* label;
    } cases[] = {{1, 30, 100, "Preparing logs (3%)"},
                 {2, 50, 100, "Sending logs (55%)"},
                 {7, 5, 10, "Send Logs"},
                 {0, 0, 0, "Send Logs"}};
    QvBuiTray::showSendLogsItem = true;
    for (const Case& c : cases) {
        WriteSendLogsRecord(c.status, c.done, c.total);
        ShowQvBuiTrayMenu(mainWindow);
        EXPECT_EQ(c.label, menuShows.back().labels[5]) << "status " << c.status;
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
