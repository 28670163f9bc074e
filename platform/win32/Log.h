#pragma once
// The game's one diagnostic channel. Every message has a severity and a short event name ("texture.missing",
// "level.truncated") so that tests can assert that a fallback was taken without parsing prose.

#include <string>
#include <vector>

enum class LogLevel
{
    INFO,
    WARNING,
    ERROR
};

// One line on stderr: "varnholt: <level>: <event>: <text>".
void Log(LogLevel level, const char* event, const std::string& text);
// The same with the text made from a printf format.
void LogFormat(LogLevel level, const char* event, const char* format, ...) __attribute__((format(printf, 3, 4)));

struct LogRecord {
    LogLevel level;
    std::string event;
    std::string text;
};

// While a capture lives, messages of every thread are kept instead of printed. Captures do not nest: the
// newest one takes the messages until it goes.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<LogRecord> Records() const;
    int Count(const std::string& event) const;
    void Clear();
};
