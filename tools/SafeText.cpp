#include "SafeText.h"

#include "ornith/base/VQText.h"

namespace ornith::tool {

void appendSafeText(std::string_view utf8, std::string& out) {
    VQAppendEscapedText(utf8, out, VQEscapeStyle::terminal);
}

std::string safeText(std::string_view utf8) {
    std::string out;
    appendSafeText(utf8, out);
    return out;
}

}  // namespace ornith::tool
