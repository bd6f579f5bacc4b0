#pragma once
// Text from class files made safe for a terminal: a constant or a name may hold escape
// sequences that recolour or rewrite the screen, line breaks that split one line of
// output into several, or bidirectional controls that reorder what is shown.

#include <string>
#include <string_view>

namespace ornith::tool {

// Appends `utf8` with every C0 control, DEL, C1 control, U+2028, U+2029, U+202A to
// U+202E and U+2066 to U+2069 written in Java's escape form: \b \t \n \f \r for those
// that have one, \u001b (lower-case hex) for the rest. Each maximal ill-formed subpart of
// the UTF-8 is written as U+FFFD. Everything else, spaces included, is kept.
void appendSafeText(std::string_view utf8, std::string& out);
std::string safeText(std::string_view utf8);

}  // namespace ornith::tool
