#pragma once
// One line on stderr per record: data fallbacks, bad data files and device trouble.

#include <string>
#include <vector>

enum class LogLevel
{
    INFO,
    WARNING,
    ERROR
};

void Log(LogLevel level, const char* event, const std::string& text);

struct LogRecord {
    LogLevel level;
    std::string event;
    std::string text;
};

// While one lives, records are kept here instead of printed (tests look at them).
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<LogRecord> Records() const;
    size_t Count(const std::string& event) const;
};
