// The class-file parser driven by a builder that implements only setClassName, as the
// single class-file store uses it: the parse must end with exactly one call or with a
// VQException, and no attribute may be decoded on the way.

#include <cstdint>
#include <span>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "ornith/base/VQException.h"
#include "ornith/classfile/VQClassFileParsing.h"

using namespace ornith;

namespace {

struct NameOnly {
    int calls = 0;
    std::string name;
    void setClassName(std::string dottedName) {
        ++calls;
        name = std::move(dottedName);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    NameOnly builder;
    try {
        VQParseClassFile(std::span<const uint8_t>(data, size), builder);
        ORNITH_FUZZ_CHECK(builder.calls == 1);
        ORNITH_FUZZ_CHECK(builder.name.find('/') == std::string::npos);
    } catch (const VQException&) {
        // The parser's failures; anything else escapes and counts as a crash.
        ORNITH_FUZZ_CHECK(builder.calls <= 1);
    }
    return 0;
}
