#pragma once
// The editor's debug log: one appended line per event. The switch and the
// file's path belong to the plug-in; this writer keeps no state of its own.
#include <string>

// Whether the open file (read from its start) is a log this writer wrote:
// empty, or its first line stamped as printDebugInfo stamps its lines.
bool holdsDebugLog(int fd);

class DebuggerOutput {
public:
    DebuggerOutput() = default;
    // Only logSysExOutMessageByte needs to know where the log is.
    explicit DebuggerOutput(std::string logPath) : logPath_(std::move(logPath)) {}

    // Appends "<local time %Y-%m-%d.%X>\t <message>\n"; writes nothing when
    // the file cannot be opened, nor to a file that the log's name shares
    // with another name (a link's target, a file of more names) unless it
    // holds a log.
    void printDebugInfo(std::string path, std::string message) const;

    // Logs bytes sent to the instrument as upper-case hex pairs.
    void logSysExOutMessageByte(const unsigned char* bytes, int length) const;

    void setLogPath(std::string path) { logPath_ = std::move(path); }
    const std::string& logPath() const { return logPath_; }

private:
    std::string logPath_;
};
