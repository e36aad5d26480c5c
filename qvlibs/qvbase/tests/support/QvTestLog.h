#pragma once
// Test support: reading the log the way a person reads it. Every line the log writer
// writes is "YYYY-MM-DD HH:MM:SS <process id right-aligned in 10 columns> - <message>";
// this is the one parser of that form for every test (header-only, so that the
// whole-program tests can use it without linking the library).

#include <cstdlib>
#include <string>
#include <vector>

namespace QvTestLog {

struct Line {
    std::string stamp;           // "YYYY-MM-DD HH:MM:SS"
    unsigned long processId = 0;
    std::string message;
};

// False when the line is not of the writer's form.
inline bool ParseLine(const std::string& line, Line* out) {
    const size_t kStamp = 19, kPid = 10;
    const std::string separator = " - ";
    if (line.size() < kStamp + 1 + kPid + separator.size() || line[kStamp] != ' ' ||
        line.compare(kStamp + 1 + kPid, separator.size(), separator) != 0)
        return false;
    std::string pid = line.substr(kStamp + 1, kPid);
    char* end = nullptr;
    unsigned long value = std::strtoul(pid.c_str(), &end, 10);
    if (end != pid.c_str() + pid.size() || pid.find_first_not_of(' ') == std::string::npos)
        return false;
    out->stamp = line.substr(0, kStamp);
    out->processId = value;
    out->message = line.substr(kStamp + 1 + kPid + separator.size());
    return true;
}

// The lines of text from byte offset on; a line not of the writer's form is kept whole
// as its message, so that a test sees it rather than loses it. "\r\n" and "\n" both end
// a line; a last line without an end is still being written and is left out.
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

// The messages only, optionally only those of one process (0: every process) and only
// those that begin with prefix.
inline std::vector<std::string> Messages(const std::string& text, size_t offset = 0,
                                         unsigned long processId = 0, const std::string& prefix = "") {
    std::vector<std::string> messages;
    for (const Line& line : ParseText(text, offset))
        if ((processId == 0 || line.processId == processId) && line.message.compare(0, prefix.size(), prefix) == 0)
            messages.push_back(line.message);
    return messages;
}

}  // namespace QvTestLog
