#include "win32/Log.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace {

std::mutex g_lock;
std::vector<LogRecord>* g_captured = nullptr;

const char* LevelName(LogLevel level)
{
    switch (level) {
    case LogLevel::INFO:
        return "info";
    case LogLevel::WARNING:
        return "warning";
    case LogLevel::ERROR:
        return "error";
    }
    return "?";
}

} // namespace

void Log(LogLevel level, const char* event, const std::string& text)
{
    const char* name = event ? event : "";
    std::lock_guard<std::mutex> guard(g_lock);
    if (g_captured) {
        g_captured->push_back({level, name, text});
        return;
    }
    // One write per line so that lines of different threads never interleave.
    std::string line = std::string("varnholt: ") + LevelName(level) + ": " + name + ": " + text + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
}

void LogFormat(LogLevel level, const char* event, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    va_list measuring;
    va_copy(measuring, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, measuring);
    va_end(measuring);
    std::string text(length > 0 ? static_cast<size_t>(length) : 0, '\0');
    if (length > 0)
        std::vsnprintf(text.data(), text.size() + 1, format, arguments);
    va_end(arguments);
    Log(level, event, text);
}

LogCapture::LogCapture()
{
    std::lock_guard<std::mutex> guard(g_lock);
    g_captured = new std::vector<LogRecord>();
}

LogCapture::~LogCapture()
{
    std::lock_guard<std::mutex> guard(g_lock);
    delete g_captured;
    g_captured = nullptr;
}

std::vector<LogRecord> LogCapture::Records() const
{
    std::lock_guard<std::mutex> guard(g_lock);
    return g_captured ? *g_captured : std::vector<LogRecord>();
}

int LogCapture::Count(const std::string& event) const
{
    std::lock_guard<std::mutex> guard(g_lock);
    int count = 0;
    if (g_captured)
        for (const LogRecord& record : *g_captured)
            count += record.event == event ? 1 : 0;
    return count;
}

void LogCapture::Clear()
{
    std::lock_guard<std::mutex> guard(g_lock);
    if (g_captured)
        g_captured->clear();
}
