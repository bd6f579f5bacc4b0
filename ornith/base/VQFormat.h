#pragma once
// printf-style formatting into a std::string, for the library's fixed message texts.
// Text values ("%@" in the message catalogue) are passed as "%s" with c_str().

#include <cstdio>
#include <string>

namespace ornith {

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
std::string
VQFormat(const char* format, ...);

}  // namespace ornith
