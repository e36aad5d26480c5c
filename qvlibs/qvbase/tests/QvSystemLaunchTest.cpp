// Process launch: RunCommand really starts a stand-in program (QvArgRecorder, copied into
// the test's folder) that writes down the argument string it received; the failure cases
// start nothing.
#include "qvbase/QvSystem.h"

#include <gtest/gtest.h>

#include <string>

#include "QvTempDir.h"
#include "QvTestSystem.h"
#include "platform/QvPlatformClock.h"
#include "qvbase/QvString.h"

namespace {

// A started program gets this long to leave its record (Wine may have to start up).
const int kRecordWaitMillis = 30000;
const int kRecordPollMillis = 50;

class QvSystemLaunch : public QvTempDirTest {
protected:
    void SetUp() override {
        QvTempDirTest::SetUp();
        QvTestSystem::UnsetEnv("QV_ARG_RECORDER_OUT");
        std::string source = QvTestSystem::GetProgramDir() + "/" + QV_ARG_RECORDER_FILE_NAME;
        temp.MakeDir("Program Files\\Velbrook");
        temp.MakeDir("tools");
        spacedProgram = temp.Join("Program Files\\Velbrook\\" QV_ARG_RECORDER_FILE_NAME);
        plainProgram = temp.Join("tools\\" QV_ARG_RECORDER_FILE_NAME);
        ASSERT_TRUE(QvTestSystem::CopyProgram(source, spacedProgram)) << source;
        ASSERT_TRUE(QvTestSystem::CopyProgram(source, plainProgram)) << source;
    }

    static bool Run(const std::string& commandLine) {
        QvString line(commandLine.c_str());
        return QvSystem::RunCommand(&line);
    }
    // The record the copy in folder writes next to itself, once it appears.
    static bool WaitForRecord(const std::string& program, std::string* content,
                              const char* suffix = "") {
        std::string record = program.substr(0, program.find_last_of('\\') + 1) + "QvArgRecorder.out" + suffix;
        for (int waited = 0; waited <= kRecordWaitMillis; waited += kRecordPollMillis) {
            if (QvTestFs::ReadFile(record, content))
                return true;
            QvPlatform::Sleep(kRecordPollMillis);
        }
        return false;
    }

    std::string spacedProgram;  // in a folder whose name holds a blank
    std::string plainProgram;
};

TEST_F(QvSystemLaunch, StartsTheProgramWithExactlyTheArgumentString) {
    struct LaunchCase {
        std::string commandLine;
        const std::string* program;
        std::string arguments;
    } cases[] = {
        {"\"" + spacedProgram + "\" -menu 1", &spacedProgram, "-menu 1"},
        {"\"" + spacedProgram + "\" -quitqvbui", &spacedProgram, "-quitqvbui"},
        {"\"" + spacedProgram + "\"", &spacedProgram, ""},
        // The one character after the closing quote is skipped unseen.
        {"\"" + spacedProgram + "\"x", &spacedProgram, ""},
        {"\"" + spacedProgram + "\"x-menu 9", &spacedProgram, "-menu 9"},
        {plainProgram + " -a -b", &plainProgram, "-a -b"},
        {plainProgram, &plainProgram, ""},
    };
    for (const LaunchCase& c : cases) {
        std::string recordPath = c.program->substr(0, c.program->find_last_of('\\') + 1) + "QvArgRecorder.out";
        QvTestFs::RemoveTree(recordPath);
        ASSERT_TRUE(Run(c.commandLine)) << c.commandLine;
        std::string received;
        ASSERT_TRUE(WaitForRecord(*c.program, &received)) << "no record from " << c.commandLine;
        EXPECT_EQ(c.arguments, received) << c.commandLine;
    }
}

TEST_F(QvSystemLaunch, RefusesLinesItCannotSplitAndMissingPrograms) {
    std::string missing = temp.Join("tools\\missing.exe");
    const std::string refused[] = {
        "",
        "ab",
        "\"" + spacedProgram + " -menu 1",                     // no closing quote
        "\"" + missing + "\" -menu 1",                         // no such program
        missing,
        spacedProgram + " -menu 1",                            // cut at the blank of "Program Files"
        "\"\" -menu 1",
        " " + plainProgram,                                    // the whole line names no file
    };
    for (const std::string& commandLine : refused)
        EXPECT_FALSE(Run(commandLine)) << commandLine;
    EXPECT_FALSE(QvSystem::RunCommand(nullptr));
    std::string record;
    EXPECT_FALSE(QvTestFs::ReadFile(temp.Join("tools\\QvArgRecorder.out"), &record));
    EXPECT_FALSE(QvTestFs::ReadFile(temp.Join("Program Files\\Velbrook\\QvArgRecorder.out"), &record));
}

TEST_F(QvSystemLaunch, PosixSplitsTheArgumentStringIntoShellWords) {
    if (QvTestFs::IsWindows())
        GTEST_SKIP() << "windows: the started program splits its command line itself";
    ASSERT_TRUE(Run(plainProgram + " -menu 'a b'  \"c \\\"d\\\" \\\\\" e\\ f '' g\tz"));
    std::string words;
    ASSERT_TRUE(WaitForRecord(plainProgram, &words, ".argv"));
    EXPECT_EQ("-menu\na b\nc \"d\" \\\ne f\n\ng\nz\n", words);

    // An unclosed quote inside the argument string starts nothing.
    EXPECT_FALSE(Run(plainProgram + " 'open"));
    EXPECT_FALSE(Run(plainProgram + " \"open"));
}

TEST_F(QvSystemLaunch, PosixLeavesNothingToReapAndReportsAFailedStart) {
    if (QvTestFs::IsWindows())
        GTEST_SKIP() << "windows: the shell opens documents with their program; no children to reap";
    ASSERT_TRUE(Run(plainProgram + " -menu 1"));
    std::string received;
    ASSERT_TRUE(WaitForRecord(plainProgram, &received));
    // The started program is no child of ours: after it has run, nothing waits here.
    EXPECT_FALSE(QvTestSystem::HasUnreapedChild());

    // It exists, but it cannot be executed.
    std::string document = temp.MakeFile("tools\\notes.txt", "just text");
    EXPECT_FALSE(Run(document + " -menu 1"));
    EXPECT_FALSE(QvTestSystem::HasUnreapedChild());
}

}  // namespace
