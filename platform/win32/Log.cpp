#include "win32/Log.h"

#include <cstdio>
#include <mutex>

namespace {

std::mutex logMutex;
int captureDepth = 0;
std::vector<LogRecord> captured;

const char* LevelName(LogLevel level)
{
    switch (level) {
    case LogLevel::INFO:
        return "info";
    case LogLevel::WARNING:
        return "warning";
    default:
        return "error";
    }
}

} // namespace

void Log(LogLevel level, const char* event, const std::string& text)
{
    std::lock_guard lock(logMutex);
    if (captureDepth > 0) {
        captured.push_back({level, event ? event : "", text});
        return;
    }
    std::fprintf(stderr, "%s: %s: %s\n", LevelName(level), event ? event : "", text.c_str());
}

LogCapture::LogCapture()
{
    std::lock_guard lock(logMutex);
    if (captureDepth++ == 0)
        captured.clear();
}

LogCapture::~LogCapture()
{
    std::lock_guard lock(logMutex);
    --captureDepth;
}

std::vector<LogRecord> LogCapture::Records() const
{
    std::lock_guard lock(logMutex);
    return captured;
}

size_t LogCapture::Count(const std::string& event) const
{
    std::lock_guard lock(logMutex);
    size_t count = 0;
    for (const LogRecord& record : captured)
        count += record.event == event ? 1 : 0;
    return count;
}
