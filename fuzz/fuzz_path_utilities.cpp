// Name conversions and environment-variable expansion over arbitrary bytes, with the
// relations between the conversions checked on every input.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz/FuzzSupport.h"
#include "ornith/classfile/VQPathUtilities.h"

using namespace ornith;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // A few variables for the expansion to find, among them names that differ only in
    // case or by a suffix, and one whose value holds another reference (never re-expanded).
    setenv("HOME", "/home/u", 1);
    setenv("A", "/a", 1);
    setenv("AB", "ab", 1);
    setenv("a_1", "x", 1);
    setenv("REF", "$HOME", 1);
    setenv("EMPTY", "", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const std::string path = stringByConvertingJavaIdentifierToPath(text);
    ORNITH_FUZZ_CHECK(path.size() == text.size());
    for (size_t i = 0; i < text.size(); ++i)
        ORNITH_FUZZ_CHECK(path[i] == (text[i] == '.' ? '/' : text[i]));

    const std::string dotted = stringByConvertingPathToJavaIdentifier(text);
    ORNITH_FUZZ_CHECK(dotted.size() == text.size() || dotted.size() + 1 == text.size());
    ORNITH_FUZZ_CHECK(dotted.find_first_of("/\\") == std::string::npos);

    const std::string parent = stringByDeletingLastJavaComponent(text);
    const std::string last = lastJavaComponent(text);
    if (text.find('.') == std::string_view::npos) {
        ORNITH_FUZZ_CHECK(parent.empty() && last == text);
    } else {
        ORNITH_FUZZ_CHECK(stringByAppendingJavaComponent(parent, last) == text);
        ORNITH_FUZZ_CHECK(last.find('.') == std::string::npos);
    }

    // Splits the input into a receiver and a component at the first 0xFF byte.
    const size_t cut = text.find('\xff');
    if (cut != std::string_view::npos) {
        const std::string joined =
            stringByAppendingJavaComponent(text.substr(0, cut), text.substr(cut + 1));
        ORNITH_FUZZ_CHECK(joined.size() == text.size() && joined[cut] == '.');
    }

    const std::string expanded = stringByExpandingEnvironmentVariables(text);
    if (text.find('$') == std::string_view::npos) {
        const size_t start = text.find_first_not_of(" \t\n\v\f\r");
        ORNITH_FUZZ_CHECK(expanded == (start == std::string_view::npos ? std::string_view()
                                                                       : text.substr(start)));
    }
    return 0;
}
