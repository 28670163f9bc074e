// The line readers every text data file goes through.
#include "core/ConfigParser.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    std::string line;
    while (ReadConfigLine(in, line)) {
        if (line.size() > MAX_CONFIG_LINE)
            std::abort();
        (void)ParseConfigString(line);
        (void)ParseConfigInt(line);
        if (std::isnan(ParseConfigFloat(line)))
            std::abort();
        std::string split = line;
        (void)SplitConfigLineInt(split);
        if (split.size() > line.size())
            std::abort();
    }
    return 0;
}
