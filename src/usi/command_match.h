// The two ways the command loop compares an input line with a command keyword.
#pragma once

#include <string>

namespace mirabel {

// The line equals the keyword or a leading part of it (the empty line included); any text
// after the keyword makes it fail.
bool LinePrefixMatch(const std::string& line, const char* keyword);

// The line begins with the keyword's characters; anything may follow.
bool KeywordPrefixMatch(const std::string& line, const char* keyword);

}  // namespace mirabel
