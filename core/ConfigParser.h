#pragma once
// Readers of the game's text definition files (spells, units, emitters). Each value line is a label, a blank,
// "=", one blank and the value; the value is the text that starts two characters after the first "=". The label
// is never compared.

#include <iosfwd>
#include <string>

// Reads one line and drops one trailing carriage return, so files written with Windows line ends read the
// same as the others. False at the end of the stream.
bool ReadConfigLine(std::istream& in, std::string& line);

// The value text of a line. A line without "=" gives the text from its second character on; a value that
// would start past the end of the line gives the empty text.
std::string ParseConfigString(const std::string& line);
// The number at the start of the value text (as atol), clamped to the 32-bit range; 0 when there is none.
int ParseConfigInt(const std::string& line);
// The number at the start of the value text (as atof), clamped to the float range; 0 when there is none.
float ParseConfigFloat(const std::string& line);
// For "Name = 3" lines: cuts the line in place just before the blank in front of the first "=" (leaving
// "Name") and returns the number of the value text. A line without "=", or with "=" first, is left as it is
// and gives 0.
int SplitConfigLineInt(std::string& line);
