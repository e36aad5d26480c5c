// The context menu: its entries and labels in the user's language, the two entries that
// come and go, and the send-logs label with the job's progress.
#include "QvBuiTrayMenu.h"

#include "QvBuiTrayConstants.h"
#include "QvBuiTrayState.h"
#include "QvBuiTrayTestSupport.h"
#include "qvbase/QvString.h"

using namespace QvBuiTray;
using namespace QvBuiTrayTestEnv;
using namespace QvBuiTrayRecord;

using QvBuiTrayMenuTest = QvBuiTrayTest;

static QvBuiTrayMenuShow BuildAndDescribe() {
    HMENU menu = BuildQvBuiTrayMenu();
    EXPECT_NE(nullptr, menu);
    QvBuiTrayMenuShow show = DescribeMenu(menu, nullptr, 0);
    DestroyMenu(menu);
    return show;
}

static std::vector<std::string> Labels(const QvBuiTrayMenuShow& show) {
    std::vector<std::string> labels;
    for (const std::wstring& text : show.texts)
        labels.push_back(Utf8(text));
    return labels;
}

TEST_F(QvBuiTrayMenuTest, ListsEntriesInOrderWithEnglishLabels) {
    QvBuiTrayMenuShow show = BuildAndDescribe();
    EXPECT_EQ((std::vector<UINT>{1, 3, 4, 5, 6, 7, 2, 8}), show.ids);
    EXPECT_EQ((std::vector<std::string>{"Open Velbrook", "Help", "Check for Updates", "Inherit a Backup",
                                        "Restore Options", "About Velbrook", "-", "Quit"}),
              Labels(show));
}

TEST_F(QvBuiTrayMenuTest, OffersCheckForUpdatesUnlessTheHostInfoDisablesIt) {
    struct Case {
        const char* attributes;  // null: no host-information file
        bool offered;
    } cases[] = {
        {nullptr, true},
        {"enable_check_for_updates=\"FaLsE\"", false},
        {"enable_check_for_updates=\"no\"", true},
        {"enable_check_for_updates=\"true\" hide_icon=\"false\"", true},
    };
    for (const Case& c : cases) {
        if (c.attributes)
            WriteHostInfo(c.attributes);
        else
            RemoveHostInfo();
        std::vector<UINT> expected = c.offered ? std::vector<UINT>{1, 3, 4, 5, 6, 7, 2, 8}
                                               : std::vector<UINT>{1, 3, 5, 6, 7, 2, 8};
        EXPECT_EQ(expected, BuildAndDescribe().ids) << (c.attributes ? c.attributes : "(no file)");
    }
}

TEST_F(QvBuiTrayMenuTest, LanguageSettingMakesLabelsFrenchUntilTheProgramEnds) {
    WriteLocaleSetting("fr_FR");
    ShowQvBuiTrayMenu(mainWindow);
    WriteLocaleSetting("default");
    ShowQvBuiTrayMenu(mainWindow);

    ASSERT_EQ(2u, menuShows.size());
    for (const QvBuiTrayMenuShow& show : menuShows) {
        EXPECT_EQ((std::vector<UINT>{1, 3, 4, 5, 6, 7, 2, 8}), show.ids);
        EXPECT_EQ((std::vector<std::string>{"Ouvrir Velbrook", "Aide", "Rechercher des mises \xC3\xA0 jour",
                                            "H\xC3\xA9riter d'une sauvegarde", "Options de restauration",
                                            "\xC3\x80 propos de Velbrook", "-", "Quitter"}),
                  Labels(show));
    }
}

TEST_F(QvBuiTrayMenuTest, ControlHeldOnceAddsSendLogsForEveryLaterMenu) {
    ShowQvBuiTrayMenu(mainWindow);
    SetControlKeyHeld(true);
    ShowQvBuiTrayMenu(mainWindow);
    SetControlKeyHeld(false);
    ShowQvBuiTrayMenu(mainWindow);

    ASSERT_EQ(3u, menuShows.size());
    EXPECT_EQ((std::vector<UINT>{1, 3, 4, 5, 6, 7, 2, 8}), menuShows[0].ids);
    for (size_t i = 1; i < 3; ++i) {
        EXPECT_EQ((std::vector<UINT>{1, 3, 4, 5, 6, 9, 7, 2, 8}), menuShows[i].ids) << "menu " << i;
        EXPECT_EQ("Send Logs", Utf8(menuShows[i].texts[5]));
    }
}

TEST_F(QvBuiTrayMenuTest, SendLogsLabelShowsTheJobsProgress) {
    struct Case {
        bool record;
        uint32_t status;
        uint64_t done, total;
        const char* label;
    } cases[] = {
        {false, 0, 0, 0, "Send Logs"},
        {true, 1, 30, 100, "Preparing logs (3%)"},
        {true, 2, 50, 100, "Sending logs (55%)"},
        {true, 2, 0, 0, "Sending logs (10%)"},
        {true, 7, 5, 10, "Send Logs"},
    };
    for (const Case& c : cases) {
        if (c.record)
            WriteSendLogsRecord(c.status, c.done, c.total, 0);
        else
            RemoveSendLogsRecord();
        QvString label;
        BuildQvBuiSendLogsLabel(&label);
        EXPECT_STREQ(c.label, label.GetText()) << "status " << c.status << ", " << c.done << " of " << c.total;
    }

    // The label goes into the menu as it is, not as a key.
    WriteSendLogsRecord(1, 30, 100, 0);
    showSendLogsItem = true;
    QvBuiTrayMenuShow show = BuildAndDescribe();
    ASSERT_EQ(9u, show.ids.size());
    EXPECT_EQ(9u, show.ids[5]);
    EXPECT_EQ("Preparing logs (3%)", Utf8(show.texts[5]));
}

TEST_F(QvBuiTrayMenuTest, EntryThatCannotBeAppendedIsLoggedWithItsKey) {
    HMENU gone = CreatePopupMenu();
    DestroyMenu(gone);
    EXPECT_FALSE(qvbuiAppendStrMenuItem(gone, "TrayMenuItem_Help", kQvBuiTrayCmdHelp, true));
    EXPECT_FALSE(qvbuiAppendStrMenuItem(gone, "Plain label", kQvBuiTrayCmdSendLogs, false));
    EXPECT_EQ((std::vector<std::string>{"ERROR: qvbuiAppendStrMenuItem failed to AppendMenu: TrayMenuItem_Help",
                                        "ERROR: qvbuiAppendStrMenuItem failed to AppendMenu: Plain label"}),
              ReadLogSinceMark());
}
