#include "core/ConfigParser.h"

#include "win32/Log.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <istream>

namespace {

// Where the value text of a line starts, or npos past its end.
size_t ValueStart(const std::string& line)
{
    const size_t equals = line.find('=');
    const size_t start = (equals == std::string::npos) ? 1 : equals + 2;
    return start <= line.size() ? start : std::string::npos;
}

int ToInt(const char* text)
{
    const long long value = std::strtoll(text, nullptr, 10);
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

} // namespace

bool ReadConfigLine(std::istream& in, std::string& line)
{
    line.clear();
    std::istream::sentry ready(in, true);
    if (!ready)
        return false;
    std::streambuf* buffer = in.rdbuf();
    bool readAny = false;
    bool cut = false;
    for (;;) {
        const int c = buffer->sbumpc();
        if (c == std::char_traits<char>::eof()) {
            in.setstate(readAny ? std::ios::eofbit : std::ios::eofbit | std::ios::failbit);
            break;
        }
        readAny = true;
        if (c == '\n')
            break;
        if (line.size() < MAX_CONFIG_LINE)
            line.push_back(static_cast<char>(c));
        else
            cut = true;
    }
    if (!readAny)
        return false;
    if (cut)
        Log(LogLevel::WARNING, "config.long_line",
            "a line longer than " + std::to_string(MAX_CONFIG_LINE) + " characters is cut there");
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}

std::string ParseConfigString(const std::string& line)
{
    const size_t start = ValueStart(line);
    return start == std::string::npos ? std::string() : line.substr(start);
}

int ParseConfigInt(const std::string& line)
{
    const size_t start = ValueStart(line);
    return start == std::string::npos ? 0 : ToInt(line.c_str() + start);
}

float ParseConfigFloat(const std::string& line)
{
    const size_t start = ValueStart(line);
    if (start == std::string::npos)
        return 0.0f;
    // A number past the float range has no float value: the largest one stands in for it.
    const double value = std::atof(line.c_str() + start);
    if (std::isnan(value))
        return 0.0f;
    if (value > FLT_MAX)
        return FLT_MAX;
    if (value < -FLT_MAX)
        return -FLT_MAX;
    return static_cast<float>(value);
}

int SplitConfigLineInt(std::string& line)
{
    const size_t equals = line.find('=');
    if (equals == std::string::npos || equals == 0)
        return 0;
    const int value = (equals + 2 <= line.size()) ? ToInt(line.c_str() + equals + 2) : 0;
    line.resize(equals - 1);
    return value;
}

int BoundConfigInt(int value, int lowest, int highest, const std::string& file, const char* field)
{
    if (value >= lowest && value <= highest)
        return value;
    const int bounded = value < lowest ? lowest : highest;
    Log(LogLevel::WARNING, "config.out_of_range",
        file + ": " + field + " " + std::to_string(value) + " is outside " + std::to_string(lowest) + " to " +
            std::to_string(highest) + "; " + std::to_string(bounded) + " is used");
    return bounded;
}

float BoundConfigFloat(float value, float lowest, float highest, const std::string& file, const char* field)
{
    if (value >= lowest && value <= highest)
        return value;
    const float bounded = value < lowest ? lowest : highest;
    Log(LogLevel::WARNING, "config.out_of_range",
        file + ": " + field + " " + std::to_string(value) + " is outside " + std::to_string(lowest) + " to " +
            std::to_string(highest) + "; " + std::to_string(bounded) + " is used");
    return bounded;
}
