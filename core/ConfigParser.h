#pragma once
// Readers of the game's text definition files (spells, units, emitters). Each value line is a label, a blank,
// "=", one blank and the value; the value is the text that starts two characters after the first "=". The label
// is never compared.

#include <cstddef>
#include <iosfwd>
#include <string>

// The longest line kept; the rest of a longer line is skipped, so that a corrupt file without line ends
// cannot fill the memory.
constexpr size_t MAX_CONFIG_LINE = size_t{64} * 1024;

// Reads one line (at most MAX_CONFIG_LINE characters of it) and drops one trailing carriage return, so files
// written with Windows line ends read the same as the others. False at the end of the stream.
bool ReadConfigLine(std::istream& in, std::string& line);

// The value text of a line. A line without "=" gives the text from its second character on; a value that
// would start past the end of the line gives the empty text.
std::string ParseConfigString(const std::string& line);
// The number at the start of the value text (as atol), clamped to the 32-bit range; 0 when there is none.
int ParseConfigInt(const std::string& line);
// The number at the start of the value text (as atof), clamped to the float range; 0 when there is none or
// when the text reads as "nan", which is no number either.
float ParseConfigFloat(const std::string& line);
// For "Name = 3" lines: cuts the line in place just before the blank in front of the first "=" (leaving
// "Name") and returns the number of the value text. A line without "=", or with "=" first, is left as it is
// and gives 0.
int SplitConfigLineInt(std::string& line);

// A number read from a data file, held to [lowest, highest]. A value outside is moved to the nearer bound with
// a warning naming the file and the field ("config.out_of_range"). Readers bound every number so that the
// values worked out from them later (health = 10 x strength and the like) stay within 32 bits.
int BoundConfigInt(int value, int lowest, int highest, const std::string& file, const char* field);
float BoundConfigFloat(float value, float lowest, float highest, const std::string& file, const char* field);
