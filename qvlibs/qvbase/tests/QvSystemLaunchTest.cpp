// Process launch: RunCommand starts a stand-in program (QvArgRecorder, copied into the test's
// folder) that writes down the argument string it received.
#include "qvbase/QvSystem.h"

#include <gtest/gtest.h>

#include <string>

#include "QvTempDir.h"
#include "QvTestSystem.h"
#include "qvbase/QvString.h"

namespace {

class QvSystemLaunch : public QvTempDirTest {
protected:
    void SetUp() override {
        QvTempDirTest::SetUp();
        QvTestSystem::UnsetEnv("QV_ARG_RECORDER_OUT");
        std::string source = QvTestSystem::GetProgramDir() + "/" + QV_ARG_RECORDER_FILE_NAME;
        temp.MakeDir("Program Files\\Velbrook"), temp.MakeDir("tools");
        ASSERT_TRUE(QvTestSystem::CopyProgram(source, spacedProgram) && QvTestSystem::CopyProgram(source, plainProgram))
            << source;
    }
    static bool Run(const std::string& line) { QvString text(line.c_str()); return QvSystem::RunCommand(&text); }
    // The record the program writes next to itself once it has run.
    static std::string Record(const std::string& program, const char* suffix = "") {
        return program.substr(0, program.find_last_of('\\') + 1) + "QvArgRecorder.out" + suffix;
    }
    static bool WaitForRecord(const std::string& program, std::string* content, const char* suffix = "") {
        return QvTestSystem::WaitForHandshake([&] { return QvTestFs::ReadFile(Record(program, suffix), content); });
    }
    std::string spacedProgram = temp.Join("Program Files\\Velbrook\\" QV_ARG_RECORDER_FILE_NAME);
    std::string plainProgram = temp.Join("tools\\" QV_ARG_RECORDER_FILE_NAME);
};

TEST_F(QvSystemLaunch, StartsTheProgramWithExactlyTheArgumentStringOrRefusesTheLine) {
    std::string missing = temp.Join("tools\\missing.exe"), quoted = "\"" + spacedProgram + "\"";
    for (const std::string& commandLine : {
             std::string(), std::string("ab"), "\"" + spacedProgram + " -menu 1",  // no closing quote
             "\"" + missing + "\" -menu 1", missing, spacedProgram + " -menu 1",  // cut at the blank of "Program Files"
             std::string("\"\" -menu 1"), " " + plainProgram})                    // the whole line names no file
        EXPECT_FALSE(Run(commandLine)) << commandLine;
    EXPECT_FALSE(QvSystem::RunCommand(nullptr));
    EXPECT_FALSE(QvTestFs::Exists(Record(plainProgram)) || QvTestFs::Exists(Record(spacedProgram)));
    const struct { std::string commandLine; const std::string* program; std::string arguments; } cases[] = {
        {quoted + " -menu 1", &spacedProgram, "-menu 1"}, {quoted, &spacedProgram, ""},
        {quoted + "x-menu 9", &spacedProgram, "-menu 9"},  // the one character after the quote is skipped unseen
        {plainProgram + " -a -b", &plainProgram, "-a -b"}, {plainProgram, &plainProgram, ""},
    };
    for (const auto& c : cases) {
        QvTestFs::RemoveTree(Record(*c.program));
        std::string received;
        ASSERT_TRUE(Run(c.commandLine) && WaitForRecord(*c.program, &received)) << "no record from " << c.commandLine;
        EXPECT_EQ(c.arguments, received) << c.commandLine;
    }
}

TEST_F(QvSystemLaunch, PosixHandsTheArgumentStringWholeAndLeavesNothingToReap) {
    if (QvTestFs::IsWindows())
        GTEST_SKIP() << "windows: the started program splits its command line itself; no children to reap";
    const std::string arguments = "-menu 'a b'  \"c\" \\ $HOME `x`";
    ASSERT_TRUE(Run(plainProgram + " " + arguments));
    std::string words;
    ASSERT_TRUE(WaitForRecord(plainProgram, &words, ".argv"));
    EXPECT_EQ(arguments + "\n", words) << "expected one argument, unsplit and unexpanded";
    // The started program is no child of ours: after it has run, nothing waits here.
    EXPECT_FALSE(QvTestSystem::HasUnreapedChild());
    // A file that cannot be executed starts nothing and leaves nothing either.
    const std::string notAProgram = temp.MakeFile("tools\\notes.txt", "just text");
    EXPECT_FALSE(Run(notAProgram + " -menu 1")) << "started " << notAProgram;
    EXPECT_FALSE(QvTestSystem::HasUnreapedChild());
}

}  // namespace
