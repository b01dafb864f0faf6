// Text helpers both modes use to cut up steering-file and control-file values.
#pragma once

#include <string>
#include <vector>

// Strips every character with code 1 to 32 (control characters and blank) from both ends.
// Characters above 127 stay.
std::string TrimBlanks(const std::string& text);

// Cuts text at every occurrence of any character of separators: consecutive separators give
// empty fields, a trailing separator a last empty field; an empty text gives no field.
std::vector<std::string> SplitText(const std::string& separators, const std::string& text);
