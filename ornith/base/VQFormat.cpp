#include "ornith/base/VQFormat.h"

#include <cstdarg>

namespace ornith {

std::string VQFormat(const char* format, ...) {
    char small[256];
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int needed = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    std::string out;
    if (needed < 0) {
        va_end(again);
        return out;
    }
    if (static_cast<size_t>(needed) < sizeof small) {
        out.assign(small, static_cast<size_t>(needed));
    } else {
        out.resize(static_cast<size_t>(needed));
        std::vsnprintf(out.data(), out.size() + 1, format, again);
    }
    va_end(again);
    return out;
}

}  // namespace ornith
