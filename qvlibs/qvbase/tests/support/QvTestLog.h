#pragma once
// Test support: the one parser of the log's lines, "YYYY-MM-DD HH:MM:SS <process id in 10 columns> - <message>"
// (header-only, so that the whole-program tests use it without linking the library).

#include <cstdlib>
#include <string>
#include <vector>

namespace QvTestLog {

struct Line {
    std::string stamp;  // "YYYY-MM-DD HH:MM:SS"
    unsigned long processId = 0;
    std::string message;
};

// False when the line is not of the writer's form.
inline bool ParseLine(const std::string& line, Line* out) {
    if (line.size() < 33 || line[19] != ' ' || line.compare(30, 3, " - ") != 0)
        return false;
    const std::string pid = line.substr(20, 10);
    char* end = nullptr;
    unsigned long processId = std::strtoul(pid.c_str(), &end, 10);
    if (end != pid.c_str() + pid.size())  // the number must reach the end of its columns
        return false;
    *out = Line{line.substr(0, 19), processId, line.substr(33)};
    return true;
}

// The lines from byte offset on, a line not of the writer's form kept whole as its message. "\r\n" and "\n"
// end a line; a last line without an end is still being written and left out.
inline std::vector<Line> ParseText(const std::string& text, size_t offset = 0) {
    std::vector<Line> lines;
    for (size_t start = offset, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        std::string raw = text.substr(start, end - start);
        if (!raw.empty() && raw.back() == '\r')
            raw.pop_back();
        Line line;
        if (!ParseLine(raw, &line))
            line.message = raw;
        lines.push_back(line);
    }
    return lines;
}

// The messages of one process (0: every process) that begin with prefix.
inline std::vector<std::string> Messages(const std::string& text, size_t offset = 0, unsigned long processId = 0,
                                         const std::string& prefix = "") {
    std::vector<std::string> messages;
    for (const Line& line : ParseText(text, offset))
        if ((processId == 0 || line.processId == processId) && line.message.compare(0, prefix.size(), prefix) == 0)
            messages.push_back(line.message);
    return messages;
}

}  // namespace QvTestLog
