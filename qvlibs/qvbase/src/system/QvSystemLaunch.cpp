// Process launch: splits one command-line text into the program path and its argument
// string, checks that the program exists and has the platform shell start it. The
// argument string travels unchanged; the started program splits it by its own rules.
#include "qvbase/QvSystem.h"

#include "system/QvPlatformShell.h"
#include "qvbase/QvFile.h"
#include "qvbase/QvString.h"
#include "qvbase/QvUtf16String.h"

namespace {

// Shorter command lines cannot name a program and an argument.
const int32_t kMinCommandLineLength = 3;

// "prog" args: the character right after the closing quote is the separator and is
// skipped unseen. prog args: cut at the first blank (tabs do not separate); a blank at
// index 0 or no blank at all leaves the whole line as the program.
bool SplitCommandLine(const QvString* commandLine, QvString* program, QvString* arguments) {
    const char* text = commandLine->GetText();
    int32_t length = commandLine->GetLength();
    if (text[0] == '"') {
        int32_t closingQuote = commandLine->FindChar(1, '"');
        if (closingQuote < 0)
            return false;
        program->Set(text + 1, closingQuote - 1);
        if (length > closingQuote + 2)
            arguments->Set(text + closingQuote + 2, length - closingQuote - 2);
        return true;
    }
    int32_t blank = commandLine->FindChar(0, ' ');
    if (blank >= 1) {
        program->Set(text, blank);
        arguments->Set(text + blank + 1, length - blank - 1);
    } else {
        program->Set(commandLine);
    }
    return true;
}

}  // namespace

namespace QvSystem {

bool RunCommand(const QvString* commandLine) {
    if (!commandLine || commandLine->GetLength() < kMinCommandLineLength)
        return false;
    QvString program;
    QvString arguments;
    if (!SplitCommandLine(commandLine, &program, &arguments))
        return false;
    if (!QvFile::FileExists(&program))
        return false;

    QvUtf16String wideProgram;
    QvUtf16String wideArguments;
    if (!QvUtf16String::ConvertUtf8QvStringToUtf16(&program, &wideProgram, nullptr) ||
        !QvUtf16String::ConvertUtf8QvStringToUtf16(&arguments, &wideArguments, nullptr))
        return false;
    return QvPlatform::ShellOpenProgram(&wideProgram, &wideArguments);
}

}  // namespace QvSystem
