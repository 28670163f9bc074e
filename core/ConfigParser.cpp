#include "core/ConfigParser.h"

#include <cfloat>
#include <climits>
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
    if (!std::getline(in, line))
        return false;
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
